#include "platform/video_compressor.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QThread>
#include <mutex>

#include "platform/modal_dialog.h"

namespace platform {

namespace {

// Stores frames as they come: the bitmap header of the input is the stored
// format, and the stream header names no handler.
class FullFramesCompressor final : public VideoCompressor {
public:
    FourCC StreamHandler() const override { return 0; }

    std::optional<BitmapInfoHeader> OutputFormat(const BitmapInfoHeader& input) const override {
        if (input.compression != kBitmapCompressionRgb) {
            return std::nullopt;
        }
        return input;
    }

    std::optional<std::span<const std::uint8_t>> Compress(std::span<const std::uint8_t> frame,
                                                          bool& keyFrame) override {
        keyFrame = true;
        return frame;
    }
};

FourCC LowerCase(FourCC code) {
    FourCC out = 0;
    for (int i = 0; i < 4; ++i) {
        auto c = static_cast<std::uint8_t>(code >> (8 * i));
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<std::uint8_t>(c - 'A' + 'a');
        }
        out |= static_cast<FourCC>(c) << (8 * i);
    }
    return out;
}

bool ShowCompressionDialog(CompressionOptions& options) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        return false;
    }
    const std::vector<CompressorDescription> installed = InstalledVideoCompressors();
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Video Compression"));
    auto* layout = new QFormLayout(&dialog);
    auto* choice = new QComboBox(&dialog);
    choice->setObjectName(QStringLiteral("compressor"));
    for (const CompressorDescription& compressor : installed) {
        choice->addItem(QString::fromStdString(compressor.name));
        if (LowerCase(compressor.handler) == LowerCase(options.handler)) {
            choice->setCurrentIndex(choice->count() - 1);
        }
    }
    layout->addRow(QStringLiteral("Compressor:"), choice);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    if (RunModal(dialog) != QDialog::Accepted || choice->currentIndex() < 0) {
        return false;
    }
    options.handler = installed[static_cast<std::size_t>(choice->currentIndex())].handler;
    return true;
}

std::mutex g_chooserLock;
CompressionChooser g_chooser;

}  // namespace

std::vector<CompressorDescription> InstalledVideoCompressors() {
    return {{kCompressorFullFrames, "Full Frames (Uncompressed)"}};
}

std::unique_ptr<VideoCompressor> OpenVideoCompressor(FourCC handler) {
    if (LowerCase(handler) == LowerCase(kCompressorFullFrames)) {
        return std::make_unique<FullFramesCompressor>();
    }
    return nullptr;
}

bool ChooseCompression(CompressionOptions& options) {
    CompressionChooser chooser;
    {
        std::lock_guard guard(g_chooserLock);
        chooser = g_chooser;
    }
    return chooser ? chooser(options) : ShowCompressionDialog(options);
}

void SetCompressionChooser(CompressionChooser chooser) {
    std::lock_guard guard(g_chooserLock);
    g_chooser = std::move(chooser);
}

}  // namespace platform
