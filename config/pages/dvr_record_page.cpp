#include "config/pages/dvr_record_page.h"

#include <QComboBox>
#include <QRadioButton>

#include "config/pages/page_controls.h"
#include "core/state/app_global_state.h"

namespace {

// Two columns of groups: the three recordings and overwrite on the left,
// the image settings on the right; a control's place is its group's
// column and row and its own left edge inside the group.
constexpr int kGroupWidth = 216;
constexpr int kGroupHeight = 54;
constexpr int kGroupPitch = 59;

int GroupX(int column) {
    return 10 + column * (kGroupWidth + 8);
}
int GroupY(int row) {
    return 8 + row * kGroupPitch;
}

QRadioButton* Radio(QWidget* parent, int id, const char* text, int column, int row, int x,
                    int width = 50) {
    return pages::MakeRadio(parent, id, text, GroupX(column) + x, GroupY(row) + 24, width);
}

QComboBox* List(QWidget* parent, int id, int column, int row, int x, int width = 52) {
    return pages::MakeCombo(parent, id, GroupX(column) + x, GroupY(row) + 23, width);
}

}  // namespace

DVRRecordPage::DVRRecordPage(DeviceIdentity device, QWidget* parent)
    : QWidget(parent), m_device(std::move(device)) {
    m_manualYes = Radio(this, 1483, "YES", 0, 0, 8);
    m_manualNo = Radio(this, 1484, "NO", 0, 0, 60);
    m_eventYes = Radio(this, 1485, "YES", 0, 1, 8);
    m_eventNo = Radio(this, 1486, "NO", 0, 1, 60);
    m_timerYes = Radio(this, 1487, "YES", 0, 2, 8);
    m_timerNo = Radio(this, 1488, "NO", 0, 2, 60);
    m_overYes = Radio(this, 1489, "YES", 0, 3, 8);
    m_overNo = Radio(this, 1490, "NO", 0, 3, 60);
    m_frame = Radio(this, 1491, "FRAME", 1, 0, 8, 66);
    m_field = Radio(this, 1492, "FIELD", 1, 0, 76, 64);
    m_cif = Radio(this, 1493, "CIF", 1, 0, 144, 50);
    m_fix = Radio(this, 1496, "FIX", 1, 2, 8);
    m_group = Radio(this, 1497, "GROUP", 1, 2, 60, 70);
    m_manualList = List(this, 1195, 0, 0, 148);
    m_timerList = List(this, 1197, 0, 2, 148);
    m_eventList = List(this, 1198, 0, 1, 148);
    m_qualityList = List(this, 1494, 1, 1, 8, 82);
    m_qualityList->addItems({"BEST", "HIGH", "NORMAL", "BASIC"});
    m_qualityList->setCurrentIndex(-1);
    const auto group = [&](const char* title, int column, int row, bool rates = false) {
        pages::MakeGroup(this, 0, title, GroupX(column), GroupY(row), kGroupWidth, kGroupHeight);
        if (rates) {
            pages::MakeLabel(this, 0, "IPS :", GroupX(column) + 112, GroupY(row) + 24, 34);
        }
    };
    group("MANUAL RECORD", 0, 0, true);
    group("EVENT RECORD", 0, 1, true);
    group("TIMER RECORD", 0, 2, true);
    group("OVERWRITE", 0, 3);
    group("RECORD IMG SIZE", 1, 0);
    group("RECORD QUALITY", 1, 1);
    group("TOTAL IPS SHARE", 1, 2);
    const auto pair = [this](QRadioButton* yes, QRadioButton* no, std::uint8_t& member) {
        connect(yes, &QRadioButton::clicked, this,
                [=, this, &member] { Pair(yes, no, member, 1); });
        connect(no, &QRadioButton::clicked, this, [=, this, &member] { Pair(yes, no, member, 0); });
    };
    pair(m_manualYes, m_manualNo, m_manual);
    pair(m_eventYes, m_eventNo, m_event);
    pair(m_timerYes, m_timerNo, m_timer);
    pair(m_overYes, m_overNo, m_overwrite);
    pair(m_fix, m_group, m_recordFix);
    connect(m_frame, &QRadioButton::clicked, this, &DVRRecordPage::OnFrame);
    connect(m_field, &QRadioButton::clicked, this, &DVRRecordPage::OnField);
    connect(m_cif, &QRadioButton::clicked, this, &DVRRecordPage::OnCif);
    connect(m_qualityList, &QComboBox::activated, this, [this](int index) {
        ReadControls();
        if (index >= 0 && index < static_cast<int>(kQualityCodes.size())) {
            m_quality = kQualityCodes[static_cast<std::size_t>(index)];
        }
    });
    OnInitDialog();
}

