#include "reports/PageComposer.h"

#include <algorithm>

namespace pelmor::reports {
namespace {

// Room between a cell's top and bottom rules and its text.
constexpr double kCellPaddingY = 14;
// The smallest size a cell's text is set in to fit its cell.
constexpr double kSmallestCellPoints = 6;

QString withoutLeadingBlanks(const QString& text)
{
    qsizetype start = 0;
    while (start < text.size() && text.at(start) == QLatin1Char(' '))
        ++start;
    return text.mid(start);
}

// Breaks a paragraph into lines that fit: the first `firstWidth` wide, the
// others `width` wide. Lines break at blanks (which are dropped at the
// break); a word wider than a whole line is broken between letters.
QStringList wrapParagraph(const QString& text, const TextMeasure& measure, double firstWidth, double width)
{
    QStringList lines;
    QString rest = text;
    double room = firstWidth;
    while (true) {
        if (measure.width(rest) <= room + 0.5) {
            lines << rest;
            return lines;
        }
        qsizetype cut = -1;
        for (qsizetype i = 1; i < rest.size(); ++i) {
            if (rest.at(i) != QLatin1Char(' ') || rest.at(i - 1) == QLatin1Char(' '))
                continue;
            if (measure.width(rest.left(i)) > room + 0.5)
                break;
            cut = i;
        }
        if (cut < 0) {
            // No blank to break at within the room: as many letters as fit,
            // at least one, so every round makes progress.
            cut = 1;
            while (cut < rest.size() && measure.width(rest.left(cut + 1)) <= room + 0.5)
                ++cut;
        }
        lines << rest.left(cut);
        rest = withoutLeadingBlanks(rest.mid(cut));
        if (rest.isEmpty())
            return lines;
        room = width;
    }
}

} // namespace

PageComposer::PageComposer(QSizeF pageSize)
    : m_pageSize(pageSize)
{
    m_pages.emplace_back();
}

void PageComposer::startDocument()
{
    m_pages.clear();
    m_pages.emplace_back();
    m_table.reset();
    m_runningLine.reset();
    m_x = 0;
    m_y = 0;
    m_column = 0;
    m_columnTop = 0;
    m_textLimit = 0;
    const QSizeF minimum = minimumPageSize();
    m_errorFlag = m_pageSize.width() < minimum.width() || m_pageSize.height() < minimum.height() ? 1 : 0;
}

PagedDocument PageComposer::endDocument()
{
    if (m_table)
        endTable();
    PagedDocument document;
    document.pageSize = m_pageSize;
    document.pages = std::move(m_pages);
    m_pages.assign(1, Page());
    if (m_runningLine) {
        const RunningLine& running = *m_runningLine;
        const TextMeasure& metrics = measure(running.font);
        const double baseline = m_pageSize.height() - kRunningLineBaseline;
        const QStringList parts = running.text.split(QLatin1Char('|'));
        for (size_t index = 0; index < document.pages.size(); ++index) {
            const QString number = QString::number(index + 1);
            for (int part = 0; part < std::min<int>(3, static_cast<int>(parts.size())); ++part) {
                QString text = parts.at(part);
                text.replace(QLatin1String("%d"), number);
                if (text.isEmpty())
                    continue;
                const double width = metrics.width(text);
                double x = running.left;
                if (part == 1)
                    x = (running.left + running.right - width) / 2;
                else if (part == 2)
                    x = running.right - width;
                document.pages[index].items.emplace_back(
                    TextItem{text, running.font, x, baseline - metrics.ascent(), baseline, width, Qt::black});
            }
        }
    }
    return document;
}

double PageComposer::textHeight(const QString& sample) const
{
    const qsizetype lines = sample.count(QLatin1Char('\n')) + 1;
    return measure(m_font).height() * static_cast<double>(lines);
}

int PageComposer::lineCount(const QString& text, double width) const
{
    return static_cast<int>(wrapParagraph(text, measure(m_font), width, width).size());
}

int PageComposer::paragraphLines(const QString& text) const
{
    const Span span = columnSpan();
    return lineCount(text, span.right - span.left);
}

double PageComposer::paragraphHeight(const QString& text) const
{
    return lineAdvance() * paragraphLines(text);
}

void PageComposer::setColumns(int count)
{
    m_columns = std::max(1, count);
    m_column = 0;
    m_columnTop = m_y;
    m_x = columnSpan().left;
}

void PageComposer::columnBreak()
{
    if (m_column + 1 < m_columns) {
        ++m_column;
        m_y = m_columnTop;
    } else {
        newPage();
    }
    m_x = columnSpan().left;
}

void PageComposer::setLeftMargin(double twips)
{
    m_leftMargin = twips;
    m_x = columnSpan().left;
}

void PageComposer::setRightMargin(double twips)
{
    m_rightMargin = twips;
}

PageComposer::Span PageComposer::columnSpan() const
{
    const double left = m_leftMargin;
    const double right = m_pageSize.width() - m_rightMargin;
    // A limit left of the column's start would leave no room at all.
    const auto limited = [this, left](double columnRight) {
        return m_textLimit > left ? std::min(columnRight, m_textLimit) : columnRight;
    };
    if (m_columns <= 1)
        return {left, limited(right)};
    const double width = (right - left - kColumnGap * (m_columns - 1)) / m_columns;
    const double columnLeft = left + m_column * (width + kColumnGap);
    return {columnLeft, limited(columnLeft + width)};
}

void PageComposer::newPage()
{
    m_pages.emplace_back();
    m_column = 0;
    m_y = m_topMargin;
    m_columnTop = m_topMargin;
    m_x = columnSpan().left;
}

bool PageComposer::makeRoom(double height)
{
    if (m_y + height <= bottomLimit() + 0.5)
        return false;
    if (m_column + 1 < m_columns) {
        ++m_column;
        m_y = m_columnTop;
    } else {
        newPage();
    }
    return true;
}

void PageComposer::printLine(const QString& text)
{
    const TextMeasure& metrics = measure(m_font);
    const double advance = lineAdvance();
    Span span = columnSpan();
    // Text never stands above the top margin or outside its column.
    m_y = std::max(m_y, m_topMargin);
    const double start = m_alignment == Alignment::Left ? std::clamp(m_x, span.left, span.right) : span.left;
    const QStringList lines = wrapParagraph(text, metrics, span.right - start, span.right - span.left);
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const bool moved = makeRoom(advance);
        span = columnSpan();
        const QString& line = lines.at(index);
        const double width = metrics.width(line);
        double x = span.left;
        if (m_alignment == Alignment::Left && index == 0 && !moved)
            x = start;
        else if (m_alignment == Alignment::Centre)
            x = span.left + (span.right - span.left - width) / 2;
        else if (m_alignment == Alignment::Right)
            x = span.right - width;
        if (!line.isEmpty())
            page().items.emplace_back(
                TextItem{line, m_font, x, m_y, m_y + metrics.ascent(), width, Qt::black});
        m_y += advance;
    }
    m_x = columnSpan().left;
}

