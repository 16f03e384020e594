#pragma once

// The "DVR" page of the DVR family: each channel's title, brightness,
// contrast, saturation, hue, covert switch (DVRLIVE) and record switch
// (DVRREC). One channel at a time is changed in the "Edit" dialog; accepted
// changes go straight into the sections, and APPLY sends the ones marked
// changed.

#include <QDialog>
#include <QWidget>

#include <array>
#include <cstdint>
#include <span>

#include "config/sheet/save_routines.h"
#include "config/sheet/sheet_pages.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class CCameraEditDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kIdNumber = 1433;
    static constexpr int kIdTitle = 1439;
    static constexpr int kIdBrightness = 1434;
    static constexpr int kIdContrast = 1435;
    static constexpr int kIdSaturation = 1436;
    static constexpr int kIdHue = 1438;
    static constexpr int kIdCovert = 1195;
    static constexpr int kIdRecord = 1196;

    explicit CCameraEditDlg(QWidget* parent = nullptr);

    // Members, in order.
    QString m_strNumber;
    int m_iBR = 0;
    int m_iCT = 0;
    int m_iST = 0;
    int m_iHUE = 0;
    QString m_strTitle;
    int m_iCovert = -1;
    int m_iRecord = -1;
    QString m_strInitialTitle;

    // The set-up: the title from the initial title, members into controls.
    void OnInitDialog();
    void MembersToControls();
    // Controls into members; false when a number edit holds no number (the
    // framework's message was shown; the dialog stays open).
    bool UpdateData();

    // Change handlers of the four number edits and the title edit.
    void OnValueChanged(QLineEdit* edit);
    void OnTitleChanged();

    QLineEdit* TitleEdit() const { return m_title; }
    QLineEdit* ValueEdit(int index) const { return m_values[static_cast<std::size_t>(index)]; }
    QComboBox* CovertList() const { return m_covert; }
    QComboBox* RecordList() const { return m_record; }
    QPushButton* OkButton() const { return m_ok; }

    void accept() override;

private:
    // Controls into members without the framework's checks (the change
    // handlers' first step): a number edit without a number keeps its member.
    void ReadControlsQuietly();

    QLabel* m_number = nullptr;
    QLineEdit* m_title = nullptr;
    std::array<QLineEdit*, 4> m_values{};  // BR, CT, ST, HUE
    QComboBox* m_covert = nullptr;
    QComboBox* m_record = nullptr;
    QPushButton* m_ok = nullptr;
    bool m_writing = false;  // members going into controls: no change handling
};

class CameraPage : public QWidget, public SheetPageValues<InPlacePageValues> {
    Q_OBJECT
public:
    static constexpr int kIdList = 1425;
    static constexpr int kIdEdit = 1068;

    // `dvrLive` and `dvrRec` are the block's areas, which accepted edits
    // change in place.
    CameraPage(std::span<std::uint8_t> dvrLive, std::span<std::uint8_t> dvrRec, int channelRows,
               QWidget* parent = nullptr);

    void OnInitDialog();
    void OnEdit();

    InPlacePageValues TakePageValues() override;

    QTreeWidget* List() const { return m_list; }
    QPushButton* EditButton() const { return m_edit; }

private:
    void WriteRowTexts(int row);
    void WriteRowToSections(int row);

    std::span<std::uint8_t> m_dvrLive;
    std::span<std::uint8_t> m_dvrRec;
    int m_channelRows = 0;

    QTreeWidget* m_list = nullptr;
    QPushButton* m_edit = nullptr;
    std::array<std::array<char, 6>, 16> m_title{};
    std::array<std::uint8_t, 16> m_byBrightness{};
    std::array<std::uint8_t, 16> m_byContrast{};
    std::array<std::uint8_t, 16> m_bySaturation{};
    std::array<std::uint8_t, 16> m_byHue{};
    std::array<std::uint8_t, 16> m_byRecord{};
    std::array<std::uint8_t, 16> m_byCovert{};
    bool m_bLiveChanged = false;
    bool m_bRecChanged = false;
};
