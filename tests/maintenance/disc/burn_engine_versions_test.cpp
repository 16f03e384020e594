// The forwarders against engines of each version: what each hands the
// engine and what it hands back, in the older engines' forms and the
// current ones, byte for byte and slot for slot.

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "maintenance/disc/burn_engine.h"
#include "maintenance/disc/drive_records.h"
#include "maintenance/disc/track_adapters.h"
#include "tests/maintenance/disc/drive_record_samples.h"
#include "tests/maintenance/disc/fake_engine_fixture.h"
#include "tests/support/fake_engine/track_slots.h"

namespace {

namespace fs = std::filesystem;
using disc_test::FakeEngineTest;
using fake_engine::kCurrentCallSlots;
using fake_engine::SlotAnswer;

// An engine as the fake plays it, and the forms the program must use with it.
struct EngineRow {
    const char* what;
    fs::path dir;
    std::map<std::string, std::string> config;
    bool oldDrives;     // old drive records (a four-digit number below 5555)
    bool oldTracks;     // the 20-slot track interface (below 5.5.9.16)
    bool oldArguments;  // track arguments with 0 first (below 5.5.9.26)
    std::uint32_t dvd;  // the DVD mask as the engine takes it
};

const std::vector<EngineRow>& Rows() {
    static const std::vector<EngineRow> rows = {
        {"5.5.5.4", disc_test::kFakeEngineDir, {{"version", "5.5.5.4"}}, true, true, true, 0xC},
        {"5.5.9.10", disc_test::kFakeEngineDir, {{"version", "5.5.9.10"}}, false, true, true, 0xC},
        {"5.5.9.20", disc_test::kFakeEngineDir, {{"version", "5.5.9.20"}}, false, false, true, 0xC},
        {"6.0.0.10",
         disc_test::kFakeEngineDir,
         {{"version", "6.0.0.10"}},
         false,
         false,
         false,
         0x1C},
        {"6.3.0.5",
         disc_test::kFakeEngineDir,
         {{"version", "6.3.0.5"}},
         false,
         false,
         false,
         BURN_MEDIA_DVD},
        {"unreadable", disc_test::kFakeEngineDir, {{"version", "unknown"}}, true, true, true, 0xC},
        // Below 5.5.9.16 however large its build: its tracks are old ones.
        {"5.5.5.30", disc_test::kFakeEngineDir, {{"version", "5.5.5.30"}}, false, true, true, 0xC},
        // A current engine that lacks the four-digit call keeps current records.
        {"6.6.0.14 without a number",
         disc_test::kFakeEngineDir,
         {{"version", "6.6.0.14"}, {"api_number", "0"}},
         false,
         false,
         false,
         BURN_MEDIA_DVD},
        {"5554 from before the Ex calls",
         disc_test::kOldEngineDir,
         {{"api_number", "5554"}},
         true,
         true,
         true,
         0xC},
    };
    return rows;
}

// The old slot each shared current slot passes to.
const std::map<int, int> kShared = {{1, 1},   {2, 2},   {3, 3},   {4, 4},   {10, 10},
                                    {11, 11}, {21, 13}, {22, 14}, {23, 15}, {24, 16},
                                    {25, 17}, {26, 18}, {27, 19}};

bool SharedOldSlot(int slot) {
    for (const auto& [current, old] : kShared) {
        if (old == slot) {
            return true;
        }
    }
    return false;
}

class BurnEngineVersionTest : public FakeEngineTest {
protected:
    // Loads the row's engine at its version, with the log holding the load.
    void LoadRow(const EngineRow& row) {
        UnloadBurnEngine();
        ResetConfig();
        Configure(row.config);
        platform::WriteValue(kBurnEngineKey, kBurnEngineValue, row.dir.string());
        ClearLog();
        ASSERT_TRUE(LoadBurnEngine());
    }

    // LoadRow; the engine's count of memory not yet given back is noted for
    // EndRow.
    void StartRow(const EngineRow& row) {
        LoadRow(row);
        if (HasFatalFailure()) {
            return;
        }
        m_adapters = LiveTrackAdapters();
        m_engineLive = EngineLive();
        ClearLog();
    }

    // Runs `check` against each row's engine, which is loaded before and
    // must have been given everything back after.
    template <typename Check>
    void EachRow(const Check& check) {
        for (const EngineRow& row : Rows()) {
            SCOPED_TRACE(row.what);
            StartRow(row);
            if (HasFatalFailure()) {
                return;
            }
            check(row);
            EndRow();
        }
    }

