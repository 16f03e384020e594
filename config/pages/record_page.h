#pragma once

// The "File Path" page: three local settings of the client, the folders for
// recordings and snapshots (chosen through the folder picker or typed) and
// the wave file played on an alarm. The page edits the sheet's local values,
// which APPLY stores in the settings whether or not the page was shown.

#include <QWidget>

#include <functional>
#include <optional>
#include <string>

#include "config/sheet/sheet_pages.h"

class QLabel;
class QLineEdit;
class QPushButton;

class RecordPage : public QWidget {
    Q_OBJECT
public:
    // The wave file picker: the system's file chooser, which may be a native
    // one that no test can drive, so tests replace it. None when the operator
    // cancelled.
    using WaveFilePicker = std::function<std::optional<std::string>(QWidget* parent)>;
    static void SetWavePicker(WaveFilePicker wave);  // empty: the file chooser

    explicit RecordPage(MySystemDialog& sheet);

    void OnModifyRecordPath();
    void OnModifySnapshotPath();
    void OnModifyAudioPath();

private:
    void OnInitDialog();
    void ShowPaths();

    MySystemDialog& m_sheet;
    QLineEdit* m_recordEdit = nullptr;
    QLineEdit* m_snapshotEdit = nullptr;
    QLineEdit* m_audioEdit = nullptr;
    QLabel* m_audioLabel = nullptr;
    QPushButton* m_audioModify = nullptr;
};
