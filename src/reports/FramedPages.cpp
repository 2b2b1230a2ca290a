#include "reports/FramedPages.h"

#include "reports/PageStyle.h"

#include <QPainter>

#include <algorithm>

namespace pelmor::reports {

using namespace framed;

const PageShades& pageShades(bool blackAndWhite)
{
    static const PageShades colour{QColor(255, 243, 205), QColor(204, 150, 0),   QColor(227, 244, 230),
                                   QColor(120, 180, 130), QColor(221, 230, 241), QColor(255, 236, 153),
                                   QColor(150, 150, 150)};
    static const PageShades grey{QColor(232, 232, 232), QColor(0, 0, 0),       QColor(255, 255, 255),
                                 QColor(0, 0, 0),       QColor(215, 215, 215), QColor(236, 236, 236),
                                 QColor(120, 120, 120)};
    return blackAndWhite ? grey : colour;
}

void TableSpec::pickOutRow(const QString& caption, const PageShades& shades)
{
    const auto found = std::find_if(rows.begin(), rows.end(), [&caption](const QStringList& row) {
        return row.value(0).startsWith(caption);
    });
    const int picked = found == rows.end() ? 0 : int(found - rows.begin()) + 1;
    const QColor colour = shades.keyRow;
    shade = [picked, colour](int row) {
        return row == picked ? std::optional<QColor>(colour) : std::nullopt;
    };
}

FramedPageWriter::FramedPageWriter(PageComposer& page, const DocumentInputs& inputs, QString title)
    : m_page(page)
    , m_inputs(inputs)
    , m_shades(pageShades(inputs.blackAndWhite))
    , m_title(std::move(title))
{
}

void FramedPageWriter::setFont(double points, bool bold)
{
    m_page.setFontName(QStringLiteral("Arial"));
    m_page.setFontSize(points);
    m_page.setBold(bold);
    m_page.setUnderline(false);
    m_page.setItalic(false);
}

void FramedPageWriter::setSpan(double left, double right)
{
    m_page.setLeftMargin(left);
    m_page.setRightMargin(m_page.pageSize().width() - right);
}

double FramedPageWriter::rowHeight() const
{
    return m_page.textHeight(QStringLiteral("X")) + 2 * kRowPadding;
}

void FramedPageWriter::beginPage(const QString& pageLine)
{
    if (std::exchange(m_pageBegun, true)) {
        m_page.setColumns(1);
        m_page.columnBreak(); // on to a new page
    }
    m_page.setPenWidth(25);
    m_page.setLineColour(Qt::black);
    drawPageFrame(m_page, kTopRule, {});
    // The title is centred on the page, as on every document.
    m_page.setLeftMargin(kFrameLeft);
    m_page.setRightMargin(kFrameLeft);
    m_page.setCurrentY(m_page.topMargin());
    m_page.setLineSpacing(100);
    printTitleBlock(m_page, m_inputs.agency, m_title);
    m_page.setTextAlignment(Alignment::Left);
    m_page.setLineSpacing(115);
    m_page.setCurrentY(kBodyTop);
    if (pageLine.isEmpty())
        return;
    setSpan(kBodyLeft, kBodyRight);
    setFont(10);
    m_page.printLine(pageLine);
    skip(kHeadingGap);
}

void FramedPageWriter::printHeading(const QString& text)
{
    setSpan(kBodyLeft, kBodyRight);
    setFont(12, true);
    m_page.printLine(text);
    setFont(10);
    skip(kHeadingGap);
}

void FramedPageWriter::printNote(const QString& text, double points)
{
    setSpan(kBodyLeft, kBodyRight);
    setFont(points);
    m_page.printLine(text);
}

double FramedPageWriter::noticeBoxHeight(const QString& heading, const QStringList& lines,
                                         const QString& clean)
{
    const bool any = !lines.isEmpty();
    setSpan(kBodyLeft, kBodyRight);
    setFont(11, true);
    double height = 2 * kBoxPadding + (any ? m_page.paragraphHeight(heading) : 0);
    setFont(10);
    if (!any)
        height += m_page.paragraphHeight(clean);
    return height + bulletsHeight(lines);
}

double FramedPageWriter::bulletsHeight(const QStringList& lines)
{
    setSpan(kBodyLeft + kBulletTextIndent, kBodyRight);
    double height = 0;
    for (const QString& line : lines)
        height += m_page.paragraphHeight(line);
    return height;
}

void FramedPageWriter::printBullets(const QStringList& lines)
{
    for (const QString& line : lines) {
        const double lineTop = m_page.currentY();
        setSpan(kBodyLeft + kBulletIndent, kBodyRight);
        m_page.printLine(QStringLiteral("\u2022"));
        setSpan(kBodyLeft + kBulletTextIndent, kBodyRight);
        m_page.setCurrentY(lineTop);
        m_page.printLine(line);
    }
}

void FramedPageWriter::printNoticeBox(const QString& heading, const QStringList& lines, const QString& clean)
{
    const bool any = !lines.isEmpty();
    const double top = m_page.currentY();

    // Measured first: the box is drawn under its text.
    const double height = noticeBoxHeight(heading, lines, clean);
    m_page.setLineColour(any ? m_shades.warningEdge : m_shades.cleanEdge);
    m_page.setPenWidth(any ? 40 : 15);
    m_page.setBrushStyle(BrushStyle::Solid);
    m_page.setBrushColour(any ? m_shades.warningFill : m_shades.cleanFill);
    m_page.drawRectangle(kFrameLeft, top, kFrameRight, top + height);
    m_page.setBrushStyle(BrushStyle::None);
    m_page.setLineColour(Qt::black);
    m_page.setPenWidth(25);

    m_page.setCurrentY(top + kBoxPadding);
    setSpan(kBodyLeft, kBodyRight);
    if (!any) {
        m_page.printLine(clean);
    } else {
        setFont(11, true);
        m_page.printLine(heading);
        setFont(10);
        printBullets(lines);
    }
    m_page.setCurrentY(top + height + kBlockGap);
}

bool FramedPageWriter::fitsItsCells(const TableSpec& tableLayout) const
{
    // The body on one line, the headings on as many as their row has.
    const auto fits = [&](const QStringList& texts, int lines) {
        for (qsizetype column = 0; column < texts.size() && column < qsizetype(tableLayout.widths.size());
             ++column) {
            const double room = tableLayout.widths[size_t(column)] - 2 * PageComposer::kCellPaddingX;
            if (m_page.lineCount(texts[column], room) > lines)
                return false;
        }
        return true;
    };
    if (!fits(tableLayout.columns, tableLayout.headingLines))
        return false;
    return std::all_of(tableLayout.rows.begin(), tableLayout.rows.end(),
                       [&](const QStringList& row) { return fits(row, 1); });
}

void FramedPageWriter::fitTable(double left, const TableSpec& tableLayout)
{
    double right = left;
    for (const double width : tableLayout.widths)
        right += width;
    setSpan(left, right);
    for (double points = kTablePoints; points >= kSmallestTablePoints; points -= 0.5) {
        setFont(points);
        if (fitsItsCells(tableLayout))
            break;
    }
}

double FramedPageWriter::tableHeight(const TableSpec& tableLayout)
{
    fitTable(kBodyLeft, tableLayout);
    const double row = rowHeight();
    return row * double(tableLayout.rows.size() + 1) +
           (tableLayout.headingLines - 1) * m_page.textHeight(QStringLiteral("X"));
}

void FramedPageWriter::placeTable(double left, const TableSpec& tableLayout)
{
    fitTable(left, tableLayout);
    QStringList format;
    for (const double width : tableLayout.widths)
        format << QString::number(width);
    m_page.setLineColour(m_shades.tableRule);
    m_page.setPenWidth(10);
    m_page.setTableBorder(1);
    m_page.startTable();
    m_page.addTableRows(format.join(QLatin1Char('|')), tableLayout.columns.join(QLatin1Char('|')),
                        tableLayout.rows);
    const double row = rowHeight();
    m_page.setRowHeight(0, row + (tableLayout.headingLines - 1) * m_page.textHeight(QStringLiteral("X")));
    m_page.setRowBackground(0, m_shades.headingRow);
    m_page.setRowAlignment(0, Alignment::Centre);
    for (int index = 1; index <= m_page.tableRowCount(); ++index) {
        m_page.setRowHeight(index, row);
        m_page.setRowAlignment(index, Alignment::Right);
        for (const int column : tableLayout.leftColumns)
            m_page.setCellAlignment(index, column, Alignment::Left);
        if (tableLayout.shade) {
            if (const std::optional<QColor> shade = tableLayout.shade(index))
                m_page.setRowBackground(index, *shade);
        }
    }
    m_page.endTable();
    m_page.setLineColour(Qt::black);
    m_page.setPenWidth(25);
}

void FramedPageWriter::placeChart(double height, std::function<void(QPainter&, const QSize&)> paint)
{
    const QRectF rect(kBodyLeft, m_page.currentY(), kBodyWidth, height);
    const QSize canvas = rect.size().toSize();
    m_page.placeDrawing(rect, QSizeF(canvas), [paint, canvas](QPainter& painter) { paint(painter, canvas); });
    m_page.setCurrentY(rect.bottom());
}

std::optional<PagedDocument> buildFramedDocument(const DocumentInputs& inputs,
                                                 const std::function<void(PageComposer&)>& write)
{
    PageComposer page(inputs.pageSize);
    applyDefaultStyle(page);
    if (!startPageLayout(page))
        return std::nullopt;
    write(page);
    page.setLeftMargin(kBodyLeft);
    page.setRightMargin(kBodyLeft);
    setIssuedLine(page, inputs.today);
    return page.endDocument();
}

} // namespace pelmor::reports
