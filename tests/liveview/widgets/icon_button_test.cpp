#include "liveview/widgets/icon_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <filesystem>

#include "tests/support/artifacts.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using liveview::CIconButton;

namespace {

// 8 x 8, red border (the transparent colour) around a blue square.
QImage Face(QColor inner = Qt::blue, int size = 8) {
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter p(&image);
    p.fillRect(size / 4, size / 4, size / 2, size / 2, inner);
    return image;
}

class IconButtonTest : public ::testing::Test {
protected:
    void SetUp() override { test_support::EnsureQtApp(); }

    static QImage Shot(CIconButton& button) {
        return button.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    static void Hover(CIconButton& button) {
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(&button, &enter);
    }
};

TEST_F(IconButtonTest, SettersAnswerTheirCodes) {
    CIconButton b;
    QColor c;
    EXPECT_EQ(b.SetColor(6, Qt::red), CIconButton::kInvalidIndex);
    EXPECT_EQ(b.SetColor(-1, Qt::red), CIconButton::kInvalidIndex);
    EXPECT_EQ(b.GetColor(6, c), CIconButton::kInvalidIndex);
    EXPECT_EQ(b.SetAlign(4), CIconButton::kInvalidAlign);
    EXPECT_EQ(b.SetPressedStyle(2), CIconButton::kInvalidPressedStyle);
    EXPECT_EQ(b.OffsetColor(0, 300), CIconButton::kBadParam);
    EXPECT_EQ(b.OffsetColor(6, 10), CIconButton::kInvalidIndex);
    EXPECT_EQ(b.SetBk(QPixmap(4, 4)), CIconButton::kBadParam);  // not transparent
    b.DrawTransparent();
    EXPECT_EQ(b.SetBk(QPixmap()), CIconButton::kBadParam);
    EXPECT_EQ(b.SetAlign(3), CIconButton::kOk);
    EXPECT_EQ(b.SetPressedStyle(1), CIconButton::kOk);
    EXPECT_EQ(b.EnableBalloonTooltip(), CIconButton::kOk);
    EXPECT_EQ(b.TooltipStyle(), 0x40u);
}

TEST_F(IconButtonTest, ColourShiftStaysInRange) {
    struct Case {
        int offset;
        QColor expected;
    };
    for (const Case& k : {Case{10, QColor(255, 15, 15)}, Case{-20, QColor(240, 0, 0)},
                          Case{0, QColor(250, 10, 10)}, Case{255, QColor(255, 15, 15)}}) {
        CIconButton b;
        ASSERT_EQ(b.SetColor(CIconButton::kColorBkIn, QColor(250, 10, 10)), 0);
        EXPECT_EQ(b.OffsetColor(CIconButton::kColorBkIn, k.offset), 0);
        QColor c;
        ASSERT_EQ(b.GetColor(CIconButton::kColorBkIn, c), 0);
        EXPECT_EQ(c, k.expected) << k.offset;
    }
}

TEST_F(IconButtonTest, UnusableImagesAreRefusedAndNothingIsDrawnFromThem) {
    CIconButton b;
    b.resize(40, 20);
    ASSERT_EQ(b.SetBitmaps(Face(), Qt::red, CIconButton::kOutGray), 0);
    EXPECT_TRUE(b.HasBitmap());
    // A zero-size picture, a missing file, a zero-size out picture: refused,
    // and every earlier image is gone.
    EXPECT_EQ(b.SetBitmaps(QImage(0, 0, QImage::Format_RGB32), Qt::red), 1);
    EXPECT_FALSE(b.HasBitmap());
    ASSERT_EQ(b.SetBitmaps(Face(), Qt::red), 0);
    EXPECT_EQ(b.SetBitmaps(Face(), Qt::red, QImage(0, 5, QImage::Format_RGB32), Qt::red), 1);
    EXPECT_FALSE(b.HasBitmap());
    EXPECT_EQ(b.SetBitmaps(QString("/nonexistent/face.bmp"), Qt::red), 1);
    EXPECT_EQ(b.SetIcon(QString("/nonexistent/in.png"), QString("/nonexistent/out.png")), 1);
    EXPECT_FALSE(b.HasIcon());
    b.setText("text");
    (void)Shot(b);  // paints without an image
    b.SizeToContent();
    EXPECT_EQ(b.size(), QSize(40, 20));
}

TEST_F(IconButtonTest, DerivedOutImagesKeepTheTransparentPixels) {
    CIconButton b;
    ASSERT_EQ(b.SetBitmaps(Face(QColor(200, 100, 40)), Qt::red, CIconButton::kOutGray), 0);
    const int gray = static_cast<int>(0.299 * 200 + 0.587 * 100 + 0.114 * 40);
    EXPECT_EQ(b.OutImage().pixel(3, 3), qRgb(gray, gray, gray));
    EXPECT_EQ(qAlpha(b.OutImage().pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(b.InImage().pixel(0, 0)), 0);
    ASSERT_EQ(b.SetBitmaps(Face(QColor(200, 100, 40)), Qt::red, CIconButton::kOutDarker), 0);
    EXPECT_EQ(b.OutImage().pixel(3, 3), qRgb(150, 75, 30));
    b.SizeToContent();
    EXPECT_EQ(b.size(), QSize(8, 8));
}

TEST_F(IconButtonTest, CheckBoxModeTogglesAndShowsTheInImageWhileChecked) {
    CIconButton b;
    b.AttachStyle(0x3);  // an automatic check box
    ASSERT_TRUE(b.IsCheckBox());
    b.resize(20, 20);
    ASSERT_EQ(b.SetBitmaps(Face(Qt::blue), Qt::red, Face(Qt::green), Qt::red), 0);
    const QPoint centre(10, 10);  // the image is centred: 6..13
    EXPECT_EQ(Shot(b).pixel(centre), QColor(Qt::green).rgb());
    for (int click = 1; click <= 4; ++click) {
        b.click();
        EXPECT_EQ(b.GetCheck(), click % 2);
        EXPECT_EQ(Shot(b).pixel(centre), QColor(click % 2 != 0 ? Qt::blue : Qt::green).rgb())
            << click;
    }
    // Outside check-box mode SetCheck does nothing.
    CIconButton plain;
    plain.SetCheck(1);
    EXPECT_EQ(plain.GetCheck(), 0);
}

TEST_F(IconButtonTest, BordersFollowFlatAndDefault) {
    const QColor face(90, 140, 200);
    CIconButton flat;
    flat.resize(30, 20);
    for (int i = 0; i < 6; i += 2) {
        flat.SetColor(i, face);
    }
    flat.DrawBorder(false);
    Hover(flat);
    ASSERT_TRUE(flat.IsHighlighted());
    const QImage noBorder = Shot(flat);
    EXPECT_EQ(noBorder.pixel(0, 0), face.rgb());
    EXPECT_EQ(noBorder.pixel(29, 19), face.rgb());

    flat.DrawBorder(true);
    EXPECT_NE(Shot(flat).pixel(0, 0), face.rgb());

    CIconButton raised;
    raised.resize(30, 20);
    raised.SetFlat(false);
    raised.AttachStyle(0x1);  // default push button
    ASSERT_TRUE(raised.GetDefault());
    const QImage shot = Shot(raised);
    EXPECT_EQ(shot.pixel(0, 0), QColor(Qt::black).rgb());
    EXPECT_EQ(shot.pixel(29, 19), QColor(Qt::black).rgb());
}

TEST_F(IconButtonTest, Pictures) {
    QWidget panel;
    panel.resize(360, 60);
    panel.setAutoFillBackground(true);
    struct Mode {
        int align;
        bool flat;
        const char* text;
    };
    const Mode modes[] = {
        {0, false, "Left"}, {1, false, "Above"}, {2, true, "Right"}, {3, false, ""}, {0, true, ""}};
    int x = 5;
    for (const Mode& m : modes) {
        auto* b = new CIconButton(&panel);
        b->setGeometry(x, 8, 64, 44);
        b->SetAlign(m.align);
        b->SetFlat(m.flat);
        b->setText(m.text);
        b->SetBitmaps(Face(QColor(40, 120, 220), 16), Qt::red, CIconButton::kOutDarker);
        x += 70;
    }
    panel.show();
    QApplication::processEvents();
    test_support::SaveImagePicture(panel.grab().toImage(), "icon_button.png");
}

}  // namespace
