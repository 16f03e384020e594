// The generated main-window skin: every bitmap the window, the panel, the
// channel bar and the command bar load exists, faces blitted unscaled have
// their button's size, and the faces of one button differ.

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <tuple>

#include "liveview/control/bar_tables.h"
#include "liveview/skin/skin_tables.h"
#include "tests/support/artifacts.h"
#include "tests/support/temp_dir.h"
#include "tools/skingen/main_skin.h"

namespace {

namespace fs = std::filesystem;

class MainSkinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new test_support::TempDir();
        written = skingen::WriteMainSkin(dir->path());
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }

    static QImage Load(const std::string& name) {
        QImage image;
        image.load(QString::fromStdString((dir->path() / "BMP" / (name + ".bmp")).string()), "BMP");
        return image;
    }

    // Every use of a face: its name and the size of the button wearing it.
    struct Use {
        std::string name;
        QSize size;
    };
    static std::vector<Use> Uses() {
        std::vector<Use> uses;
        const auto add = [&uses](const char* name, int w, int h) {
            if (name != nullptr) {
                uses.push_back({name, QSize(w, h)});
            }
        };
        for (const SkinFamily& family : SkinButtonTable) {
            for (const SkinButtonRow& row : family.rows) {
                if ((row.wFlags & kSkinPresent) == 0) {
                    continue;
                }
                for (int slot = 0; slot < kSkinSlotCount; ++slot) {
                    const int w = row.rect[slot].Width();
                    const int h = row.rect[slot].Height();
                    if (row.wStyle == kSkinStyleThreeBitmap) {
                        add(row.files[slot * 3], w, h);
                        add(row.files[slot * 3 + 1], w, h);
                    } else {
                        for (const char* file : TwoStateFiles(row, slot)) {
                            add(file, w, h);
                        }
                    }
                }
            }
        }
        for (int slot = 0; slot < kSkinSlotCount; ++slot) {
            const ViewLayoutRow& v = ViewLayoutTable[slot];
            for (const char* file : kPanelUpFiles[slot]) {
                add(file, v[kVlPanelUpX + 2], v[kVlPanelUpX + 3]);
            }
            for (const char* file : kPanelDownFiles[slot]) {
                add(file, v[kVlPanelDownX + 2], v[kVlPanelDownX + 3]);
            }
            for (int i = 0; i < 4; ++i) {
                const SkinRect arrow = SkinButtonTable[1].rows[kTurboArrowRows[i]].rect[slot];
                for (const char* file : kTurboArrowFiles[i][slot]) {
                    add(file, arrow.Width(), arrow.Height());
                }
                const SkinRect zoom =
                    SkinButtonTable[8].rows[kTurboZoomFocusFirstRow + i].rect[slot];
                for (const char* file : kTurboZoomFocusFiles[i]) {
                    add(file, zoom.Width(), zoom.Height());
                }
            }
        }
        const ViewLayoutRow& v = ViewLayoutTable[0];
        for (const auto& files : kTitleBarFiles) {
            for (const char* file : files) {
                add(file, v[kVlTitleWidth], v[kVlTitleHeight]);
            }
        }
        for (const char* file : kPowerFiles) {
            add(file, v[kVlPowerWidth], v[kVlPowerHeight]);
        }
        for (const ChannelButtonRow& row : kChannelRowsQ8A7) {
            for (const char* file : row.files) {
                add(file, row.wWidth, row.wHeight);
            }
        }
        for (const Q3A2ChannelRow& row : kChannelRowsQ3A2) {
            for (int k = 0; k < 16; ++k) {
                add(row.files[k], row.rect[k / 4].Width(), row.rect[k / 4].Height());
            }
        }
        for (const CommandButtonRow& row : CommandButtonTable) {
            for (int slot = 0; slot < kSkinSlotCount; ++slot) {
                for (int k = 0; k < 6; ++k) {
                    add(row.normal[k], row.rect[slot].Width(), row.rect[slot].Height());
                    add(row.disabled[k], row.rect[slot].Width(), row.rect[slot].Height());
                }
            }
        }
        return uses;
    }

    static test_support::TempDir* dir;
    static std::size_t written;
};

test_support::TempDir* MainSkinTest::dir = nullptr;
std::size_t MainSkinTest::written = 0;

