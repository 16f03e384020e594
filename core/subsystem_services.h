#pragma once

// What the core asks of the subsystems built on top of it. The core cannot
// link upward, so each later subsystem implements one of these interfaces and
// registers it at start-up; until it does, a placeholder stands in that does
// the least the core needs and never blocks.

#include <cstdint>
#include <string>

// The main live-view window and its control files.
class LiveViewServices {
public:
    virtual ~LiveViewServices() = default;

    // Reads CtrlFile.ini from the program's folder: 1 when loaded, 0 after
    // showing message 4094 when it cannot be opened or read.
    virtual int LoadCtrlFile() = 0;
    // Links the device families to the loaded records; 1.
    virtual int MatchCtrlFileDevices() = 0;
    // Frees the loaded CtrlFile.ini records; safe to call twice.
    virtual void FreeCtrlFileRecords() = 0;
    // Constructs the main window, runs it modally and destroys it.
    virtual void RunMainWindow() = 0;
    // Sets the main window's status line; callable from any thread.
    virtual int SetStatusText(const std::string& text) = 0;
    // Frees the main window's memory drawing context when it exists.
    virtual void DeleteMemoryDC() = 0;
};

// The live media pipeline's long-lived objects: frame timer, pre-alarm ring,
// recorders and the local alarm list.
class MediaServices {
public:
    virtual ~MediaServices() = default;

    virtual void InitFrameTimer() = 0;
    virtual void StopFrameTimer() = 0;
    // Buffers of the pre-alarm ring and the alarm, user and schedule recorders.
    virtual bool AllocateBuffers() = 0;
    virtual void FreeBuffers() = 0;
    // The local alarm list's item array.
    virtual void FreeAlarmList() = 0;
    // Events and semaphores of the alarm, user and schedule recorders.
    virtual void CreateRecorderResources() = 0;
    virtual void FreeRecorderResources() = 0;
    // Stops the alarm, user and schedule recordings, in that order.
    virtual void StopRecorders() = 0;
};

LiveViewServices& LiveView();
MediaServices& Media();

// Registers an implementation (nullptr restores the placeholder). The
// services must outlive their use; they are registered before start-up and
// removed after shutdown.
void SetLiveViewServices(LiveViewServices* services);
void SetMediaServices(MediaServices* services);
