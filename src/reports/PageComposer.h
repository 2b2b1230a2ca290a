#pragma once

#include "reports/PageFonts.h"
#include "reports/PageItems.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace pelmor::reports {

enum class Alignment { Left, Centre, Right };

// How rectangles are filled: with the brush colour, or not at all.
enum class BrushStyle { Solid, None };

// Builds a document operation by operation, the way a page-description
// component is driven: a current position and style, text printed line by
// line between the margins (in one or more columns), lines, rectangles and
// pictures at absolute positions, tables that continue over pages, and a
// running page line put on every page at the end. Everything is in twips
// from the top-left corner of the page.
//
// Lines advance by the font size times the line spacing: a 12-point line at
// 100 % is 240 twips, at 120 % 288 twips. A line's text hangs from the top of
// its line. A line that would run below the bottom margin continues in the
// next column or at the top margin of a new page; a paragraph wider than its
// column wraps at blanks.
class PageComposer {
public:
    // The bottom margin: room for the running page line under the body.
    static constexpr double kBottomMargin = 1080;
    // The running page line's baseline stands this far above the page's bottom edge.
    static constexpr double kRunningLineBaseline = 720;
    // The gap between two columns.
    static constexpr double kColumnGap = 180;
    // The room between a table cell's side rules and its text.
    static constexpr double kCellPaddingX = 90;
    // The smallest page the documents are laid out for: 7.7 by 10 inches.
    static QSizeF minimumPageSize() { return QSizeF(11088, 14400); }

    explicit PageComposer(QSizeF pageSize = letterPageSize());

    // --- the document
    // Discards what was composed and begins again on page 1, at the top
    // left corner of the page. Raises the error flag when the page is
    // smaller than minimumPageSize().
    void startDocument();
    // Non-zero when the document could not be started.
    int errorFlag() const { return m_errorFlag; }
    // Puts the running page line on every page and hands the pages over;
    // what follows starts on an empty page.
    PagedDocument endDocument();
    int pageCount() const { return static_cast<int>(m_pages.size()); }
    QSizeF pageSize() const { return m_pageSize; }

    // --- text style
    void setFontName(const QString& family) { m_font.family = family; }
    void setFontSize(double points) { m_font.pointSize = points; }
    void setBold(bool on) { m_font.bold = on; }
    void setItalic(bool on) { m_font.italic = on; }
    void setUnderline(bool on) { m_font.underline = on; }
    const TextFont& font() const { return m_font; }
    void setTextAlignment(Alignment alignment) { m_alignment = alignment; }
    Alignment textAlignment() const { return m_alignment; }
    // Percent of single spacing.
    void setLineSpacing(double percent) { m_lineSpacing = percent; }
    double lineSpacing() const { return m_lineSpacing; }
    // The height of `sample` in the current font (one line).
    double textHeight(const QString& sample) const;
    // The lines `text` wraps into, in the current font, within `width`.
    int lineCount(const QString& text, double width) const;
    // The lines printLine(text) would take from the left of the current
    // column.
    int paragraphLines(const QString& text) const;
    // How far printLine(text) would move down from a line's start at the
    // left of the current column: the line advance times the lines the
    // paragraph wraps into.
    double paragraphHeight(const QString& text) const;

    // --- layout
    // Newspaper columns between the side margins; text starts in the first
    // column at the current position.
    void setColumns(int count);
    int columns() const { return m_columns; }
    // Output continues at the top of the next column (the height where the
    // columns began), or of a new page after the last column.
    void columnBreak();
    // The left and right margins are distances from the page's left and
    // right edges; the top margin is where text starts on a new page.
    void setLeftMargin(double twips);
    void setTopMargin(double twips) { m_topMargin = twips; }
    void setRightMargin(double twips);
    double leftMargin() const { return m_leftMargin; }
    double topMargin() const { return m_topMargin; }
    double rightMargin() const { return m_rightMargin; }
    // Text stands and wraps no further right than `x`, where a box inside
    // the current column ends before the column does; 0 lifts the limit.
    void setTextLimit(double x) { m_textLimit = x; }
    double currentX() const { return m_x; }
    double currentY() const { return m_y; }
    void setCurrentX(double twips) { m_x = twips; }
    void setCurrentY(double twips) { m_y = twips; }

    // Prints `text` as one paragraph at the current position in the current
    // font and alignment, then moves to the start of the next line. Left
    // aligned text starts at the current x; centred and right aligned text
    // stand between the margins of the column. An empty text still
    // advances one line. A position above the top margin or outside the
    // column is taken as the nearest position inside.
    void printLine(const QString& text);

    // --- drawing
    void setLineColour(const QColor& colour) { m_lineColour = colour; }
    void setPenWidth(double twips) { m_penWidth = twips; }
    void setBrushColour(const QColor& colour) { m_brushColour = colour; }
    void setBrushStyle(BrushStyle style) { m_brushStyle = style; }
    void drawLine(double x1, double y1, double x2, double y2);
    // Outlined with the pen, filled with the brush unless its style is None.
    void drawRectangle(double x1, double y1, double x2, double y2);
    // Where the next picture goes.
    void setPictureRectangle(double x1, double y1, double x2, double y2);
    // Draws the picture scaled into the picture rectangle; a null picture
    // places nothing.
    void placePicture(const QImage& picture);
    // Places a drawing that `paint` makes on a canvas of `canvas` units,
    // scaled into `rect` (twips) and clipped to it; an empty rectangle or
    // canvas places nothing.
    void placeDrawing(const QRectF& rect, const QSizeF& canvas, std::function<void(QPainter&)> paint);

