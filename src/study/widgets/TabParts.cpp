#include "study/widgets/TabParts.h"

#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>

namespace pelmor::study {

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

void fillTextTable(QTableWidget* table, const QStringList& columns, const std::vector<QStringList>& rows)
{
    table->clear();
    table->setColumnCount(int(columns.size()));
    table->setRowCount(int(rows.size()));
    table->setHorizontalHeaderLabels(columns);
    for (int row = 0; row < int(rows.size()); ++row) {
        for (int column = 0; column < int(rows[size_t(row)].size()); ++column) {
            auto* item = new QTableWidgetItem(rows[size_t(row)][column]);
            item->setTextAlignment(Qt::AlignVCenter | (column == 0 ? Qt::AlignLeft : Qt::AlignRight));
            table->setItem(row, column, item);
        }
    }
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
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

} // namespace pelmor::study
