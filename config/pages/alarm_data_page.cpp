#include "config/pages/alarm_data_page.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdio>

#include "config/pages/page_controls.h"
#include "config/pages/report_list.h"
#include "core/application/string_table.h"
#include "core/state/app_global_state.h"
#include "platform/message_box.h"
#include "platform/process_spawn.h"
#include "platform/program_folder.h"

namespace {

constexpr unsigned kNothingToDeleteText = 4045;
constexpr unsigned kSelectFirstText = 4086;
constexpr unsigned kPlayerFailedText = 4108;
constexpr const char* kReadFailedText = "Read alarm database file is failed";
constexpr const char* kPlayerName = "VideoPlayer.exe";

bool Live(const AlarmDBItem_Struct& item) {
    return (item.flags & kAlarmItemDeleted) == 0;
}

// Whether a file can be opened for reading, as the player will need.
bool FileOpens(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

QString TimeText(const SystemTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4d.%.2d.%.2d %.2d:%.2d:%.2d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return QString::fromLatin1(text);
}

}  // namespace

AlarmDataPage::AlarmDataPage(SystemConfig& store, QWidget* parent)
    : QWidget(parent), m_store(store) {
    using namespace pages;
    m_list = MakeList(this, kIdList, 10, 10, 440, 240);
    MakeLabel(this, 0, QStringLiteral("Path : "), 10, 262, 50);
    m_pathEdit = MakeEdit(this, kIdPath, 60, 260, 390);
    const auto button = [&](const char* text, int id, int column, void (AlarmDataPage::*slot)()) {
        auto* b = MakeButton(this, id, QString::fromLatin1(text), 10 + column * 113, 300, 101);
        connect(b, &QPushButton::clicked, this, slot);
    };
    button("Delete", kIdDelete, 0, &AlarmDataPage::OnDelete);
    button("Clear All", kIdClearAll, 1, &AlarmDataPage::OnClearAll);
    button("Play", kIdPlay, 2, &AlarmDataPage::OnPlay);
    button("Refresh", kIdRefresh, 3, &AlarmDataPage::Load);
    connect(m_list, &QTreeWidget::itemClicked, this, &AlarmDataPage::OnClickList);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &AlarmDataPage::OnDoubleClickList);
    Load();
}

QPushButton* AlarmDataPage::Button(int id) const {
    for (QPushButton* b : findChildren<QPushButton*>()) {
        if (b->property("controlId").toInt() == id) {
            return b;
        }
    }
    return nullptr;
}

std::filesystem::path AlarmDataPage::PlayerProgram() {
    std::filesystem::path folder = platform::ProgramFolder();
    if (g_lpApp != nullptr) {
        const std::string dir = g_lpApp->CSettingINI.m_strProgramDir.Get();
        if (!dir.empty()) {
            folder = dir;
        }
    }
    return folder / kPlayerName;
}

std::vector<AlarmDBItem_Struct> AlarmDataPage::LiveRecords() const {
    std::vector<AlarmDBItem_Struct> live;
    for (const AlarmDBItem_Struct& item : m_items) {
        if (Live(item)) {
            live.push_back(item);
        }
    }
    return live;
}

void AlarmDataPage::Load() {
    const std::array<ReportColumn, 4> columns{{{QStringLiteral("NO."), 40},
                                               {QStringLiteral("IP Address"), 90},
                                               {QStringLiteral("Time"), 130},
                                               {QStringLiteral("Frame"), 100}}};
    SetReportColumns(m_list, columns);
    m_items.clear();
    m_strPath.clear();
    m_iClickedRow = -1;
    // The store opens, checks and reads the file under its own lock; a file
    // it cannot use is set aside, never deleted.
    switch (m_store.AlarmDB_Load()) {
        case AlarmDBLoadResult::ReadFailed:
            platform::ShowMessageBox(0, kReadFailedText);
            MembersToControls();
            return;
        case AlarmDBLoadResult::Created:
        case AlarmDBLoadResult::Empty:
        case AlarmDBLoadResult::BadMagic:
            MembersToControls();
            return;
        case AlarmDBLoadResult::Loaded:
            break;
    }
    m_items = m_store.AlarmDB_Items();
    ListLiveRecords();
    if (!m_items.empty()) {
        m_strPath = m_items.front().Path();
        if ((m_items.front().flags & kAlarmItemFileMissing) != 0) {
            m_strPath += kFileNotFound;
        }
        SelectReportRow(m_list, 0);
    }
    MembersToControls();
}

