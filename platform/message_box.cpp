#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <atomic>
#include <cstdio>

#include "platform/modal_dialog.h"

namespace platform {

namespace {

bool OnGuiThread() {
    auto* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

int RunModalBox(const std::string& text, unsigned flags) {
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("kestrune"));
    box.setText(QString::fromStdString(text));
    switch (flags & 0xF0) {
        case kMbIconError:
            box.setIcon(QMessageBox::Critical);
            break;
        case kMbIconQuestion:
            box.setIcon(QMessageBox::Question);
            break;
        case kMbIconWarning:
            box.setIcon(QMessageBox::Warning);
            break;
        default:
            box.setIcon(QMessageBox::Information);
            break;
    }
    if ((flags & 0xF) == kMbYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    } else if ((flags & 0xF) == kMbOkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (RunModal(box)) {
        case QMessageBox::Yes:
            return kIdYes;
        case QMessageBox::No:
            return kIdNo;
        case QMessageBox::Cancel:
            return kIdCancel;
        default:
            return kIdOk;
    }
}

class DefaultSink : public MessageBoxSink {
public:
    int Show(unsigned textId, const std::string& text, unsigned flags) override {
        auto* app = QCoreApplication::instance();
        if (app == nullptr || qobject_cast<QApplication*>(app) == nullptr) {
            std::fprintf(stderr, "kestrune: message %u: %s\n", textId, text.c_str());
            return kIdOk;
        }
        if (OnGuiThread()) {
            return RunModalBox(text, flags);
        }
        QMetaObject::invokeMethod(
            app, [text, flags] { RunModalBox(text, flags); }, Qt::QueuedConnection);
        return kIdNone;
    }
};

DefaultSink g_defaultSink;
std::atomic<MessageBoxSink*> g_sink{nullptr};

}  // namespace

int ShowMessageBox(unsigned textId, const std::string& text, unsigned flags) {
    MessageBoxSink* sink = g_sink.load(std::memory_order_acquire);
    return (sink != nullptr ? sink : &g_defaultSink)->Show(textId, text, flags);
}

MessageBoxSink* SetMessageBoxSink(MessageBoxSink* sink) {
    return g_sink.exchange(sink, std::memory_order_acq_rel);
}

}  // namespace platform
