#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

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

// A sink for tests: records every box and answers with a fixed result.
class RecordingMessageBoxSink : public MessageBoxSink {
public:
    struct Entry {
        unsigned textId;
        std::string text;
        unsigned flags;
    };

    explicit RecordingMessageBoxSink(int answer = kIdOk) : m_answer(answer) {}
    int Show(unsigned textId, const std::string& text, unsigned flags) override;

    std::vector<Entry> Entries() const;
    std::vector<unsigned> Ids() const;
    void Clear();

private:
    mutable std::mutex m_lock;
    std::vector<Entry> m_entries;
    int m_answer;
};

// Installs a recording sink for the lifetime of the object (tests).
class ScopedMessageBoxRecorder {
public:
    explicit ScopedMessageBoxRecorder(int answer = kIdOk)
        : m_sink(answer), m_previous(SetMessageBoxSink(&m_sink)) {}
    ~ScopedMessageBoxRecorder() { SetMessageBoxSink(m_previous); }
    ScopedMessageBoxRecorder(const ScopedMessageBoxRecorder&) = delete;
    ScopedMessageBoxRecorder& operator=(const ScopedMessageBoxRecorder&) = delete;

    RecordingMessageBoxSink& sink() { return m_sink; }
    std::vector<unsigned> Ids() const { return m_sink.Ids(); }

private:
    RecordingMessageBoxSink m_sink;
    MessageBoxSink* m_previous;
};

}  // namespace platform