void AlarmDataPage::ListLiveRecords() {
    m_list->clear();
    int number = 0;
    for (AlarmDBItem_Struct& item : m_items) {
        if (!Live(item)) {
            continue;
        }
        ++number;
        const std::array<QString, 4> cells{
            QString::number(number),
            QString::fromLatin1(item.SourceIP().data(),
                                static_cast<qsizetype>(item.SourceIP().size())),
            TimeText(item.startTime), QString::number(item.frameCount)};
        AppendReportRow(m_list, cells);
    }
}

std::string AlarmDataPage::PathOf(AlarmDBItem_Struct& item) {
    std::string path(item.Path());
    if (FileOpens(path)) {
        item.flags = static_cast<std::uint8_t>(item.flags & ~kAlarmItemFileMissing);
    } else {
        item.flags = static_cast<std::uint8_t>(item.flags | kAlarmItemFileMissing);
        path += kFileNotFound;
    }
    return path;
}

int AlarmDataPage::ItemOfRow(int row) const {
    if (row < 0) {
        return -1;
    }
    int live = 0;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (Live(m_items[i]) && live++ == row) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void AlarmDataPage::MembersToControls() {
    m_pathEdit->setText(QString::fromStdString(m_strPath));
}

void AlarmDataPage::OnClickList() {
    const auto row = FirstSelectedRow(m_list);
    const int index = row ? ItemOfRow(*row) : -1;
    if (index < 0) {
        return;
    }
    m_strPath = PathOf(m_items[static_cast<std::size_t>(index)]);
    m_iClickedRow = *row;
    MembersToControls();
}

void AlarmDataPage::OnDoubleClickList() {
    const auto row = FirstSelectedRow(m_list);
    const int index = row ? ItemOfRow(*row) : -1;
    if (index < 0) {
        return;
    }
    const std::string path(m_items[static_cast<std::size_t>(index)].Path());
    if (FileOpens(path)) {
        m_strPath = path;
        MembersToControls();
        StartPlayer(path);
    }
}

void AlarmDataPage::OnPlay() {
    m_strPath = m_pathEdit->text().toStdString();
    if (!LiveRecords().empty() && FileOpens(m_strPath)) {
        StartPlayer(m_strPath);
    }
}

void AlarmDataPage::StartPlayer(const std::string& file) {
    // The recording goes to the player as one argument, spaces and all.
    if (!platform::SpawnDetached(PlayerProgram(), {file})) {
        ShowMessage(kPlayerFailedText);
    }
}

void AlarmDataPage::OnDelete() {
    if (LiveRecords().empty()) {
        ShowMessage(kNothingToDeleteText);
        return;
    }
    const auto row = FirstSelectedRow(m_list);
    const int index = row ? ItemOfRow(*row) : -1;
    if (index < 0) {
        ShowMessage(kSelectFirstText);
        return;
    }
    m_items[static_cast<std::size_t>(index)].flags = kAlarmItemDeleted;
    ListLiveRecords();
    for (AlarmDBItem_Struct& item : m_items) {
        if (Live(item)) {
            PathOf(item);
        }
    }
    const int rows = m_list->topLevelItemCount();
    const int selected = *row < rows - 1 ? *row : 0;
    const int next = ItemOfRow(selected);
    m_strPath = next >= 0 ? PathOf(m_items[static_cast<std::size_t>(next)]) : std::string();
    if (next >= 0) {
        SelectReportRow(m_list, selected);
    }
    WriteBack();
    MembersToControls();
}

void AlarmDataPage::OnClearAll() {
    if (LiveRecords().empty()) {
        return;
    }
    m_list->clear();
    for (AlarmDBItem_Struct& item : m_items) {
        item.flags = kAlarmItemDeleted;
    }
    m_strPath.clear();
    WriteBack();
    MembersToControls();
}

void AlarmDataPage::WriteBack() {
    m_store.AlarmDB_SetItems(m_items);
    m_store.AlarmDB_SetChanged();
    if (m_store.AlarmDB_WriteBack() == 0) {
        // The list on screen must be the file's: read it again.
        Load();
        return;
    }
    std::erase_if(m_items, [](const AlarmDBItem_Struct& item) { return !Live(item); });
}