TEST_F(MainSkinTest, EveryFaceHasItsButtonsSize) {
    std::map<std::string, std::set<std::pair<int, int>>> sizes;
    for (const Use& use : Uses()) {
        sizes[use.name].insert({use.size.width(), use.size.height()});
    }
    // Faces that buttons of different sizes share (a pixel apart): these
    // may have any one of their buttons' sizes.
    const std::set<std::string> shared{"cut4",     "cut4_a",       "pluse",     "pluse_a",
                                       "minus",    "minus_a",      "QVGA_slow", "QVGA_slow_a",
                                       "sequence", "sequence_over"};
    std::set<std::string> foundShared;
    for (const auto& [name, wanted] : sizes) {
        const QImage image = Load(name);
        ASSERT_FALSE(image.isNull()) << name;
        const std::pair<int, int> size{image.width(), image.height()};
        if (wanted.size() > 1) {
            foundShared.insert(name);
            EXPECT_TRUE(wanted.count(size)) << name;
        } else {
            EXPECT_EQ(size, *wanted.begin()) << name;
        }
    }
    EXPECT_EQ(foundShared, shared);
    const auto generatorShared = skingen::MainSkinSharedSizeNames();
    EXPECT_EQ(std::set<std::string>(generatorShared.begin(), generatorShared.end()), shared);
}

TEST_F(MainSkinTest, BackgroundsStatusLinesAndIconsExist) {
    for (const SkinBackgroundSet& set : kSkinBackgrounds) {
        for (const char* file : {set.background, set.backgroundPanel, set.statusBar}) {
            EXPECT_FALSE(Load(file).isNull()) << file;
        }
    }
    EXPECT_EQ(Load("N_VGA_BG").size(), QSize(722, 608));
    EXPECT_EQ(Load("P_QVGA_BG_EX").size(), QSize(370, 509));
    EXPECT_FALSE(Load(kOnlineUserIcon).isNull());
    EXPECT_FALSE(Load(kAlarmIcon).isNull());
    EXPECT_EQ(written, skingen::MainSkinFiles().size());
}

TEST_F(MainSkinTest, FacesOfOneButtonDiffer) {
    const std::vector<std::vector<std::string>> groups{
        {"ch1", "ch1_a"},
        {"N_VGA_LEFT", "N_VGA_LEFT_OVER", "N_VGA_LEFT_TURBO"},
        {"tubro_close", "tubro_close_over", "tubro", "tubro_over"},
        {"power", "power_over", "power_down"},
        {"Channel_3_Enable", "Channel_3_Enable_over", "Channel_3_Disable",
         "Channel_3_Disable_over"},
        {"link", "link_over", "link_off", "link_n"},
        {"Record_Button", "Recording_Button", "Record_Button_n"},
        {"Title_Bar_Close", "Title_Bar_Close_a"},
        {"ch1", "ch2", "ch16"},
    };
    for (const auto& group : groups) {
        for (std::size_t a = 0; a < group.size(); ++a) {
            for (std::size_t b = a + 1; b < group.size(); ++b) {
                EXPECT_NE(Load(group[a]), Load(group[b])) << group[a] << " vs " << group[b];
            }
        }
    }
}

#ifdef KESTRUNE_BUILT_PROGRAM_DIR
// The build drew the same files into the program's own BMP folder.
TEST_F(MainSkinTest, TheBuildDrewEveryFileBesideTheProgram) {
    const fs::path built = fs::path(KESTRUNE_BUILT_PROGRAM_DIR) / "BMP";
    for (const skingen::MainSkinFile& file : skingen::MainSkinFiles()) {
        QImage image;
        image.load(QString::fromStdString((built / (file.name + ".bmp")).string()), "BMP");
        EXPECT_EQ(image.size(), QSize(file.width, file.height)) << file.name;
        EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32),
                  Load(file.name).convertToFormat(QImage::Format_RGB32))
            << file.name;
    }
}
#endif

TEST_F(MainSkinTest, ContactSheetForAPerson) {
    const QImage sheet = skingen::DrawMainSkinContactSheet();
    ASSERT_FALSE(sheet.isNull());
    test_support::SaveImagePicture(sheet, "main_skin_faces.png");
    // The whole window as two families wear it.
    for (const auto& [family, viewMode, name] :
         {std::tuple{6, 0, "main_skin_16ch_dmr_n_vga.png"},
          std::tuple{19, 3, "main_skin_zrt417_p_qvga.png"},
          std::tuple{18, 2, "main_skin_ptz_pelco_p_vga.png"}}) {
        const QImage preview = skingen::DrawMainWindowPreview(family, viewMode);
        EXPECT_EQ(preview.size(),
                  QSize(ViewLayoutTable[viewMode][6], ViewLayoutTable[viewMode][7]));
        test_support::SaveImagePicture(preview, name);
    }
}

}  // namespace