    // --- running page line
    // Printed on every page by endDocument(): "|" separates its left,
    // centre and right parts, "%d" becomes the page number. The left part
    // starts at the left margin and the right part ends at the right
    // margin in force now; the centre part stands between them.
    void setRunningPageLine(const QString& text, const QString& fontName, double pointSize);

    // --- tables
    // Rows are numbered from 1, row 0 being the heading row; columns from 1.
    // Operations on a row or column the table does not have do nothing.
    //
    // Begins a table at the current position, between the current margins.
    void startTable();
    // Defines the columns and the heading row and adds one body row per
    // entry of `rows`. The table has as many columns as the heading or the
    // rows have fields; `format` gives column widths in twips, "|" between
    // them (an empty entry keeps the default width, entries beyond the
    // columns are ignored).
    void addTableRows(const QString& format, const QString& heading, const std::vector<QStringList>& rows);
    int tableRowCount() const;
    void setColumnWidth(int column, double twips);
    void setRowHeight(int row, double twips);
    void setRowAlignment(int row, Alignment alignment);
    void setCellAlignment(int row, int column, Alignment alignment);
    QString cellText(int row, int column) const;
    void setCellText(int row, int column, const QString& text);
    void setRowBackground(int row, const QColor& colour);
    void setCellBackground(int row, int column, const QColor& colour);
    // The cell covers `count` columns from its own to the right.
    void setCellSpan(int row, int column, int count);
    // 0 draws no rules; any other style outlines every cell with the pen.
    void setTableBorder(int style) { m_tableBorder = style; }
    // A heading row is repeated at the top of every page the table continues on.
    void setRowIsHeading(int row, bool heading);
    // The row goes to the next page together with the row after it, rather
    // than end a page without it. A run of such rows moves as one, unless
    // it is longer than a page.
    void setRowKeptWithNext(int row, bool kept);
    // On every page the table continues on, `text` stands at the top margin
    // in the current font, above the repeated heading row.
    void setContinuationLine(const QString& text);
    // On every page the table continues on, the first body row shows in
    // `column`, when its own cell is empty, the last text that column had
    // on the rows before it (the day of a row that only the day's first row
    // names).
    void setCarriedColumn(int column) { m_carriedColumn = column; }
    // Lays the table out from where it began, row under row in the line
    // colour and pen width in force; a row that does not fit above the
    // bottom margin goes whole to the next page. A cell's text stands in
    // the middle of its height and wraps at blanks when it is wider than
    // the cell; a text with a word wider than the cell, or with more lines
    // than the row is high, is set as much smaller as it takes to fit. The
    // current position is then under the table.
    void endTable();

private:
    struct Span {
        double left;
        double right;
    };
    struct TableCell {
        QString text;
        std::optional<QColor> background;
        Alignment alignment = Alignment::Left;
        int span = 1;
    };
    struct TableRow {
        std::vector<TableCell> cells;
        double height = 0; // 0: one line of the table's font and its padding
        bool heading = false;
        bool keptWithNext = false;
    };
    struct Table {
        double left = 0;
        double top = 0;
        TextFont font;
        std::vector<double> widths;
        std::vector<TableRow> rows; // rows[0] is the heading row
        QString continuation;
        TextFont continuationFont;
    };
    struct RunningLine {
        QString text;
        TextFont font;
        double left = 0;
        double right = 0;
    };

    Page& page() { return m_pages.back(); }
    void newPage();
    double bottomLimit() const { return m_pageSize.height() - kBottomMargin; }
    Span columnSpan() const;
    double lineAdvance() const { return m_font.pointSize * kTwipsPerPoint * m_lineSpacing / 100.0; }
    // Moves on to the next column or page when a line of `height` does not
    // fit under the current position; true when it moved.
    bool makeRoom(double height);
    const TextMeasure& measure(const TextFont& font) const;
    TableCell* cell(int row, int column);
    const TableCell* cell(int row, int column) const;
    TableRow* row(int index);
    double rowHeight(const TableRow& row, const TextMeasure& measure) const;
    void placeRow(const TableRow& row, double top, double height, const TextMeasure& measure);
    // The top of a new page the table continues on, with its continuation
    // line and heading row placed; where the next row goes.
    double continueTable(const TableRow* heading, const TextMeasure& measure);
    // The height of the rows from `first` that go to a new page together.
    double keptHeight(size_t first, const TextMeasure& measure) const;

    QSizeF m_pageSize;
    std::vector<Page> m_pages;
    int m_errorFlag = 0;

    TextFont m_font;
    Alignment m_alignment = Alignment::Left;
    double m_lineSpacing = 100;
    int m_columns = 1;
    int m_column = 0;
    double m_columnTop = 0;
    double m_leftMargin = 1440;
    double m_topMargin = 1440;
    double m_rightMargin = 1440;
    double m_x = 0;
    double m_y = 0;

    QColor m_lineColour = Qt::black;
    double m_penWidth = 0;
    QColor m_brushColour = Qt::black;
    BrushStyle m_brushStyle = BrushStyle::Solid;
    QRectF m_pictureRect;

    std::optional<RunningLine> m_runningLine;
    std::unique_ptr<Table> m_table;
    int m_tableBorder = 1;
    int m_carriedColumn = 0;
    double m_textLimit = 0;

    mutable std::vector<std::pair<TextFont, std::unique_ptr<TextMeasure>>> m_measures;
};

} // namespace pelmor::reports
