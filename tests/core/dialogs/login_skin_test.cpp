// The generated login skin: every file the login dialog loads exists as a
// 24-bit BMP of the size the dialog paints it at, and the pieces join.

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "core/dialogs/login_dialog.h"
#include "tests/support/temp_dir.h"
#include "tools/skingen/skin_set.h"

namespace {

namespace fs = std::filesystem;

class LoginSkinTest : public ::testing::Test {
protected:
    void SetUp() override { written = skingen::WriteSkin(skingen::LoginSkin(), dir.path()); }

    QImage Load(std::string_view relative) const {
        QImage image;
        image.load(QString::fromStdString((dir.path() / fs::path(relative)).string()), "BMP");
        return image;
    }

    // The bits per pixel of a BMP file's header.
    int BitsPerPixel(std::string_view relative) const {
        std::ifstream file(dir.path() / fs::path(relative), std::ios::binary);
        std::vector<unsigned char> head(30);
        file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
        return head[0] == 'B' && head[1] == 'M' ? head[28] | head[29] << 8 : -1;
    }

    test_support::TempDir dir;
    std::size_t written = 0;
};

TEST_F(LoginSkinTest, EveryFileTheDialogLoadsIsWrittenAs24BitBmp) {
    std::vector<std::string_view> wanted;
    for (const auto list :
         {LoginDialog::SkinFiles(), LoginDialog::GlyphFiles(), LoginDialog::ButtonFiles()}) {
        wanted.insert(wanted.end(), list.begin(), list.end());
    }
    EXPECT_EQ(written, wanted.size());
    EXPECT_EQ(std::set<std::string_view>(wanted.begin(), wanted.end()).size(), wanted.size());
    for (const std::string_view file : wanted) {
        EXPECT_TRUE(fs::is_regular_file(dir.path() / fs::path(file))) << file;
        EXPECT_EQ(BitsPerPixel(file), 24) << file;
    }
}

TEST_F(LoginSkinTest, PiecesHaveTheSizesTheDialogPaints) {
    struct Size {
        std::string_view file;
        int width;
        int height;
    };
    const std::vector<Size> sizes{
        {"BMP/LOGIN/spacer.bmp", 304, 341},      {"BMP/LOGIN/left_top.bmp", 21, 34},
        {"BMP/LOGIN/right_top.bmp", 26, 34},     {"BMP/LOGIN/top_middle1.bmp", 257, 12},
        {"BMP/LOGIN/top_middle2.bmp", 257, 22},  {"BMP/LOGIN/left_middle.bmp", 21, 285},
        {"BMP/LOGIN/right_middle.bmp", 26, 285}, {"BMP/LOGIN/left_down.bmp", 25, 22},
        {"BMP/LOGIN/right_down.bmp", 24, 22},    {"BMP/LOGIN/down_middle.bmp", 255, 22},
        {"BMP/LOGIN/login_7.bmp", 10, 20},       {"BMP/LOGIN/login_point.bmp", 10, 20},
        {"BMP/LOGIN/download.BMP", 34, 34},      {"BMP/LOGIN/cancel_down.bmp", 32, 32},
        {"BMP/LOGIN/port.BMP", 28, 28},
    };
    for (const Size& size : sizes) {
        EXPECT_EQ(Load(size.file).size(), QSize(size.width, size.height)) << size.file;
    }
    // The running block is an even number of pixels wide: the dialog steps
    // it by half its width.
    EXPECT_EQ(Load("BMP/LOGIN/running.bmp").width() % 2, 0);
}

TEST_F(LoginSkinTest, FacesDifferAndSitOnTheBodyAroundThem) {
    const QImage normal = Load("BMP/LOGIN/enter.bmp");
    const QImage over = Load("BMP/LOGIN/enter_over.bmp");
    const QImage down = Load("BMP/LOGIN/enter_down.bmp");
    EXPECT_NE(normal, over);
    EXPECT_NE(normal, down);
    EXPECT_NE(over, down);
    // A face's corner shows the body under the button, so faces blend in.
    const QImage body = Load("BMP/LOGIN/spacer.bmp");
    EXPECT_EQ(normal.pixel(0, 0), body.pixel(50, 275));
    EXPECT_EQ(Load("BMP/LOGIN/name.BMP").pixel(0, 0), body.pixel(30, 100));
    // Digits differ from each other.
    EXPECT_NE(Load("BMP/LOGIN/login_1.bmp"), Load("BMP/LOGIN/login_7.bmp"));
}

TEST_F(LoginSkinTest, AFolderThatCannotBeWrittenIsReported) {
    std::ofstream(dir.path() / "blocked") << "a file where a folder should be";
    EXPECT_THROW(skingen::WriteSkin(skingen::LoginSkin(), dir.path() / "blocked"),
                 std::runtime_error);
}

}  // namespace
