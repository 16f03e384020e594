#include "maintenance/search/event_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <mutex>

#include "config/pages/page_controls.h"
#include "config/sheet/my_system_dialog.h"
#include "config/sheet/sheet_progress.h"
#include "core/application/string_table.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "core/widgets/dialog_units.h"
#include "liveview/dialogs/hdd_presence_map.h"
#include "platform/clock.h"
#include "platform/modal_dialog.h"

namespace maintenance {

namespace {

std::mutex g_hookLock;
std::chrono::milliseconds g_shortPagePause{500};

}  // namespace

// ---- the record list

RecordListDialog::RecordListDialog(QWidget* parent, platform::WindowHandle sheet,
                                   const std::vector<SearchListRecord>& records, QString title,
                                   std::uint8_t hddSelection, std::uint8_t listType)
    : QDialog(parent),
      m_sheet(sheet),
      m_records(records),
      m_title(std::move(title)),
      m_hddSelection(hddSelection),
      m_listType(listType) {
    setWindowTitle(QStringLiteral("Full List"));
    const QFont f = font();
    const auto at = [&f](int x, int y, int w, int h) { return DialogUnitsToPixels(f, x, y, w, h); };
    resize(at(0, 0, 330, 230).size());
    m_list = pages::Named(new QTreeWidget(this), kIdList);
    m_list->setGeometry(at(7, 7, 316, 180));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    auto box = [this, &at](const char* text, int id, int x) {
        auto* b = pages::Named(new QCheckBox(QString::fromUtf8(text), this), id);
        b->setGeometry(at(x, 193, 45, 10));
        return b;
    };
    m_alarm = box("ALARM", kIdAlarm, 7);
    m_manual = box("MANUAL", kIdManual, 55);
    m_motion = box("MOTION", kIdMotion, 105);
    m_system = box("SYSTEM", kIdSystem, 155);
    m_timer = box("TIMER", kIdTimer, 205);
    auto* download = pages::Named(new QPushButton(QStringLiteral("Download"), this), kIdDownload);
    download->setGeometry(at(210, 209, 55, 14));
    auto* exitButton = new QPushButton(QStringLiteral("Exit"), this);
    exitButton->setGeometry(at(268, 209, 55, 14));
    connect(download, &QPushButton::clicked, this, [this] { OnDownload(true); });
    connect(exitButton, &QPushButton::clicked, this, [this] { done(0); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { OnDownload(false); });
    for (const int id : {kIdAlarm, kIdManual, kIdMotion, kIdSystem}) {
        connect(Box(id), &QCheckBox::clicked, this, [this, id] { OnFilterClicked(id); });
    }
}

QCheckBox* RecordListDialog::Box(int id) const {
    switch (id) {
        case kIdAlarm:
            return m_alarm;
        case kIdManual:
            return m_manual;
        case kIdMotion:
            return m_motion;
        case kIdSystem:
            return m_system;
        case kIdTimer:
            return m_timer;
        default:
            return nullptr;
    }
}

void RecordListDialog::OnInitDialog() {
    setWindowTitle(m_title);
    m_list->setHeaderLabels({QStringLiteral("NO."), QStringLiteral("EVENT"),
                             QStringLiteral("CHANNEL"), QStringLiteral("TIME")});
    m_list->setColumnWidth(0, 40);
    m_list->setColumnWidth(1, 100);
    m_list->setColumnWidth(2, 120);
    m_list->setColumnWidth(3, 250);
    m_timer->hide();
    m_filters = FiltersForListType(m_listType);
    const bool all = m_listType == 0 || m_listType > 4;
    m_alarm->setEnabled(all || m_filters.alarm);
    m_manual->setEnabled(all || m_filters.manual);
    m_motion->setEnabled(all || m_filters.motion);
    m_system->setEnabled(all || m_filters.system);
    RefillList();
}

void RecordListDialog::RefillList() {
    m_list->clear();
    int row = 0;
    for (const SearchListRecord& record : m_records) {
        if (!ShownUnderFilters(record, m_filters)) {
            continue;
        }
        const RecordRowTexts texts = RowTexts(record);
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::asprintf("%2d", ++row));
        item->setText(1, QString::fromStdString(texts.event));
        item->setText(2, QString::fromStdString(texts.channel));
        item->setText(3, QString::fromStdString(texts.time));
        for (int column = 1; column < 4; ++column) {
            item->setTextAlignment(column, Qt::AlignCenter);
        }
    }
    m_alarm->setChecked(m_filters.alarm);
    m_manual->setChecked(m_filters.manual);
    m_motion->setChecked(m_filters.motion);
    m_system->setChecked(m_filters.system);
}

void RecordListDialog::OnFilterClicked(int id) {
    switch (id) {
        case kIdAlarm:
            m_filters.alarm = !m_filters.alarm;
            break;
        case kIdManual:
            m_filters.manual = !m_filters.manual;
            break;
        case kIdMotion:
            m_filters.motion = !m_filters.motion;
            break;
        case kIdSystem:
            m_filters.system = !m_filters.system;
            break;
        default:
            return;
    }
    RefillList();
}

void RecordListDialog::OnDownload(bool fromButton) {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty()) {
        if (fromButton) {
            ShowMessage(4050);
        }
        return;
    }
    const int row = m_list->indexOfTopLevelItem(selected.front());
    if (row < 0 || m_records.empty()) {
        return;
    }
    const std::size_t position = RowToRecord(m_records, m_filters, static_cast<std::size_t>(row));
    PostPendingDownloadRequest(MakePendingDownloadRequest(m_records[position], m_hddSelection));
    platform::PostWindowMessage(m_sheet, WM_SHOWBACKUPPAGE, 0, 0);
    done(0);
}

