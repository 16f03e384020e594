// Fuzzes the packed firmware reader: an accepted file's records tile the
// whole file exactly, their count stays within 255, the new protocol takes
// a first record only of a type it has a number for, and every unit of its
// plan goes out with one of those numbers.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fuzz/fuzz_check.h"
#include "maintenance/firmware/firmware_upload.h"
#include "maintenance/firmware/packed_firmware.h"

namespace {

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    for (const auto protocol :
         {maintenance::UploadProtocol::kOld, maintenance::UploadProtocol::kNew}) {
        const auto result = maintenance::ParsePackedFirmware(bytes, protocol);
        if (!result.Ok()) {
            Check(result.image.recordData.empty());
            continue;
        }
        const auto& image = result.image;
        Check(image.recordCount >= 1 && image.recordCount == image.recordData.size());
        Check(image.recordLengths.size() == image.recordData.size());
        Check(image.recordTypes.size() == image.recordData.size());
        std::size_t total = 0;
        for (std::size_t i = 0; i < image.recordData.size(); ++i) {
            Check(image.recordData[i].size() == image.recordLengths[i]);
            Check(image.recordTypes[i] < 16);
            total += 4 + image.recordLengths[i];
        }
        Check(total == size && image.fileSize == size);
        const auto plan = maintenance::PackedUploadPlan(image, protocol);
        Check(plan.units.size() == image.recordData.size());
        Check(plan.wholeSize == size);
        if (protocol == maintenance::UploadProtocol::kNew) {
            Check(maintenance::NewProtocolTypeNumber(image.recordTypes[0]) >= 0);
            for (const auto& unit : plan.units) {
                Check(unit.typeNumber == 0 || unit.typeNumber == 1 || unit.typeNumber == 2);
            }
        }
    }
    return 0;
}
