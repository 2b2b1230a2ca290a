#include "DocumentFixture.h"
#include "PdfText.h"
#include "TestSupport.h"
#include "reports/FlowReports.h"
#include "reports/PageComposer.h"
#include "reports/PagePainter.h"

#include <QLineF>
#include <QPageSize>
#include <QTemporaryDir>
#include <QTest>

using namespace pelmor;
using reports::ReportChoice;
using reports::TextItem;
using test::findText;
using test::inkBox;
using test::row;
using test::rulesOf;
using test::textsOf;

namespace {

constexpr int kPercentile = int(ReportChoice::PercentileReport);
constexpr int kVolumeGraph = int(ReportChoice::TrafficFlowGraphReport);
constexpr int kSummary = int(ReportChoice::SurveySummaryReport);
constexpr int kQuarterHours = int(ReportChoice::QuarterHourFlowReport);
constexpr int kHours = int(ReportChoice::HourlyFlowReport);
constexpr int kFilledSheet = int(ReportChoice::FilledFieldSheet);
constexpr int kBlankSheet = int(ReportChoice::BlankFieldSheet);

reports::PagedDocument build(int choice, const reports::DocumentInputs& inputs = test::documentInputs())
{
    return test::buildDocument(ReportChoice(choice), inputs);
}

QList<QLineF> linesOf(const reports::Page& page)
{
    QList<QLineF> lines;
    for (const reports::LineItem* line : page.itemsOf<reports::LineItem>())
        lines << QLineF(line->from, line->to);
    return lines;
}

// The outlined boxes of the frame (black, 25 twips, no fill).
QList<QRectF> frameBoxesOf(const reports::Page& page)
{
    QList<QRectF> boxes;
    for (const reports::RectangleItem* box : page.itemsOf<reports::RectangleItem>()) {
        if (!box->fill && box->lineColour == QColor(Qt::black) && box->lineWidth == 25)
            boxes << box->rect;
    }
    return boxes;
}

} // namespace

