#include "config/pages/record_page.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "config/pages/page_controls.h"
#include "config/sheet/my_system_dialog.h"
#include "core/state/app_global_state.h"
#include "liveview/dialogs/dlg_get_path.h"
#include "platform/modal_dialog.h"

using namespace pages;

namespace {

RecordPage::WaveFilePicker& WavePicker() {
    static RecordPage::WaveFilePicker picker;
    return picker;
}

std::optional<std::string> PickFolder(QWidget* parent, const std::string& start) {
    liveview::CDlgGetPath dialog(parent);
    dialog.SetPath(start);
    if (platform::RunModal(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.GetPath();
}

std::optional<std::string> PickWaveFile(QWidget* parent) {
    if (WavePicker()) {
        return WavePicker()(parent);
    }
    const QString file = QFileDialog::getOpenFileName(parent, QString(), QString(),
                                                      QStringLiteral("WAV files (*.wav)"), nullptr,
                                                      QFileDialog::ReadOnly);
    if (file.isEmpty()) {
        return std::nullopt;
    }
    return Std(file);
}

}  // namespace

void RecordPage::SetWavePicker(WaveFilePicker wave) {
    WavePicker() = std::move(wave);
}

RecordPage::RecordPage(MySystemDialog& sheet) : m_sheet(sheet) {
    setObjectName(QStringLiteral("RecordPage"));
    MakeLabel(this, 0, QStringLiteral("Snapshot Path : "), 14, 24, 120);
    m_snapshotEdit = MakeEdit(this, 1041, 140, 22, 220);
    auto* snapshot = MakeButton(this, 1315, QStringLiteral("Modify"), 370, 21, 70);
    MakeLabel(this, 0, QStringLiteral("Record Path : "), 14, 60, 120);
    m_recordEdit = MakeEdit(this, 1040, 140, 58, 220);
    auto* record = MakeButton(this, 1314, QStringLiteral("Modify"), 370, 57, 70);
    m_audioLabel = MakeLabel(this, 1350, QStringLiteral("Alarm Audio Path : "), 14, 96, 120);
    m_audioEdit = MakeEdit(this, 1042, 140, 94, 220);
    m_audioEdit->setReadOnly(true);
    m_audioModify = MakeButton(this, 1316, QStringLiteral("Modify"), 370, 93, 70);

    connect(record, &QPushButton::clicked, this, &RecordPage::OnModifyRecordPath);
    connect(snapshot, &QPushButton::clicked, this, &RecordPage::OnModifySnapshotPath);
    connect(m_audioModify, &QPushButton::clicked, this, &RecordPage::OnModifyAudioPath);
    OnInitDialog();
    connect(m_recordEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_sheet.LocalValues().recordPath = Std(text); });
    connect(m_snapshotEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_sheet.LocalValues().snapshotPath = Std(text); });
}

void RecordPage::OnInitDialog() {
    const DeviceIdentity& device = m_sheet.Device();
    const bool linkedDvr = g_lpApp != nullptr && g_lpApp->C_ControlD.HasLinkedDvr() != 0;
    const bool audio = !device.IsDvr() || linkedDvr;
    for (QWidget* w : {static_cast<QWidget*>(m_audioLabel), static_cast<QWidget*>(m_audioEdit),
                       static_cast<QWidget*>(m_audioModify)}) {
        w->setVisible(audio);
    }
    ShowPaths();
}

void RecordPage::ShowPaths() {
    const SheetLocalValues& local = m_sheet.LocalValues();
    SetEditText(m_recordEdit, Qs(local.recordPath));
    SetEditText(m_snapshotEdit, Qs(local.snapshotPath));
    SetEditText(m_audioEdit, Qs(local.triggerWavPath));
}

void RecordPage::OnModifyRecordPath() {
    if (const auto folder = PickFolder(this, m_sheet.LocalValues().recordPath)) {
        m_sheet.LocalValues().recordPath = *folder;
        ShowPaths();
    }
}

void RecordPage::OnModifySnapshotPath() {
    if (const auto folder = PickFolder(this, m_sheet.LocalValues().snapshotPath)) {
        m_sheet.LocalValues().snapshotPath = *folder;
        ShowPaths();
    }
}

void RecordPage::OnModifyAudioPath() {
    if (const auto file = PickWaveFile(this)) {
        m_sheet.LocalValues().triggerWavPath = *file;
        ShowPaths();
    }
}