int DVRRecordPage::ReadRecordSetting() {
    const auto reply = QueryDvrSetting(CgiCommand::kGetRecordSetting);
    if (!reply) {
        return 0;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(reply->data());
    ParseRecordSettingReply(std::span(bytes, reply->size()), m_reply);
    return 1;
}

void DVRRecordPage::OnInitDialog() {
    // The record mode is a shift and the video type a row of the rate table:
    // a value outside them leaves the page disabled and the device as it is.
    if (!m_device.IsDvr() || !m_device.Meets("1058") || ReadRecordSetting() == 0 ||
        !RecordSettingUsable(m_reply)) {
        for (QWidget* w : findChildren<QWidget*>()) {
            if (w->property("controlId").toInt() != 0) {  // not the labels and groups
                w->setEnabled(false);
            }
        }
        return;
    }
    m_filled = true;
    m_manual = m_reply.manual;
    m_event = m_reply.event;
    m_timer = m_reply.timer;
    FillRates(m_reply.recMode);
    m_eventRate = m_reply.motionRateType;
    m_manualRate = m_reply.manualRateType;
    m_timerRate = m_reply.timerRateType;
    m_frame->setEnabled((m_reply.supportMode & 1) != 0);
    m_field->setEnabled((m_reply.supportMode & 2) != 0);
    m_cif->setEnabled((m_reply.supportMode & 4) != 0);
    m_overwrite = m_reply.overwrite;
    m_recMode = m_reply.recMode;
    if (m_reply.supportIpsShare != 3) {
        m_fix->setEnabled(false);
        m_group->setEnabled(false);
    }
    m_quality = m_reply.quality;
    m_qualityIndex = QualityIndexOf(m_quality);
    m_recordFix = m_reply.recordFix != 0 ? 1 : 0;
    WriteControls();
}

void DVRRecordPage::FillRates(std::uint8_t recMode) {
    const auto rates = IpsRates(DvrChannelCount(m_device.productId), m_reply.videoType, recMode);
    for (QComboBox* list : {m_manualList, m_timerList, m_eventList}) {
        list->clear();
        if (rates) {
            for (const int rate : *rates) {
                list->addItem(QString::number(rate));
            }
        }
    }
}

void DVRRecordPage::Pair(QRadioButton* yes, QRadioButton* no, std::uint8_t& member,
                         std::uint8_t value) {
    member = value;
    yes->setChecked(value != 0);
    no->setChecked(value == 0);
}

void DVRRecordPage::TickMode() {
    m_frame->setChecked(m_recMode == 0);
    m_field->setChecked(m_recMode == 1);
    m_cif->setChecked(m_recMode == 2);
}

void DVRRecordPage::WriteControls() {
    Pair(m_manualYes, m_manualNo, m_manual, m_manual);
    Pair(m_eventYes, m_eventNo, m_event, m_event);
    Pair(m_timerYes, m_timerNo, m_timer, m_timer);
    Pair(m_overYes, m_overNo, m_overwrite, m_overwrite);
    Pair(m_fix, m_group, m_recordFix, m_recordFix);
    TickMode();
    const auto select = [](QComboBox* list, int index) {
        list->setCurrentIndex(index < list->count() ? index : -1);
    };
    select(m_eventList, m_eventRate);
    select(m_manualList, m_manualRate);
    select(m_timerList, m_timerRate);
    select(m_qualityList, m_qualityIndex);
}

void DVRRecordPage::ReadControls() {
    m_eventRate = m_eventList->currentIndex();
    m_manualRate = m_manualList->currentIndex();
    m_timerRate = m_timerList->currentIndex();
    m_qualityIndex = m_qualityList->currentIndex();
}

void DVRRecordPage::OnFrame() {
    if (m_recMode != 0) {
        ReadControls();
        m_recMode = 0;
        FillRates(0);
        m_eventRate = m_manualRate = m_timerRate = 0;
        WriteControls();
    }
    // The share choice comes back only on a recorder that offers it.
    const bool share = m_reply.supportIpsShare == 3;
    m_fix->setEnabled(share);
    m_group->setEnabled(share);
    TickMode();
}

void DVRRecordPage::OnField() {
    if (m_recMode != 1) {
        ReadControls();
        m_recMode = 1;
        FillRates(1);
        m_eventRate = m_manualRate = m_timerRate = 0;
        WriteControls();
    }
    TickMode();
}

void DVRRecordPage::OnCif() {
    if (m_recMode != 2) {
        ReadControls();
        m_recMode = 2;
        FillRates(2);
        m_eventRate = m_manualRate = m_timerRate = 0;
    }
    m_recordFix = 1;
    m_fix->setEnabled(false);
    m_group->setEnabled(false);
    WriteControls();
}

RecordSettingEdits DVRRecordPage::Edits() const {
    RecordSettingEdits e;
    e.manual = m_manual;
    e.event = m_event;
    e.timer = m_timer;
    e.overwrite = m_overwrite;
    e.quality = m_quality;
    e.recMode = m_recMode;
    e.recordFix = m_recordFix;
    e.eventRateIndex = m_eventList->currentIndex();
    e.manualRateIndex = m_manualList->currentIndex();
    e.timerRateIndex = m_timerList->currentIndex();
    return e;
}

int DVRRecordPage::SaveToDevice() {
    if (!m_filled) {
        return 1;
    }
    const std::string target = BuildSetRecordSetting(m_reply, Edits(), g_szSessionCookie.Get());
    return SendDvrSettingCommand(CgiCommand::kSetRecordSetting, target);
}

QWidget* DVRRecordPage::Control(int id) const {
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w->property("controlId").toInt() == id) {
            return w;
        }
    }
    return nullptr;
}
