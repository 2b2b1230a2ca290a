// The seven documents built from plain inputs: what each places where, in
// which font, with which rules, boxes and fills, and how the flow tables run
// over pages.
#include "DocumentFixture.h"
#include "reports/PageComposer.h"

#include <QLineF>
#include <QPageSize>

using namespace pelmor;
using reports::ReportChoice;
using reports::TextItem;
using test::findText;
using test::row;
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

// A row of placedTexts: a text starting at x, or one centred on x.
void placed(bool centred, int document, const char* text, double top, double x, double size,
            const char* style)
{
    const QString name = reports::documentName(ReportChoice(document)) + QStringLiteral(": ") + text;
    QTest::newRow(qPrintable(name)) << document << QString::fromUtf8(text) << top << centred << x << size
                                    << QString::fromLatin1(style);
}
void startsAt(int document, const char* text, double top, double x, double size = 12, const char* style = "")
{
    placed(false, document, text, top, x, size, style);
}
void centredOn(int document, const char* text, double top, double x, double size = 14,
               const char* style = "b")
{
    placed(true, document, text, top, x, size, style);
}

// The texts of each row of a page's table, the heading row first, row
// under row as their cells stand.
std::vector<QStringList> tableRows(const reports::Page& page)
{
    std::vector<QRectF> rows;
    for (const reports::RectangleItem* cell : page.itemsOf<reports::RectangleItem>()) {
        if (rows.empty() || cell->rect.top() > rows.back().top())
            rows.push_back(cell->rect);
    }
    std::vector<QStringList> texts(rows.size());
    for (const TextItem* item : page.itemsOf<TextItem>()) {
        for (size_t row = 0; row < rows.size(); ++row) {
            if (item->top >= rows[row].top() && item->top < rows[row].bottom())
                texts[row] << item->text;
        }
    }
    return texts;
}

void documentRows()
{
    QTest::addColumn<int>("document");
    for (const reports::DocumentKind& kind : reports::documentKinds()) {
        if (kind.choice <= ReportChoice::BlankFieldSheet)
            QTest::newRow(qPrintable(reports::documentName(kind.choice))) << int(kind.choice);
    }
}

} // namespace

