#pragma once

#include "reports/DocumentInputs.h"
#include "reports/PageComposer.h"

#include <QColor>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QPainter;

// The pages of the documents that read as a memo rather than a form (the
// speed study and the comparison of two surveys): each page under the
// frame's rule with the agency and the title, a body between the one-inch
// margins, headings, notes, tables that shrink their text to fit their
// cells, boxes for warnings and drawings placed as vectors.
namespace pelmor::reports {

namespace framed {
// Every page: the frame's rules across 0.7 to 7.7 inches, the body between
// the one-inch margins, from just under the top rule to just above the
// bottom one.
inline constexpr double kFrameLeft = 1008;
inline constexpr double kFrameRight = 11088;
inline constexpr double kTopRule = 1872;
inline constexpr double kBottomRule = 14400;
inline constexpr double kBodyLeft = 1440;
inline constexpr double kBodyRight = 10800;
inline constexpr double kBodyWidth = kBodyRight - kBodyLeft;
inline constexpr double kBodyTop = 2016;
inline constexpr double kBodyBottom = kBottomRule - 144;
// Between two blocks of a page, and between a heading and its block.
inline constexpr double kBlockGap = 216;
inline constexpr double kHeadingGap = 72;
// The tables: their text size, the smallest it shrinks to, the room over
// and under a row's text, and the gap between tables side by side.
inline constexpr double kTablePoints = 9;
inline constexpr double kSmallestTablePoints = 7;
inline constexpr double kRowPadding = 24;
inline constexpr double kTableGap = 360;
// A box: the room inside its edge, where the bullets stand and where the
// texts after them start.
inline constexpr double kBoxPadding = 144;
inline constexpr double kBulletIndent = 72;
inline constexpr double kBulletTextIndent = 288;
} // namespace framed

// The shades of the page: in colour, or greys for a black-and-white printer.
struct PageShades {
    QColor warningFill;
    QColor warningEdge;
    QColor cleanFill;
    QColor cleanEdge;
    QColor headingRow;
    QColor keyRow; // a row picked out of a table
    QColor tableRule;
};

const PageShades& pageShades(bool blackAndWhite);

// A table to place: its column widths, titles and rows, how many lines its
// heading row has, and the shade of any body row (numbered from 1). The
// first column is left aligned, the others to the right unless
// `centredColumns` says otherwise (numbered from 1).
struct TableSpec {
    std::vector<double> widths;
    QStringList columns;
    std::vector<QStringList> rows;
    int headingLines = 1;
    std::function<std::optional<QColor>(int row)> shade;
    std::vector<int> leftColumns = {1};

    // Shades the first body row whose caption starts with `caption` in the
    // colour of a row picked out, and no other.
    void pickOutRow(const QString& caption, const PageShades& shades);
};

// Writes the body of a framed document page by page.
class FramedPageWriter {
public:
    FramedPageWriter(PageComposer& page, const DocumentInputs& inputs, QString title);

protected:
    // --- style and room
    void setFont(double points, bool bold = false);
    // Text between two x positions on the page.
    void setSpan(double left, double right);
    // A table row of the current font.
    double rowHeight() const;
    void skip(double twips) { m_page.setCurrentY(m_page.currentY() + twips); }
    // What is left of the body under the current height.
    double roomLeft() const { return framed::kBodyBottom - m_page.currentY(); }

    // --- page parts
    // The frame's two rules and the title lines on the first page, or on
    // a new one after it; under them, when `pageLine` is not empty, which
    // survey the page belongs to. The current height is then at the body's top.
    void beginPage(const QString& pageLine = QString());
    void printHeading(const QString& text);
    void printNote(const QString& text, double points);
    // Each line after a bullet, from the current height; how tall that is.
    void printBullets(const QStringList& lines);
    double bulletsHeight(const QStringList& lines);
    // The lines in a box across the frame: under a bold heading and each
    // after a bullet, in the warning shades with a heavy edge; or, without
    // any lines, the one text `clean` in the light box.
    void printNoticeBox(const QString& heading, const QStringList& lines, const QString& clean);
    // How tall printNoticeBox() makes its box.
    double noticeBoxHeight(const QString& heading, const QStringList& lines, const QString& clean);
    // The table with its top at the current height and its left edge at
    // `left`, in the table size or, where a text would not fit its cell,
    // as much smaller as it takes; the current height is then under it.
    void placeTable(double left, const TableSpec& tableLayout);
    // How tall placeTable() makes the table.
    double tableHeight(const TableSpec& tableLayout);
    // A drawing of `height` twips across the body at the current height.
    void placeChart(double height, std::function<void(QPainter&, const QSize&)> paint);

    PageComposer& m_page;
    const DocumentInputs& m_inputs;
    const PageShades& m_shades;

private:
    bool fitsItsCells(const TableSpec& tableLayout) const;
    // Sets the span and the largest font size the table's texts fit in.
    void fitTable(double left, const TableSpec& tableLayout);

    QString m_title;
    bool m_pageBegun = false;
};

// Builds a framed document: the default style, the page layout, the body
// that `write` puts on the pages, and the running page line with the date
// of issue and the page number. Nothing when the document cannot be started
// on the paper of the inputs.
std::optional<PagedDocument> buildFramedDocument(const DocumentInputs& inputs,
                                                 const std::function<void(PageComposer&)>& write);

} // namespace pelmor::reports
