#pragma once

// The kernel-message mailbox: a one-slot mailbox through which any thread
// asks the kernel-message thread to do work. A poster holds the mailbox from
// writing its request until the request has been carried out, so requests
// run one at a time in posting order.

#include <cstdint>
#include <string>

enum KernelMessageCode : std::uint32_t {
    Get_Image_TimeOut_Message = 1,  // stop streaming and log in again
    kDrawFrameMessage = 2,
    kReloadAlarmSoundMessage = 4,
    kStopReloadedAlarmSoundMessage = 5,
    kEndKernelThreadMessage = 6,
    kPlayFileMessage = 7,
};

// Creates the mailbox semaphores (free, nothing posted) and opens it.
void CreateKernelMailbox();
// Closes the mailbox: posters waiting for it give up, later posts fail.
void CloseKernelMailbox();
// Releases the mailbox's semaphores.
void DestroyKernelMailbox();

// Posts a request, waiting for the mailbox. False when there is no mailbox,
// it was closed, or the calling thread is asked to stop while it waits. A
// stream failure (code 1) is not posted by a thread that is being stopped.
bool PostKernelMessage(std::uint32_t code, std::uintptr_t arg0 = 0, std::uintptr_t arg1 = 0);
// Posts code 7 with its own copy of the file to play.
bool PostPlayFileMessage(const std::string& path);

// The kernel-message thread's body.
std::uint32_t Process_KernelMessageThread();
