#include "ui/TabParts.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>

#include <algorithm>

namespace pelmor::ui {

QTableWidget* makeTextTable(const QString& objectName, QWidget* parent)
{
    auto* table = new QTableWidget(parent);
    table->setObjectName(objectName);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setAlternatingRowColors(true);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setHighlightSections(false);
    table->setWordWrap(false);
    return table;
}

QString stackedTitle(const QString& title, int width, const QFontMetrics& metrics)
{
    const QStringList words = title.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& word : words)
        width = std::max(width, metrics.horizontalAdvance(word));
    QStringList lines;
    for (const QString& word : words) {
        if (!lines.isEmpty() && metrics.horizontalAdvance(lines.back() + QLatin1Char(' ') + word) <= width) {
            lines.back() += QLatin1Char(' ') + word;
            continue;
        }
        lines << word;
    }
    return lines.join(QLatin1Char('\n'));
}

void fillTextTable(QTableWidget* table, const QStringList& columns, const std::vector<QStringList>& rows)
{
    table->clear();
    table->setColumnCount(int(columns.size()));
    table->setRowCount(int(rows.size()));
    // Each title stacked over as many lines as keep it within its column's
    // widest text: "85th percentile (mph)" over a column of "43.0".
    QStringList titles;
    const QFontMetrics cellMetrics = table->fontMetrics();
    const QFontMetrics titleMetrics = table->horizontalHeader()->fontMetrics();
    for (qsizetype column = 0; column < columns.size(); ++column) {
        int widest = 0;
        for (const QStringList& row : rows) {
            if (column < row.size())
                widest = std::max(widest, cellMetrics.horizontalAdvance(row[column]));
        }
        titles << stackedTitle(columns[column], widest, titleMetrics);
    }
    table->setHorizontalHeaderLabels(titles);
    for (int row = 0; row < int(rows.size()); ++row) {
        for (int column = 0; column < int(rows[size_t(row)].size()); ++column) {
            auto* item = new QTableWidgetItem(rows[size_t(row)][column]);
            item->setTextAlignment(Qt::AlignVCenter | (column == 0 ? Qt::AlignLeft : Qt::AlignRight));
            table->setItem(row, column, item);
        }
    }
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->resizeColumnsToContents();
}

int fullWidth(const QTableWidget* table)
{
    int width = 2 * table->frameWidth() + table->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < table->columnCount(); ++column)
        width += table->columnWidth(column);
    return width;
}

QLabel* makeBand(const QString& objectName, QWidget* parent)
{
    auto* band = new QLabel(parent);
    band->setObjectName(objectName);
    band->setWordWrap(true);
    band->setTextFormat(Qt::RichText);
    band->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    band->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    return band;
}

void showBand(QLabel* band, Band kind, const QString& html)
{
    static const char* const styles[] = {
        "QLabel { background: #fff3cd; color: #5c4400; border: 1px solid #e0b000; padding: 6px 8px; }",
        "QLabel { background: #e3f4e6; color: #1d5a2c; border: 1px solid #8cc79a; padding: 6px 8px; }",
        "QLabel { background: #fbe3e3; color: #7a1010; border: 1px solid #d88; padding: 6px 8px; }"};
    band->setStyleSheet(QLatin1String(styles[static_cast<int>(kind)]));
    band->setText(html);
}

QString bulletedHtml(const QString& title, const QStringList& lines)
{
    QString html = QStringLiteral("<b>") + title.toHtmlEscaped() + QStringLiteral("</b>");
    for (const QString& line : lines)
        html += QStringLiteral("<br>&#8226; ") + line.toHtmlEscaped();
    return html;
}

} // namespace pelmor::ui
