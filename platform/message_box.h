#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Buttons and results of a message box, numbered as the program's callers
// expect them.
enum MessageBoxFlags : unsigned {
    kMbOk = 0x0,
    kMbOkCancel = 0x1,
    kMbYesNo = 0x4,
    kMbIconError = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconWarning = 0x30,
    kMbIconInformation = 0x40,
};

enum MessageBoxResult : int {
    kIdNone = 0,  // the box was posted to the GUI thread; nobody answered yet
    kIdOk = 1,
    kIdCancel = 2,
    kIdYes = 6,
    kIdNo = 7,
};

// Where message boxes go. The default sink shows a modal Qt box when called
// on the GUI thread and posts the box to the GUI thread (returning kIdNone at
// once) from any other thread. Without a Qt application the text goes to
// standard error.
class MessageBoxSink {
public:
    virtual ~MessageBoxSink() = default;
    virtual int Show(unsigned textId, const std::string& text, unsigned flags) = 0;
};

// Shows a box; callable from any thread, never blocks a thread other than the
// GUI thread. textId is the string-table number (0 for a literal text).
int ShowMessageBox(unsigned textId, const std::string& text, unsigned flags = kMbOk);

// Replaces the sink (nullptr restores the default). Returns the previous one.
MessageBoxSink* SetMessageBoxSink(MessageBoxSink* sink);

}  // namespace platform
