#pragma once

// "Playback Search": asks a recorder to play back its recordings from a
// date and time, either from any recording (time search) or from the next
// recorded event of a kind on a channel (event search), on one disk or all.
// The set-up reads the recorder's disks ("/GetDvrHDD.cgi") and lists the
// channels of its model; OK sends "/SearchPlayBack.cgi". Nothing is read
// back from the search.

#include <QDialog>
#include <optional>
#include <string>
#include <string_view>

#include "liveview/dialogs/hdd_presence_map.h"

class QComboBox;
class QDateEdit;
class QPushButton;
class QTimeEdit;

namespace liveview {

// Channels of a recorder model: 4, 8 or 16 for the DVR family, else 0.
int PlaybackChannelCount(std::string_view productId);

class CPlaybackSearchDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr std::string_view kEventSearch = "EVENT SEARCH";
    static constexpr std::string_view kTimeSearch = "TIME SEARCH";
    static constexpr std::string_view kAlarm = "ALARM";
    static constexpr std::string_view kMotion = "MOTION";

    // Builds the dialog and runs its set-up, which talks to the device.
    explicit CPlaybackSearchDlg(QWidget* parent = nullptr);
    ~CPlaybackSearchDlg() override;

    // Runs the dialog modally; QDialog::Accepted after a sent event search.
    int DoModal();

    // The search-type selection changed: a time search needs neither a
    // channel nor an event type.
    void OnSelchangeSearchType();
    // Sends the search. The dialog closes only after a sent event search.
    void OnOK();

    // The request target OK sends for the current choices; nothing while no
    // disk is chosen, or an event search has no channel or event type.
    std::optional<std::string> SearchTarget() const;

    // Whether the set-up ran to its end (disk map read, channels listed).
    bool SetupCompleted() const { return m_setupCompleted; }
    const HddPresenceMap& Map() const { return m_HddPresenceMap; }

    QComboBox* searchTypeCombo() const { return m_searchType; }
    QComboBox* hddCombo() const { return m_hdd; }
    QComboBox* channelCombo() const { return m_channel; }
    QComboBox* eventTypeCombo() const { return m_eventType; }
    QDateEdit* dateEdit() const { return m_date; }
    QTimeEdit* timeEdit() const { return m_time; }
    QPushButton* okButton() const { return m_ok; }

private:
    bool OnInitDialog();
    bool FillHddList();
    bool FillChannelList();
    void UpdateOkButton();
    static int SendPlaybackSearch(const std::string& target);

    HddPresenceMap m_HddPresenceMap;
    QComboBox* m_searchType = nullptr;
    QComboBox* m_hdd = nullptr;
    QComboBox* m_channel = nullptr;
    QComboBox* m_eventType = nullptr;
    QDateEdit* m_date = nullptr;
    QTimeEdit* m_time = nullptr;
    QPushButton* m_ok = nullptr;
    bool m_setupCompleted = false;
};

}  // namespace liveview
