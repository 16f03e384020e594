#include "config/pages/report_list.h"

#include <QHeaderView>
#include <QLineEdit>

#include <string>

#include "core/application/string_table.h"
#include "platform/message_box.h"

QString PageText(unsigned id) {
    return PageText(LoadText(id));
}

QString PageText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QTreeWidget* MakeReportList(QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
    return list;
}

void SetReportColumns(QTreeWidget* list, std::span<const ReportColumn> columns) {
    list->clear();
    list->setColumnCount(static_cast<int>(columns.size()));
    QStringList titles;
    for (const ReportColumn& column : columns) {
        titles << column.title;
    }
    list->setHeaderLabels(titles);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        list->setColumnWidth(static_cast<int>(i), columns[i].width);
    }
}

QTreeWidgetItem* AppendReportRow(QTreeWidget* list, std::span<const QString> cells) {
    auto* item = new QTreeWidgetItem(list);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        item->setText(static_cast<int>(i), cells[i]);
    }
    return item;
}

std::optional<int> FirstSelectedRow(const QTreeWidget* list) {
    int first = -1;
    for (const QTreeWidgetItem* item : list->selectedItems()) {
        const int row = list->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
        if (row >= 0 && (first < 0 || row < first)) {
            first = row;
        }
    }
    if (first < 0) {
        return std::nullopt;
    }
    return first;
}

void SelectReportRow(QTreeWidget* list, int row) {
    list->clearSelection();
    if (QTreeWidgetItem* item = list->topLevelItem(row)) {
        item->setSelected(true);
        list->setCurrentItem(item);
    }
}

std::optional<int> ExchangeWholeNumber(const QLineEdit* edit, int low, int high) {
    const QString text = edit->text().trimmed();
    bool ok = false;
    const long long value = text.toLongLong(&ok);
    if (!ok) {
        platform::ShowMessageBox(0, "Please enter an integer.");
        return std::nullopt;
    }
    if (value < low || value > high) {
        platform::ShowMessageBox(0, "Please enter an integer between " + std::to_string(low) +
                                        " and " + std::to_string(high) + ".");
        return std::nullopt;
    }
    return static_cast<int>(value);
}
