#include "core/widgets/qel_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>
#include <array>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Face = CQelButton::Face;
using FaceKind = CQelButton::FaceKind;

constexpr int kSize = 20;

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count;
        }
        return false;
    }
};

class QelButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        host = std::make_unique<QWidget>();
        host->resize(100, 100);
        button = new CQelButton(host.get());
        button->setGeometry(10, 10, kSize, kSize);
        button->installEventFilter(&paints);
        host->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        host.reset();
        QApplication::processEvents();
    }

    // A solid face of one colour, saved as a 24-bit BMP under the temp folder.
    fs::path Bitmap(const std::string& name, QRgb colour, int size = kSize) {
        QImage image(size, size, QImage::Format_RGB888);
        image.fill(colour);
        const fs::path file = dir / (name + ".bmp");
        EXPECT_TRUE(image.save(QString::fromStdString(file.string()), "BMP"));
        return file;
    }

    // The three faces flat (red), focus (green) and selected (blue).
    void LoadThreeFaces(std::uint16_t style) {
        ASSERT_EQ(button->LoadButtonBitmap(Bitmap("flat", kRed), Bitmap("focus", kGreen),
                                           Bitmap("selected", kBlue), style),
                  1);
    }

    // Two states: normal faces 0x100000 + n, hover faces 0x200000 + n.
    std::vector<fs::path> StateFiles(int count) {
        std::vector<fs::path> files;
        for (int n = 0; n < count; ++n) {
            files.push_back(Bitmap("state" + std::to_string(n), kStateNormal + n));
            files.push_back(Bitmap("hover" + std::to_string(n), kStateHover + n));
        }
        return files;
    }

    // The colour the button shows on screen, read back from a grab.
    QRgb Shown() const { return button->grab().toImage().pixel(kSize / 2, kSize / 2) & 0xFFFFFF; }

    void Send(QEvent::Type type, QPoint at = {kSize / 2, kSize / 2}) {
        const bool press = type == QEvent::MouseButtonPress;
        QMouseEvent event(type, QPointF(at), QPointF(button->mapToGlobal(at)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          press ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(button, &event);
    }
    void Leave() {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(button, &event);
    }

    static constexpr QRgb kRed = 0xFF0000;
    static constexpr QRgb kGreen = 0x00FF00;
    static constexpr QRgb kBlue = 0x0000FF;
    static constexpr QRgb kStateNormal = 0x100000;
    static constexpr QRgb kStateHover = 0x200000;

    test_support::TempDir dir;
    std::unique_ptr<QWidget> host;
    CQelButton* button = nullptr;
    PaintCounter paints;
};

TEST_F(QelButtonTest, PushFaceShowsWhileHeldAndFlatAfterRelease) {
    LoadThreeFaces(CQelButton::kStylePush);
    EXPECT_EQ(Shown(), kRed);
    Send(QEvent::MouseButtonPress);
    EXPECT_FALSE(button->IsReleased());
    EXPECT_EQ(Shown(), kBlue);
    Send(QEvent::MouseButtonRelease);
    EXPECT_TRUE(button->IsReleased());
    EXPECT_EQ(Shown(), kRed);
}

TEST_F(QelButtonTest, PushWithHoverShowsHoverThenPressedThenFlat) {
    LoadThreeFaces(CQelButton::kStylePushHover);
    Send(QEvent::MouseMove);
    EXPECT_EQ(Shown(), kGreen);
    Send(QEvent::MouseButtonPress);
    EXPECT_EQ(Shown(), kBlue);
    Send(QEvent::MouseButtonRelease);
    EXPECT_EQ(Shown(), kRed);
    // Still tracking: only leaving and coming back shows the hover face again.
    Send(QEvent::MouseMove);
    EXPECT_EQ(Shown(), kRed);
    Leave();
    Send(QEvent::MouseMove);
    EXPECT_EQ(Shown(), kGreen);
}

TEST_F(QelButtonTest, ClickStillReachesTheOwner) {
    LoadThreeFaces(CQelButton::kStylePushHover);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
    Send(QEvent::MouseButtonPress);
    Send(QEvent::MouseButtonRelease);
    EXPECT_EQ(clicks, 1);
}

TEST_F(QelButtonTest, CyclingStatesAdvanceOnEachPress) {
    const auto files = StateFiles(2);
    ASSERT_EQ(button->LoadButtonBitmap(2, files, CQelButton::kStyleCycling), 1);
    EXPECT_EQ(Shown(), kStateNormal + 0);
    Send(QEvent::MouseButtonPress);
    EXPECT_EQ(button->StateIndex(), 1);
    EXPECT_EQ(Shown(), kStateNormal + 1);
    Send(QEvent::MouseButtonRelease);
    Send(QEvent::MouseButtonPress);
    EXPECT_EQ(button->StateIndex(), 0);
    EXPECT_EQ(Shown(), kStateNormal + 0);
}

TEST_F(QelButtonTest, OwnerStatesIgnorePressesAndHoverTheCurrentState) {
    const auto files = StateFiles(3);
    ASSERT_EQ(button->LoadButtonBitmap(3, files, CQelButton::kStyleOwnerStates), 1);
    EXPECT_EQ(button->SetState(2), 1);
    EXPECT_EQ(Shown(), kStateNormal + 2);
    Send(QEvent::MouseMove);
    EXPECT_EQ(Shown(), kStateHover + 2);
    Send(QEvent::MouseButtonPress);
    EXPECT_EQ(button->StateIndex(), 2);
    Send(QEvent::MouseButtonRelease);
    Leave();
    EXPECT_EQ(Shown(), kStateNormal + 2);
}

TEST_F(QelButtonTest, SetStateOutOfRangeKeepsTheStateAndRepaints) {
    const auto files = StateFiles(2);
    ASSERT_EQ(button->LoadButtonBitmap(2, files, CQelButton::kStyleOwnerStates), 1);
    ASSERT_EQ(button->SetState(1), 1);
    const int before = paints.count;
    EXPECT_EQ(button->SetState(5), 1);
    EXPECT_EQ(button->StateIndex(), 1);
    EXPECT_EQ(paints.count, before + 1);
    EXPECT_EQ(Shown(), kStateNormal + 1);
    // -1 asks for the previous state and changes nothing.
    EXPECT_EQ(button->SetState(-1), 0);
    EXPECT_EQ(button->StateIndex(), 1);
}

TEST_F(QelButtonTest, SetStateWithoutStateBitmapsPaintsNothing) {
    LoadThreeFaces(CQelButton::kStylePush);
    const int before = paints.count;
    EXPECT_EQ(button->SetState(1), -1);
    EXPECT_EQ(paints.count, before);
    EXPECT_EQ(button->StateIndex(), 0);
}

TEST_F(QelButtonTest, HoverPaintsOnceOnEnteringAndOnceOnLeaving) {
    LoadThreeFaces(CQelButton::kStyleHover);
    const int before = paints.count;
    Send(QEvent::MouseMove, {3, 3});
    Send(QEvent::MouseMove, {5, 8});
    Send(QEvent::MouseMove, {kSize - 1, kSize - 1});
    EXPECT_EQ(paints.count, before + 1);
    EXPECT_TRUE(button->IsTracking());
    EXPECT_EQ(button->ShownFace().kind, FaceKind::Focus);
    Leave();
    Leave();
    EXPECT_EQ(paints.count, before + 2);
    EXPECT_EQ(Shown(), kRed);
}

TEST_F(QelButtonTest, MovesOutsideTheButtonDoNotHover) {
    LoadThreeFaces(CQelButton::kStyleHover);
    Send(QEvent::MouseMove, {kSize, 2});
    Send(QEvent::MouseMove, {-1, 2});
    EXPECT_FALSE(button->IsTracking());
    EXPECT_EQ(Shown(), kRed);
}

TEST_F(QelButtonTest, StylesWithoutHoverIgnoreTheMouse) {
    for (std::uint16_t style : {CQelButton::kStylePush, CQelButton::kStyleSingle}) {
        LoadThreeFaces(style);
        Send(QEvent::MouseMove);
        EXPECT_FALSE(button->IsTracking()) << style;
    }
}

TEST_F(QelButtonTest, SingleBitmapAlwaysShowsTheSameFace) {
    ASSERT_EQ(button->LoadButtonBitmap(Bitmap("single", 0x445566), CQelButton::kStyleSingle), 1);
    EXPECT_EQ(button->StateCount(), 0);
    EXPECT_EQ(Shown(), 0x445566u);
    Send(QEvent::MouseMove);
    Send(QEvent::MouseButtonPress);
    EXPECT_EQ(Shown(), 0x445566u);
    Send(QEvent::MouseButtonRelease);
    EXPECT_EQ(Shown(), 0x445566u);
    EXPECT_EQ(button->SetState(3), 1);
    EXPECT_EQ(Shown(), 0x445566u);
}

TEST_F(QelButtonTest, ReloadingStatesReplacesTheBitmapsAndKeepsTheFlag) {
    auto files = StateFiles(2);
    ASSERT_EQ(button->LoadButtonBitmap(2, files, CQelButton::kStyleOwnerStates), 1);
    const fs::path other = Bitmap("other", 0x0A0B0C);
    const std::vector<fs::path> skin{other, other, other, other, other, other};
    ASSERT_EQ(button->LoadButtonBitmap(3, skin, CQelButton::kStyleOwnerStates), 1);
    EXPECT_TRUE(button->BitmapLoaded());
    EXPECT_EQ(button->StateCount(), 3);
    EXPECT_EQ(button->SetState(2), 1);
    EXPECT_EQ(Shown(), 0x0A0B0Cu);
}

TEST_F(QelButtonTest, MissingFilesFailAndLeaveStyleAndFlag) {
    const fs::path missing = dir / "missing.bmp";
    // Before any load: nothing to show, nothing loaded.
    EXPECT_TRUE(button->ShownImage().isNull());
    EXPECT_EQ(button->LoadButtonBitmap(missing, CQelButton::kStyleSingle), 0);
    EXPECT_FALSE(button->BitmapLoaded());
    EXPECT_EQ(button->ButtonStyle(), 0);
    EXPECT_EQ(button->SetState(0), -1);

    // Three faces: the ones before the failure stay.
    EXPECT_EQ(button->LoadButtonBitmap(Bitmap("flat", kRed), missing, Bitmap("sel", kBlue),
                                       CQelButton::kStylePush),
              0);
    EXPECT_EQ(button->ButtonStyle(), 0);
    EXPECT_FALSE(button->FaceImage({FaceKind::Flat, 0}).isNull());
    EXPECT_TRUE(button->FaceImage({FaceKind::Focus, 0}).isNull());
    EXPECT_TRUE(button->FaceImage({FaceKind::Selected, 0}).isNull());

    // States: the count is taken, the faces after the failure stay empty.
    auto files = StateFiles(2);
    files[2] = missing;
    EXPECT_EQ(button->LoadButtonBitmap(2, files, CQelButton::kStyleOwnerStates), 0);
    EXPECT_EQ(button->StateCount(), 2);
    EXPECT_FALSE(button->FaceImage({FaceKind::StateNormal, 0}).isNull());
    EXPECT_FALSE(button->FaceImage({FaceKind::StateHover, 0}).isNull());
    EXPECT_TRUE(button->FaceImage({FaceKind::StateNormal, 1}).isNull());
    EXPECT_FALSE(button->BitmapLoaded());

    // A list shorter than the count fails instead of reading past it.
    const std::vector<fs::path> shortList{files[0]};
    EXPECT_EQ(button->LoadButtonBitmap(2, shortList, CQelButton::kStyleOwnerStates), 0);
}

TEST_F(QelButtonTest, AFaceIsNeverStretched) {
    ASSERT_EQ(button->LoadButtonBitmap(Bitmap("small", 0x00FFFF, 8), CQelButton::kStyleSingle), 1);
    const QImage shown = button->grab().toImage();
    EXPECT_EQ(shown.pixel(2, 2) & 0xFFFFFF, 0x00FFFFu);
    EXPECT_NE(shown.pixel(15, 15) & 0xFFFFFF, 0x00FFFFu);
}

TEST_F(QelButtonTest, DisabledLooksLikeEnabled) {
    LoadThreeFaces(CQelButton::kStylePushHover);
    const QImage enabled = button->grab().toImage();
    button->setEnabled(false);
    EXPECT_EQ(button->grab().toImage(), enabled);
}

TEST_F(QelButtonTest, SetStateFromAnotherThreadPaintsOnTheGuiThread) {
    const auto files = StateFiles(2);
    ASSERT_EQ(button->LoadButtonBitmap(2, files, CQelButton::kStyleOwnerStates), 1);
    int result = 0;
    std::thread worker([&] { result = button->SetState(1); });
    worker.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(button->StateIndex(), 1);
    QApplication::processEvents();
    EXPECT_EQ(button->ShownFace(), (Face{FaceKind::StateNormal, 1}));
    EXPECT_EQ(Shown(), kStateNormal + 1);
}

TEST_F(QelButtonTest, ThreeFaceCycleAndOwnerSetFaces) {
    LoadThreeFaces(CQelButton::kStyleThreeFaceCycle);
    std::vector<QRgb> shown{Shown()};
    for (int press = 0; press < 3; ++press) {
        Send(QEvent::MouseButtonPress);
        shown.push_back(Shown());
        Send(QEvent::MouseButtonRelease);
    }
    EXPECT_EQ(shown, (std::vector<QRgb>{kRed, kGreen, kBlue, kRed}));

    LoadThreeFaces(CQelButton::kStyleThreeFaceSet);
    for (const auto& [n, colour] : {std::pair{1, kRed}, {2, kGreen}, {3, kBlue}}) {
        EXPECT_EQ(button->SetThreeState(n), 1);
        EXPECT_EQ(Shown(), colour) << n;
        button->DrawItem();
        EXPECT_EQ(Shown(), colour) << n;
    }
    EXPECT_EQ(button->SetThreeState(4), 0);
}

TEST_F(QelButtonTest, StepBackWrapsToTheLastState) {
    const auto files = StateFiles(3);
    ASSERT_EQ(button->LoadButtonBitmap(3, files, CQelButton::kStyleOwnerStates), 1);
    EXPECT_EQ(button->StepBackState(), 1);
    EXPECT_EQ(button->StateIndex(), 2);
    EXPECT_EQ(Shown(), kStateNormal + 2);
    EXPECT_EQ(button->StepBackState(), 1);
    EXPECT_EQ(button->StateIndex(), 1);
}

TEST_F(QelButtonTest, OutlineShapesBecomeTheWindowShape) {
    for (int kind : {0, 1, 2, 3}) {
        button->SetOutlineShape(kind);
        const CButtonOutline& outline = button->Outline();
        for (std::size_t n = 0; n < 4; ++n) {
            const auto& polygon = outline.Polygon(n);
            ASSERT_GE(polygon.size(), 4u) << kind;
            EXPECT_EQ(polygon.front(), polygon.back()) << kind;
        }
        EXPECT_TRUE(button->mask().contains(QPoint(kSize / 2, kSize / 2))) << kind;
    }
    button->SetOutlineShape(CButtonOutline::kRectangle);
    EXPECT_EQ(button->Outline().Polygon(0).front(), QPoint(0, 0));
    EXPECT_EQ(button->Outline().Polygon(3).front(), QPoint(4, 4));
    EXPECT_EQ(button->Outline().Polygon(0)[2], QPoint(kSize - 1, kSize - 1));
    button->SetOutlineShape(CButtonOutline::kCircle);
    EXPECT_FALSE(button->mask().contains(QPoint(0, 0)));

    CQelButton copy(host.get());
    copy.resize(kSize, kSize);
    copy.SetOutline(button->Outline());
    EXPECT_EQ(copy.mask(), button->mask());
}

TEST_F(QelButtonTest, EdgeShadingIsLitFromTheUpperLeft) {
    const QPoint centre(10, 10);
    EXPECT_NEAR(CQelButton::EdgeWeight({0, 0}, centre), 1.0, 1e-9);
    EXPECT_NEAR(CQelButton::EdgeWeight({20, 20}, centre), 0.0, 1e-9);
    EXPECT_NEAR(CQelButton::EdgeWeight({20, 0}, centre), 0.5, 1e-9);
    EXPECT_EQ(CQelButton::BlendEdgeColour(1.0, qRgb(200, 100, 0), qRgb(0, 0, 0)),
              qRgb(200, 100, 0));
    EXPECT_EQ(CQelButton::BlendEdgeColour(0.5, qRgb(200, 100, 0), qRgb(0, 50, 100)),
              qRgb(100, 75, 50));
}

}  // namespace
