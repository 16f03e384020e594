#pragma once

#include <string>

// Stand-in for the alarm recorder until it is built: it never records. It
// offers what the frame-header parser calls; the methods are virtual so that
// a test can put a recorder in its place.
class CAlarmRecord {
public:
    virtual ~CAlarmRecord() = default;

    // True while a recording is open.
    virtual bool IsRecording() const { return false; }
    // Starts a recording into the folder `recordPath`; 1 when started, 0 when
    // refused.
    virtual int StartRecord(const std::string& /*recordPath*/, int /*option*/) { return 0; }
    // Ends the open recording, if any; 1.
    virtual int EndRecord() { return 1; }
};
