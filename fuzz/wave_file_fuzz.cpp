// Fuzzes the reader of the alarm sound (a RIFF wave file): the input is
// written to a temporary file and read; a loaded file must describe samples
// that fit the limit and end on a whole frame.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_file.h"
#include "media/wave_file.h"

namespace {

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const WaveFileContents wave = ReadWaveFile(WriteFuzzFile("alarm.wav", std::span(data, size)));
    if (wave.status != WaveReadStatus::Loaded) {
        Check(wave.samples.empty());
        return 0;
    }
    Check(!wave.samples.empty() && wave.samples.size() <= kMaxWaveSampleBytes);
    Check(wave.samples.size() <= size);
    Check(wave.format.extraSize == 0);
    Check(wave.format.blockAlign != 0 && wave.samples.size() % wave.format.blockAlign == 0);
    return 0;
}
