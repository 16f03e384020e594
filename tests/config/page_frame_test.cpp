// The page frame: caption and message areas, the caption icon, the ellipsis,
// and a picture of the frame for a person to look at.

#include "config/sheet/page_frame.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <filesystem>

#include "tests/support/artifacts.h"
#include "tests/support/qt_app.h"

namespace {

namespace fs = std::filesystem;

QIcon TestIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setBrush(QColor(0, 120, 215));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(1, 1, 14, 14);
    painter.end();
    return QIcon(pixmap);
}

class PageFrameTest : public ::testing::Test {
protected:
    void SetUp() override { test_support::EnsureQtApp(); }
};

TEST_F(PageFrameTest, AreasFollowTheCaption) {
    PageFrameWnd frame;
    // Before its window exists the frame keeps state and has no areas.
    frame.ShowCaption(true);
    EXPECT_TRUE(frame.CaptionArea().isEmpty());
    ASSERT_TRUE(frame.Create(true, QRect(10, 20, 300, 200), nullptr, 0xFFFF));
    EXPECT_EQ(frame.ControlId(), 0xFFFF);
    EXPECT_EQ(frame.windowTitle(), "Page Frame");

    frame.SetCaptionHeight(24);
    EXPECT_EQ(frame.CaptionArea(), QRect(0, 0, 300, 24));
    EXPECT_EQ(frame.MessageArea(), QRect(0, 25, 300, 175));
    // A caption height of 0 leaves an empty strip; the message starts one
    // pixel below the top.
    frame.SetCaptionHeight(0);
    EXPECT_TRUE(frame.CaptionArea().isEmpty());
    EXPECT_EQ(frame.MessageArea().top(), 1);
    frame.ShowCaption(false);
    EXPECT_TRUE(frame.CaptionArea().isEmpty());
    EXPECT_EQ(frame.MessageArea(), QRect(0, 0, 300, 200));
    EXPECT_EQ(frame.MessageFormat(), Qt::AlignCenter | Qt::TextSingleLine);
}

TEST_F(PageFrameTest, CaptionIconAndEllipsis) {
    PageFrameWnd frame;
    ASSERT_TRUE(frame.Create(true, QRect(0, 0, 160, 80), nullptr, 1));
    frame.ShowCaption(true);
    frame.SetCaptionHeight(22);
    frame.SetCaption("DVR-Record", TestIcon());
    EXPECT_FALSE(frame.CaptionImage().isNull());
    EXPECT_EQ(frame.CaptionImage().size(), QSize(16, 16));
    // A caption without an icon removes the previous one.
    frame.SetCaption("General");
    EXPECT_TRUE(frame.CaptionImage().isNull());

    const QString longText = "A caption far too long for the strip of this frame";
    frame.SetCaption(longText);
    (void)frame.grab();
    EXPECT_NE(frame.DrawnCaptionText(), longText);
    EXPECT_TRUE(frame.DrawnCaptionText().endsWith(QChar(0x2026)))
        << frame.DrawnCaptionText().toStdString();
    frame.SetCaption("Mail");
    (void)frame.grab();
    EXPECT_EQ(frame.DrawnCaptionText(), "Mail");
}

TEST_F(PageFrameTest, PictureOfTheFrame) {
    QWidget holder;
    holder.resize(420, 260);
    PageFrameWnd frame;
    ASSERT_TRUE(frame.Create(true, QRect(10, 10, 400, 240), &holder, 0xFFFF));
    frame.ShowCaption(true);
    frame.SetCaptionHeight(24);
    frame.SetCaption("DVR-Network Backup", TestIcon());
    frame.SetMessageText("The page \"Network Backup\" is empty");
    holder.show();
    QApplication::processEvents();
    const QImage shot = holder.grab().toImage();
    test_support::SaveImagePicture(shot, "page_frame.png");
    // The strip's left end has the caption colour, the right end the face.
    const QImage strip = frame.grab().toImage();
    EXPECT_EQ(strip.pixelColor(0, 12),
              frame.palette().color(QPalette::Inactive, QPalette::Highlight));
    EXPECT_NE(strip.pixelColor(0, 12), strip.pixelColor(399, 12));
    EXPECT_EQ(strip.pixelColor(200, 100), frame.palette().color(QPalette::Button));
}

}  // namespace