void PageComposer::drawLine(double x1, double y1, double x2, double y2)
{
    page().items.emplace_back(LineItem{QPointF(x1, y1), QPointF(x2, y2), m_lineColour, m_penWidth});
}

void PageComposer::drawRectangle(double x1, double y1, double x2, double y2)
{
    std::optional<QColor> fill;
    if (m_brushStyle == BrushStyle::Solid)
        fill = m_brushColour;
    page().items.emplace_back(
        RectangleItem{QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized(), m_lineColour, m_penWidth, fill});
}

void PageComposer::setPictureRectangle(double x1, double y1, double x2, double y2)
{
    m_pictureRect = QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized();
}

void PageComposer::placePicture(const QImage& picture)
{
    if (picture.isNull() || m_pictureRect.isEmpty())
        return;
    page().items.emplace_back(PictureItem{m_pictureRect, picture});
}

void PageComposer::placeDrawing(const QRectF& rect, const QSizeF& canvas,
                                std::function<void(QPainter&)> paint)
{
    if (rect.isEmpty() || canvas.isEmpty() || !paint)
        return;
    page().items.emplace_back(DrawingItem{rect.normalized(), canvas, std::move(paint)});
}

void PageComposer::setRunningPageLine(const QString& text, const QString& fontName, double pointSize)
{
    TextFont font;
    font.family = fontName;
    font.pointSize = pointSize;
    m_runningLine = RunningLine{text, font, m_leftMargin, m_pageSize.width() - m_rightMargin};
}

const TextMeasure& PageComposer::measure(const TextFont& font) const
{
    for (const auto& [known, metrics] : m_measures) {
        if (known == font)
            return *metrics;
    }
    m_measures.emplace_back(font, std::make_unique<TextMeasure>(font));
    return *m_measures.back().second;
}

// --- tables

void PageComposer::startTable()
{
    m_table = std::make_unique<Table>();
    m_table->left = m_leftMargin;
    m_table->top = m_y;
    m_table->font = m_font;
    m_carriedColumn = 0;
}

