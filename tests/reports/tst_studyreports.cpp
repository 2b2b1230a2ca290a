// The speed study report and the before / after comparison, built from the
// studies and comparisons of stored surveys: what stands on each page and
// in which order, the warnings exactly when there are any, the speed bins
// however spread the speeds are, the printer mode, and the pages read back
// from a PDF file.
#include "ChartCheck.h"
#include "CompareFixture.h"
#include "DocumentFixture.h"
#include "compare/ComparisonGraph.h"
#include "compare/ComparisonTables.h"
#include "reports/FramedPages.h"
#include "study/StudyGraphs.h"
#include "study/StudyTables.h"
#include "study/StudyText.h"

#include <QTemporaryDir>

#include <map>
#include <numeric>

using namespace pelmor;
using reports::DrawingItem;
using reports::RectangleItem;
using reports::ReportChoice;
using reports::TextItem;
using test::row;

Q_DECLARE_METATYPE(charts::LineGraph)

namespace {

constexpr int kStudy = int(ReportChoice::SpeedStudyReport);
constexpr int kComparison = int(ReportChoice::ComparisonReport);

const QString kBefore = QStringLiteral("030226-A");
const QString kAfter = QStringLiteral("030926-A");
const QString kKph = QStringLiteral("031626-A");
const QString kElsewhere = QStringLiteral("032126-B");

// The study of a survey stored in a folder of its own.
study::SpeedStudy studyOf(const test::Survey& survey)
{
    test::TempProgramFolder folder;
    test::storeSurvey(folder.databasePath(), survey);
    std::optional<study::SpeedStudy> study = test::studyOf(folder, survey.batchNumber);
    if (!study)
        qFatal("no study");
    return std::move(*study);
}

// Survey 050302-A at a limit of 35 from Monday 05/04/26 06:30 to 21:30,
// open to every doubt: 90 vehicles, 50 approaching, none receding and 40
// of unknown direction; no vehicle from 07:27 to 10:00 nor from 11:27 to
// 15:00; one at 3 and one at 75 mph. Eleven warnings.
test::Survey doubtfulSurvey()
{
    test::Survey survey;
    survey.start = test::at(QStringLiteral("05/04/26 06:30"));
    for (int i = 0; i < 90; ++i) {
        survey.offsets.push_back(i < 20 ? i * 180 : i < 50 ? 12600 + (i - 20) * 180 : 30600 + (i - 50) * 600);
        survey.speeds.push_back(i == 10 ? 3 : i == 60 ? 75 : 28 + i % 14);
        survey.directions.append(i % 9 < 5 ? '+' : '?');
    }
    survey.durationSeconds = survey.offsets.back();
    return survey;
}

// A day of 240 vehicles (more when more speeds are given) from 05/04/26
// 00:00, at the speeds given one after the other over and over.
test::Survey dayAtSpeeds(const std::vector<int>& speeds)
{
    test::Survey survey;
    survey.start = test::at(QStringLiteral("05/04/26 00:00"));
    survey.durationSeconds = 24 * 3600 - 60;
    for (size_t i = 0; i < std::max<size_t>(240, speeds.size()); ++i) {
        survey.speeds.push_back(speeds[i % speeds.size()]);
        survey.directions.append(i % 2 ? '-' : '+');
    }
    return survey;
}

std::vector<int> speedsFrom(int low, int high)
{
    std::vector<int> speeds(size_t(high - low + 1));
    std::iota(speeds.begin(), speeds.end(), low);
    return speeds;
}

// The comparison of two of the surveys, stored once in a folder of their
// own: a week of 2,000 vehicles on Elm Street at 38 mph on average, the
// next week 3 mph slower, the week after that in km/h at a posted limit of
// 50 km/h, and two weekend days on a long-named street elsewhere, going
// the other way, at another limit.
const compare::Comparison& comparisonOf(const QString& batchA, const QString& batchB)
{
    static std::map<std::pair<QString, QString>, compare::Comparison> made;
    static test::TempProgramFolder folder;
    if (made.empty()) {
        const QString path = folder.databasePath();
        const QDateTime monday = test::firstMonday();
        const double kph = compare::kKilometresPerMile;
        test::storeSurvey(path, test::streetSurvey(kBefore, test::normalSpeeds(2000, 38, 6, 1), monday, 7));
        test::storeSurvey(
            path, test::streetSurvey(kAfter, test::normalSpeeds(2000, 35, 6, 2), monday.addDays(7), 7));
        test::Survey kphSurvey =
            test::streetSurvey(kKph, test::normalSpeeds(2000, 35 * kph, 6 * kph, 3), monday.addDays(14), 7);
        kphSurvey.unit = QStringLiteral("KPH");
        kphSurvey.postedSpeed = QStringLiteral("050");
        test::storeSurvey(path, kphSurvey);
        test::Survey elsewhere =
            test::streetSurvey(kElsewhere, test::normalSpeeds(600, 29, 5, 4), monday.addDays(19), 2);
        elsewhere.location =
            QStringLiteral("Oak Avenue between 4th Street and 5th Street, by the school entrance");
        elsewhere.postedSpeed = QStringLiteral("025");
        elsewhere.headerFields.insert(QStringLiteral("Direction"), QStringLiteral("South"));
        test::storeSurvey(path, elsewhere);
    }
    const auto key = std::make_pair(batchA, batchB);
    auto known = made.find(key);
    if (known == made.end()) {
        std::optional<compare::Comparison> comparison = test::comparisonOf(folder, batchA, batchB);
        if (!comparison)
            qFatal("no comparison of %s and %s", qPrintable(batchA), qPrintable(batchB));
        known = made.emplace(key, std::move(*comparison)).first;
    }
    return known->second;
}

reports::DocumentInputs comparisonInputs(const QString& batchA, const QString& batchB)
{
    reports::DocumentInputs inputs = test::documentInputs();
    inputs.survey.header.batchNumber = inputs.survey.batchNumber = batchA;
    inputs.study.reset();
    inputs.comparison = comparisonOf(batchA, batchB);
    return inputs;
}

// Whether a label stands in an area of a PDF page on one line, or broken at
// its blanks over several.
bool hasLabel(const test::PdfPage& page, const QRectF& area, const QStringList& words)
{
    if (words.isEmpty())
        return true;
    for (qsizetype first = words.size(); first >= 1; --first) {
        if (test::hasLine(page, area, words.mid(0, first).join(' ')) &&
            hasLabel(page, area, words.mid(first)))
            return true;
    }
    return false;
}

} // namespace

