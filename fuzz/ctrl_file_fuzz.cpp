// Fuzzes the reader of CtrlFile.ini, the device key sequences: the input is
// the file beside the program, loaded and linked to the device families as
// at start-up, then freed as at shutdown. Every record, sequence and family
// link must stay within what was read.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "fuzz/fuzz_app.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_file.h"
#include "liveview/control/ctrl_file.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"

namespace {

using fuzz_support::Check;

// The loader's messages (4084, 4051) are counted, not shown.
class CountingSink : public platform::MessageBoxSink {
public:
    int Show(unsigned, const std::string&, unsigned) override {
        ++shown;
        return platform::kIdOk;
    }
    int shown = 0;
};

void CheckSequence(const CtrlKeySequence& sequence, const CtrlDeviceRecord& record) {
    Check((sequence.byCount == 0) == (sequence.pBytes == nullptr));
    Check(sequence.pOwner == nullptr || sequence.pOwner == &record);
    if (sequence.byCount < 32) {
        Check((sequence.dwVarMask >> sequence.byCount) == 0);
    }
    for (std::size_t i = 0; i < sequence.byCount && i < 32; ++i) {
        // A marked byte names a variable kind: one hexadecimal digit.
        Check(((sequence.dwVarMask >> i) & 1u) == 0 || sequence.pBytes[i] <= 0x0F);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CountingSink sink;
    static const bool set_up = [] {
        platform::SetMessageBoxSink(&sink);
        platform::SetProgramFolder(FuzzFolder());
        return true;
    }();
    (void)set_up;
    AppGlobalState& app = FuzzApp();
    WriteFuzzFile("CtrlFile.ini", std::span(data, size));

    sink.shown = 0;
    Check(LoadCtrlFile() == 1);
    Check(sink.shown <= 2);  // each kind of complaint once per file
    Check(MatchCtrlFileDevices() == 1);
    const std::int32_t count = app.dw_CtrlDeviceCount;
    Check(count >= 0 && count <= kCtrlMaxDevices);
    Check((count == 0) || app.lp_CtrlDevices != nullptr);
    for (std::int32_t i = 0; i < count; ++i) {
        const CtrlDeviceRecord& record = app.lp_CtrlDevices[i];
        Check(std::find(record.szName.begin(), record.szName.end(), '\0') != record.szName.end());
        CheckSequence(record.seqPower, record);
        for (const CtrlKeySequence& key : record.aseqKey) {
            CheckSequence(key, record);
        }
        Check(record.aseqKey[kCtrlKeySlots - 1].byCount == 0);
    }
    for (std::size_t family = 0; family < kCtrlFamilyCount; ++family) {
        const CtrlDeviceRecord* record = CtrlFamilyRecord(family);
        if (record != nullptr) {
            Check(record >= &app.lp_CtrlDevices[0] && record < &app.lp_CtrlDevices[0] + count);
            Check(std::string_view(record->szName.data()) == kCtrlFamilyNames[family]);
        }
    }
    FreeCtrlFileRecords();
    Check(app.dw_CtrlDeviceCount == 0 && CtrlFamilyRecord(0) == nullptr);
    return 0;
}
