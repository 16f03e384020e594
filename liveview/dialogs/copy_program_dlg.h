#pragma once

// "Copy Program": copies the client, with its data files and skins, from
// the program's folder (the executable from the running program) into
// another folder, showing its progress, then points the copy's Setting.ini
// at its new folder (record, snapshot and alarm-sound paths).
//
// Every file goes to a temporary name in its target folder first and is
// renamed into place, so an interrupted copy never leaves a half file under
// a real name. Files that could not be copied are reported with their
// count and the first names, in a text that wraps and makes the dialog
// grow as it needs, and the percentage then stays below 100.

#include <QDialog>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace liveview {

struct CopyProgramFile {
    std::string_view name;  // relative to the program's folder, '/'-separated
    // Written by the program itself when it needs it (the alarm list, the
    // settings): absent from a program that never wrote it, which is no
    // failure.
    bool writtenByProgram;
    // The executable: taken from the running program, wherever that lives
    // (an installed program's data folder, or $KESTRUNE_HOME, holds none).
    bool runningProgram = false;
};

// The files a built program has beside it: the files it writes itself and
// its assets, the executable, then the skin files.
std::span<const CopyProgramFile> CopyProgramFileTable();

// "%3d%%" of a percentage.
std::string PercentText(int percent);

// What a copy came to.
struct CopyProgramOutcome {
    std::size_t copied = 0;           // files copied
    std::size_t skipped = 0;          // program-written files the source does not have
    std::vector<std::string> failed;  // files that could not be copied, in table order
    bool settingsWritten = false;     // the three paths are in the copy's Setting.ini
    bool Succeeded() const { return failed.empty() && settingsWritten; }
};

class CCopyProgramDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kStartDelay{500};
    // How many failed names the report spells out.
    static constexpr std::size_t kNamesShown = 5;

    // Copies the table's files from `source` (the program's folder), the
    // executable from `runningExecutable` (empty: the running program's own
    // file), to `destination`.
    CCopyProgramDlg(QWidget* parent, std::filesystem::path source,
                    std::filesystem::path destination,
                    std::span<const CopyProgramFile> table = CopyProgramFileTable(),
                    std::chrono::milliseconds startDelay = kStartDelay,
                    std::filesystem::path runningExecutable = {});
    ~CCopyProgramDlg() override;

    int DoModal();

    // The copy, run once by the start timer (later calls do nothing).
    void CopyProgramFiles();

    const CopyProgramOutcome& Outcome() const { return m_outcome; }
    bool Finished() const { return m_finished; }
    QProgressBar* progressBar() const { return m_progress; }
    QLabel* percentLabel() const { return m_percent; }
    QLabel* reportLabel() const { return m_report; }
    QPushButton* okButton() const { return m_ok; }
    // The percentage text after each file, for tests.
    const std::vector<std::string>& PercentHistory() const { return m_history; }

private:
    bool OnInitDialog();
    bool CopyOneFile(const CopyProgramFile& file);
    bool WriteSettings();
    void ShowPercent(int percent);
    void ShowReport();

    std::filesystem::path m_source;
    std::filesystem::path m_destination;
    std::filesystem::path m_runningExecutable;
    std::span<const CopyProgramFile> m_table;
    QProgressBar* m_progress = nullptr;
    QTimer* m_timer = nullptr;
    QLabel* m_percent = nullptr;
    QLabel* m_report = nullptr;
    QPushButton* m_ok = nullptr;
    std::string m_strPercent;
    CopyProgramOutcome m_outcome;
    std::vector<std::string> m_history;
    bool m_started = false;
    bool m_finished = false;
    unsigned m_tempToken;  // names this dialog's temporary files
};

// The login dialog's copy-program step: runs the dialog from `source` (the
// program's folder) to `destination`.
void RunCopyProgram(QWidget* parent, const std::filesystem::path& source,
                    const std::filesystem::path& destination);

}  // namespace liveview