    // Everything the row made is given back: adapters and engine memory.
    void EndRow() {
        EXPECT_EQ(LiveTrackAdapters(), m_adapters) << "track adapters left";
        EXPECT_EQ(EngineLive(), m_engineLive) << "engine memory not given back";
        UnloadBurnEngine();
    }

    int EngineLive() {
        burn::EngineDone();
        const auto done = Calls("EngineDone");
        return done.empty() ? -1 : done.back()["live"].toInt();
    }

    // The TrackSlot calls logged since the log was cleared, as (form, slot).
    std::vector<std::pair<std::string, int>> SlotCalls() const {
        std::vector<std::pair<std::string, int>> calls;
        for (const QJsonObject& call : Calls("TrackSlot")) {
            calls.emplace_back(call["form"].toString().toStdString(), call["slot"].toInt());
        }
        return calls;
    }

    BurnIsoItem* MakeItem(const char* name) {
        auto* item =
            static_cast<BurnIsoItem*>(burn::EngineCreateIsoItemOfSize(sizeof(BurnIsoItem)));
        std::memset(item, 0, sizeof *item);
        std::snprintf(item->shortName, sizeof item->shortName, "%s", name);
        return item;
    }

private:
    std::ptrdiff_t m_adapters = 0;
    int m_engineLive = 0;
};

TEST_F(BurnEngineVersionTest, TheLoaderIsAcceptedThroughTheCallTheEngineHas) {
    for (const EngineRow& row : Rows()) {
        SCOPED_TRACE(row.what);
        LoadRow(row);
        ASSERT_FALSE(HasFatalFailure());
        if (row.dir == disc_test::kOldEngineDir) {
            // 6.6.0.14 as four digits, each at most 9.
            EXPECT_EQ(Calls("EngineSetExpectedAPIVersion").at(0)["version"].toInt(), 6609);
        } else {
            EXPECT_EQ(Calls("EngineSetExpectedAPIVersionEx").at(0)["version"].toString(),
                      "6.6.0.14");
        }
        EXPECT_EQ(AdaptMediaType(BURN_MEDIA_DVD, MediaDirection::ToEngine), row.dvd);
    }
}

TEST_F(BurnEngineVersionTest, DriveListsComeBackInTheCurrentRecord) {
    EachRow([&](const EngineRow& row) {
        Configure({{"drives", "Fake DVD-RW|" + std::string(40, 'L')},
                   {"adapter", "ide12"},
                   {"read_speeds", "4|8|16|24"},
                   {"write_speeds", "2|4"},
                   {"revision", "1.5"}});
        BurnDriveList* list = burn::EngineGetAvailableDrives();
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(Calls("EngineGetAvailableDrives").at(0)["form"].toString(),
                  row.oldDrives ? "old" : "current");
        ASSERT_TRUE(IsDriveListSound(list));
        ASSERT_EQ(list->count, 2u);
        const BurnDriveRecord& first = list->drives[0];
        EXPECT_STREQ(first.name, "Fake DVD-RW");
        // The old record holds 31 characters of a name, and three of the
        // adapter's name come over from it.
        EXPECT_EQ(std::string(list->drives[1].name), std::string(row.oldDrives ? 31 : 40, 'L'));
        EXPECT_STREQ(first.adapterName, row.oldDrives ? "ide" : "ide12");
        EXPECT_STREQ(first.address, row.oldDrives ? "" : "fake:0");
        EXPECT_EQ(first.bus, 0u);
        EXPECT_EQ(list->drives[1].target, 2u);
        EXPECT_EQ(list->drives[1].unit, 3u);
        EXPECT_EQ(list->drives[1].flags, 0xA1);
        EXPECT_EQ(list->drives[1].capabilities, 0x1235u);
        EXPECT_EQ(first.readSpeeds.count, 4u);
        EXPECT_EQ(first.readSpeeds.baseKBps, 150u);
        EXPECT_EQ(std::vector<std::uint32_t>(first.readSpeeds.kBps, first.readSpeeds.kBps + 5),
                  (std::vector<std::uint32_t>{600, 1200, 2400, 3600, 0}));
        EXPECT_EQ(
            std::vector<std::uint32_t>(first.readSpeeds.multiples, first.readSpeeds.multiples + 5),
            (std::vector<std::uint32_t>{4, 8, 16, 24, 0}));
        EXPECT_EQ(first.writeSpeeds.count, 2u);
        EXPECT_EQ(first.writeSpeeds.kBps[1], 600u);
        EXPECT_EQ(first.kind, 7u);
        EXPECT_STREQ(first.revision, "1.5");
        EXPECT_EQ(first.bufferSize, 2048u);
        burn::EngineFreeMem(list);

        // The drive listing the disc writer asks for.
        ClearLog();
        list = burn::EngineGetAvailableDrivesEx(BURN_MEDIA_CD, nullptr);
        ASSERT_NE(list, nullptr);
        EXPECT_TRUE(IsDriveListSound(list));
        EXPECT_STREQ(list->drives[0].name, "Fake DVD-RW");
        burn::EngineFreeMem(list);
        const bool exCall = row.dir != disc_test::kOldEngineDir;
        EXPECT_EQ(Calls("EngineGetAvailableDrivesEx").size(), exCall ? 1u : 0u);
        EXPECT_EQ(Calls("EngineGetAvailableDrives").size(), exCall ? 0u : 1u);
        if (!exCall) {
            // Without the Ex call only CD drives can be listed.
            EXPECT_EQ(burn::EngineGetAvailableDrivesEx(BURN_MEDIA_DVD, nullptr), nullptr);
        }

        // A list that claims more drives than it holds is no list, in either form.
        Configure({{"drive_count_extra", "1"}});
        list = burn::EngineGetAvailableDrives();
        EXPECT_EQ(list == nullptr, row.oldDrives);
        if (list != nullptr) {
            EXPECT_FALSE(IsDriveListSound(list));
            burn::EngineFreeMem(list);
        }
    });
}

TEST_F(BurnEngineVersionTest, DrivesAreOpenedWithTheRecordOfTheEnginesVersion) {
    const BurnDriveRecord record = disc_test::SampleCurrentRecord();
    const BurnDriveRecord before = record;
    EachRow([&](const EngineRow& row) {
        BurnDeviceHandle device = burn::EngineOpenDevice(&record);
        ASSERT_NE(device, nullptr);
        const auto opens = Calls("EngineOpenDevice");
        ASSERT_EQ(opens.size(), 1u);
        EXPECT_EQ(opens[0]["form"].toString(), row.oldDrives ? "old" : "current");
        EXPECT_EQ(opens[0]["drive"].toString().toStdString(),
                  std::string(row.oldDrives ? 31 : 40, 'N'));
        if (row.oldDrives) {
            EXPECT_EQ(opens[0]["bytes"].toString().toStdString(),
                      disc_test::SampleOldBytes().Hex());
        }
        EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0) << "the caller's record changed";
        burn::EngineCloseDevice(device);

        // A record whose speed list overruns it is not handed on.
        BurnDriveRecord overrun = record;
        overrun.readSpeeds.count = BURN_SPEED_COUNT_MAX + 1;
        ClearLog();
        device = burn::EngineOpenDevice(&overrun);
        EXPECT_EQ(device == nullptr, row.oldDrives);
        EXPECT_EQ(Calls("EngineOpenDevice").size(), row.oldDrives ? 0u : 1u);
        burn::EngineCloseDevice(device);
    });
}