// ---- the page

void CEventPage::SetShortPagePause(std::chrono::milliseconds pause) {
    std::lock_guard lock(g_hookLock);
    g_shortPagePause = pause;
}

CEventPage::CEventPage(QWidget* parent, platform::WindowHandle sheet)
    : QWidget(parent), m_sheet(sheet) {
    m_diskToPosition.fill(0xFF);
    m_positionToDisk.fill(0xFF);
    pages::SetMinimumPageSize(this, 403, 228);
    pages::FormColumn form(this, 25, 25, 115, 35);
    const auto combo = [](QWidget* page, int id, int x, int y, int width) {
        return pages::MakeCombo(page, id, x, y, width, 21);
    };
    m_hdd = form.Row(QStringLiteral("HDD Number :"), kIdHdd, 140, combo);
    m_listType = form.Row(QStringLiteral("List Type :"), kIdListType, 140, combo);
    m_listType->addItems({QStringLiteral("ALL"), QStringLiteral("MANUAL"), QStringLiteral("SYSTEM"),
                          QStringLiteral("ALARM"), QStringLiteral("MOTION")});
    m_maxNumber = form.Row(QStringLiteral("Max List Number :"), kIdMaxNumber, 70,
                           [](QWidget* page, int id, int x, int y, int width) {
                               return pages::MakeEdit(page, id, x, y, width, 21);
                           });
    m_download = pages::MakeButton(this, kIdDownload, QStringLiteral("Download HDD List"),
                                   form.ControlX(), form.Y() + 10, 140, 25);
    // Return on the focused button runs the search, as a sheet's button does.
    m_download->setAutoDefault(true);

    connect(m_hdd, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_updating) {
            m_bHddChanged = true;
            ControlsToMembers();
        }
    });
    connect(m_listType, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_updating) {
            m_bListTypeChanged = true;
            ControlsToMembers();
        }
    });
    connect(m_maxNumber, &QLineEdit::textChanged, this, [this] { OnChangeMaxListNumber(); });
    connect(m_download, &QPushButton::clicked, this, [this] { OnDownloadHddList(); });
}

QWidget* CEventPage::Control(int id) const {
    switch (id) {
        case kIdMaxNumber:
            return m_maxNumber;
        case kIdDownload:
            return m_download;
        case kIdHdd:
            return m_hdd;
        case kIdListType:
            return m_listType;
        default:
            return nullptr;
    }
}

void CEventPage::MembersToControls() {
    m_updating = true;
    m_hdd->setCurrentIndex(m_iHddSelection < m_hdd->count() ? m_iHddSelection : -1);
    m_listType->setCurrentIndex(m_iListType < m_listType->count() ? m_iListType : -1);
    m_maxNumber->setText(QString::number(m_dwMaxListNumber));
    m_updating = false;
}

void CEventPage::ControlsToMembers() {
    m_iHddSelection = m_hdd->currentIndex();
    m_iListType = m_listType->currentIndex();
    if (const auto number = ParseMaxListNumber(m_maxNumber->text().toStdString())) {
        m_dwMaxListNumber = *number;
    }
}

