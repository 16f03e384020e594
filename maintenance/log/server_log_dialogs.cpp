#include "maintenance/log/server_log_dialogs.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include "core/application/string_table.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "core/widgets/dialog_units.h"
#include "platform/message_box.h"
#include "platform/modal_dialog.h"

namespace maintenance {

namespace {}  // namespace

ServerLogDialogBase::ServerLogDialogBase(QWidget* parent, ServerLogFamily family)
    : QDialog(parent), m_family(family), m_dwEventMask(InitialEventMask(family)) {
    setWindowTitle(QStringLiteral("Server Log"));
    const QFont f = font();
    const auto at = [&f](int x, int y, int w, int h) { return DialogUnitsToPixels(f, x, y, w, h); };
    resize(at(0, 0, 380, 250).size());
    m_list = new QTreeWidget(this);
    m_list->setGeometry(at(7, 7, 270, 236));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    int y = 7;
    for (const LogFilterBox& box : LogFilterBoxes(family)) {
        auto* check = new QCheckBox(QString::fromUtf8(box.text), this);
        check->setGeometry(at(285, y, 90, 10));
        y += 13;
        m_boxes.emplace_back(box.id, check);
        const int id = box.id;
        connect(check, &QCheckBox::clicked, this, [this, id] { OnFilterClicked(id); });
    }
}

QCheckBox* ServerLogDialogBase::Box(int id) const {
    for (const auto& [boxId, check] : m_boxes) {
        if (boxId == id) {
            return check;
        }
    }
    return nullptr;
}

void ServerLogDialogBase::SetRecords(const ServerLogBuffer* buffer, std::uint32_t count) {
    m_records =
        buffer != nullptr ? ServerLogRecords(buffer->bytes, count) : std::vector<ServerLogRecord>{};
}

void ServerLogDialogBase::OnInitDialog() {
    QStringList headers = {QStringLiteral("NO."), QStringLiteral("EVENT"), QStringLiteral("TIME")};
    if (m_family == ServerLogFamily::kDvr) {
        headers << QStringLiteral("CH");
    }
    m_list->setHeaderLabels(headers);
    const int widths[] = {40, 210, 150, 40};
    for (int column = 0; column < headers.size(); ++column) {
        m_list->setColumnWidth(column, widths[column]);
    }
    RefillList();
}

void ServerLogDialogBase::RefillList() {
    m_list->clear();
    int row = 0;
    for (const ServerLogRecord& record : m_records) {
        if (!ListedUnderMask(record, m_dwEventMask)) {
            continue;
        }
        const LogRowTexts texts = LogRow(m_family, record, row++);
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromStdString(texts.number));
        item->setText(1, QString::fromStdString(texts.event));
        item->setText(2, QString::fromStdString(texts.time));
        if (m_family == ServerLogFamily::kDvr) {
            item->setText(3, QString::fromStdString(texts.channel));
        }
        for (int column = 0; column < m_list->columnCount(); ++column) {
            item->setTextAlignment(column, Qt::AlignCenter);
        }
    }
    for (const LogFilterBox& box : LogFilterBoxes(m_family)) {
        Box(box.id)->setChecked((m_dwEventMask & box.bit) != 0);
    }
}

void ServerLogDialogBase::OnFilterClicked(int id) {
    for (const LogFilterBox& box : LogFilterBoxes(m_family)) {
        if (box.id == id) {
            m_dwEventMask ^= box.bit;
        }
    }
    RefillList();
}

DvrServerLogDialog::DvrServerLogDialog(QWidget* parent)
    : ServerLogDialogBase(parent, ServerLogFamily::kDvr) {
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(DialogUnitsToPixels(font(), 300, 225, 55, 14));
    connect(ok, &QPushButton::clicked, this, [this] { done(1); });
}

ServerLogDialog::ServerLogDialog(QWidget* parent)
    : ServerLogDialogBase(parent, ServerLogFamily::kVideoServer) {
    auto* clear = new QPushButton(QStringLiteral("CLEAR SERVER LOG"), this);
    clear->setGeometry(DialogUnitsToPixels(font(), 285, 205, 88, 14));
    auto* exitButton = new QPushButton(QStringLiteral("EXIT"), this);
    exitButton->setGeometry(DialogUnitsToPixels(font(), 285, 225, 88, 14));
    connect(clear, &QPushButton::clicked, this, [this] { OnClearServerLog(); });
    connect(exitButton, &QPushButton::clicked, this, [this] { OnExit(); });
}

void ServerLogDialog::OnClearServerLog() {
    if (ShowMessage(4117, platform::kMbYesNo | platform::kMbIconError) != platform::kIdYes) {
        return;
    }
    CCgiUrl url(CgiCommand::kClearLog);
    url.AddSessionCookie(g_szSessionCookie.Get());
    if (TirelSendCommand(CgiCommand::kClearLog, url.GetUrlBuffer(), {}, nullptr, {}, nullptr, 15,
                         15, 0) == 1) {
        done(0);
    }
}

ServerLogListDialog::ServerLogListDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Server Log List"));
    const QFont f = font();
    const auto at = [&f](int x, int y, int w, int h) { return DialogUnitsToPixels(f, x, y, w, h); };
    resize(at(0, 0, 300, 200).size());
    m_list = new QTreeWidget(this);
    m_list->setGeometry(at(7, 7, 200, 186));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderHidden(true);
    const std::pair<int, const char*> boxes[] = {
        {kIdSystem, "System"}, {kIdNetwork, "Network"}, {kIdUser, "User"}, {kIdError, "Error"}};
    int y = 7;
    for (const auto& [id, text] : boxes) {
        auto* check = new QCheckBox(QString::fromUtf8(text), this);
        check->setGeometry(at(215, y, 78, 10));
        y += 14;
        m_boxes.emplace_back(id, check);
    }
    m_clearAll = new QPushButton(QStringLiteral("CLEAR ALL"), this);
    m_clearAll->setGeometry(at(215, 158, 78, 14));
    m_clearAll->setAutoDefault(false);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setGeometry(at(215, 179, 78, 14));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, [this] { done(1); });
}

QCheckBox* ServerLogListDialog::Box(int id) const {
    for (const auto& [boxId, check] : m_boxes) {
        if (boxId == id) {
            return check;
        }
    }
    return nullptr;
}

QPushButton* ServerLogListDialog::Button(int id) const {
    switch (id) {
        case kIdOk:
            return m_ok;
        case kIdClearAll:
            return m_clearAll;
        default:
            return nullptr;
    }
}

void OpenServerLogDialog(QWidget* parent, const ServerLogBuffer& buffer, bool dvrFamily) {
    if (dvrFamily) {
        DvrServerLogDialog dialog(parent);
        dialog.SetRecords(&buffer, buffer.count);
        dialog.OnInitDialog();
        platform::RunModal(dialog);
    } else {
        ServerLogDialog dialog(parent);
        dialog.SetRecords(&buffer, buffer.count);
        dialog.OnInitDialog();
        platform::RunModal(dialog);
    }
}

}  // namespace maintenance
