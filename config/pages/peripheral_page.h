#pragma once

// The "Peripheral" page: the two serial devices of a Q3A2 (PERI section),
// each with its baud rate, bus id and model. The page sends nothing; APPLY
// hands its values to the PERI save routine.

#include <QWidget>

#include <array>

#include "config/sheet/save_routines.h"
#include "config/sheet/sheet_pages.h"
#include "config/sheet/tree_prop_sheet.h"

class QComboBox;
class QLineEdit;

class CPeripheralPage : public QWidget,
                        public SheetPage,
                        public SheetPageValues<PeripheralPageValues> {
    Q_OBJECT
public:
    // Control ids.
    static constexpr int kIdBaud1 = 1301;
    static constexpr int kIdModel1 = 1302;
    static constexpr int kIdId1 = 1040;
    static constexpr int kIdBaud2 = 1304;
    static constexpr int kIdModel2 = 1303;
    static constexpr int kIdId2 = 1041;

    // The model lists, in list order.
    static constexpr std::array<const char*, 11> kModelTexts{
        "CAMERA",   "1CH DVR", "4CH DVR(FULL)", "4CH DVR(BASIC)", "4CH DMR", "9CH DMR",
        "16CH DMR", "4CH DQR", "PTZ(NORMAL)",   "4CH MPEG2 DVR",  "PTZ(P-D)"};
    static constexpr std::array<const char*, 7> kBaudTexts{"2400",  "4800",  "9600",  "19200",
                                                           "38400", "57600", "115200"};

    explicit CPeripheralPage(const SystemConfigStruct& config, QWidget* parent = nullptr);

    // Fills the members from PERI and moves them into the controls.
    void OnInitDialog();
    // Controls into members; false when an id is not a number from 0 to
    // 255 (the framework's message was shown and the id kept its last good
    // value).
    bool UpdateData();
    // Members into controls.
    void MembersToControls();

    bool OnKillActive() override { return UpdateData(); }
    PeripheralPageValues TakePageValues() override;

    QComboBox* Baud1() const { return m_baudList1; }
    QComboBox* Model1() const { return m_modelList1; }
    QLineEdit* Id1() const { return m_idEdit1; }
    QComboBox* Baud2() const { return m_baudList2; }
    QComboBox* Model2() const { return m_modelList2; }
    QLineEdit* Id2() const { return m_idEdit2; }

private:
    const SystemConfigStruct& m_config;
    // In the page's member order.
    int m_iBaud1 = -1;
    int m_iModel1 = -1;
    int m_iId2 = 0;
    int m_iId1 = 0;
    int m_iModel2 = -1;
    int m_iBaud2 = -1;

    QComboBox* m_baudList1 = nullptr;
    QComboBox* m_modelList1 = nullptr;
    QLineEdit* m_idEdit1 = nullptr;
    QComboBox* m_baudList2 = nullptr;
    QComboBox* m_modelList2 = nullptr;
    QLineEdit* m_idEdit2 = nullptr;
};
