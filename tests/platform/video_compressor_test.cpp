#include "platform/video_compressor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTimer>
#include <thread>

#include "tests/support/qt_app.h"

namespace platform {
namespace {

TEST(VideoCompressorTest, OnlyFullFramesAreInstalled) {
    struct Case {
        FourCC handler;
        bool installed;
    };
    for (const Case c :
         {Case{kCompressorFullFrames, true}, Case{MakeFourCC('d', 'i', 'b', ' '), true},
          Case{MakeFourCC('M', 'P', 'G', '4'), false}, Case{MakeFourCC('m', 'p', 'g', '4'), false},
          Case{0, false}}) {
        EXPECT_EQ(OpenVideoCompressor(c.handler) != nullptr, c.installed) << std::hex << c.handler;
    }
    ASSERT_EQ(InstalledVideoCompressors().size(), 1u);
    EXPECT_EQ(InstalledVideoCompressors()[0].handler, kCompressorFullFrames);
}

TEST(VideoCompressorTest, FullFramesStoreFramesAsTheyCome) {
    const auto compressor = OpenVideoCompressor(kCompressorFullFrames);
    ASSERT_TRUE(compressor);
    EXPECT_EQ(compressor->StreamHandler(), 0u);
    BitmapInfoHeader rgb;
    rgb.width = 2;
    rgb.height = 2;
    rgb.bitCount = 32;
    rgb.sizeImage = 16;
    const auto stored = compressor->OutputFormat(rgb);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->Serialize(), rgb.Serialize());
    BitmapInfoHeader packed = rgb;
    packed.compression = MakeFourCC('M', 'J', 'P', 'G');
    EXPECT_FALSE(compressor->OutputFormat(packed));

    const std::vector<std::uint8_t> frame = {1, 2, 3, 4, 5};
    bool key = false;
    const auto out = compressor->Compress(frame, key);
    ASSERT_TRUE(out);
    EXPECT_TRUE(key);
    EXPECT_EQ(std::vector<std::uint8_t>(out->begin(), out->end()), frame);
}

// Presses a button of the compression dialog once it runs.
void PressWhenShown(QDialogButtonBox::StandardButton which) {
    QTimer::singleShot(0, [which] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        ASSERT_NE(dialog->findChild<QComboBox*>("compressor"), nullptr);
        buttons->button(which)->click();
    });
}

TEST(VideoCompressorTest, DialogOffersTheInstalledCompressors) {
    test_support::EnsureQtApp();
    CompressionOptions options;
    options.handler = MakeFourCC('m', 'p', 'g', '4');
    PressWhenShown(QDialogButtonBox::Cancel);
    EXPECT_FALSE(ChooseCompression(options));
    EXPECT_EQ(options.handler, MakeFourCC('m', 'p', 'g', '4'));

    PressWhenShown(QDialogButtonBox::Ok);
    EXPECT_TRUE(ChooseCompression(options));
    EXPECT_EQ(options.handler, kCompressorFullFrames);
}

TEST(VideoCompressorTest, NobodyCanChooseOffTheGuiThread) {
    test_support::EnsureQtApp();
    bool chosen = true;
    std::thread worker([&] {
        CompressionOptions options;
        chosen = ChooseCompression(options);
    });
    worker.join();
    EXPECT_FALSE(chosen);
}

TEST(VideoCompressorTest, ChooserCanBeReplaced) {
    SetCompressionChooser([](CompressionOptions& options) {
        options.handler = MakeFourCC('x', 'v', 'i', 'd');
        return true;
    });
    CompressionOptions options;
    EXPECT_TRUE(ChooseCompression(options));
    EXPECT_EQ(options.handler, MakeFourCC('x', 'v', 'i', 'd'));
    SetCompressionChooser({});
}

}  // namespace
}  // namespace platform