class TstStudyReports : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Three pages, each under the agency and the title with the frame's
    // rules and its page number; the survey, the figures, the graphs and
    // the tables each on their page, in the unit of the survey.
    void studyPages_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("threshold"); // 0: the default, the limit + 10
        QTest::addColumn<QString>("thresholdRow");
        // A threshold at the limit + 10 or + 15 is said in that row, not in one of its own.
        row("mph", "MPH", 0, "Over 45 mph (limit + 10 = threshold)");
        row("km/h with a threshold of 50", "KPH", 50, "Over 50 km/h (limit + 15 = threshold)");
        row("km/h with a threshold of 48", "KPH", 48, "Over the enforcement threshold, 48 km/h");
    }
    void studyPages()
    {
        QFETCH(QString, unit);
        QFETCH(int, threshold);
        QFETCH(QString, thresholdRow);
        reports::DocumentInputs inputs = test::documentInputs(unit);
        if (threshold > 0)
            study::setThreshold(*inputs.study, threshold);
        const study::SpeedStudy& study = *inputs.study;
        const QString unitText = study::unitText(unit);
        const reports::PagedDocument document = test::buildDocument(ReportChoice::SpeedStudyReport, inputs);
        QCOMPARE(document.pages.size(), size_t(3));
        for (size_t index = 0; index < 3; ++index) {
            const reports::Page& page = document.pages[index];
            const TextItem* agency = test::findText(page, inputs.agency);
            const TextItem* title = test::findText(page, QStringLiteral("Speed Study Report"));
            QVERIFY(agency && title);
            QCOMPARE(agency->top, 1008.0);
            QCOMPARE(title->top, 1288.0);
            QCOMPARE(title->font.pointSize, 14.0);
            QVERIFY(title->font.bold);
            QVERIFY(qAbs(title->x + title->width / 2 - 6120) < 0.01);
            const auto rules = page.itemsOf<reports::LineItem>();
            QCOMPARE(rules.size(), size_t(2));
            QCOMPARE(rules[0]->from, QPointF(1008, 1872));
            QCOMPARE(rules[1]->from, QPointF(1008, 14400));
            const QStringList texts = test::textsOf(page);
            QCOMPARE(texts.mid(texts.size() - 2),
                     (QStringList{"Issued:  Apr 02 , 2002", QStringLiteral(" page%1").arg(index + 1)}));
        }

        // Page 1: the survey in its box, then the figures by direction in
        // order, each row's caption and its three cells.
        const reports::Page& first = document.pages[0];
        QVERIFY(test::inOrder(
            test::wordsOf(test::textsOf(first)),
            {study::studyPeriod(study), QStringLiteral("Batch Number: 050302-A"),
             QStringLiteral("Survey Location: Main St"), QStringLiteral("Vehicles surveyed: 1,681"),
             QStringLiteral("Enforcement threshold: %1 %2").arg(study.threshold).arg(unitText),
             thresholdRow}));
        QCOMPARE(test::wordsOf(test::textsOf(first)).count(QStringLiteral("enforcement threshold")),
                 thresholdRow.contains(QStringLiteral("enforcement")) ? 1 : 0);
        QStringList figures{"Figure", "Both directions", "Approaching", "Receding"};
        for (const study::FigureRow& figure : study::figureRows(study))
            figures << figure.caption << QStringList(figure.cells.begin(), figure.cells.end());
        QCOMPARE(test::textsFrom(first, QStringLiteral("Figure")).mid(0, figures.size()), figures);

        // Page 2: the S-curve 4.5 inches high across the body, the bins under it.
        const reports::Page& second = document.pages[1];
        QVERIFY(test::findText(second, QStringLiteral("Batch Number: 050302-A    Survey Location: Main St")));
        const auto curves = second.itemsOf<DrawingItem>();
        QCOMPARE(curves.size(), size_t(1));
        const TextItem* curveHeading =
            test::findText(second, QStringLiteral("Cumulative speed distribution"));
        QVERIFY(curveHeading && curveHeading->top < curves[0]->rect.top());
        QCOMPARE(curves[0]->rect, QRectF(1440, curves[0]->rect.top(), 9360, 6480));
        const study::TextTable bins = study::binTable(study, study::Direction::Both);
        QStringList binTexts = bins.columns;
        for (const QStringList& bin : bins.rows)
            binTexts << bin;
        const QString binsHeading = QStringLiteral("Speed bins of 5 %1, both directions").arg(unitText);
        const TextItem* binsTitle = test::findText(second, binsHeading);
        QVERIFY(binsTitle && binsTitle->top > curves[0]->rect.bottom());
        QCOMPARE(test::textsFrom(second, binsHeading).mid(1, binTexts.size()), binTexts);

        // Page 3: the 24 hours, then the heat map down to the bottom rule.
        const reports::Page& third = document.pages[2];
        QStringList hours;
        for (const QStringList& hour : study::hourlyTable(study).rows)
            hours << hour;
        QVERIFY(test::inOrder(test::wordsOf(test::textsOf(third)), hours));
        const auto maps = third.itemsOf<DrawingItem>();
        QCOMPARE(maps.size(), size_t(1));
        const TextItem* lastHour = test::findText(third, QStringLiteral("23:00-00:00"));
        QVERIFY(lastHour && lastHour->top < maps[0]->rect.top());
        QCOMPARE(maps[0]->rect.left(), 1440.0);
        QCOMPARE(maps[0]->rect.width(), 9360.0);
        QVERIFY(maps[0]->rect.height() > 2.5 * reports::kTwipsPerInch && maps[0]->rect.bottom() < 14400);
    }

    // The curves of documents 8 and 9 as drawn on the page and on screen:
    // no marker's label over a curve or a marker's line.
    void curveLabelsClearOfLines_data()
    {
        QTest::addColumn<charts::LineGraph>("curve");
        for (const bool blackAndWhite : {false, true}) {
            const char* look = blackAndWhite ? "black and white" : "colour";
            for (const QString& unit : {QStringLiteral("MPH"), QStringLiteral("KPH")})
                QTest::addRow("study in %s, %s", qPrintable(unit), look)
                    << study::speedCurve(test::weekStudy(unit), blackAndWhite);
            QTest::addRow("doubtful study, %s", look)
                << study::speedCurve(studyOf(doubtfulSurvey()), blackAndWhite);
            QTest::addRow("three speeds, %s", look)
                << study::speedCurve(studyOf(dayAtSpeeds({30, 31, 32})), blackAndWhite);
            for (const auto& [a, b] :
                 {std::pair(kBefore, kAfter), std::pair(kBefore, kKph), std::pair(kElsewhere, kBefore)})
                QTest::addRow("%s beside %s, %s", qPrintable(a), qPrintable(b), look)
                    << compare::comparisonCurve(comparisonOf(a, b), blackAndWhite);
        }
    }
    void curveLabelsClearOfLines()
    {
        QFETCH(charts::LineGraph, curve);
        curve.title.clear(); // as the documents draw it, under their own heading
        for (const QSize size : {QSize(9360, 6480), QSize(9360, 4320), QSize(1600, 1000), QSize(640, 420)}) {
            const charts::LineGraphRenderer renderer(curve, size);
            const QStringList crossings = test::labelsOverLines(curve, renderer);
            QVERIFY2(crossings.isEmpty(),
                     qPrintable(QStringLiteral("%1x%2: ").arg(size.width()).arg(size.height()) +
                                crossings.join(QStringLiteral("; "))));
        }
    }

    // Every text, box and drawing of every page inside the frame; no text
    // on another, on a rule or on a drawing, with long names and in the
    // most crowded case, eleven warnings, a survey of a million vehicles.
    // The warnings in a shaded box between the survey and the figures, one
    // line after a bullet for each line of the study's warnings; a study
    // without any says so in a lighter box. The 85th percentile's row of
    // the figures shaded across the table. For a black-and-white printer
    // every page drawn in greys, in colour each page with colours.
    void studyVariants_data()
    {
        QTest::addColumn<QString>("survey");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<bool>("blackAndWhite");
        QTest::addColumn<QColor>("notice");
        QTest::addColumn<QColor>("keyRow");
        const QColor clean(227, 244, 230), warned(255, 243, 205), key(255, 236, 153), greyKey(236, 236, 236);
        row("a clean week in mph", "week", "MPH", false, clean, key);
        row("a clean week in km/h, black and white", "week", "KPH", true, QColor(Qt::white), greyKey);
        row("every warning", "doubtful", "MPH", false, warned, key);
        row("every warning in black and white", "doubtful", "MPH", true, QColor(232, 232, 232), greyKey);
        row("a partial last hour", "partial", "MPH", false, warned, key);
        row("counts in the millions", "millions", "KPH", false, clean, key);
    }
    void studyVariants()
    {
        QFETCH(QString, survey);
        QFETCH(QString, unit);
        QFETCH(bool, blackAndWhite);
        QFETCH(QColor, notice);
        QFETCH(QColor, keyRow);
        reports::DocumentInputs inputs = test::documentInputs(unit);
        inputs.agency = QStringLiteral("Springfield County Sheriff's Office Traffic Division");
        inputs.survey.header.location = QStringLiteral("Elm Street at Oak Avenue, northbound lane");
        inputs.blackAndWhite = blackAndWhite;
        if (survey == QLatin1String("doubtful")) {
            inputs.study = studyOf(doubtfulSurvey());
            QCOMPARE(study::warningLines(*inputs.study).size(), 11);
        } else if (survey == QLatin1String("partial")) {
            test::Survey week = dayAtSpeeds({30, 33, 36});
            week.durationSeconds = 7 * 24 * 3600 - 30 * 60;
            inputs.study = studyOf(week);
        } else if (survey == QLatin1String("millions")) {
            // Every bin's share of a survey a thousand times the week's.
            for (study::DirectionFigures& figures : inputs.study->directions) {
                figures.vehicles *= 1000;
                for (qint64& over : figures.overLimit)
                    over *= 1000;
                figures.overThreshold *= 1000;
                figures.paceVehicles *= 1000;
                for (study::SpeedBin& bin : figures.bins)
                    bin.vehicles *= 1000;
            }
        }
        const reports::PagedDocument document = test::buildDocument(ReportChoice::SpeedStudyReport, inputs);
        QCOMPARE(document.pages.size(), size_t(3));
        QStringList faults = test::layoutFaults(document) + test::printerModeFaults(document, blackAndWhite);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));

        const reports::Page& page = document.pages.at(0);
        const RectangleItem* box = test::noticeBox(page);
        QVERIFY(box);
        QCOMPARE(*box->fill, notice);
        const std::array<study::DirectionFigures, 3>& ways = inputs.study->directions;
        const TextItem* unknown = test::findText(
            page, QStringLiteral("Unknown direction: ") +
                      study::formatCount(ways[0].vehicles - ways[1].vehicles - ways[2].vehicles));
        const TextItem* figures = test::findText(page, QStringLiteral("Measured speeds by direction"));
        QVERIFY(unknown && unknown->top < box->rect.top());
        QVERIFY(figures && figures->top > box->rect.bottom());
        const QStringList lines = study::warningLines(*inputs.study);
        const QStringList inside = test::textsIn(page, box->rect);
        QCOMPARE(inside.count(QStringLiteral("\u2022")), lines.size());
        // Each warning after its bullet, wrapped where it is long.
        QString expected = lines.isEmpty() ? study::noWarningsText() : study::warningsHeading();
        for (const QString& line : lines)
            expected += QStringLiteral(" \u2022 ") + line;
        QCOMPARE(test::wordsOf(inside), expected.simplified());

        const TextItem* caption =
            test::findText(page, QStringLiteral("85th percentile (%1)").arg(study::unitText(unit)));
        const TextItem* heading = test::findText(page, QStringLiteral("Figure"));
        QVERIFY(caption && heading);
        int shaded = 0;
        for (const RectangleItem* cell : page.itemsOf<RectangleItem>()) {
            if (cell->rect.top() <= heading->top || !cell->fill)
                continue;
            QCOMPARE(*cell->fill, keyRow);
            QVERIFY(cell->rect.top() < caption->top && cell->rect.bottom() > caption->baseline);
            ++shaded;
        }
        QCOMPARE(shaded, 4);
    }

    // The speed bins in one table or two side by side; when they would not
    // fit the page, those without vehicles are left out, and when even that
    // is too many, the fastest fold into one row. Every vehicle is counted
    // once whatever the way.
    void studySpeedBins_data()
    {
        QTest::addColumn<std::vector<int>>("speeds");
        QTest::addColumn<int>("tables");
        QTest::addColumn<QString>("first"); // the speed cells of the first and last rows
        QTest::addColumn<QString>("last");
        row("three bins", speedsFrom(30, 44), 1, "30 to 34", "40 to 44");
        row("thirteen bins", speedsFrom(10, 74), 2, "10 to 14", "70 to 74");
        std::vector<int> outliers(200, 36);
        outliers.insert(outliers.end(), {150, 299});
        row("freak readings", outliers, 1, "35 to 39", "295 to 299");
        row("every speed up to 300", speedsFrom(1, 300), 2, "0 to 4", "and over");
    }
    void studySpeedBins()
    {
        QFETCH(std::vector<int>, speeds);
        QFETCH(int, tables);
        QFETCH(QString, first);
        QFETCH(QString, last);
        reports::DocumentInputs inputs = test::documentInputs();
        inputs.study = studyOf(dayAtSpeeds(speeds));
        const reports::PagedDocument document = test::buildDocument(ReportChoice::SpeedStudyReport, inputs);
        const reports::Page& page = document.pages.at(1);
        const TextItem* title = test::findText(page, QStringLiteral("Speed bins of 5 mph, both directions"));
        QVERIFY(title);
        std::vector<const TextItem*> headings, speedCells;
        for (const TextItem* item : page.itemsOf<TextItem>()) {
            if (item->top <= title->top || item->font.pointSize > 9 || item->baseline > 14400)
                continue;
            if (item->text == QLatin1String("Speed (mph)"))
                headings.push_back(item);
            else if (item->text.contains(QLatin1String(" to ")) ||
                     item->text.endsWith(QLatin1String("and over")))
                speedCells.push_back(item);
        }
        QCOMPARE(int(headings.size()), tables);
        if (tables == 2)
            QVERIFY(headings[1]->x > 6000 && headings[1]->top == headings[0]->top);
        QCOMPARE(speedCells.front()->text, first);
        QVERIFY2(speedCells.back()->text.endsWith(last), qPrintable(speedCells.back()->text));
        // Each row's vehicles: the text right after its speed.
        const QStringList texts = test::textsOf(page);
        qint64 counted = 0;
        for (const TextItem* cell : speedCells)
            counted += QString(texts.at(texts.indexOf(cell->text) + 1)).remove(QLatin1Char(',')).toLongLong();
        QCOMPARE(counted, inputs.study->directionFigures(study::Direction::Both).vehicles);
        for (const RectangleItem* box : page.itemsOf<RectangleItem>())
            QVERIFY(box->rect.bottom() < 14400);
    }

    // Two pages under the agency and the title: the surveys, the change in
    // one line, the warnings or the note that there are none, the figures
    // and the tests in order on page 1 (the tests on page 2 when page 1
    // has no room), the curves across the body of page 2; "Before" and
    // "After" only when survey A is the earlier one; nothing out of place.
    void comparisonPages_data()
    {
        QTest::addColumn<QString>("batchA");
        QTest::addColumn<QString>("batchB");
        QTest::addColumn<int>("warnings");
        QTest::addColumn<int>("testsPage");
        QTest::addColumn<bool>("blackAndWhite");
        row("a week before and after", kBefore, kAfter, 0, 1, false);
        row("km/h after mph, another limit, black and white", kBefore, kKph, 1, 1, true);
        row("every warning, the later survey first", kElsewhere, kBefore, 5, 2, false);
    }
    void comparisonPages()
    {
        QFETCH(QString, batchA);
        QFETCH(QString, batchB);
        QFETCH(int, warnings);
        QFETCH(int, testsPage);
        QFETCH(bool, blackAndWhite);
        reports::DocumentInputs inputs = comparisonInputs(batchA, batchB);
        inputs.blackAndWhite = blackAndWhite;
        inputs.agency = QStringLiteral("Springfield County Sheriff's Office Traffic Division");
        const compare::Comparison& c = *inputs.comparison;
        QCOMPARE(int(c.warnings.size()), warnings);
        const reports::PagedDocument document = test::buildDocument(ReportChoice::ComparisonReport, inputs);
        QCOMPARE(document.pages.size(), size_t(2));
        const QStringList faults =
            test::layoutFaults(document) + test::printerModeFaults(document, blackAndWhite);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        const reports::Page& first = document.pages[0];
        const reports::Page& second = document.pages[1];
        const QString words = test::wordsOf(test::textsOf(first));
        const QString secondWords = test::wordsOf(test::textsOf(second));
        QVERIFY(words.startsWith(inputs.agency + QStringLiteral(" Before / After Comparison")));
        QVERIFY(words.endsWith(QStringLiteral(" page1")) && secondWords.endsWith(QStringLiteral(" page2")));

        // Warnings come before the change they put in doubt; the note that
        // the two compare fairly after it.
        QStringList parts{compare::comparisonHeading(c), compare::surveyLine(c, true),
                          compare::surveyLine(c, false), compare::unitNote(c)};
        const QStringList change{c.headline, compare::plainTermsNote()};
        if (warnings > 0) {
            parts << compare::unfairComparisonHeading();
            for (const study::Warning& warning : c.warnings)
                parts << QStringLiteral("\u2022 ") + warning.text;
            parts << change;
        } else {
            parts << change << compare::fairComparisonNote();
        }
        parts << QStringLiteral("The figures side by side") << compare::comparisonColumns(c).mid(1);
        for (const compare::ComparisonRow& figure : compare::comparisonRows(c))
            parts << figure.caption << figure.a << figure.b << figure.change;
        QStringList tests{"Is the change real, or could it be chance?"};
        tests << compare::testColumns();
        for (const compare::TestRow& outcome : compare::testRows(c))
            tests << outcome.question << outcome.test << outcome.statistic << outcome.pValue
                  << outcome.verdict;
        for (const QString& verdict : compare::verdictLines(c))
            tests << QStringLiteral("\u2022 ") + verdict;
        QVERIFY2(test::inOrder(words, testsPage == 1 ? parts + tests : parts), qPrintable(words));
        QCOMPARE(test::inOrder(words, tests), testsPage == 1);
        QCOMPARE(words.contains(QStringLiteral("Before (") + c.a.study.batchNumber + QLatin1Char(')')),
                 c.inOrder());

        // The warnings in their box, or the note that there are none in a lighter one.
        const reports::PageShades& shades = reports::pageShades(blackAndWhite);
        const RectangleItem* box =
            test::noticeBox(first, warnings > 0 ? shades.warningFill : shades.cleanFill);
        QVERIFY(box && !test::noticeBox(first, warnings > 0 ? shades.cleanFill : shades.warningFill));
        const QStringList inside = test::textsIn(first, box->rect);
        QCOMPARE(inside.count(QStringLiteral("\u2022")), warnings);
        QVERIFY(test::wordsOf(inside).startsWith(warnings > 0 ? compare::unfairComparisonHeading()
                                                              : compare::fairComparisonNote()));

        // Page 2: which surveys, the tests when they went over, the curves
        // under their heading, at least 3 inches high across the body.
        QVERIFY(
            secondWords.startsWith(QStringLiteral("%1 Before / After Comparison Batch Numbers: %2 and %3")
                                       .arg(inputs.agency, c.a.study.batchNumber, c.b.study.batchNumber)));
        // Told apart by their dashes as well as their colours.
        const charts::LineGraph curve = compare::comparisonCurve(c, blackAndWhite);
        QVERIFY(curve.series[0].style != curve.series[1].style);
        QVERIFY(test::inOrder(secondWords,
                              testsPage == 2 ? tests + QStringList{curve.title} : QStringList{curve.title}));
        const auto drawings = second.itemsOf<DrawingItem>();
        QCOMPARE(drawings.size(), size_t(1));
        QCOMPARE(drawings[0]->rect.left(), 1440.0);
        QCOMPARE(drawings[0]->rect.width(), 9360.0);
        QVERIFY(drawings[0]->rect.height() >= 3 * reports::kTwipsPerInch);
        QVERIFY(test::findText(second, curve.title)->top < drawings[0]->rect.top());
        QVERIFY(first.itemsOf<DrawingItem>().empty());
    }

    // Without its study or its second survey, one page shows the survey
    // and says what is missing; nothing is drawn.
    void withoutWhatItShows_data()
    {
        QTest::addColumn<int>("document");
        QTest::addColumn<QStringList>("said"); // in this order
        row("no study", kStudy,
            QStringList{"Batch Number: 030226-A", "Vehicles surveyed: 2947",
                        "The speed study of this survey was not worked out"});
        row("no second survey", kComparison,
            QStringList{
                "No second survey was chosen to compare survey 030226-A with: pick one with \"Compare "
                "with...\" on the Speed Study tab."});
    }
    void withoutWhatItShows()
    {
        QFETCH(int, document);
        QFETCH(QStringList, said);
        reports::DocumentInputs inputs = comparisonInputs(kBefore, kAfter);
        inputs.comparison.reset();
        const reports::PagedDocument built = test::buildDocument(ReportChoice(document), inputs);
        QCOMPARE(built.pages.size(), size_t(1));
        const QString words = test::wordsOf(test::textsOf(built.pages[0]));
        QVERIFY2(test::inOrder(words, said), qPrintable(words));
        QVERIFY(built.pages[0].itemsOf<DrawingItem>().empty());
    }

    // Written as a PDF file and read back: the texts of the pages, and the
    // graphs drawn as text and lines, so their labels read back from inside
    // their rectangles: "~" marks a text inside the page's drawing, "!" one
    // outside it, "^" a marker's label inside it, on one line or broken
    // over several. A 95 % interval whose ends read alike with one decimal
    // gets a second: 6,000 vehicles at 30 to 34 mph in turn have a mean of
    // 32.00 within 0.036 mph, the 3,000 of each direction within 0.051.
    void pdfReadsBack_data()
    {
        QTest::addColumn<int>("document");
        QTest::addColumn<QString>("unit");      // of the study; of the comparison, survey B
        QTest::addColumn<QStringList>("lines"); // "page|text"
        for (const QString& unit : {QStringLiteral("MPH"), QStringLiteral("KPH")}) {
            const study::SpeedStudy& study = test::weekStudy(unit);
            const QString u = study::unitText(unit);
            const QString p85 =
                study::formatDecimal(study.directionFigures(study::Direction::Both).percentile(85).ranked);
            QStringList lines{"1|Measured speeds by direction",
                              QStringLiteral("1|85th percentile (%1) %2").arg(u, p85),
                              QStringLiteral("2|^85th percentile %1 %2").arg(p85, u),
                              QStringLiteral("2|^Posted limit 35 %1").arg(u),
                              QStringLiteral("2|~Speed (%1)").arg(u),
                              "2|~Approaching",
                              "2|~Receding",
                              "3|!07:00-08:00",
                              "3|~not surveyed"};
            for (const char* day : {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"})
                lines << QStringLiteral("3|~") + QLatin1String(day);
            QTest::addRow("study in %s", qPrintable(u)) << kStudy << unit << lines;
        }
        QTest::addRow("study of narrow intervals")
            << kStudy << QStringLiteral("narrow")
            << QStringList{"1|31.96 to 32.04 31.9 to 32.1 31.9 to 32.1"};
        for (const QString& batchB : {kAfter, kKph}) {
            const compare::Comparison& c = comparisonOf(kBefore, batchB);
            QStringList lines{"1|Elm Street: before and after",
                              QStringLiteral("1|") + c.headline.section(';', 0, 0) + ';',
                              QStringLiteral("2|~Before (%1)").arg(kBefore),
                              QStringLiteral("2|~After (%1)").arg(batchB),
                              "2|~Speed (mph)",
                              QStringLiteral("2|^85th percentile before %1 mph")
                                  .arg(study::formatDecimal(c.a.figures.percentile85)),
                              QStringLiteral("2|^85th percentile after %1 mph")
                                  .arg(study::formatDecimal(c.b.figures.percentile85))};
            for (const compare::TestRow& outcome : compare::testRows(c))
                lines << QStringLiteral("1|") + QStringList{outcome.question, outcome.test, outcome.statistic,
                                                            outcome.pValue, outcome.verdict}
                                                    .join(' ');
            QTest::addRow("comparison with %s", qPrintable(batchB)) << kComparison << batchB << lines;
        }
    }
    void pdfReadsBack()
    {
        QFETCH(int, document);
        QFETCH(QString, unit);
        QFETCH(QStringList, lines);
        const bool narrow = unit == QLatin1String("narrow");
        reports::DocumentInputs inputs = document == kStudy ? test::documentInputs(narrow ? "MPH" : unit)
                                                            : comparisonInputs(kBefore, unit);
        if (narrow) {
            std::vector<int> speeds(6000);
            for (size_t i = 0; i < speeds.size(); ++i)
                speeds[i] = 30 + int(i / 2 % 5);
            inputs.study = studyOf(dayAtSpeeds(speeds));
        }
        const reports::PagedDocument built = test::buildDocument(ReportChoice(document), inputs);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("report.pdf"));
        QCOMPARE(reports::writePdf(built, file, QStringLiteral("report")), QString());
        const std::vector<test::PdfPage> pages = test::readPdf(file);
        QCOMPARE(pages.size(), built.pages.size());
        for (const QString& line : lines) {
            const size_t page = line.section('|', 0, 0).toUInt() - 1;
            QString text = line.section('|', 1);
            const QChar where = text.at(0);
            const QRectF paper(QPointF(), built.pageSize);
            QRectF drawing;
            if (where == '~' || where == '!' || where == '^') {
                text.remove(0, 1);
                drawing = built.pages[page].itemsOf<DrawingItem>().front()->rect;
            }
            const QRectF area = where == '~' || where == '^' ? drawing : paper;
            QVERIFY2(where == '^' ? hasLabel(pages[page], area, text.split(' '))
                                  : test::hasLine(pages[page], area, text),
                     qPrintable(line));
            QVERIFY2(where != '!' || !test::hasLine(pages[page], drawing, text), qPrintable(line));
        }
    }
};

QTEST_MAIN(TstStudyReports)
#include "tst_studyreports.moc"