// The seven documents built from plain inputs: what each places where, in
// which font, with which rules, boxes and fills, and how they read back
// from a PDF file.
class TstDocuments : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placedTexts_data()
    {
        QTest::addColumn<int>("document");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("top");
        QTest::addColumn<QString>("anchor"); // "x": the text starts at `at`; "centre": it is centred on `at`
        QTest::addColumn<double>("at");
        QTest::addColumn<double>("size");
        QTest::addColumn<QString>("style"); // "b" bold, "u" underlined
        // The titles are centred between the margins in force: 0.7 inch on
        // each side (6120), or 1 inch and 0.5 inch on the flow reports (6480).
        row("summary: agency", kSummary, "Springfield Police Department", 1008.0, "centre", 6120.0, 14.0,
            "b");
        row("summary: title", kSummary, "Single Survey Summary", 1288.0, "centre", 6120.0, 14.0, "b");
        row("summary: survey time", kSummary, "Total Survey Time: 1 Days, 23 Hrs, 57 Min", 3600.0, "centre",
            6120.0, 12.0, "");
        row("summary: settings band", kSummary, "Settings", 4104.0, "centre", 6120.0, 12.0, "");
        row("summary: sign settings heading", kSummary, "Radar/Sign Settings", 5472.0, "centre", 6120.0, 12.0,
            "u");
        row("summary: vehicles heading", kSummary, "Vehicles", 7200.0, "centre", 6120.0, 12.0, "bu");
        row("summary: batch", kSummary, "Batch Number: 050302-A", 2448.0, "x", 1440.0, 12.0, "");
        row("summary: end date at 120 %", kSummary, " Survey End Date: 05/05/26", 3168.0, "x", 1440.0, 12.0,
            "");
        row("summary: speed heading", kSummary, "Speed", 9792.0, "x", 1440.0, 12.0, "bu");
        row("summary: violators", kSummary, " Violator Average Speed: 41.5  MPH", 11808.0, "x", 1440.0, 12.0,
            "");
        row("summary: issued by", kSummary, "Survey Issued By: Sgt. Jane Miller", 13248.0, "x", 1440.0, 12.0,
            "");
        row("summary: signature", kSummary, "                                             (Signature)",
            14112.0, "x", 1440.0, 6.0, "");
        row("summary: end time", kSummary, "Survey End Time: 06:57 AM", 3168.0, "x", 6210.0, 12.0, "");
        row("summary: direction", kSummary, "Direction of travel: North", 5112.0, "x", 6210.0, 12.0, "");
        row("summary: 85th percentile", kSummary, "            85th Percentile: 45", 8928.0, "x", 6210.0,
            12.0, "");
        row("summary: bands heading", kSummary, "MPH Over Posted Speed", 9792.0, "x", 6210.0, 12.0, "bu");

        row("85th: title", kPercentile, "85th Percentile Speed and Pace Distribution", 1288.0, "centre",
            6120.0, 14.0, "b");
        row("85th: batch", kPercentile, "  Batch Number: 050302-A", 2088.0, "x", 1440.0, 12.0, "");
        row("85th: zone and direction", kPercentile, "Survey Zone: School       Direction of travel: North",
            2904.0, "x", 1440.0, 12.0, "");
        row("85th: posted limit", kPercentile, "          Posted Speed Limit: 035  MPH", 3600.0, "x", 1440.0,
            12.0, "");
        row("85th: unknown at 100 %", kPercentile, "           Number Unknown: 131", 6720.0, "x", 1440.0,
            12.0, "");
        row("85th: start date", kPercentile, "Survey Start Date: 05/03/26", 3600.0, "x", 6210.0, 12.0, "");
        row("85th: settings heading", kPercentile, "Radar/Sign Settings", 5760.0, "x", 6210.0, 12.0, "u");
        row("85th: marker legend", kPercentile, "         85th Percentile ---->", 9604.8, "x", 8640.0, 8.0,
            "");
        row("85th: pace legend", kPercentile, "   Pace Low <---------> Pace High", 10080.0, "x", 8640.0, 8.0,
            "");

        row("volume: title", kVolumeGraph, "Single Survey Summary", 1288.0, "centre", 6120.0, 14.0, "b");
        row("volume: pace low", kVolumeGraph, "             Pace Low Speed: 33.0 MPH", 5280.0, "x", 1440.0,
            12.0, "");
        row("volume: cut off", kVolumeGraph, "       High Speed Cut Off: 080 MPH", 6912.0, "x", 6210.0, 12.0,
            "");

        row("15 min: agency", kQuarterHours, "Springfield Police Department", 1008.0, "centre", 6480.0, 14.0,
            "b");
        row("15 min: title", kQuarterHours, "Survey Volume (15 min Bins)", 1288.0, "centre", 6480.0, 14.0,
            "b");
        row("15 min: location", kQuarterHours, "Survey Location: Main St", 3024.0, "x", 1440.0, 12.0, "");
        row("15 min: batch", kQuarterHours, "Batch Number: 050302-A", 2448.0, "x", 1440.0, 12.0, "");
        // Two columns between 1 inch and the default half inch on the right.
        row("15 min: start date", kQuarterHours, "Survey Start Date: 05/03/26", 2448.0, "x", 6570.0, 12.0,
            "");
        row("15 min: end date", kQuarterHours, " Survey End Date: 05/05/26", 2688.0, "x", 6570.0, 12.0, "");
        row("hourly: title", kHours, "Survey Volume (Hour Bins)", 1288.0, "centre", 6480.0, 14.0, "b");

        row("sheet: title", kFilledSheet, "Remote Data Collection Site Setup", 1008.0, "centre", 6120.0, 14.0,
            "b");
        row("sheet: agency at 150 %", kFilledSheet, "Springfield Police Department", 1428.0, "centre", 6120.0,
            14.0, "b");
        row("sheet: trailer", kFilledSheet, "  Trailer ID: A            Batch #: 050302-A", 2448.0, "x",
            1440.0, 12.0, "");
        row("sheet: start time", kFilledSheet, "Survey Start Time: 07:00", 3009.6, "x", 1440.0, 12.0, "");
        row("sheet: location code", kFilledSheet, "Survey Location Code: ____________", 4089.6, "x", 1440.0,
            12.0, "");
        row("sheet: location on its own line", kFilledSheet, "Main St", 4809.6, "x", 1440.0, 12.0, "");
        row("sheet: notes", kFilledSheet, "Field notes / setup diagram...", 7488.0, "x", 1440.0, 12.0, "");
        row("sheet: performer", kFilledSheet, "Field setup performed by: J. Miller", 13680.0, "x", 1440.0,
            12.0, "");
        row("sheet: start date", kFilledSheet, "Survey Start Date: 05/03/26", 3009.6, "x", 6210.0, 12.0, "");
        row("sheet: settings heading", kFilledSheet, "Radar/Sign Settings", 4176.0, "x", 6210.0, 12.0, "u");
        row("sheet: cut off", kFilledSheet, "         High Speed Cut Off: 080", 5976.0, "x", 6210.0, 12.0,
            "");
        row("blank: trailer", kBlankSheet, "  Trailer ID: _________        Batch #: __________", 2448.0, "x",
            1440.0, 12.0, "");
        row("blank: location", kBlankSheet, "_____________________________", 4809.6, "x", 1440.0, 12.0, "");
        row("blank: performer", kBlankSheet, "Field setup performed by: ____________________________",
            13680.0, "x", 1440.0, 12.0, "");
    }
    void placedTexts()
    {
        QFETCH(int, document);
        QFETCH(QString, text);
        QFETCH(double, top);
        QFETCH(QString, anchor);
        QFETCH(double, at);
        QFETCH(double, size);
        QFETCH(QString, style);
        const reports::PagedDocument built = build(document);
        const TextItem* item = findText(built.pages.at(0), text);
        QVERIFY2(item, qPrintable(textsOf(built.pages.at(0)).join(QLatin1Char('\n'))));
        QVERIFY2(qAbs(item->top - top) < 0.01, qPrintable(QString::number(item->top)));
        const double where = anchor == QLatin1String("x") ? item->x : item->x + item->width / 2;
        QVERIFY2(qAbs(where - at) < 0.01, qPrintable(QString::number(where)));
        QCOMPARE(item->font.family.toLower(), QStringLiteral("arial"));
        QCOMPARE(item->font.pointSize, size);
        QCOMPARE(item->font.bold, style.contains(QLatin1Char('b')));
        QCOMPARE(item->font.underline, style.contains(QLatin1Char('u')));
        QVERIFY(!item->font.italic);
    }

    void frames_data()
    {
        QTest::addColumn<int>("document");
        QTest::addColumn<QList<QLineF>>("lines");
        QTest::addColumn<QList<QRectF>>("boxes");
        const auto rules = [](double top) {
            return QList<QLineF>{QLineF(1008, top, 11088, top), QLineF(1008, 14400, 11088, 14400)};
        };
        const auto box = [](double x1, double y1, double x2, double y2) {
            return QRectF(QPointF(x1, y1), QPointF(x2, y2));
        };
        const QList<QRectF> statistics = {box(1008, 2016, 4608, 2448), box(1008, 2592, 11088, 3312),
                                          box(1008, 3456, 5760, 7776), box(6048, 3456, 11088, 5328),
                                          box(6048, 5472, 11088, 7776)};
        row("summary", kSummary, rules(2160),
            QList<QRectF>{box(1008, 4104, 11088, 4392), box(1008, 6768, 11088, 7056),
                          box(1008, 2448, 4608, 2736)});
        row("85th percentile", kPercentile, rules(1872), statistics);
        row("traffic flow graph", kVolumeGraph, rules(1872), statistics);
        const QList<QLineF> flowRules = {QLineF(1440, 2160, 10800, 2160), QLineF(1440, 3600, 10800, 3600)};
        row("15 minute flow", kQuarterHours, flowRules, QList<QRectF>{});
        row("hourly flow", kHours, flowRules, QList<QRectF>{});
        const QList<QRectF> sheet = {box(1008, 2390.4, 6480, 2793.6), box(1008, 2880, 5760, 3888),
                                     box(1008, 4032, 5760, 7056), box(6048, 2880, 11088, 3888),
                                     box(6048, 4032, 11088, 7056)};
        row("filled sheet", kFilledSheet, rules(2016), sheet);
        row("blank sheet", kBlankSheet, rules(2016), sheet);
    }
    void frames()
    {
        QFETCH(int, document);
        QFETCH(QList<QLineF>, lines);
        QFETCH(QList<QRectF>, boxes);
        const reports::PagedDocument built = build(document);
        const reports::Page& page = built.pages.at(0);
        QCOMPARE(linesOf(page), lines);
        for (const reports::LineItem* line : page.itemsOf<reports::LineItem>()) {
            QCOMPARE(line->colour, QColor(Qt::black));
            QCOMPARE(line->width, 25.0);
        }
        QCOMPARE(frameBoxesOf(page), boxes);
    }

    void legendColours_data()
    {
        QTest::addColumn<bool>("blackAndWhite");
        QTest::addColumn<QColor>("pace");
        row("colour printer", false, QColor(0, 255, 0));
        row("laser", true, QColor(220, 220, 220));
    }
    void legendColours()
    {
        QFETCH(bool, blackAndWhite);
        QFETCH(QColor, pace);
        reports::DocumentInputs inputs = test::documentInputs();
        inputs.blackAndWhite = blackAndWhite;
        const reports::PagedDocument built = build(kPercentile, inputs);
        const reports::Page& page = built.pages.at(0);
        std::vector<const reports::RectangleItem*> filled;
        for (const reports::RectangleItem* box : page.itemsOf<reports::RectangleItem>()) {
            if (box->fill) {
                QCOMPARE(box->lineColour, QColor(Qt::black));
                QCOMPARE(box->lineWidth, 25.0);
                filled.push_back(box);
            }
        }
        QCOMPARE(filled.size(), size_t(3));
        const QRectF panel = filled[0]->rect;
        const QRectF paceSample = filled[1]->rect;
        const QRectF marker = filled[2]->rect;
        QCOMPARE(*filled[0]->fill, QColor(255, 255, 255));
        QCOMPARE(*filled[1]->fill, pace);
        QCOMPARE(*filled[2]->fill, QColor(255, 0, 0));
        // The sizes the legend is drawn with, relative to each other.
        QCOMPARE(panel.size(), QSizeF(2448, 864));
        QCOMPARE(paceSample.topLeft() - panel.topLeft(), QPointF(144, 432));
        QCOMPARE(marker.topLeft() - panel.topLeft(), QPointF(1872, 72));
        QVERIFY(qAbs(marker.width() - 100.8) < 1e-9);
        // It frames its texts: both inside the panel, the marker where the
        // arrow of the first points, the pace sample between the two texts
        // and as wide as the second.
        const QRectF markerText = inkBox(*findText(page, QStringLiteral("         85th Percentile ---->")));
        const QRectF paceText = inkBox(*findText(page, QStringLiteral("   Pace Low <---------> Pace High")));
        QVERIFY(panel.contains(markerText) && panel.contains(paceText));
        QVERIFY(marker.left() > markerText.right() && marker.left() - markerText.right() < 144);
        QVERIFY(marker.top() < markerText.center().y() && marker.bottom() > markerText.center().y());
        QVERIFY(paceSample.top() > markerText.bottom() && paceSample.bottom() < paceText.top());
        QVERIFY(qAbs(paceSample.left() - paceText.left()) < 72 &&
                qAbs(paceSample.right() - paceText.right()) < 72);
    }

    void unitTexts_data()
    {
        QTest::addColumn<int>("document");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QStringList>("texts"); // each on page 1
        row("summary in KPH: kilometre bands", kSummary, "KPH",
            QStringList{"KPH Over Posted Speed", "    1 - 10  KPH: 962", "  11 - 20  KPH: 679",
                        "  21 - 30  KPH: 243", "  31 - 40  KPH: 62", "  41 - 50  KPH: 15", " Over 50  KPH: 3",
                        "Minumum Radar Setting: 5  KPH", "  High Speed Alarm: 045 KPH"});
        row("summary in MPH: mile bands", kSummary, "MPH",
            QStringList{"MPH Over Posted Speed", "  1 - 5  MPH: 962", " 6 - 10  MPH: 679",
                        "11 - 15  MPH: 243", "16 - 20  MPH: 62", "21 - 25  MPH: 15", "Over 25  MPH: 3"});
        // Only "MPH" exactly gives the mile bands.
        row("summary in mph", kSummary, "mph", QStringList{"mph Over Posted Speed", "    1 - 10  KPH: 962"});
        row("85th percentile in KPH", kPercentile, "KPH",
            QStringList{"          Posted Speed Limit: 035  KPH", "      Recorded Low Speed: 7  KPH",
                        "            Pace High Speed: 43.0 KPH", "Maximum Radar Setting: 200  KPH",
                        "       High Speed Cut Off: 080 KPH"});
        row("traffic flow graph in KPH", kVolumeGraph, "KPH",
            QStringList{"               Average Speed: 38.0  KPH", "             Pace Low Speed: 33.0 KPH",
                        "Minumum Radar Setting: 5  KPH", "         High Speed Alarm: 045 KPH"});
    }
    void unitTexts()
    {
        QFETCH(int, document);
        QFETCH(QString, unit);
        QFETCH(QStringList, texts);
        const reports::PagedDocument built = build(document, test::documentInputs(unit));
        const QStringList placed = textsOf(built.pages.at(0));
        for (const QString& text : texts)
            QVERIFY2(placed.contains(text), qPrintable(text));
    }

    void emptyValues()
    {
        // No survey chosen and no names: every label prints alone, with its
        // separator and unit where one follows.
        reports::DocumentInputs inputs;
        inputs.today = QDate(2026, 1, 31);
        inputs.survey.header.radarMode = QStringLiteral("MPH");
        const QStringList summary = textsOf(build(kSummary, inputs).pages.at(0));
        QVERIFY(summary.contains(QStringLiteral(" Violator Average Speed:   MPH")));
        QVERIFY(summary.contains(QStringLiteral("Survey Issued By: ")));
        QVERIFY(summary.contains(QStringLiteral("Minumum Radar Setting: 5  MPH")));
        const QStringList sheet = textsOf(build(kFilledSheet, inputs).pages.at(0));
        // Untouched setup inputs: trailer A, radar range 5 to 200.
        QVERIFY(sheet.contains(QStringLiteral("  Trailer ID: A            Batch #: ")));
        QVERIFY(sheet.contains(QStringLiteral("  Minumum Radar Setting: 5")));
        QVERIFY(sheet.contains(QStringLiteral("  Maximum Radar Setting: 200")));
        QVERIFY(sheet.contains(QStringLiteral("         Posted Speed Limit: ")));
    }

    void graphPicture_data()
    {
        QTest::addColumn<int>("document");
        QTest::addColumn<bool>("withGraph");
        QTest::addColumn<QRectF>("rect");
        row("85th percentile", kPercentile, true, QRectF(1440, 8208, 8928, 5472));
        row("85th percentile without a graph", kPercentile, false, QRectF());
        row("traffic flow graph", kVolumeGraph, true, QRectF(1440, 8208, 9216, 5760));
        row("traffic flow graph without a graph", kVolumeGraph, false, QRectF());
    }
    void graphPicture()
    {
        QFETCH(int, document);
        QFETCH(bool, withGraph);
        QFETCH(QRectF, rect);
        reports::DocumentInputs inputs = test::documentInputs();
        if (!withGraph)
            inputs.graph = QImage();
        const reports::PagedDocument built = build(document, inputs);
        const auto pictures = built.pages.at(0).itemsOf<reports::PictureItem>();
        QCOMPARE(pictures.size(), size_t(withGraph ? 1 : 0));
        if (withGraph) {
            QCOMPARE(pictures[0]->rect, rect);
            QCOMPARE(pictures[0]->image, inputs.graph);
        }
        // Everything else is there all the same.
        QCOMPARE(built.pages.at(0).items.size(),
                 build(document).pages.at(0).items.size() - (withGraph ? 0 : 1));
    }

    void flowTable_data()
    {
        QTest::addColumn<int>("document");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("heading");
        row("15 minutes", kQuarterHours, 3, QStringList{"Date", "Time", "Count", "Hour", "Total"});
        row("hours", kHours, 3, QStringList{"Date", "Time", "Hour", "Count", "Survey", "Total"});
        row("empty breakdown", kQuarterHours, 0, QStringList{"Date", "Time", "Count", "Hour", "Total"});
    }
    void flowTable()
    {
        QFETCH(int, document);
        QFETCH(int, rows);
        QFETCH(QStringList, heading);
        reports::DocumentInputs inputs = test::documentInputs();
        inputs.breakdown.resize(size_t(rows));
        const reports::PagedDocument built = build(document, inputs);
        QCOMPARE(built.pages.size(), size_t(1));
        const reports::Page& page = built.pages.at(0);
        // The table's texts from 3 inches down, in order: the heading (two
        // words a line in a narrow column), then the cells of each row.
        QStringList table;
        for (const TextItem* item : page.itemsOf<TextItem>()) {
            if (item->top >= 4320 && item->font.pointSize == 12)
                table << item->text;
        }
        QStringList expected = heading;
        if (rows > 0)
            expected << QStringList{"05/03/26", "08:00 - 08:15",         "3", "--------------------", "----",
                                    "3",        "Total Veh Surveyed = ", "3"};
        QCOMPARE(table, expected);

        std::vector<const reports::RectangleItem*> cells;
        for (const reports::RectangleItem* box : page.itemsOf<reports::RectangleItem>())
            cells.push_back(box);
        QCOMPARE(cells.size(), size_t(4 + 4 * std::min(rows, 2) + (rows > 2 ? 3 : 0)));
        const QColor yellow(255, 255, 0);
        const double left[] = {2880, 4380, 6380, 7380};
        for (size_t column = 0; column < 4; ++column) {
            // The heading row: yellow, twice the height of a line of text.
            QCOMPARE(cells[column]->rect.left(), left[column]);
            QCOMPARE(cells[column]->rect.top(), 4320.0);
            QCOMPARE(cells[column]->fill.value_or(Qt::white), yellow);
            QCOMPARE(cells[column]->lineColour, QColor(190, 190, 190));
        }
        reports::TextFont arial12;
        arial12.pointSize = 12;
        QVERIFY(cells[0]->rect.height() > 2 * reports::TextMeasure(arial12).height());
        if (rows == 0)
            return;
        // The total row is yellow but for its date; the grand total's label
        // takes the time and count columns.
        QVERIFY(!cells[4]->fill && !cells[8]->fill);
        for (size_t column = 9; column < 12; ++column)
            QCOMPARE(cells[column]->fill.value_or(Qt::white), yellow);
        QCOMPARE(cells[13]->rect.left(), 4380.0);
        QCOMPARE(cells[13]->rect.width(), 3000.0);
    }

    void flowReportPages()
    {
        // A month of quarter hours: the heading row and the running page line
        // on every page, the title block on page 1 only.
        reports::DocumentInputs inputs = test::documentInputs();
        inputs.breakdown.clear();
        for (int day = 1; day <= 31; ++day) {
            for (int hour = 0; hour < 24; ++hour) {
                for (int quarter = 0; quarter < 4; ++quarter)
                    inputs.breakdown.push_back(
                        {hour == 0 && quarter == 0
                             ? QStringLiteral("03/%1/26").arg(day, 2, 10, QLatin1Char('0'))
                             : QString(),
                         QStringLiteral("%1:%2").arg(hour).arg(quarter * 15), QStringLiteral("7"),
                         QString()});
                inputs.breakdown.push_back(
                    {QString(), QString(20, QLatin1Char('-')), QStringLiteral("----"), QStringLiteral("28")});
            }
        }
        inputs.breakdown.push_back({QString(), QString(), QString(), QStringLiteral("20832")});
        const reports::PagedDocument built = build(kQuarterHours, inputs);
        QVERIFY2(built.pages.size() > 60, qPrintable(QString::number(built.pages.size())));
        int bodyRows = 0;
        for (size_t index = 0; index < built.pages.size(); ++index) {
            const reports::Page& page = built.pages[index];
            const QStringList texts = textsOf(page);
            QCOMPARE(texts.mid(index == 0 ? 7 : 0, 5),
                     (QStringList{"Date", "Time", "Count", "Hour", "Total"}));
            QCOMPARE(texts.contains(QStringLiteral("Springfield Police Department")), index == 0);
            QCOMPARE(page.itemsOf<reports::LineItem>().size(), size_t(index == 0 ? 2 : 0));
            QCOMPARE(texts.mid(texts.size() - 2),
                     (QStringList{"Issued:  Apr 02 , 2002", QStringLiteral(" page%1").arg(index + 1)}));
            for (const reports::RectangleItem* cell : page.itemsOf<reports::RectangleItem>())
                QVERIFY(cell->rect.bottom() <=
                        built.pageSize.height() - reports::PageComposer::kBottomMargin + 0.5);
            bodyRows += int(page.itemsOf<reports::RectangleItem>().size()) / 4 - 1;
        }
        // Every row once; the grand total row has three cells, not four.
        QCOMPARE(bodyRows, int(inputs.breakdown.size()) - 1);
    }

    void runningPageLine_data()
    {
        QTest::addColumn<int>("document");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        for (int document : {kPercentile, kVolumeGraph, kSummary, kQuarterHours, kHours})
            QTest::newRow(qPrintable(reports::documentName(ReportChoice(document))))
                << document << QStringLiteral("Issued:  Apr 02 , 2002") << QStringLiteral(" page1");
        row("filled sheet", kFilledSheet, "Printed:  Apr 02 , 2002", " ");
        row("blank sheet", kBlankSheet, "Printed:  Apr 02 , 2002", " ");
    }
    void runningPageLine()
    {
        QFETCH(int, document);
        QFETCH(QString, left);
        QFETCH(QString, right);
        const reports::PagedDocument built = build(document);
        QCOMPARE(built.pages.size(), size_t(1));
        const auto texts = built.pages.at(0).itemsOf<TextItem>();
        const TextItem* leftPart = texts.at(texts.size() - 2);
        const TextItem* rightPart = texts.back();
        QCOMPARE(leftPart->text, left);
        QCOMPARE(rightPart->text, right);
        QCOMPARE(leftPart->font.pointSize, 10.0);
        QCOMPARE(leftPart->x, 1440.0);
        QCOMPARE(rightPart->x + rightPart->width, 10800.0);
        QCOMPARE(leftPart->baseline, 15840.0 - 720);
    }

    // With long, real-world values no text runs into another or across a
    // rule, and everything stays a quarter inch inside the paper.
    void layoutIsClean_data()
    {
        QTest::addColumn<int>("document");
        for (const reports::DocumentKind& kind : reports::documentKinds())
            QTest::newRow(qPrintable(reports::documentName(kind.choice))) << int(kind.choice);
    }
    void layoutIsClean()
    {
        QFETCH(int, document);
        reports::DocumentInputs inputs = test::documentInputs();
        inputs.agency = QStringLiteral("Springfield County Sheriff's Office Traffic Division");
        inputs.survey.header.location = QStringLiteral("Elm Street at Oak Avenue");
        inputs.fieldSheet.location = inputs.survey.header.location;
        inputs.survey.summary.totalTime = QStringLiteral("30 Days, 23 Hrs, 59 Min");
        inputs.survey.summary.totalVehicles = QStringLiteral("1000000");
        inputs.fieldSheet.direction = QStringLiteral("South West");
        inputs.fieldSheet.zone = QStringLiteral("Construction");
        inputs.fieldSheet.performedBy = QStringLiteral("Officer Bartholomew Fitzgerald-Smith");
        const reports::PagedDocument built = build(document, inputs);
        const QRectF paper = QRectF(QPointF(), built.pageSize).adjusted(360, 360, -360, -360);
        for (const reports::Page& page : built.pages) {
            const auto texts = page.itemsOf<TextItem>();
            const std::vector<QRectF> rules = rulesOf(page);
            for (size_t i = 0; i < texts.size(); ++i) {
                const QRectF ink = inkBox(*texts[i]);
                if (ink.width() <= 0)
                    continue;
                QVERIFY2(paper.contains(ink), qPrintable(texts[i]->text));
                for (size_t j = i + 1; j < texts.size(); ++j)
                    QVERIFY2(!ink.intersects(inkBox(*texts[j])),
                             qPrintable(texts[i]->text + " / " + texts[j]->text));
                // The blank sheet's trailer line crosses the right edge of its
                // box, as on the form it copies; nothing else crosses a rule.
                const bool blankTrailerLine = texts[i]->text.startsWith(QLatin1String("  Trailer ID: ____"));
                for (const QRectF& rule : rules) {
                    const bool trailerBoxEdge = rule.center().x() == 6480 && rule.height() > rule.width();
                    if (!(blankTrailerLine && trailerBoxEdge))
                        QVERIFY2(!ink.intersects(rule), qPrintable(texts[i]->text));
                }
            }
        }
    }

    // Written as PDF and read back, every text stands where its item says.
    void pdfReadsBack_data() { layoutIsClean_data(); }
    void pdfReadsBack()
    {
        QFETCH(int, document);
        const reports::PagedDocument built = build(document);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("document.pdf"));
        QCOMPARE(reports::writePdf(built, file, QStringLiteral("test")), QString());
        const std::vector<test::PdfPage> pages = test::readPdf(file);
        QCOMPARE(pages.size(), built.pages.size());
        for (size_t index = 0; index < pages.size(); ++index) {
            QCOMPARE(pages[index].size, QSizeF(612, 792));
            for (const TextItem* item : built.pages[index].itemsOf<TextItem>()) {
                const QStringList words = item->text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
                if (words.isEmpty())
                    continue;
                const QRectF ink = inkBox(*item);
                const auto found = std::find_if(
                    pages[index].words.begin(), pages[index].words.end(), [&](const test::PdfWord& word) {
                        return word.text == words.first() && qAbs(word.box.left() - ink.left() / 20) < 1 &&
                               qAbs(word.box.top() - item->top / 20) < 1.5;
                    });
                QVERIFY2(found != pages[index].words.end(), qPrintable(QStringLiteral("%1 at %2, %3")
                                                                           .arg(item->text)
                                                                           .arg(ink.left() / 20)
                                                                           .arg(item->top / 20)));
            }
        }
    }

    void paperTooSmall_data()
    {
        QTest::addColumn<int>("document");
        QTest::addColumn<bool>("built");
        row("summary", kSummary, false);
        row("85th percentile", kPercentile, false);
        row("filled sheet", kFilledSheet, false);
        // The flow reports do not look at the error flag.
        row("15 minute flow", kQuarterHours, true);
    }
    void paperTooSmall()
    {
        QFETCH(int, document);
        QFETCH(bool, built);
        reports::DocumentInputs inputs = test::documentInputs();
        inputs.pageSize = QPageSize(QPageSize::A5).size(QPageSize::Point) * reports::kTwipsPerPoint;
        QCOMPARE(reports::documentKind(ReportChoice(document))->build(inputs).has_value(), built);
        inputs.pageSize = QPageSize(QPageSize::A4).size(QPageSize::Point) * reports::kTwipsPerPoint;
        const std::optional<reports::PagedDocument> onA4 =
            reports::documentKind(ReportChoice(document))->build(inputs);
        QVERIFY(onA4.has_value());
        QCOMPARE(onA4->pageSize, inputs.pageSize);
    }
};

QTEST_MAIN(TstDocuments)
#include "tst_documents.moc"
