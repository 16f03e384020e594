// Fuzzes the device key sender's body builder with control-file sequence
// lines: the first byte picks the variables (PRESET mode, repeat count, ids),
// the rest is the line as the file holds it. Whatever the line says, the
// body stays within its 64 bytes and its count byte matches its length.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "liveview/control/key_sender.h"

namespace {

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t selector = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    CtrlDeviceRecord owner;
    for (std::size_t i = 0; i < owner.abyParam.size(); ++i)
        owner.abyParam[i] = static_cast<std::uint8_t>(0xA0 + i);
    std::string line;
    ReadCtrlLine(text, line);
    CtrlKeySequence sequence;
    sequence.pOwner = &owner;
    ParseKeySequence(sequence, line);

    KeyVariables variables;
    variables.presetMode = (selector & 1) != 0;
    variables.rights = static_cast<std::uint8_t>(selector & 0xF0);
    variables.deviceId = static_cast<std::uint8_t>(selector >> 1);
    variables.masterId = static_cast<std::uint8_t>(selector >> 2);
    const std::uint8_t repeat = static_cast<std::uint8_t>(selector % 7);

    const auto body = BuildRs485Body(sequence, variables, repeat);
    if (!body)
        return 0;
    Check(sequence.byCount > 0);
    Check(body->length >= 3 && body->length <= kRs485BodyBytes);
    // Every form sends the count byte and then count + 2 bytes.
    Check(body->length == static_cast<std::size_t>(body->bytes[0]) + 3);
    return 0;
}