class TstDocuments : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placedTexts_data()
    {
        QTest::addColumn<int>("document");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("top");
        QTest::addColumn<bool>("centred");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("size");
        QTest::addColumn<QString>("style"); // "b" bold, "u" underlined
        // The titles are centred between the margins in force: 0.7 inch on
        // each side (6120), or 1 inch and 0.5 inch on the flow reports (6480).
        centredOn(kSummary, "Springfield Police Department", 1008, 6120);
        centredOn(kSummary, "Single Survey Summary", 1288, 6120);
        centredOn(kSummary, "Total Survey Time: 1 Days, 23 Hrs, 57 Min", 3600, 6120, 12, "");
        centredOn(kSummary, "Settings", 4104, 6120, 12, "");
        centredOn(kSummary, "Radar/Sign Settings", 5472, 6120, 12, "u");
        centredOn(kSummary, "Vehicles", 7200, 6120, 12, "bu");
        startsAt(kSummary, "Batch Number: 050302-A", 2448, 1440);
        startsAt(kSummary, " Survey End Date: 05/05/26", 3168, 1440); // lines at 120 %
        startsAt(kSummary, "Speed", 9792, 1440, 12, "bu");
        startsAt(kSummary, " Violator Average Speed: 41.5  MPH", 11808, 1440);
        startsAt(kSummary, "Survey Issued By: Sgt. Jane Miller", 13248, 1440);
        startsAt(kSummary, "                                             (Signature)", 14112, 1440, 6);
        startsAt(kSummary, "Survey End Time: 06:57 AM", 3168, 6210);
        startsAt(kSummary, "Direction of travel: North", 5112, 6210);
        startsAt(kSummary, "            85th Percentile: 45", 8928, 6210);
        startsAt(kSummary, "MPH Over Posted Speed", 9792, 6210, 12, "bu");

        centredOn(kPercentile, "85th Percentile Speed and Pace Distribution", 1288, 6120);
        startsAt(kPercentile, "  Batch Number: 050302-A", 2088, 1440);
        startsAt(kPercentile, "Survey Zone: School       Direction of travel: North", 2904, 1440);
        startsAt(kPercentile, "          Posted Speed Limit: 035  MPH", 3600, 1440);
        startsAt(kPercentile, "           Number Unknown: 131", 6720, 1440); // lines at 100 %
        startsAt(kPercentile, "Survey Start Date: 05/03/26", 3600, 6210);
        startsAt(kPercentile, "Radar/Sign Settings", 5760, 6210, 12, "u");
        startsAt(kPercentile, "         85th Percentile ---->", 9604.8, 8640, 8);
        startsAt(kPercentile, "   Pace Low <---------> Pace High", 10080, 8640, 8);

        centredOn(kVolumeGraph, "Single Survey Summary", 1288, 6120);
        startsAt(kVolumeGraph, "             Pace Low Speed: 33.0 MPH", 5280, 1440);
        startsAt(kVolumeGraph, "       High Speed Cut Off: 080 MPH", 6912, 6210);

        centredOn(kQuarterHours, "Springfield Police Department", 1008, 6480);
        centredOn(kQuarterHours, "Survey Volume (15 min Bins)", 1288, 6480);
        startsAt(kQuarterHours, "Survey Location: Main St", 3024, 1440);
        startsAt(kQuarterHours, "Batch Number: 050302-A", 2448, 1440);
        // Two columns between 1 inch and the default half inch on the right.
        startsAt(kQuarterHours, "Survey Start Date: 05/03/26", 2448, 6570);
        startsAt(kQuarterHours, " Survey End Date: 05/05/26", 2688, 6570);
        centredOn(kHours, "Survey Volume (Hour Bins)", 1288, 6480);

        centredOn(kFilledSheet, "Remote Data Collection Site Setup", 1008, 6120);
        centredOn(kFilledSheet, "Springfield Police Department", 1428, 6120); // lines at 150 %
        startsAt(kFilledSheet, "  Trailer ID: A            Batch #: 050302-A", 2448, 1440);
        startsAt(kFilledSheet, "Survey Start Time: 07:00", 3009.6, 1440);
        startsAt(kFilledSheet, "Survey Location Code: ____________", 4089.6, 1440);
        startsAt(kFilledSheet, "Main St", 4809.6, 1440);
        startsAt(kFilledSheet, "Field notes / setup diagram...", 7488, 1440);
        startsAt(kFilledSheet, "Field setup performed by: J. Miller", 13680, 1440);
        startsAt(kFilledSheet, "Survey Start Date: 05/03/26", 3009.6, 6210);
        startsAt(kFilledSheet, "Radar/Sign Settings", 4176, 6210, 12, "u");
        startsAt(kFilledSheet, "         High Speed Cut Off: 080", 5976, 6210);
        // Set smaller to stay inside its box.
        startsAt(kBlankSheet, "  Trailer ID: _________        Batch #: __________", 2448, 1440, 11);
        startsAt(kBlankSheet, "_____________________________", 4809.6, 1440);
        startsAt(kBlankSheet, "Field setup performed by: ____________________________", 13680, 1440);
    }
    void placedTexts()
    {
        QFETCH(int, document);
        QFETCH(QString, text);
        QFETCH(double, top);
        QFETCH(bool, centred);
        QFETCH(double, x);
        QFETCH(double, size);
        QFETCH(QString, style);
        const reports::PagedDocument built = build(document);
        const TextItem* item = findText(built.pages.at(0), text);
        QVERIFY2(item, qPrintable(textsOf(built.pages.at(0)).join(QLatin1Char('\n'))));
        QVERIFY2(qAbs(item->top - top) < 0.01, qPrintable(QString::number(item->top)));
        const double where = centred ? item->x + item->width / 2 : item->x;
        QVERIFY2(qAbs(where - x) < 0.01, qPrintable(QString::number(where)));
        QCOMPARE(item->font.family.toLower(), QStringLiteral("arial"));
        QCOMPARE(item->font.pointSize, size);
        QCOMPARE(item->font.bold, style.contains(QLatin1Char('b')));
        QCOMPARE(item->font.underline, style.contains(QLatin1Char('u')));
        QVERIFY(!item->font.italic);
    }

    // The rules (black, 25 twips) and the outlined boxes of each page 1.
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
        const reports::Page page = build(document).pages.at(0);
        QList<QLineF> found;
        for (const reports::LineItem* line : page.itemsOf<reports::LineItem>()) {
            found << QLineF(line->from, line->to);
            QCOMPARE(line->colour, QColor(Qt::black));
            QCOMPARE(line->width, 25.0);
        }
        QCOMPARE(found, lines);
        QList<QRectF> outlined;
        for (const reports::RectangleItem* box : page.itemsOf<reports::RectangleItem>()) {
            if (!box->fill && box->lineColour == QColor(Qt::black) && box->lineWidth == 25)
                outlined << box->rect;
        }
        QCOMPARE(outlined, boxes);
    }

    // The legend of the 85th percentile graph: a white panel framing its
    // two texts, the pace sample under the first and as wide as the
    // second, the marker where the arrow points: red, or a grey that a
    // black-and-white printer tells from the pace's.
    void legend_data()
    {
        QTest::addColumn<bool>("blackAndWhite");
        QTest::addColumn<QColor>("pace");
        QTest::addColumn<QColor>("percentile");
        row("colour printer", false, QColor(0, 255, 0), QColor(255, 0, 0));
        row("laser", true, QColor(220, 220, 220), QColor(128, 128, 128));
    }
    void legend()
    {
        QFETCH(bool, blackAndWhite);
        QFETCH(QColor, pace);
        QFETCH(QColor, percentile);
        reports::DocumentInputs inputs = test::documentInputs();
        inputs.blackAndWhite = blackAndWhite;
        const reports::Page page = build(kPercentile, inputs).pages.at(0);
        std::vector<const reports::RectangleItem*> filled;
        for (const reports::RectangleItem* box : page.itemsOf<reports::RectangleItem>()) {
            if (box->fill) {
                QCOMPARE(box->lineColour, QColor(Qt::black));
                QCOMPARE(box->lineWidth, 25.0);
                filled.push_back(box);
            }
        }
        QCOMPARE(filled.size(), size_t(3));
        const QRectF panel = filled[0]->rect, paceSample = filled[1]->rect, marker = filled[2]->rect;
        QCOMPARE(*filled[0]->fill, QColor(255, 255, 255));
        QCOMPARE(*filled[1]->fill, pace);
        QCOMPARE(*filled[2]->fill, percentile);
        QCOMPARE(panel.size(), QSizeF(2448, 864));
        QCOMPARE(paceSample.topLeft() - panel.topLeft(), QPointF(144, 432));
        QCOMPARE(marker.topLeft() - panel.topLeft(), QPointF(1872, 72));
        QVERIFY(qAbs(marker.width() - 100.8) < 1e-9);
        const QRectF markerText =
            test::inkBox(*findText(page, QStringLiteral("         85th Percentile ---->")));
        const QRectF paceText =
            test::inkBox(*findText(page, QStringLiteral("   Pace Low <---------> Pace High")));
        QVERIFY(panel.contains(markerText) && panel.contains(paceText));
        QVERIFY(marker.left() > markerText.right() && marker.left() - markerText.right() < 144);
        QVERIFY(marker.top() < markerText.center().y() && marker.bottom() > markerText.center().y());
        QVERIFY(paceSample.top() > markerText.bottom() && paceSample.bottom() < paceText.top());
        QVERIFY(qAbs(paceSample.left() - paceText.left()) < 72 &&
                qAbs(paceSample.right() - paceText.right()) < 72);
    }

    // The unit of the survey in the texts; only "MPH" exactly gives the
    // mile bands. Without a survey and names every label prints alone.
    void unitTexts_data()
    {
        QTest::addColumn<int>("document");
        QTest::addColumn<QString>("unit");      // empty: no survey, no names
        QTest::addColumn<QStringList>("texts"); // each on page 1
        row("summary in KPH: kilometre bands", kSummary, "KPH",
            QStringList{"KPH Over Posted Speed", "    1 - 10  KPH: 962", "  11 - 20  KPH: 679",
                        "  21 - 30  KPH: 243", "  31 - 40  KPH: 62", "  41 - 50  KPH: 15", " Over 50  KPH: 3",
                        "Minumum Radar Setting: 5  KPH", "  High Speed Alarm: 045 KPH"});
        row("summary in MPH: mile bands", kSummary, "MPH",
            QStringList{"MPH Over Posted Speed", "  1 - 5  MPH: 962", " 6 - 10  MPH: 679",
                        "11 - 15  MPH: 243", "16 - 20  MPH: 62", "21 - 25  MPH: 15", "Over 25  MPH: 3"});
        row("summary in mph", kSummary, "mph", QStringList{"mph Over Posted Speed", "    1 - 10  KPH: 962"});
        row("85th percentile in KPH", kPercentile, "KPH",
            QStringList{"          Posted Speed Limit: 035  KPH", "      Recorded Low Speed: 7  KPH",
                        "            Pace High Speed: 43.0 KPH", "Maximum Radar Setting: 200  KPH",
                        "       High Speed Cut Off: 080 KPH"});
        row("traffic flow graph in KPH", kVolumeGraph, "KPH",
            QStringList{"               Average Speed: 38.0  KPH", "             Pace Low Speed: 33.0 KPH",
                        "Minumum Radar Setting: 5  KPH", "         High Speed Alarm: 045 KPH"});
        row("empty summary", kSummary, "",
            QStringList{" Violator Average Speed:   MPH",
                        "Survey Issued By: ", "Minumum Radar Setting: 5  MPH"});
        // Untouched setup inputs: trailer A, radar range 5 to 200, and a
        // line to write on for each empty field.
        row("empty sheet", kFilledSheet, "",
            QStringList{"  Trailer ID: A            Batch #: __________", "  Minumum Radar Setting: 5",
                        "  Maximum Radar Setting: 200", "         Posted Speed Limit: ______",
                        "Field setup performed by: ____________________________"});
    }
    void unitTexts()
    {
        QFETCH(int, document);
        QFETCH(QString, unit);
        QFETCH(QStringList, texts);
        reports::DocumentInputs inputs;
        if (unit.isEmpty()) {
            inputs.today = QDate(2026, 1, 31);
            inputs.survey.header.radarMode = QStringLiteral("MPH");
        } else {
            inputs = test::documentInputs(unit);
        }
        const QStringList placed = textsOf(build(document, inputs).pages.at(0));
        for (const QString& text : texts)
            QVERIFY2(placed.contains(text), qPrintable(text));
    }

    // Without a graph a graph report prints all but the picture.
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
        QCOMPARE(built.pages.at(0).items.size(),
                 build(document).pages.at(0).items.size() - (withGraph ? 0 : 1));
    }

    // The flow table under the title block: the heading row yellow and two
    // lines high, the rows of the breakdown, the total row yellow but for
    // its date, the grand total's label across the time and count columns.
    // An empty breakdown prints the heading row alone.
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
        QVERIFY(findText(page, QStringLiteral("Batch Number: 050302-A")));
        QStringList table;
        for (const TextItem* item : page.itemsOf<TextItem>()) {
            if (item->top >= 4320 && item->font.pointSize == 12)
                table << item->text;
        }
        if (rows > 0)
            heading << QStringList{"05/03/26", "08:00 - 08:15",         "3", "--------------------", "----",
                                   "3",        "Total Veh Surveyed = ", "3"};
        QCOMPARE(table, heading);

        const auto cells = page.itemsOf<reports::RectangleItem>();
        QCOMPARE(cells.size(), size_t(4 + 4 * std::min(rows, 2) + (rows > 2 ? 3 : 0)));
        const QColor yellow(255, 255, 0);
        const double left[] = {2880, 4380, 6380, 7380};
        for (size_t column = 0; column < 4; ++column) {
            QCOMPARE(cells[column]->rect.topLeft(), QPointF(left[column], 4320));
            QCOMPARE(cells[column]->fill.value_or(Qt::white), yellow);
            QCOMPARE(cells[column]->lineColour, QColor(190, 190, 190));
        }
        reports::TextFont arial12;
        arial12.pointSize = 12;
        QVERIFY(cells[0]->rect.height() > 2 * reports::TextMeasure(arial12).height());
        if (rows == 0)
            return;
        QVERIFY(!cells[4]->fill && !cells[8]->fill);
        for (size_t column = 9; column < 12; ++column)
            QCOMPARE(cells[column]->fill.value_or(Qt::white), yellow);
        QCOMPARE(cells[13]->rect.left(), 4380.0);
        QCOMPARE(cells[13]->rect.width(), 3000.0);
    }

    // A month of quarter hours that ends on an hour, as the walk leaves it:
    // the hour's total, a total of 0 and the grand total. Every row whole
    // above the bottom margin; the title block on page 1 only; every page
    // the table runs on to names the batch, repeats the heading row and
    // dates its first row; a page ends with an hour's total, never inside
    // an hour; the grand total stands under the last hour's total, with no
    // total of 0 before it; the running page line on every page.
    void flowReportPages()
    {
        reports::DocumentInputs inputs = test::documentInputs();
        inputs.breakdown.clear();
        const auto date = [](int day) {
            return QStringLiteral("03/%1/26").arg(day, 2, 10, QLatin1Char('0'));
        };
        for (int day = 1; day <= 31; ++day) {
            for (int hour = 0; hour < 24; ++hour) {
                for (int quarter = 0; quarter < 4; ++quarter)
                    inputs.breakdown.push_back({hour == 0 && quarter == 0 ? date(day) : QString(),
                                                QStringLiteral("%1:%2").arg(hour).arg(quarter * 15),
                                                QStringLiteral("7"), QString()});
                inputs.breakdown.push_back(
                    {QString(), QString(20, QLatin1Char('-')), QStringLiteral("----"), QStringLiteral("28")});
            }
        }
        inputs.breakdown.push_back({QString(), QString(20, QLatin1Char('-')), QStringLiteral("----"), "0"});
        inputs.breakdown.push_back({QString(), QString(), QString(), QStringLiteral("20832")});
        const reports::PagedDocument built = build(kQuarterHours, inputs);
        QVERIFY2(built.pages.size() > 60, qPrintable(QString::number(built.pages.size())));
        const QStringList heading = {"Date", "Time", "Count", "Hour", "Total"};
        size_t bodyRows = 0;
        for (size_t index = 0; index < built.pages.size(); ++index) {
            const reports::Page& page = built.pages[index];
            const QStringList texts = textsOf(page);
            QCOMPARE(texts.contains(QStringLiteral("Springfield Police Department")), index == 0);
            QCOMPARE(page.itemsOf<reports::LineItem>().size(), size_t(index == 0 ? 2 : 0));
            QCOMPARE(texts.mid(texts.size() - 2),
                     (QStringList{"Issued:  Apr 02 , 2002", QStringLiteral(" page%1").arg(index + 1)}));
            const std::vector<QStringList> rows = tableRows(page);
            QCOMPARE(rows.front(), heading);
            if (index > 0) {
                QCOMPARE(texts.first(), QStringLiteral("Batch Number: 050302-A"));
                // The day of the page's first row: a day has 24 hours of five rows.
                QCOMPARE(rows.at(1).first(), date(int(bodyRows / 120) + 1));
            }
            const QStringList& last = rows.back();
            QVERIFY2(last.contains(QStringLiteral("----")) || last.contains(QStringLiteral("20832")),
                     qPrintable(last.join(QLatin1Char(' '))));
            bodyRows += rows.size() - 1;
        }
        const std::vector<QStringList> rows = tableRows(built.pages.back());
        QVERIFY(rows.size() > 2);
        QCOMPARE(rows.at(rows.size() - 2), (QStringList{"--------------------", "----", "28"}));
        QCOMPARE(rows.back(), (QStringList{"Total Veh Surveyed = ", "20832"}));
        QCOMPARE(bodyRows, inputs.breakdown.size() - 1);
        for (const reports::Page& page : built.pages) {
            for (const reports::RectangleItem* cell : page.itemsOf<reports::RectangleItem>())
                QVERIFY(cell->rect.bottom() <=
                        built.pageSize.height() - reports::PageComposer::kBottomMargin + 0.5);
        }
    }

    // The date and page line at the foot of every document, in 10 points
    // half an inch above the bottom edge, from 1 inch to 1 inch.
    void runningPageLine_data() { documentRows(); }
    void runningPageLine()
    {
        QFETCH(int, document);
        const bool sheet = document >= kFilledSheet;
        const reports::PagedDocument built = build(document);
        QCOMPARE(built.pages.size(), size_t(1));
        const auto texts = built.pages.at(0).itemsOf<TextItem>();
        const TextItem* left = texts.at(texts.size() - 2);
        const TextItem* right = texts.back();
        QCOMPARE(left->text, sheet ? QStringLiteral("Printed:  Apr 02 , 2002")
                                   : QStringLiteral("Issued:  Apr 02 , 2002"));
        QCOMPARE(right->text, sheet ? QStringLiteral(" ") : QStringLiteral(" page1"));
        QCOMPARE(left->font.pointSize, 10.0);
        QCOMPARE(left->x, 1440.0);
        QCOMPARE(right->x + right->width, 10800.0);
        QCOMPARE(left->baseline, 15840.0 - 720);
    }

    // On paper under 7.7 by 10 inches the statistics and the sheets are
    // not built; the flow reports do not look.
    void paperTooSmall_data()
    {
        QTest::addColumn<int>("document");
        QTest::addColumn<bool>("built");
        row("summary", kSummary, false);
        row("85th percentile", kPercentile, false);
        row("filled sheet", kFilledSheet, false);
        row("15 minute flow", kQuarterHours, true);
    }
    void paperTooSmall()
    {
        QFETCH(int, document);
        QFETCH(bool, built);
        const reports::DocumentKind* kind = reports::documentKind(ReportChoice(document));
        reports::DocumentInputs inputs = test::documentInputs();
        inputs.pageSize = QPageSize(QPageSize::A5).size(QPageSize::Point) * reports::kTwipsPerPoint;
        QCOMPARE(kind->build(inputs).has_value(), built);
        inputs.pageSize = QPageSize(QPageSize::A4).size(QPageSize::Point) * reports::kTwipsPerPoint;
        const std::optional<reports::PagedDocument> onA4 = kind->build(inputs);
        QVERIFY(onA4.has_value());
        QCOMPARE(onA4->pageSize, inputs.pageSize);
    }
};

QTEST_MAIN(TstDocuments)
#include "tst_documents.moc"