bool CEventPage::OnInitDialog() {
    const std::optional<liveview::HddPresenceMap> map = liveview::ReadHddPresenceMap();
    if (!map) {
        return false;
    }
    m_updating = true;
    for (const int disk : map->Disks()) {
        const int position = m_hdd->count();
        m_hdd->addItem(QString::fromStdString(liveview::HddLabel(disk)));
        m_positionToDisk[static_cast<std::size_t>(position)] = static_cast<std::uint8_t>(disk);
        m_diskToPosition[static_cast<std::size_t>(disk)] = static_cast<std::uint8_t>(position);
        m_iHddSelection = 0;
    }
    m_updating = false;
    if (m_hdd->count() == 0) {
        m_hdd->setEnabled(false);
    }
    if (g_lpApp != nullptr) {
        const CSettingINI& settings = g_lpApp->CSettingINI;
        if (m_hdd->count() > 0) {
            const std::uint8_t stored = m_diskToPosition[settings.m_wSearchListHDD.load() & 0xFFu];
            if (stored != 0xFF) {
                m_iHddSelection = stored;
            }
        }
        // A stored number beyond the list's limit is the limit.
        m_dwMaxListNumber =
            std::min<std::uint32_t>(settings.m_wSearchListMaxNumber.load(), kMaxSearchListNumber);
        m_iListType = settings.m_bySearchListType.load();
    }
    MembersToControls();
    return true;
}

void CEventPage::OnChangeMaxListNumber() {
    if (m_updating) {
        return;
    }
    m_bMaxNumberChanged = true;
    const std::optional<std::uint32_t> number =
        ParseMaxListNumber(m_maxNumber->text().toStdString());
    if (!number) {
        return;
    }
    m_dwMaxListNumber = *number;
    MembersToControls();
}

void CEventPage::OnDownloadHddList() {
    ControlsToMembers();
    if (m_iHddSelection < 0 || m_iHddSelection >= m_hdd->count()) {
        ShowMessage(4109);
        return;
    }
    m_records.clear();
    m_wCurExitListNumber = 0;
    EventSearchQuery query;
    query.cookie = g_szSessionCookie.Get();
    query.hddNumber = m_positionToDisk[static_cast<std::size_t>(m_iHddSelection)];
    // A list type read from the settings may be beyond the list's entries.
    query.listType = g_lpApp != nullptr && m_iListType < 0
                         ? g_lpApp->CSettingINI.m_bySearchListType.load()
                         : m_iListType;
    query.maxNumber = m_dwMaxListNumber;
    std::chrono::milliseconds pause;
    {
        std::lock_guard lock(g_hookLock);
        pause = g_shortPagePause;
    }
    EventSearchResult result = RunEventSearch(
        query,
        [](const std::string& target, std::span<std::uint8_t> reply, std::uint32_t& length) {
            return TirelSendCommand(CgiCommand::kGetSearchList, target, {}, nullptr, reply, &length,
                                    15, 15, 0) == 1;
        },
        [](std::uint32_t command, std::int32_t argument) { PostSheetProgress(command, argument); },
        [pause] { platform::Sleep(pause); });
    m_records = std::move(result.records);
    m_wCurExitListNumber = static_cast<std::uint16_t>(m_records.size());
    if (result.sendFailed) {
        ShowMessage(4065);
        return;
    }
    if (m_wCurExitListNumber == 0) {
        ShowMessage(4110);
        return;
    }
    RecordListDialog dialog(
        this, m_sheet, m_records,
        QString::fromUtf8(ListTitle(query.listType).data(),
                          static_cast<qsizetype>(ListTitle(query.listType).size())),
        static_cast<std::uint8_t>(m_iHddSelection), static_cast<std::uint8_t>(query.listType));
    dialog.OnInitDialog();
    platform::RunModal(dialog);
}

SearchListLocalValues CEventPage::TakePageValues() {
    ControlsToMembers();
    SearchListLocalValues values;
    values.typeChanged = m_bListTypeChanged;
    values.listType = static_cast<std::uint8_t>(std::max(m_iListType, 0));
    values.hddChanged = m_bHddChanged;
    values.hdd =
        m_iHddSelection >= 0 ? m_positionToDisk[static_cast<std::size_t>(m_iHddSelection)] : 0;
    values.maxNumberChanged = m_bMaxNumberChanged;
    values.maxNumber = static_cast<std::uint16_t>(m_dwMaxListNumber);
    return values;
}

}  // namespace maintenance