TEST_F(BurnEngineVersionTest, TracksComeBackWithTheCurrentInterface) {
    EachRow([&](const EngineRow& row) {
        BurnIsoItem* item = MakeItem("A.DVR");
        BurnIsoTrack* track = burn::EngineCreateIsoTrackEx(item, "KestruneBackup", 11);
        ASSERT_NE(track, nullptr);
        const auto made = Calls("EngineCreateIsoTrackEx");
        ASSERT_EQ(made.size(), 1u);
        EXPECT_EQ(made[0]["form"].toString(), row.oldTracks ? "old" : "current");
        EXPECT_EQ(made[0]["name"].toString(), "KestruneBackup");
        EXPECT_EQ(made[0]["flags"].toInt(), 11);
        const OldTrackAdapter* adapter = AsOldTrackAdapter(track);
        EXPECT_EQ(adapter != nullptr, row.oldTracks);
        if (adapter != nullptr) {
            EXPECT_TRUE(adapter->owns);
        }

        // Slot by slot, as the disc writer would call them.
        const char* form = row.oldTracks ? "old" : "current";
        for (const auto& slot : kCurrentCallSlots) {
            SCOPED_TRACE(slot.number);
            ClearLog();
            const intptr_t answer = (track->ops->*slot.member)(track, slot.number);
            const auto shared = kShared.find(slot.number);
            const bool reached = !row.oldTracks || shared != kShared.end();
            const int engineSlot = row.oldTracks && reached ? shared->second : slot.number;
            if (slot.number == 1) {
                EXPECT_EQ(answer, reinterpret_cast<intptr_t>(item));
            } else if (slot.number == 2) {
                EXPECT_STREQ(reinterpret_cast<const char*>(answer), "KestruneBackup");
            } else {
                EXPECT_EQ(answer, reached ? SlotAnswer(engineSlot, slot.number) : 0);
            }
            using SlotList = std::vector<std::pair<std::string, int>>;
            EXPECT_EQ(SlotCalls(), (reached ? SlotList{{form, engineSlot}} : SlotList{}));
        }
        ClearLog();
        std::uint32_t pair[2] = {0xFFFFFFFF, 0xFFFFFFFF};
        EXPECT_EQ(track->ops->slot9(track, &pair[0], &pair[1]),
                  row.oldTracks ? 0 : SlotAnswer(9, 0));
        EXPECT_EQ(pair[0], row.oldTracks ? 0u : 9u);
        EXPECT_EQ(pair[1], row.oldTracks ? 0u : 99u);
        std::uint32_t eight[8];
        std::memset(eight, 0xFF, sizeof eight);
        EXPECT_EQ(track->ops->slot29(track, &eight[0], &eight[1], &eight[2], &eight[3], &eight[4],
                                     &eight[5], &eight[6], &eight[7]),
                  row.oldTracks ? 0 : SlotAnswer(29, 0));
        for (std::uint32_t i = 0; i < 8; ++i) {
            EXPECT_EQ(eight[i], row.oldTracks ? 0u : i + 1);
        }
        EXPECT_EQ(SlotCalls().size(), row.oldTracks ? 0u : 2u);

        // Freed once, by the engine, through the interface it knows.
        ClearLog();
        burn::EngineFreeIsoTrack(track);
        EXPECT_EQ(Calls("EngineFreeIsoTrack").at(0)["form"].toString(), form);
        const auto destroyed = Calls("TrackDestroyed");
        ASSERT_EQ(destroyed.size(), 1u);
        EXPECT_EQ(destroyed[0]["form"].toString(), form);
        burn::EngineFreeIsoItemTree(item);
    });
}

