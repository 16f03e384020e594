#pragma once

#include <memory>
#include <string>

#include "platform/wave_out.h"

namespace platform {

// The system's sound output: an ALSA PCM playback device ("default" for the
// user's configured output, "null" for ALSA's own sink that discards
// everything).
//
// The device is opened non-blocking and fed by a thread of its own that
// writes the queued buffers in order, waits on the device's poll descriptors
// and a wake-up descriptor, and calls the done callback once a buffer's
// bytes are all in the device. Write only queues and wakes that thread;
// Reset and closing wait for it, which takes no longer than one pass of its
// loop. An underrun or a suspend is recovered and playing goes on; any other
// device error is reported on stderr, after which the output takes no more
// buffers (Write returns DeviceError) until it is closed.
//
// Returns nullptr with *result = BadFormat for a format IsPlayablePcmFormat
// refuses, NoDevice when the device cannot be opened and DeviceError when it
// refuses the format.
std::unique_ptr<WaveOut> OpenAlsaWaveOut(const std::string& device, const WaveFormat& format,
                                         WaveDoneCallback onDone, WaveOutResult* result);

}  // namespace platform
