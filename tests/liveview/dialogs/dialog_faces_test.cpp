// The skin generator's faces of the small skinned dialogs: every file is
// drawn at the size the dialogs place it, and the colour dialog's pieces
// join into its frame.

#include "tools/skingen/dialog_faces.h"

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "tests/support/artifacts.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

TEST(DialogFaces, EachFileHasItsSizeOnce) {
    test_support::EnsureQtApp();
    std::set<std::string> paths;
    for (const skingen::DialogFaceFile& file : skingen::DialogFaceFiles()) {
        EXPECT_TRUE(paths.insert(std::string(file.path)).second) << file.path;
        const QImage image = skingen::DrawDialogFace(file);
        EXPECT_EQ(image.size(), QSize(file.width, file.height)) << file.path;
    }
    // The faces the dialogs blit unscaled have exactly their button's size.
    const struct {
        const char* path;
        QSize size;
    } buttons[] = {
        {"BMP/Dialog_apply.bmp", {88, 25}},  {"BMP/Dialog_apply_over.bmp", {88, 25}},
        {"BMP/Dialog_ok.bmp", {44, 25}},     {"BMP/Dialog_default.bmp", {88, 25}},
        {"BMP/Dialog_Hue.bmp", {20, 20}},    {"BMP/login_ok.bmp", {49, 25}},
        {"BMP/login_ok_over.bmp", {49, 25}},
    };
    for (const auto& b : buttons) {
        const auto it =
            std::find_if(skingen::DialogFaceFiles().begin(), skingen::DialogFaceFiles().end(),
                         [&b](const skingen::DialogFaceFile& f) { return f.path == b.path; });
        ASSERT_NE(it, skingen::DialogFaceFiles().end()) << b.path;
        EXPECT_EQ(QSize(it->width, it->height), b.size) << b.path;
    }
}

TEST(DialogFaces, FramePiecesAreCutFromTheDesign) {
    test_support::EnsureQtApp();
    const QImage design = skingen::DrawColourDialogDesign();
    ASSERT_EQ(design.size(), QSize(304, 196));
    const struct {
        const char* path;
        QPoint at;
    } pieces[] = {{"BMP/TitleLeft.bmp", {0, 0}},     {"BMP/TilteBar_ess.bmp", {10, 0}},
                  {"BMP/TitleRight.bmp", {294, 0}},  {"BMP/LeftSide_ess.bmp", {0, 32}},
                  {"BMP/Bottom_ess.bmp", {10, 183}}, {"BMP/BottomRight.bmp", {294, 183}}};
    for (const auto& piece : pieces) {
        for (const skingen::DialogFaceFile& file : skingen::DialogFaceFiles()) {
            if (file.path == piece.path) {
                const QImage drawn = skingen::DrawDialogFace(file).convertToFormat(design.format());
                EXPECT_EQ(drawn, design.copy(QRect(piece.at, drawn.size()))) << piece.path;
            }
        }
    }
    test_support::SaveImagePicture(design.scaled(608, 392), "colour_dialog_design.png");
}

}  // namespace
