#include "maintenance/disc/write_cd_setting_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <filesystem>

#include "config/sheet/sheet_progress.h"
#include "core/state/app_global_state.h"
#include "core/widgets/dialog_units.h"
#include "maintenance/disc/disc_writer.h"
#include "platform/modal_dialog.h"

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

CSettingINI* Settings() {
    return g_lpApp != nullptr ? &g_lpApp->CSettingINI : nullptr;
}

}  // namespace

WriteCdSettingDialog::WriteCdSettingDialog(QWidget* parent, CDiscWriter* writer)
    : QDialog(parent), m_writer(writer != nullptr ? writer : &AppDiscWriter()) {
    setWindowTitle(QStringLiteral("Write CD Setting"));
    const QFont f = font();
    const auto place = [&](QWidget* w, int id, int x, int y, int width, int height) {
        w->setGeometry(DialogUnitsToPixels(f, x, y, width, height));
        if (id != 0) {
            w->setObjectName(QString::number(id));
        }
    };
    const QRect size = DialogUnitsToPixels(f, 0, 0, 253, 79);
    setFixedSize(size.width(), size.height());

    place(new QLabel(QStringLiteral("SOURCE FILE :"), this), 0, 7, 9, 66, 8);
    m_sourceEdit = new QLineEdit(this);
    m_sourceEdit->setReadOnly(true);
    place(m_sourceEdit, kIdSourceFile, 75, 7, 171, 12);
    place(new QLabel(QStringLiteral("FILE NAME :"), this), 0, 7, 24, 66, 8);
    m_fileNameEdit = new QLineEdit(this);
    place(m_fileNameEdit, kIdFileName, 75, 22, 171, 12);
    place(new QLabel(QStringLiteral("Available Device :"), this), 0, 7, 39, 66, 8);
    m_cbDrives = new QComboBox(this);
    place(m_cbDrives, kIdDrives, 75, 37, 171, 12);
    m_closeDisc = new QCheckBox(QStringLiteral("Close Disc"), this);
    place(m_closeDisc, kIdCloseDisc, 7, 60, 52, 10);
    m_appendPlayer = new QCheckBox(QStringLiteral("Append Player "), this);
    place(m_appendPlayer, kIdAppendPlayer, 62, 60, 62, 10);
    m_importLastSession = new QCheckBox(QStringLiteral("Import Last Session"), this);
    place(m_importLastSession, kIdImportLastSession, 7, 52, 80, 8);
    m_cd = new QRadioButton(QStringLiteral("CD"), this);
    place(m_cd, kIdCd, 90, 52, 25, 8);
    m_dvd = new QRadioButton(QStringLiteral("DVD"), this);
    place(m_dvd, kIdDvd, 118, 52, 25, 8);
    // The two media buttons are not a group: each sets both itself.
    m_cd->setAutoExclusive(false);
    m_dvd->setAutoExclusive(false);
    for (QWidget* hidden : {static_cast<QWidget*>(m_importLastSession), static_cast<QWidget*>(m_cd),
                            static_cast<QWidget*>(m_dvd)}) {
        hidden->setEnabled(false);
        hidden->setVisible(false);
    }
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    place(m_ok, kIdOk, 126, 58, 40, 14);
    m_cancel = new QPushButton(QStringLiteral("CANCEL WRITING CD"), this);
    place(m_cancel, kIdCancelWriting, 170, 58, 76, 14);

    connect(m_closeDisc, &QCheckBox::clicked, this, &WriteCdSettingDialog::OnCloseDisc);
    connect(m_appendPlayer, &QCheckBox::clicked, this, &WriteCdSettingDialog::OnAppendPlayer);
    connect(m_cd, &QRadioButton::clicked, this, &WriteCdSettingDialog::OnCd);
    connect(m_dvd, &QRadioButton::clicked, this, &WriteCdSettingDialog::OnDvd);
    connect(m_fileNameEdit, &QLineEdit::textChanged, this,
            &WriteCdSettingDialog::OnFileNameChanged);
    connect(m_cbDrives, &QComboBox::currentIndexChanged, this,
            &WriteCdSettingDialog::OnDriveChanged);
    connect(m_ok, &QPushButton::clicked, this, &WriteCdSettingDialog::OnOk);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* WriteCdSettingDialog::Control(int id) const {
    return findChild<QWidget*>(QString::number(id));
}

bool WriteCdSettingDialog::SetSource(const std::string& sourcePath,
                                     const std::vector<std::string>* driveNames, int driveCount,
                                     std::uint32_t mediaType, std::uint64_t sizeBytes) {
    m_strSourceFile = sourcePath;
    m_dwMediaType = mediaType;
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(sourcePath, error);
    if (error) {
        full = sourcePath;
    }
    m_strFileName = full.filename().string();
    m_writer->m_dwSourceSize = sizeBytes;
    m_strSourceFolder = (full.parent_path() / "").string();
    if (driveCount <= 0 || driveNames == nullptr) {
        return false;
    }
    m_ppDriveNames = driveNames;
    m_nDriveCount = std::min(driveCount, static_cast<int>(driveNames->size()));
    return true;
}

bool WriteCdSettingDialog::OnInitDialog() {
    m_updating = true;
    m_cbDrives->clear();
    for (int i = 0; i < m_nDriveCount && m_ppDriveNames != nullptr; ++i) {
        m_cbDrives->addItem(Q((*m_ppDriveNames)[static_cast<std::size_t>(i)]));
    }
    m_nDriveIndex = 0;
    if (CSettingINI* settings = Settings()) {
        m_bCloseDisc = settings->m_dwWriteCdCloseOption.load() != 0;
    }
    m_cbDrives->setCurrentIndex(m_cbDrives->count() > 0 ? 0 : -1);
    m_cd->setChecked(m_dwMediaType == 1);
    m_dvd->setChecked(m_dwMediaType != 1);
    if (CSettingINI* settings = Settings()) {
        settings->m_bAppendPlayer = m_bAppendPlayer;
    }
    m_updating = false;
    UpdateData(false);
    return true;
}

int WriteCdSettingDialog::DoModal() {
    OnInitDialog();
    return platform::RunModal(*this);
}

void WriteCdSettingDialog::UpdateData(bool save) {
    m_updating = true;
    if (save) {
        m_bCloseDisc = m_closeDisc->isChecked();
        m_bImportLastSession = m_importLastSession->isChecked();
        m_strSourceFile = m_sourceEdit->text().toStdString();
        m_bAppendPlayer = m_appendPlayer->isChecked();
        m_strFileName = m_fileNameEdit->text().toStdString();
    } else {
        m_closeDisc->setChecked(m_bCloseDisc);
        m_importLastSession->setChecked(m_bImportLastSession);
        m_sourceEdit->setText(Q(m_strSourceFile));
        m_appendPlayer->setChecked(m_bAppendPlayer);
        if (m_fileNameEdit->text() != Q(m_strFileName)) {
            m_fileNameEdit->setText(Q(m_strFileName));
        }
    }
    m_updating = false;
}

void WriteCdSettingDialog::OnCloseDisc() {
    m_bCloseDisc = !m_bCloseDisc;
    if (CSettingINI* settings = Settings()) {
        settings->m_dwWriteCdCloseOption = m_bCloseDisc ? 1 : 0;
    }
    UpdateData(false);
}

void WriteCdSettingDialog::OnAppendPlayer() {
    m_bAppendPlayer = !m_bAppendPlayer;
    if (CSettingINI* settings = Settings()) {
        settings->m_bAppendPlayer = m_bAppendPlayer;
    }
    UpdateData(false);
}

void WriteCdSettingDialog::OnCd() {
    m_dwMediaType = 1;
    m_cd->setChecked(true);
    m_dvd->setChecked(false);
}

void WriteCdSettingDialog::OnDvd() {
    m_dwMediaType = 0xC001C;
    m_cd->setChecked(false);
    m_dvd->setChecked(true);
}

void WriteCdSettingDialog::OnFileNameChanged() {
    if (!m_updating) {
        UpdateData(true);
    }
}

void WriteCdSettingDialog::OnDriveChanged(int index) {
    if (!m_updating && index >= 0) {
        m_nDriveIndex = index;
    }
}

void WriteCdSettingDialog::OnOk() {
    UpdateData(true);
    accept();
}

void WriteCdProgressHook(int phase, int value) {
    switch (phase) {
        case kDiscBurnStarts:
            PostSheetProgress(kProgressStart, 0);
            PostSheetProgress(kProgressSetTotal, 100);
            break;
        case kDiscBurnProgress:
            PostSheetProgress(kProgressSetPosition, value);
            break;
        case kDiscBurnEnded:
            PostSheetProgress(kProgressHide, 0);
            break;
        default:
            break;
    }
}

bool PrepareBackupBurn(QWidget* parent, const std::string& targetPath, std::uint32_t sizeMb) {
    CDiscWriter& writer = AppDiscWriter();
    if (!writer.InitEngine(targetPath, &WriteCdProgressHook)) {
        return false;
    }
    for (;;) {
        WriteCdSettingDialog dialog(parent, &writer);
        if (!dialog.SetSource(targetPath, &writer.DriveNames(), writer.m_nDriveCount,
                              writer.m_dwMediaType, std::uint64_t{sizeMb} << 20)) {
            return false;
        }
        if (dialog.DoModal() != QDialog::Accepted) {
            return false;
        }
        writer.m_bCloseDisc = dialog.m_bCloseDisc;
        writer.m_nDriveIndex = dialog.m_nDriveIndex;
        writer.m_strDiscFile = dialog.m_strSourceFolder + dialog.m_strFileName;
        if (writer.PrepareDisc()) {
            return true;
        }
    }
}

int BurnPreparedBackup() {
    return AppDiscWriter().BurnFiles();
}

void AbortBackupBurn() {
    AppDiscWriter().Abort();
}