void PageComposer::addTableRows(const QString& format, const QString& heading,
                                const std::vector<QStringList>& rows)
{
    if (!m_table)
        startTable();
    Table& table = *m_table;
    table.font = m_font;
    const QStringList headings = heading.split(QLatin1Char('|'));
    qsizetype columns = headings.size();
    for (const QStringList& fields : rows)
        columns = std::max(columns, fields.size());
    const auto toRow = [columns](const QStringList& fields) {
        TableRow row;
        row.cells.resize(static_cast<size_t>(columns));
        for (qsizetype i = 0; i < fields.size(); ++i)
            row.cells[static_cast<size_t>(i)].text = fields.at(i);
        return row;
    };
    table.widths.assign(static_cast<size_t>(columns), kTwipsPerInch);
    const QStringList widths = format.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < std::min(widths.size(), columns); ++i) {
        bool ok = false;
        const double width = widths.at(i).trimmed().toDouble(&ok);
        if (ok && width > 0)
            table.widths[static_cast<size_t>(i)] = width;
    }
    table.rows.clear();
    table.rows.reserve(rows.size() + 1);
    table.rows.push_back(toRow(headings));
    for (const QStringList& fields : rows)
        table.rows.push_back(toRow(fields));
}

int PageComposer::tableRowCount() const
{
    return m_table && !m_table->rows.empty() ? static_cast<int>(m_table->rows.size()) - 1 : 0;
}

PageComposer::TableRow* PageComposer::row(int index)
{
    if (!m_table || index < 0 || index >= static_cast<int>(m_table->rows.size()))
        return nullptr;
    return &m_table->rows[static_cast<size_t>(index)];
}

PageComposer::TableCell* PageComposer::cell(int rowIndex, int column)
{
    TableRow* found = row(rowIndex);
    if (!found || column < 1 || column > static_cast<int>(found->cells.size()))
        return nullptr;
    return &found->cells[static_cast<size_t>(column - 1)];
}

const PageComposer::TableCell* PageComposer::cell(int rowIndex, int column) const
{
    return const_cast<PageComposer*>(this)->cell(rowIndex, column);
}

void PageComposer::setColumnWidth(int column, double twips)
{
    if (m_table && column >= 1 && column <= static_cast<int>(m_table->widths.size()))
        m_table->widths[static_cast<size_t>(column - 1)] = twips;
}

void PageComposer::setRowHeight(int rowIndex, double twips)
{
    if (TableRow* found = row(rowIndex))
        found->height = twips;
}

void PageComposer::setRowAlignment(int rowIndex, Alignment alignment)
{
    if (TableRow* found = row(rowIndex)) {
        for (TableCell& each : found->cells)
            each.alignment = alignment;
    }
}

void PageComposer::setCellAlignment(int rowIndex, int column, Alignment alignment)
{
    if (TableCell* found = cell(rowIndex, column))
        found->alignment = alignment;
}

QString PageComposer::cellText(int rowIndex, int column) const
{
    const TableCell* found = cell(rowIndex, column);
    return found ? found->text : QString();
}

void PageComposer::setCellText(int rowIndex, int column, const QString& text)
{
    if (TableCell* found = cell(rowIndex, column))
        found->text = text;
}

void PageComposer::setRowBackground(int rowIndex, const QColor& colour)
{
    if (TableRow* found = row(rowIndex)) {
        for (TableCell& each : found->cells)
            each.background = colour;
    }
}

void PageComposer::setCellBackground(int rowIndex, int column, const QColor& colour)
{
    if (TableCell* found = cell(rowIndex, column))
        found->background = colour;
}

void PageComposer::setCellSpan(int rowIndex, int column, int count)
{
    if (TableCell* found = cell(rowIndex, column))
        found->span = std::max(1, count);
}

void PageComposer::setRowIsHeading(int rowIndex, bool heading)
{
    if (TableRow* found = row(rowIndex))
        found->heading = heading;
}

void PageComposer::setRowKeptWithNext(int rowIndex, bool kept)
{
    if (TableRow* found = row(rowIndex))
        found->keptWithNext = kept;
}

void PageComposer::setContinuationLine(const QString& text)
{
    if (!m_table)
        return;
    m_table->continuation = text;
    m_table->continuationFont = m_font;
}

double PageComposer::rowHeight(const TableRow& tableRow, const TextMeasure& metrics) const
{
    return tableRow.height > 0 ? tableRow.height : metrics.height() + 2 * kCellPaddingY;
}

