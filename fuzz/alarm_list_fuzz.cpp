// Fuzzes the reader of the local alarm list (AlarmData.dat): the input
// becomes the file in a temporary program folder, the Alarm List page's load
// reads it, and, when it loaded, one item is marked deleted and the list is
// written back and loaded again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "core/store/alarm_list.h"
#include "fuzz/fuzz_app.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_file.h"

namespace {

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    AppGlobalState& app = FuzzApp();
    app.CSettingINI.m_strProgramDir = FuzzFolder().string() + "/";
    WriteFuzzFile(kAlarmDBFileName, std::span(data, size));

    SystemConfig store;
    const AlarmDBLoadResult result = store.AlarmDB_Load();
    const auto items = store.AlarmDB_Items();
    // The number of records is what the file's size holds.
    const std::size_t held =
        size >= kAlarmDBHeaderBytes ? (size - kAlarmDBHeaderBytes) / kAlarmDBItemBytes : 0;
    Check(items.size() <= held);
    for (const AlarmDBItem_Struct& item : items) {
        Check(item.Path().size() < AlarmDBItem_Struct::kPathBytes);
        Check(item.SourceIP().size() < AlarmDBItem_Struct::kSourceIPBytes);
    }
    if (result == AlarmDBLoadResult::Loaded && !items.empty()) {
        Check(store.AlarmDB_SetItemFlags(0, kAlarmItemDeleted));
        store.AlarmDB_SetChanged();
        Check(store.AlarmDB_WriteBack() == 1);
        SystemConfig again;
        const AlarmDBLoadResult reloaded = again.AlarmDB_Load();
        Check(reloaded == AlarmDBLoadResult::Loaded || reloaded == AlarmDBLoadResult::Empty);
        Check(again.AlarmDB_Items().size() < items.size());
    }
    store.AlarmDB_FreeBuffer();
    return 0;
}
