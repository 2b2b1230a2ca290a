#include "reports/PageStyle.h"

#include "text/Formats.h"

namespace pelmor::reports {
namespace {

// The page frame: from 0.7 to 7.7 inches across, down to 10 inches.
constexpr double kFrameLeft = 1008;
constexpr double kFrameRight = 11088;
constexpr double kFrameBottom = 14400;
constexpr double kLayoutMargin = 1008;
constexpr double kBodyMargin = 1440;
constexpr double kSmallestFittedPoints = 7;

void setRunningLine(PageComposer& page, const QString& prefix, const QDate& today, const QString& suffix)
{
    page.setRunningPageLine(prefix + text::formatLongDate(today) + suffix, QStringLiteral("Arial"), 10);
}

} // namespace

void applyDefaultStyle(PageComposer& page)
{
    page.setFontName(QStringLiteral("Times"));
    page.setBold(false);
    page.setItalic(false);
    page.setTextAlignment(Alignment::Left);
    page.setBrushStyle(BrushStyle::Solid);
    page.setPenWidth(6);
    page.setLineColour(Qt::black);
    page.setBrushColour(Qt::black);
    page.setColumns(1);
    page.setLeftMargin(720);
    page.setRightMargin(720);
}

bool startPageLayout(PageComposer& page)
{
    page.startDocument();
    if (page.errorFlag() != 0)
        return false;
    page.setCurrentX(0);
    page.setCurrentY(0);
    page.setTopMargin(kLayoutMargin);
    page.setLeftMargin(kLayoutMargin);
    page.setRightMargin(kLayoutMargin);
    page.setLineColour(Qt::black);
    page.setPenWidth(25);
    return true;
}

void drawPageFrame(PageComposer& page, double topRule, std::initializer_list<FrameBox> boxes)
{
    page.drawLine(kFrameLeft, topRule, kFrameRight, topRule);
    page.drawLine(kFrameLeft, kFrameBottom, kFrameRight, kFrameBottom);
    for (const FrameBox& box : boxes) {
        page.setBrushStyle(BrushStyle::None);
        page.drawRectangle(box.x1, box.y1, box.x2, box.y2);
    }
}

void printTitleBlock(PageComposer& page, const QString& first, const QString& second)
{
    page.setTextAlignment(Alignment::Centre);
    page.setFontName(QStringLiteral("Arial"));
    page.setFontSize(14);
    page.setBold(true);
    printFitting(page, first);
    printFitting(page, second);
    page.setBold(false);
    page.setLeftMargin(kBodyMargin);
    page.setRightMargin(kBodyMargin);
    page.setFontSize(12);
}

void printFitting(PageComposer& page, const QString& text, int lines)
{
    const double size = page.font().pointSize;
    const double spacing = page.lineSpacing();
    double fitted = size;
    while (page.paragraphLines(text) > lines && fitted - 0.5 >= kSmallestFittedPoints) {
        fitted -= 0.5;
        page.setFontSize(fitted);
    }
    page.setLineSpacing(spacing * size / fitted);
    page.printLine(text);
    page.setFontSize(size);
    page.setLineSpacing(spacing);
}

void printBlock(PageComposer& page, double top, std::initializer_list<QString> lines)
{
    page.setCurrentY(top);
    for (const QString& line : lines)
        printFitting(page, line);
}

void printUnderlined(PageComposer& page, const QString& text, bool bold)
{
    page.setBold(bold);
    page.setUnderline(true);
    page.printLine(text);
    page.setUnderline(false);
    page.setBold(false);
}

void setIssuedLine(PageComposer& page, const QDate& today)
{
    setRunningLine(page, QStringLiteral("Issued:  "), today, QStringLiteral("|| page%d"));
}

void setPrintedLine(PageComposer& page, const QDate& today)
{
    setRunningLine(page, QStringLiteral("Printed:  "), today, QStringLiteral("|| "));
}

} // namespace pelmor::reports