void PageComposer::placeRow(const TableRow& tableRow, double top, double height, const TextMeasure& metrics)
{
    const Table& table = *m_table;
    const double lineWidth = m_tableBorder == 0 ? 0 : m_penWidth;
    double x = table.left;
    const size_t columns = table.widths.size();
    for (size_t column = 0; column < columns;) {
        const TableCell& tableCell = tableRow.cells[column];
        const size_t span = std::min(static_cast<size_t>(tableCell.span), columns - column);
        double width = 0;
        for (size_t covered = column; covered < column + span; ++covered)
            width += table.widths[covered];
        page().items.emplace_back(
            RectangleItem{QRectF(x, top, width, height), m_lineColour, lineWidth, tableCell.background});
        if (!tableCell.text.isEmpty()) {
            // A text wider than its cell wraps; the lines stand in the
            // middle of the cell, one under the other. Where a word is wider
            // than the cell or the lines are more than the row holds, the
            // text is set smaller until it fits, never cut.
            const double room = width - 2 * kCellPaddingX;
            TextFont font = table.font;
            const TextMeasure* cellMetrics = &metrics;
            QStringList lines = wrapParagraph(tableCell.text, *cellMetrics, room, room);
            const auto fits = [&] {
                const QStringList words = tableCell.text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
                return cellMetrics->height() * static_cast<double>(lines.size()) <= height + 0.5 &&
                       std::all_of(words.begin(), words.end(), [&](const QString& word) {
                           return cellMetrics->width(word) <= room + 0.5;
                       });
            };
            while (!fits() && font.pointSize - 0.5 >= kSmallestCellPoints) {
                font.pointSize -= 0.5;
                cellMetrics = &measure(font);
                lines = wrapParagraph(tableCell.text, *cellMetrics, room, room);
            }
            double lineTop = top + (height - cellMetrics->height() * static_cast<double>(lines.size())) / 2;
            for (const QString& line : lines) {
                const double textWidth = cellMetrics->width(line);
                double textX = x + kCellPaddingX;
                if (tableCell.alignment == Alignment::Centre)
                    textX = x + (width - textWidth) / 2;
                else if (tableCell.alignment == Alignment::Right)
                    textX = x + width - kCellPaddingX - textWidth;
                page().items.emplace_back(TextItem{line, font, textX, lineTop,
                                                   lineTop + cellMetrics->ascent(), textWidth, Qt::black});
                lineTop += cellMetrics->height();
            }
        }
        x += width;
        column += span;
    }
}

double PageComposer::keptHeight(size_t first, const TextMeasure& metrics) const
{
    const std::vector<TableRow>& rows = m_table->rows;
    double height = 0;
    for (size_t index = first; index < rows.size(); ++index) {
        height += rowHeight(rows[index], metrics);
        if (!rows[index].keptWithNext)
            break;
    }
    return height;
}

double PageComposer::continueTable(const TableRow* heading, const TextMeasure& metrics)
{
    const Table& table = *m_table;
    newPage();
    double y = m_topMargin;
    if (!table.continuation.isEmpty()) {
        const TextMeasure& lineMetrics = measure(table.continuationFont);
        page().items.emplace_back(TextItem{table.continuation, table.continuationFont, table.left, y,
                                           y + lineMetrics.ascent(), lineMetrics.width(table.continuation),
                                           Qt::black});
        y += table.continuationFont.pointSize * kTwipsPerPoint * 1.5;
    }
    if (heading) {
        const double headingHeight = rowHeight(*heading, metrics);
        placeRow(*heading, y, headingHeight, metrics);
        y += headingHeight;
    }
    return y;
}

void PageComposer::endTable()
{
    if (!m_table)
        return;
    const Table& table = *m_table;
    const TextMeasure& metrics = measure(table.font);
    const TableRow* heading = !table.rows.empty() && table.rows[0].heading ? &table.rows[0] : nullptr;
    // What a page the table continues on holds under its continuation line
    // and heading row.
    double pageRoom = bottomLimit() - m_topMargin;
    if (!table.continuation.isEmpty())
        pageRoom -= table.continuationFont.pointSize * kTwipsPerPoint * 1.5;
    if (heading)
        pageRoom -= rowHeight(*heading, metrics);
    const size_t carried = static_cast<size_t>(m_carriedColumn);
    QString carriedText;
    double y = table.top;
    int rowsOnPage = 0;
    for (size_t index = 0; index < table.rows.size(); ++index) {
        const TableRow& tableRow = table.rows[index];
        const double height = rowHeight(tableRow, metrics);
        const double together = keptHeight(index, metrics);
        const double needed = together <= pageRoom + 0.5 ? together : height;
        bool continued = false;
        if (rowsOnPage > 0 && y + needed > bottomLimit() + 0.5) {
            y = continueTable(heading, metrics);
            rowsOnPage = heading ? 1 : 0;
            continued = true;
        }
        const bool body = index > 0;
        const bool carries = body && carried >= 1 && carried <= tableRow.cells.size();
        if (continued && carries && tableRow.cells[carried - 1].text.isEmpty() && !carriedText.isEmpty()) {
            TableRow shown = tableRow;
            shown.cells[carried - 1].text = carriedText;
            placeRow(shown, y, height, metrics);
        } else {
            placeRow(tableRow, y, height, metrics);
        }
        if (carries && !tableRow.cells[carried - 1].text.isEmpty())
            carriedText = tableRow.cells[carried - 1].text;
        y += height;
        ++rowsOnPage;
    }
    m_y = y;
    m_x = columnSpan().left;
    m_table.reset();
}

} // namespace pelmor::reports
