#include "TestSupport.h"
#include "reports/PageComposer.h"
#include "reports/PagePainter.h"

#include <QPageSize>
#include <QPainter>
#include <QTest>

using namespace pelmor;
using reports::Alignment;
using reports::PageComposer;
using reports::TextItem;
using test::row;

namespace {

// Letter paper with one-inch side margins: text runs from 1440 to 10800.
PageComposer letterPage()
{
    PageComposer page;
    page.startDocument();
    page.setLeftMargin(1440);
    page.setRightMargin(1440);
    page.setTopMargin(1440);
    page.setFontSize(12);
    return page;
}

std::vector<const TextItem*> textsOf(const reports::Page& page)
{
    return page.itemsOf<TextItem>();
}

const TextItem* findText(const reports::Page& page, const QString& text)
{
    for (const TextItem* item : textsOf(page)) {
        if (item->text == text)
            return item;
    }
    return nullptr;
}

QSizeF twipsOf(QPageSize::PageSizeId id)
{
    return QPageSize(id).size(QPageSize::Point) * reports::kTwipsPerPoint;
}

} // namespace

// The page engine on its own: where lines, columns, pages, the running page
// line and tables put their items.
class TstPageComposer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lineAdvance_data()
    {
        QTest::addColumn<double>("points");
        QTest::addColumn<double>("spacing");
        QTest::addColumn<double>("advance");
        row("12 pt single", 12.0, 100.0, 240.0);
        row("12 pt at 120 %", 12.0, 120.0, 288.0);
        row("12 pt at 150 %", 12.0, 150.0, 360.0);
        row("14 pt title", 14.0, 100.0, 280.0);
        row("6 pt at 120 %", 6.0, 120.0, 144.0);
    }
    void lineAdvance()
    {
        QFETCH(double, points);
        QFETCH(double, spacing);
        QFETCH(double, advance);
        PageComposer page = letterPage();
        page.setFontSize(points);
        page.setLineSpacing(spacing);
        page.setCurrentY(3000);
        page.printLine(QStringLiteral("one"));
        page.printLine(QString()); // an empty line advances too, and places nothing
        page.printLine(QStringLiteral("three"));
        const reports::PagedDocument document = page.endDocument();
        const auto texts = textsOf(document.pages.at(0));
        QCOMPARE(texts.size(), size_t(2));
        QCOMPARE(texts[0]->top, 3000.0);
        QCOMPARE(texts[1]->top, 3000.0 + 2 * advance);
        QCOMPARE(texts[1]->font.pointSize, points);
        // The letters hang from the top of the line.
        QVERIFY(texts[0]->baseline > texts[0]->top && texts[0]->baseline < texts[0]->top + points * 20);
    }

    void alignment_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("columns");
        QTest::addColumn<double>("currentX");
        QTest::addColumn<QString>("where"); // "at x", "from left", "centred", "to right"
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("right");
        row("left at the current x", int(Alignment::Left), 1, 2000.0, "at x", 1440.0, 10800.0);
        row("left of the margin starts at it", int(Alignment::Left), 1, 0.0, "from left", 1440.0, 10800.0);
        row("centred between the margins", int(Alignment::Centre), 1, 2000.0, "centred", 1440.0, 10800.0);
        row("right aligned", int(Alignment::Right), 1, 2000.0, "to right", 1440.0, 10800.0);
        // Two columns share 1440..10800 with a gap of 180 twips.
        row("centred in the second column", int(Alignment::Centre), 2, 0.0, "centred", 6210.0, 10800.0);
        row("left in the second column", int(Alignment::Left), 2, 0.0, "from left", 6210.0, 10800.0);
    }
    void alignment()
    {
        QFETCH(int, alignment);
        QFETCH(int, columns);
        QFETCH(double, currentX);
        QFETCH(QString, where);
        QFETCH(double, left);
        QFETCH(double, right);
        PageComposer page = letterPage();
        page.setColumns(columns);
        if (columns == 2)
            page.columnBreak();
        page.setTextAlignment(Alignment(alignment));
        page.setCurrentX(currentX);
        page.setCurrentY(2000);
        page.printLine(QStringLiteral("Survey Zone: School"));
        const reports::PagedDocument document = page.endDocument();
        const TextItem* item = textsOf(document.pages.at(0)).at(0);
        QVERIFY(item->width > 1000);
        const double expected = where == QLatin1String("at x")        ? currentX
                                : where == QLatin1String("from left") ? left
                                : where == QLatin1String("centred")   ? (left + right - item->width) / 2
                                                                      : right - item->width;
        QVERIFY2(qAbs(item->x - expected) < 0.01, qPrintable(QString::number(item->x)));
    }

    void columnsAndBreaks()
    {
        PageComposer page = letterPage();
        page.setCurrentY(2448);
        page.setColumns(2);
        page.printLine(QStringLiteral("left 1"));
        page.printLine(QStringLiteral("left 2"));
        page.columnBreak();
        // The next column starts where the columns began.
        QCOMPARE(page.currentY(), 2448.0);
        QCOMPARE(page.currentX(), 6210.0);
        page.printLine(QStringLiteral("right 1"));
        page.setColumns(1);
        page.printLine(QStringLiteral("across"));
        const reports::Page result = page.endDocument().pages.at(0);
        QCOMPARE(findText(result, QStringLiteral("left 2"))->x, 1440.0);
        QCOMPARE(findText(result, QStringLiteral("right 1"))->x, 6210.0);
        QCOMPARE(findText(result, QStringLiteral("right 1"))->top, 2448.0);
        QCOMPARE(findText(result, QStringLiteral("across"))->x, 1440.0);
    }

    void wrapping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("lines");
        row("fits", QStringLiteral("Survey Location: Elm Street"), 2, 1);
        row("wraps at blanks", QStringLiteral("Survey Location: Elm Street at Oak Avenue by the school"), 2,
            2);
        row("a word longer than the column", QString(60, QLatin1Char('W')), 2, 3);
        row("leading blanks kept", QStringLiteral("          Posted Speed Limit: 035  MPH"), 2, 1);
    }
    void wrapping()
    {
        QFETCH(QString, text);
        QFETCH(int, columns);
        QFETCH(int, lines);
        PageComposer page = letterPage();
        page.setColumns(columns);
        page.setCurrentY(4752);
        page.printLine(text);
        const reports::PagedDocument document = page.endDocument();
        const auto texts = textsOf(document.pages.at(0));
        QCOMPARE(int(texts.size()), lines);
        QString joined;
        for (const TextItem* item : texts) {
            QCOMPARE(item->x, 1440.0);
            QVERIFY2(item->x + item->width <= 6030.5, qPrintable(item->text));
            joined += item->text;
        }
        // Only the blanks at the breaks are dropped.
        QCOMPARE(QString(joined).remove(QLatin1Char(' ')), QString(text).remove(QLatin1Char(' ')));
        if (lines == 1)
            QCOMPARE(texts[0]->text, text);
    }

    void pageOverflow_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("pages");
        // From 1440 down to 14760 (1080 above the bottom): 55 lines of 240.
        row("one column, one page", 1, 55, 1);
        row("one column, into a second page", 1, 56, 2);
        row("two columns fill both first", 2, 110, 1);
        row("two columns, into a second page", 2, 111, 2);
        row("three pages", 1, 111, 3);
    }
    void pageOverflow()
    {
        QFETCH(int, columns);
        QFETCH(int, lines);
        QFETCH(int, pages);
        PageComposer page = letterPage();
        page.setCurrentY(1440);
        page.setColumns(columns);
        for (int i = 1; i <= lines; ++i)
            page.printLine(QStringLiteral("line %1").arg(i));
        const reports::PagedDocument document = page.endDocument();
        QCOMPARE(int(document.pages.size()), pages);
        for (const reports::Page& each : document.pages) {
            for (const TextItem* item : textsOf(each))
                QVERIFY2(item->top + 240 <= 14760 + 0.5, qPrintable(item->text));
        }
        // A continued page starts at the top margin, in the first column.
        const TextItem* first = textsOf(document.pages.back()).at(0);
        QCOMPARE(first->top, 1440.0);
        QCOMPARE(first->x, 1440.0);
    }

    void runningPageLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("parts"); // left, centre, right; "#" is the page number
        row("reports", QStringLiteral("Issued:  Apr 02 , 2002|| page%d"),
            QStringList{"Issued:  Apr 02 , 2002", "", " page#"});
        row("field sheets", QStringLiteral("Printed:  Apr 02 , 2002|| "),
            QStringList{"Printed:  Apr 02 , 2002", "", " "});
        row("a centre part", QStringLiteral("left|centre %d|right"),
            QStringList{"left", "centre #", "right"});
    }
    void runningPageLine()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, parts);
        PageComposer page = letterPage();
        page.setCurrentY(1440);
        for (int i = 0; i < 111; ++i)
            page.printLine(QStringLiteral("body"));
        page.setRunningPageLine(text, QStringLiteral("Arial"), 10);
        const reports::PagedDocument document = page.endDocument();
        QCOMPARE(document.pages.size(), size_t(3));
        for (size_t index = 0; index < 3; ++index) {
            QStringList expected = parts;
            expected.replaceInStrings(QStringLiteral("#"), QString::number(index + 1));
            QStringList found;
            for (const TextItem* item : textsOf(document.pages[index])) {
                if (item->text == QLatin1String("body"))
                    continue;
                found << item->text;
                QCOMPARE(item->font.pointSize, 10.0);
                // Half an inch above the bottom edge of the paper.
                QCOMPARE(item->baseline, 15840.0 - 720);
                const qsizetype part = expected.indexOf(item->text);
                const double where = part == 0   ? item->x
                                     : part == 1 ? item->x + item->width / 2
                                                 : item->x + item->width;
                QCOMPARE(where, part == 0 ? 1440.0 : part == 1 ? 6120.0 : 10800.0);
            }
            // Each page its own number and the same date.
            expected.removeAll(QString());
            QCOMPARE(found, expected);
        }
    }

    void errorFlag_data()
    {
        QTest::addColumn<QSizeF>("paper");
        QTest::addColumn<int>("flag");
        row("US Letter", twipsOf(QPageSize::Letter), 0);
        row("A4", twipsOf(QPageSize::A4), 0);
        row("US Legal", twipsOf(QPageSize::Legal), 0);
        row("A5 is too small", twipsOf(QPageSize::A5), 1);
        row("7.6 by 10 inches", QSizeF(7.6 * 1440, 10 * 1440), 1);
        row("7.7 by 9.9 inches", QSizeF(7.7 * 1440, 9.9 * 1440), 1);
    }
    void errorFlag()
    {
        QFETCH(QSizeF, paper);
        QFETCH(int, flag);
        PageComposer page(paper);
        page.startDocument();
        QCOMPARE(page.errorFlag(), flag);
        QCOMPARE(page.endDocument().pageSize, paper);
    }

    void drawing()
    {
        PageComposer page = letterPage();
        page.setLineColour(QColor(190, 190, 190));
        page.setPenWidth(25);
        page.drawLine(1008, 2160, 11088, 2160);
        page.setBrushStyle(reports::BrushStyle::None);
        page.drawRectangle(4608, 2736, 1008, 2448); // corners in any order
        page.setBrushStyle(reports::BrushStyle::Solid);
        page.setBrushColour(QColor(255, 0, 0));
        page.drawRectangle(10512, 9288, 10612.8, 9576);
        page.setPictureRectangle(1440, 8208, 10656, 13968);
        page.placePicture(QImage()); // no picture: nothing placed
        QImage graph(192, 120, QImage::Format_RGB32);
        graph.fill(Qt::green);
        page.placePicture(graph);
        const reports::Page result = page.endDocument().pages.at(0);

        const auto lines = result.itemsOf<reports::LineItem>();
        QCOMPARE(lines.size(), size_t(1));
        QCOMPARE(lines[0]->from, QPointF(1008, 2160));
        QCOMPARE(lines[0]->colour, QColor(190, 190, 190));
        QCOMPARE(lines[0]->width, 25.0);
        const auto boxes = result.itemsOf<reports::RectangleItem>();
        QCOMPARE(boxes.size(), size_t(2));
        QCOMPARE(boxes[0]->rect, QRectF(1008, 2448, 3600, 288));
        QVERIFY(!boxes[0]->fill);
        QCOMPARE(boxes[1]->fill.value_or(Qt::black), QColor(255, 0, 0));
        const auto pictures = result.itemsOf<reports::PictureItem>();
        QCOMPARE(pictures.size(), size_t(1));
        QCOMPARE(pictures[0]->rect, QRectF(1440, 8208, 9216, 5760));
    }

    // A drawing is scaled from its canvas into its rectangle and cut off at
    // the rectangle's edges, on the page drawn as an image.
    void drawings_data()
    {
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<QSizeF>("canvas");
        row("canvas in twips", QRectF(2880, 2880, 2880, 1440), QSizeF(2880, 1440));
        row("canvas scaled up", QRectF(2880, 2880, 2880, 1440), QSizeF(100, 50));
        row("canvas scaled down and stretched", QRectF(1440, 7200, 7200, 1440), QSizeF(20000, 1000));
    }
    void drawings()
    {
        QFETCH(QRectF, rect);
        QFETCH(QSizeF, canvas);
        PageComposer page = letterPage();
        page.placeDrawing(QRectF(), canvas, [](QPainter&) {}); // no room: nothing placed
        page.placeDrawing(rect, canvas, [canvas](QPainter& painter) {
            // The left half red, the right half blue and far beyond.
            painter.fillRect(QRectF(0, 0, canvas.width() / 2, canvas.height()), Qt::red);
            painter.fillRect(
                QRectF(canvas.width() / 2, -canvas.height(), canvas.width() * 2, canvas.height() * 3),
                Qt::blue);
        });
        const reports::PagedDocument document = page.endDocument();
        const auto drawings = document.pages.at(0).itemsOf<reports::DrawingItem>();
        QCOMPARE(drawings.size(), size_t(1));
        QCOMPARE(drawings[0]->rect, rect);
        // At 72 dots to the inch a dot is 20 twips.
        const QImage image = reports::renderPage(document, 0, 72);
        const auto at = [&image](double x, double y) {
            return image.pixelColor(qRound(x / 20), qRound(y / 20));
        };
        const double middle = rect.center().y();
        QCOMPARE(at(rect.left() + 100, middle), QColor(Qt::red));
        QCOMPARE(at(rect.center().x() - 100, middle), QColor(Qt::red));
        QCOMPARE(at(rect.center().x() + 100, middle), QColor(Qt::blue));
        QCOMPARE(at(rect.right() - 100, rect.top() + 100), QColor(Qt::blue));
        // Nothing beyond the rectangle.
        QCOMPARE(at(rect.right() + 100, middle), QColor(Qt::white));
        QCOMPARE(at(rect.center().x() + 100, rect.top() - 100), QColor(Qt::white));
        QCOMPARE(at(rect.center().x() + 100, rect.bottom() + 100), QColor(Qt::white));
        QCOMPARE(at(rect.left() - 100, middle), QColor(Qt::white));
    }

    // The room a paragraph takes is the room printing it takes, in one
    // column or two, whether it wraps or not.
    void paragraphHeight_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("lines");
        const QString sentence = QStringLiteral("The sign may have been off or blocked for some hours.");
        row("a short line", QStringLiteral("Batch Number: 050302-A"), 1, 1);
        row("a sentence across the page", sentence, 1, 1);
        row("the sentence in a column", sentence, 2, 2);
        row("three sentences on two lines", QStringList(3, sentence).join(QLatin1Char(' ')), 1, 2);
        row("a word wider than a column", QString(60, QLatin1Char('W')), 2, 3);
        row("nothing", QString(), 1, 1);
    }
    void paragraphHeight()
    {
        QFETCH(QString, text);
        QFETCH(int, columns);
        QFETCH(int, lines);
        PageComposer page = letterPage();
        page.setLineSpacing(120);
        page.setCurrentY(3000);
        page.setColumns(columns);
        const double height = page.paragraphHeight(text);
        QCOMPARE(height, lines * 288.0);
        page.printLine(text);
        QCOMPARE(page.currentY() - 3000, height);
        const double width = 9360.0 / columns - (columns > 1 ? 90 : 0);
        QCOMPARE(page.lineCount(text, width), lines);
    }

    void tablePages_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("heading");   // the heading row repeats
        QTest::addColumn<bool>("continued"); // on more than one page
        row("no body rows", 0, true, false);
        row("a few rows", 5, true, false);
        row("many rows, heading repeated", 200, true, true);
        row("many rows, heading once", 200, false, true);
    }
    void tablePages()
    {
        QFETCH(int, rows);
        QFETCH(bool, heading);
        QFETCH(bool, continued);
        PageComposer page = letterPage();
        page.setCurrentY(4320);
        page.setLeftMargin(2880);
        std::vector<QStringList> body;
        for (int i = 1; i <= rows; ++i)
            body.push_back({QString(), QStringLiteral("row %1").arg(i), QString::number(i), QString()});
        page.startTable();
        page.addTableRows(QStringLiteral("|500|500|500|500"), QStringLiteral("Date|Time|Count|Hour Total"),
                          body);
        QCOMPARE(page.tableRowCount(), rows);
        const double widths[] = {1500, 2000, 1000, 1000};
        for (int column = 1; column <= 4; ++column)
            page.setColumnWidth(column, widths[column - 1]);
        page.setRowIsHeading(0, heading);
        page.setRowHeight(0, 2.1 * page.textHeight(QStringLiteral("test")));
        page.endTable();
        const reports::PagedDocument document = page.endDocument();
        QCOMPARE(document.pages.size() > 1, continued);

        int next = 1;
        for (size_t index = 0; index < document.pages.size(); ++index) {
            const reports::Page& each = document.pages[index];
            const auto cells = each.itemsOf<reports::RectangleItem>();
            // Rows stand whole between the top and the bottom margin.
            for (const reports::RectangleItem* cell : cells)
                QVERIFY(cell->rect.top() >= (index == 0 ? 4320 : 1440) && cell->rect.bottom() <= 14760.5);
            const TextItem* first = textsOf(each).at(0);
            const bool headingHere = index == 0 || heading;
            QCOMPARE(first->text, headingHere ? QStringLiteral("Date") : QStringLiteral("row %1").arg(next));
            for (const TextItem* item : textsOf(each)) {
                if (item->text.startsWith(QLatin1String("row "))) {
                    QCOMPARE(item->text, QStringLiteral("row %1").arg(next));
                    ++next;
                }
            }
        }
        QCOMPARE(next, rows + 1);
    }

    void tableCells()
    {
        PageComposer page = letterPage();
        page.setCurrentY(4320);
        page.setLeftMargin(2880);
        page.setLineColour(QColor(190, 190, 190));
        page.setPenWidth(25);
        page.startTable();
        page.addTableRows(QStringLiteral("|500|500|500|500"), QStringLiteral("Date|Time|Count|Hour Total"),
                          {{"05/03/02", "08:00 - 08:15", "3", ""}, {"", "", "", "3"}});
        const double widths[] = {1500, 2000, 1000, 1000};
        for (int column = 1; column <= 4; ++column)
            page.setColumnWidth(column, widths[column - 1]);
        page.setRowHeight(0, 600);
        page.setRowAlignment(0, Alignment::Centre);
        page.setCellBackground(1, 5, Qt::yellow); // a column the table does not have
        page.setCellBackground(2, 4, Qt::yellow);
        page.setCellSpan(2, 2, 2);
        page.setCellText(2, 2, QStringLiteral("Total Veh Surveyed = "));
        page.setCellAlignment(2, 2, Alignment::Centre);
        QCOMPARE(page.cellText(1, 2), QStringLiteral("08:00 - 08:15"));
        QCOMPARE(page.cellText(1, 5), QString());
        page.endTable();
        const reports::Page result = page.endDocument().pages.at(0);

        const auto cells = result.itemsOf<reports::RectangleItem>();
        // Heading and first row have four cells; the spanned row three.
        QCOMPARE(cells.size(), size_t(4 + 4 + 3));
        for (const reports::RectangleItem* cell : cells) {
            QCOMPARE(cell->lineColour, QColor(190, 190, 190));
            QVERIFY(cell->rect.right() <= 2880 + 5500 + 0.01);
        }
        QCOMPARE(cells[9]->rect, QRectF(4380, cells[9]->rect.top(), 3000, cells[9]->rect.height()));
        QCOMPARE(cells[10]->fill.value_or(Qt::white), QColor(Qt::yellow));
        QVERIFY(!cells[7]->fill);
        // "Hour Total" is wider than its 1000 twips: it wraps onto two lines
        // in the tall heading cell, centred.
        const TextItem* hour = findText(result, QStringLiteral("Hour"));
        const TextItem* total = findText(result, QStringLiteral("Total"));
        QVERIFY(hour && total);
        QVERIFY(total->top > hour->top);
        QVERIFY(qAbs(hour->x + hour->width / 2 - (2880 + 4500 + 500)) < 0.01);
        const TextItem* label = findText(result, QStringLiteral("Total Veh Surveyed = "));
        QVERIFY(qAbs(label->x + label->width / 2 - (2880 + 1500 + 1500)) < 0.01);
        // Left aligned text keeps off the rule.
        QVERIFY(findText(result, QStringLiteral("05/03/02"))->x > 2880 + 40);
    }
};

QTEST_MAIN(TstPageComposer)
#include "tst_pagecomposer.moc"