TEST_F(BurnEngineVersionTest, TrackArgumentsReachOlderEnginesWithZeroFirst) {
    EachRow([&](const EngineRow& row) {
        const BurnTrackArguments arguments{sizeof(BurnTrackArguments), 1, 2, 3, 4};
        BurnIsoTrack* track =
            burn::EngineCreateIsoTrackEx(nullptr, &arguments, BURN_TRACK_ARGUMENTS | 3);
        ASSERT_NE(track, nullptr);
        const auto made = Calls("EngineCreateIsoTrackEx");
        ASSERT_EQ(made.size(), 1u);
        EXPECT_EQ(made[0]["arguments"].toArray(),
                  (QJsonArray{row.oldArguments ? 0 : 20, 1, 2, 3, 4}));
        EXPECT_EQ(made[0]["flags"].toInt(), 0x83);
        EXPECT_EQ(arguments.size, 20u);
        burn::EngineFreeIsoTrack(track);
    });
}

TEST_F(BurnEngineVersionTest, ABurnShowsTheEngineItsOwnInterfaceAndRestoresTheTrack) {
    EachRow([&](const EngineRow& row) {
        Configure({{"probe_slots", "1"}});
        BurnIsoItem* item = MakeItem("A.DVR");
        BurnIsoTrack* track = burn::EngineCreateIsoTrackEx(item, "KestruneBackup", 11);
        const std::ptrdiff_t adapters = LiveTrackAdapters();
        BurnWriteRecord record{};
        record.size = sizeof record;
        record.isoTrack = track;
        record.mediaType = BURN_MEDIA_DVD;
        ClearLog();
        EXPECT_EQ(burn::EngineBurn(nullptr, BURN_COMPILATION_ISO, &record, 4, 0, nullptr), 0);
        EXPECT_EQ(record.isoTrack, track);
        EXPECT_EQ(LiveTrackAdapters(), adapters);
        EXPECT_EQ(record.mediaType, row.dvd);

        const auto burns = Calls("EngineBurn");
        ASSERT_EQ(burns.size(), 1u);
        const QJsonObject burn = burns[0];
        const char* form = row.oldTracks ? "old" : "current";
        EXPECT_EQ(burn["form"].toString(), form);
        EXPECT_EQ(burn["track"].toString(), "KestruneBackup");
        EXPECT_EQ(burn["items"].toArray().at(0).toObject()["name"].toString(), "A.DVR");
        EXPECT_EQ(static_cast<std::uint32_t>(burn["media"].toInteger()), row.dvd);
        // The engine's probe of every numbered slot of what it was given.
        const QJsonObject answers = burn["slots"].toObject();
        const int last = row.oldTracks ? 19 : 28;
        EXPECT_EQ(answers.size(), last - 3);  // 3..last without 9
        for (int slot = 3; slot <= last; ++slot) {
            if (slot == 9) {
                continue;
            }
            SCOPED_TRACE(slot);
            const bool reached = !row.oldTracks || SharedOldSlot(slot);
            EXPECT_EQ(answers[QString::number(slot)].toInteger(),
                      reached ? SlotAnswer(slot, slot) : 0);
        }
        EXPECT_EQ(burn["slot9"].toArray(),
                  row.oldTracks ? (QJsonArray{0, 0, 0})
                                : (QJsonArray{static_cast<qint64>(SlotAnswer(9, 0)), 9, 99}));
        if (!row.oldTracks) {
            EXPECT_EQ(burn["slot29"].toArray(),
                      (QJsonArray{static_cast<qint64>(SlotAnswer(29, 0)), 1, 2, 3, 4, 5, 6, 7, 8}));
        }
        // Through the adapters, only shared slots reach the engine's own track.
        for (const auto& [callForm, slot] : SlotCalls()) {
            EXPECT_EQ(callForm, form);
            EXPECT_TRUE(!row.oldTracks || SharedOldSlot(slot)) << slot;
        }
        burn::EngineFreeIsoTrack(track);
        burn::EngineFreeIsoItemTree(item);
    });
}

