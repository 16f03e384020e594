#pragma once

// What the pre-alarm ring needs of a recorder to hand it the frames.
//
// Each recorder owns a pair of semaphores: the free semaphore (initial 1,
// maximum 1) and the filled semaphore (initial 0, maximum 1). Storing a frame
// takes the free semaphore of every recorder first, so the ring changes only
// while no recorder is reading it; afterwards a recorder that is recording is
// woken through its filled semaphore and gives its free semaphore back once
// it has written the frame, while the free semaphore of any other recorder is
// given back by the feed at once.
//
// Rules for an implementation:
// - IsRecording is true only while the recorder's thread runs and takes the
//   frames (its active flag is set). A recorder without a running thread
//   must answer false: nobody would ever give its free semaphore back.
// - A recorder thread that ends while it holds a frame (its filled semaphore
//   taken) releases its free semaphore on the way out.
// - The recorder reads the ring (CPreAlarmRing::NewestSlot, PreAlarmFrames,
//   Entry, Jpeg) only between taking its filled semaphore and releasing its
//   free semaphore.

#include "platform/sync.h"

class CPreAlarmRing;

class RecorderFeed {
public:
    virtual ~RecorderFeed() = default;

    // The recorder's semaphores; null while its resources are not created,
    // and the feed then passes the recorder by.
    virtual platform::Semaphore* FreeSemaphore() = 0;
    virtual platform::Semaphore* FilledSemaphore() = 0;

    // The recorder's thread runs and takes frames now.
    virtual bool IsRecording() const = 0;

    // Called on the compose thread for a recording recorder after the frame
    // was stored and before the recorder is woken; the ring is stable here.
    // The alarm recorder dates its pending alarm-list entry, the schedule
    // recorder fills its capture block, when they ask for it.
    virtual void CaptureBeforeHandOver(const CPreAlarmRing& ring) { (void)ring; }
};

// Stands in for a recorder that is left out (a test feeding one recorder):
// it never records, so the feed takes and gives back its free semaphore in
// the same call and never waits for it.
class NotRecordingFeed final : public RecorderFeed {
public:
    platform::Semaphore* FreeSemaphore() override { return &m_free; }
    platform::Semaphore* FilledSemaphore() override { return &m_filled; }
    bool IsRecording() const override { return false; }

private:
    platform::Semaphore m_free{1, 1};
    platform::Semaphore m_filled{0, 1};
};
