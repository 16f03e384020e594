// Fuzzes the readers of the recorder's "/GetDvrDate.cgi" and
// "/GetRecordSetting.cgi" replies and what the pages build from them: the
// rate table and the two set requests, which must stay free of request
// breaking bytes whatever the reply held. The first byte chooses the reader
// and the page's edits; the rest is the reply body.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "config/pages/dvr_settings.h"
#include "fuzz/fuzz_check.h"

namespace {

using fuzz_support::Check;

void CheckTarget(const std::string& target, std::string_view path) {
    Check(target.starts_with(path));
    Check(target.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t choice = data[0];
    const std::span<const std::uint8_t> reply(data + 1, size - 1);

    DvrDateValues date;
    ParseDvrDateReply(reply, date);
    DvrDateValues read = date;
    DvrDateEdits edits;
    edits.year = date.year + (choice & 1);
    edits.formatIndex = choice % 3;
    edits.startWeekIndex = date.startWeek;
    if (const auto target = BuildSetDvrDate(read, edits, "c")) {
        CheckTarget(*target, "/SetDvrDate.cgi?Cookie=c&YEAR=");
    }

    RecordSettingValues record;
    ParseRecordSettingReply(reply, record);
    const auto rates = IpsRates(choice % 20, record.videoType, record.recMode);
    Check(rates.has_value() == RecordSettingUsable(record));
    if (rates) {
        Check((*rates)[0] > 0 && (*rates)[3] >= 0 && (*rates)[0] <= 480);
    }
    RecordSettingEdits working;
    working.recMode = record.recMode;
    working.quality = record.quality;
    working.manualRateIndex = (choice >> 4) - 1;
    CheckTarget(BuildSetRecordSetting(record, working, ""), "/SetRecordSetting.cgi?CHMANUALREC=");
    return 0;
}
