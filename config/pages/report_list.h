#pragma once

// Small pieces the list pages of the configuration sheet share: texts by
// number, report-style lists (one row per entry, full-row selection, fixed
// column widths), and the framework's range check of a whole-number edit.

#include <QString>
#include <QTreeWidget>

#include <optional>
#include <span>
#include <string_view>

class QLineEdit;

// A text of the string table as a QString.
QString PageText(unsigned id);
QString PageText(std::string_view text);

struct ReportColumn {
    QString title;
    int width = 0;
};

// A list in report style: no tree lines, no sorting, whole rows selected.
QTreeWidget* MakeReportList(QWidget* parent);
// Replaces the list's columns and removes its rows.
void SetReportColumns(QTreeWidget* list, std::span<const ReportColumn> columns);
// Appends a row of cell texts; the row's item.
QTreeWidgetItem* AppendReportRow(QTreeWidget* list, std::span<const QString> cells);
// The first selected row, none when nothing is selected.
std::optional<int> FirstSelectedRow(const QTreeWidget* list);
void SelectReportRow(QTreeWidget* list, int row);

// The framework's whole-number exchange of an edit: the number when the text
// is one and lies in [low, high]; otherwise the framework's message is shown
// and nothing is returned.
std::optional<int> ExchangeWholeNumber(const QLineEdit* edit, int low, int high);