TEST_F(BurnEngineVersionTest, EachCompilationTypeHasItsMediaTypeAndTrackAdapted) {
    EachRow([&](const EngineRow& row) {
        BurnIsoTrack* track = burn::EngineCreateIsoTrackEx(nullptr, "T", 11);
        BurnWriteRecord write{};
        write.size = sizeof write;
        write.isoTrack = track;
        write.mediaType = BURN_MEDIA_DVD;
        BurnWriteRecord audio = write;
        BurnVideoRecord video{};
        video.size = sizeof video;
        video.isoTrack = track;
        video.mediaType = BURN_MEDIA_DVD;
        BurnCopyRecord copy{};
        copy.size = sizeof copy;
        copy.mediaType = BURN_MEDIA_DVD;
        BurnImageRecord image{};
        image.size = sizeof image;
        image.mediaType = BURN_MEDIA_DVD;
        struct Case {
            std::uint32_t type;
            void* record;
            const std::uint32_t* media;
            BurnIsoTrack* const* isoTrack;
            std::uint32_t expected;
        };
        const Case cases[] = {
            {BURN_COMPILATION_ISO, &write, &write.mediaType, &write.isoTrack, row.dvd},
            // This type's media type is left as it is.
            {BURN_COMPILATION_ISO_AUDIO, &audio, &audio.mediaType, &audio.isoTrack, BURN_MEDIA_DVD},
            {BURN_COMPILATION_VIDEO, &video, &video.mediaType, &video.isoTrack, row.dvd},
            {BURN_COMPILATION_COPY, &copy, &copy.mediaType, nullptr, row.dvd},
            {BURN_COMPILATION_IMAGE, &image, &image.mediaType, nullptr, row.dvd},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.type);
            ClearLog();
            EXPECT_EQ(burn::EngineBurn(nullptr, c.type, c.record, 4, 0, nullptr), 0);
            const QJsonObject burn = Calls("EngineBurn").at(0);
            EXPECT_EQ(static_cast<std::uint32_t>(burn["media"].toInteger()), c.expected);
            EXPECT_EQ(*c.media, c.expected);
            if (c.isoTrack != nullptr) {
                EXPECT_EQ(burn["form"].toString(), row.oldTracks ? "old" : "current");
                EXPECT_EQ(burn["track"].toString(), "T");
                EXPECT_EQ(*c.isoTrack, track);
            }
        }
        burn::EngineFreeIsoTrack(track);
    });
}

}  // namespace
