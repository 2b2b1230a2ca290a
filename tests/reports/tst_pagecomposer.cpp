// The page engine where the documents do not reach: how lines wrap in a
// column and run over onto new pages, which paper is too small, how a
// drawing is fitted into its rectangle.
#include "TestSupport.h"
#include "reports/PageComposer.h"
#include "reports/PagePainter.h"

#include <QPageSize>
#include <QPainter>
#include <QTest>

using namespace pelmor;
using reports::PageComposer;
using reports::TextItem;
using test::row;

namespace {

// Letter paper with one-inch margins, 12 points: text runs from 1440 to 10800.
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

QSizeF twipsOf(QPageSize::PageSizeId id)
{
    return QPageSize(id).size(QPageSize::Point) * reports::kTwipsPerPoint;
}

} // namespace

class TstPageComposer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A paragraph wraps at blanks (a word wider than the column at its
    // letters) and keeps its leading blanks; the room it takes is the room
    // printing it takes, in one column or the first of two.
    void paragraphs_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("lines");
        const QString sentence = QStringLiteral("The sign may have been off or blocked for some hours.");
        row("a sentence across the page", sentence, 1, 1);
        row("the sentence in a column", sentence, 2, 2);
        row("three sentences on two lines", QStringList(3, sentence).join(QLatin1Char(' ')), 1, 2);
        row("a word wider than a column", QString(60, QLatin1Char('W')), 2, 3);
        row("leading blanks kept", QStringLiteral("          Posted Speed Limit: 035  MPH"), 2, 1);
    }
    void paragraphs()
    {
        QFETCH(QString, text);
        QFETCH(int, columns);
        QFETCH(int, lines);
        PageComposer page = letterPage();
        page.setLineSpacing(120);
        page.setCurrentY(3000);
        page.setColumns(columns);
        const double width = 9360.0 / columns - (columns > 1 ? 90 : 0);
        QCOMPARE(page.lineCount(text, width), lines);
        const double height = page.paragraphHeight(text);
        QCOMPARE(height, lines * 288.0);
        page.printLine(text);
        QCOMPARE(page.currentY() - 3000, height);
        const reports::PagedDocument document = page.endDocument();
        const auto texts = document.pages.at(0).itemsOf<TextItem>();
        QCOMPARE(int(texts.size()), lines);
        QString joined;
        for (const TextItem* item : texts) {
            QCOMPARE(item->x, 1440.0);
            QVERIFY2(item->x + item->width <= 1440 + width + 0.5, qPrintable(item->text));
            joined += item->text;
        }
        // Only the blanks at the breaks are dropped.
        QCOMPARE(joined.remove(QLatin1Char(' ')), QString(text).remove(QLatin1Char(' ')));
        if (lines == 1)
            QCOMPARE(texts[0]->text, text);
    }

    // From 1440 down to 14760 (1080 above the bottom) there is room for 55
    // lines a column; a continued page starts at the top margin, in the
    // first column.
    void pageOverflow_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("pages");
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
            for (const TextItem* item : each.itemsOf<TextItem>())
                QVERIFY2(item->top + 240 <= 14760 + 0.5, qPrintable(item->text));
        }
        const TextItem* first = document.pages.back().itemsOf<TextItem>().at(0);
        QCOMPARE(QPointF(first->x, first->top), QPointF(1440, 1440));
    }

    // Paper smaller than 7.7 by 10 inches raises the error flag.
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

    // A drawing is scaled from its canvas into its rectangle and cut off at
    // the rectangle's edges, on the page drawn as an image; one without
    // room is not placed.
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
        page.placeDrawing(QRectF(), canvas, [](QPainter&) {});
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
        for (const QPointF& beyond : {QPointF(rect.right() + 100, middle), QPointF(rect.left() - 100, middle),
                                      QPointF(rect.center().x() + 100, rect.top() - 100),
                                      QPointF(rect.center().x() + 100, rect.bottom() + 100)})
            QCOMPARE(at(beyond.x(), beyond.y()), QColor(Qt::white));
    }
};

QTEST_MAIN(TstPageComposer)
#include "tst_pagecomposer.moc"
