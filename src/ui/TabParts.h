#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class QFontMetrics;
class QLabel;
class QTableWidget;
class QWidget;

// The parts the Speed Study tab and its comparison share: read-only tables
// of texts and the coloured band of warnings.
namespace pelmor::ui {

// A table of texts that cannot be edited, a row selected whole.
QTableWidget* makeTextTable(const QString& objectName, QWidget* parent);

// A column title broken at its blanks into lines no wider than `width`
// (or than its longest word): "85th percentile (mph)" over a column of
// speeds reads "85th", "percentile", "(mph)".
QString stackedTitle(const QString& title, int width, const QFontMetrics& metrics);

// Fills a table with texts: the first column left-aligned, the others
// (numbers) right; its columns as wide as their texts, each title stacked
// so as not to widen its column.
void fillTextTable(QTableWidget* table, const QStringList& columns, const std::vector<QStringList>& rows);

// The width a table needs to show every column without scrolling sideways.
int fullWidth(const QTableWidget* table);

// The band of warnings over the figures: amber with warnings, green
// without, red for a failure.
enum class Band { Warning, Clean, Failure };
QLabel* makeBand(const QString& objectName, QWidget* parent);
void showBand(QLabel* band, Band kind, const QString& html);

// A band's text: a bold title, then one bullet a line, each line escaped.
QString bulletedHtml(const QString& title, const QStringList& lines);

} // namespace pelmor::ui
