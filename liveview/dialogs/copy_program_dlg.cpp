#include "liveview/dialogs/copy_program_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <array>
#include <cstdio>
#include <random>
#include <system_error>

#include "core/state/settings_store.h"
#include "platform/modal_dialog.h"
#include "platform/profile_file.h"
#include "platform/program_folder.h"

namespace liveview {

namespace fs = std::filesystem;

namespace {

constexpr CopyProgramFile kCopyProgramFileTable[] = {
#include "copy_program_files.inc"
};

constexpr bool TableIsSound() {
    // The program's own files come first, the executable among them (and
    // only it taken from the running program), and every name is relative.
    int executables = 0;
    for (const CopyProgramFile& file : kCopyProgramFileTable) {
        if (file.name.empty() || file.name.front() == '/' ||
            file.name.find("..") != std::string_view::npos ||
            file.runningProgram != (file.name == "kestrune")) {
            return false;
        }
        executables += file.runningProgram ? 1 : 0;
    }
    return executables == 1 && kCopyProgramFileTable[0].name == "AlarmData.dat";
}
static_assert(TableIsSound(), "the copy table must hold the program and relative names only");

fs::path WithSlash(fs::path folder) {
    std::string text = folder.string();
    if (text.empty() || text.back() != '/') {
        text.push_back('/');
    }
    return text;
}

}  // namespace

std::span<const CopyProgramFile> CopyProgramFileTable() {
    return kCopyProgramFileTable;
}

std::string PercentText(int percent) {
    char text[16];
    std::snprintf(text, sizeof text, "%3d%%", percent);
    return text;
}

CCopyProgramDlg::CCopyProgramDlg(QWidget* parent, fs::path source, fs::path destination,
                                 std::span<const CopyProgramFile> table,
                                 std::chrono::milliseconds startDelay, fs::path runningExecutable)
    : QDialog(parent),
      m_source(std::move(source)),
      m_destination(std::move(destination)),
      m_runningExecutable(runningExecutable.empty() ? platform::RunningExecutable()
                                                    : std::move(runningExecutable)),
      m_table(table),
      m_tempToken(std::random_device{}()) {
    setWindowTitle("Copy Program");
    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    m_percent = new QLabel(this);
    m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_percent->setMinimumWidth(40);
    m_report = new QLabel(this);
    m_report->setWordWrap(true);
    m_report->setStyleSheet("color: #b00020;");
    m_report->hide();
    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(m_progress, 1);
    row->addWidget(m_percent);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_report);
    layout->addWidget(buttons);
    resize(360, 110);

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(startDelay);
    connect(m_timer, &QTimer::timeout, this, &CCopyProgramDlg::CopyProgramFiles);
    OnInitDialog();
}

CCopyProgramDlg::~CCopyProgramDlg() = default;

int CCopyProgramDlg::DoModal() {
    return platform::RunModal(*this);
}

bool CCopyProgramDlg::OnInitDialog() {
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_strPercent = PercentText(0);
    m_percent->setText(QString::fromStdString(m_strPercent));
    m_ok->setEnabled(false);
    m_timer->start();
    return true;
}

void CCopyProgramDlg::ShowPercent(int percent) {
    m_strPercent = PercentText(percent);
    m_history.push_back(m_strPercent);
    m_progress->setValue(percent);
    m_percent->setText(QString::fromStdString(m_strPercent));
    // The copy runs straight through on this thread: paint the progress now.
    if (isVisible()) {
        m_progress->repaint();
        m_percent->repaint();
    }
}

void CCopyProgramDlg::CopyProgramFiles() {
    m_timer->stop();
    if (m_started) {
        return;
    }
    m_started = true;

    const std::size_t total = m_table.size();
    std::size_t done = 0;
    for (const CopyProgramFile& file : m_table) {
        if (CopyOneFile(file)) {
            ++done;
        } else {
            m_outcome.failed.emplace_back(file.name);
        }
        // The share of the table that is in place: a file that failed never
        // counts, so a copy with a failure stays below 100.
        ShowPercent(total == 0 ? 100 : static_cast<int>(done * 100 / total));
    }
    m_outcome.settingsWritten = WriteSettings();
    if (!m_outcome.Succeeded() && m_progress->value() == 100) {
        ShowPercent(99);  // the files are there, the copy is not complete
    }
    ShowReport();
    m_finished = true;
    m_ok->setEnabled(true);
}

bool CCopyProgramDlg::CopyOneFile(const CopyProgramFile& file) {
    const fs::path from =
        file.runningProgram ? m_runningExecutable : m_source / fs::path(file.name);
    const fs::path to = m_destination / fs::path(file.name);
    std::error_code error;
    if (!fs::exists(from, error)) {
        if (file.writtenByProgram && !error) {
            ++m_outcome.skipped;
            return true;
        }
        return false;
    }
    fs::create_directories(to.parent_path(), error);
    // A temporary name in the target's own folder, so the rename cannot
    // cross file systems; a stale one from an earlier run is replaced.
    const fs::path temporary = to.parent_path() / ("." + to.filename().string() + ".copying-" +
                                                   std::to_string(::getpid()));
    bool placed = fs::copy_file(from, temporary, fs::copy_options::overwrite_existing, error);
    if (placed) {
        fs::rename(temporary, to, error);
        placed = !error;
    }
    if (!placed) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    ++m_outcome.copied;
    return true;
}

bool CCopyProgramDlg::WriteSettings() {
    using Settings = ::CSettingINI;
    const fs::path folder = WithSlash(m_destination);
    platform::ProfileFile settings = platform::ProfileFile::Load(m_destination / "Setting.ini");
    const std::string_view section = Settings::m_strKeyName[Settings::kKeySection];
    return settings.SetString(section, Settings::m_strKeyName[Settings::kKeyRecordPath],
                              folder.string()) &&
           settings.SetString(section, Settings::m_strKeyName[Settings::kKeySnapshotPath],
                              folder.string()) &&
           settings.SetString(section, Settings::m_strKeyName[Settings::kKeyTriggerWavPath],
                              (folder / "alarm.wav").string()) &&
           settings.Save();
}

void CCopyProgramDlg::ShowReport() {
    if (m_outcome.Succeeded()) {
        m_report->hide();
        return;
    }
    std::string text;
    if (!m_outcome.failed.empty()) {
        const std::size_t count = m_outcome.failed.size();
        text = std::to_string(count) + (count == 1 ? " file" : " files") + " could not be copied: ";
        for (std::size_t i = 0; i < count && i < kNamesShown; ++i) {
            text += (i == 0 ? "" : ", ") + m_outcome.failed[i];
        }
        if (count > kNamesShown) {
            text += " and " + std::to_string(count - kNamesShown) + " more";
        }
        text += ".";
    }
    if (!m_outcome.settingsWritten) {
        text += std::string(text.empty() ? "" : " ") +
                "The paths in the copy's Setting.ini could not be set.";
    }
    m_report->setText(QString::fromStdString(text));
    m_report->show();
    // The text wraps at the dialog's width; the dialog grows to hold all
    // of its lines.
    layout()->activate();
    const int needed = heightForWidth(width());
    if (needed > height())
        resize(width(), needed);
}

void RunCopyProgram(QWidget* parent, const fs::path& source, const fs::path& destination) {
    CCopyProgramDlg dialog(parent, source, destination);
    dialog.DoModal();
}

}  // namespace liveview
