// The speed study report built from the studies of stored surveys: what
// stands on each of its pages and where, the warnings exactly when the study
// has them, the speed bins however spread the speeds are, the printer mode,
// and the pages read back from a PDF file.
#include "DocumentFixture.h"
#include "PdfText.h"
#include "reports/PageComposer.h"
#include "reports/PagePainter.h"
#include "study/StudyTables.h"
#include "study/StudyText.h"

#include <QTemporaryDir>
#include <QTest>

#include <numeric>

using namespace pelmor;
using reports::DrawingItem;
using reports::RectangleItem;
using reports::ReportChoice;
using reports::TextItem;
using test::row;

namespace {

reports::PagedDocument buildReport(const reports::DocumentInputs& inputs)
{
    return test::buildDocument(ReportChoice::SpeedStudyReport, inputs);
}

// The study of a survey stored in a folder of its own.
study::SpeedStudy studyOf(const test::Survey& survey, std::optional<int> threshold = std::nullopt)
{
    test::TempProgramFolder folder;
    test::storeSurvey(folder.databasePath(), survey);
    study::StudyResult result = study::runStudy(
        folder.database(),
        study::StudyInputs::of(survey::loadSurvey(folder.database(), survey.batchNumber), threshold));
    if (!result.ok())
        qFatal("no study: %s", qPrintable(result.message));
    return std::move(*result.study);
}

// Survey 050302-A at a limit of 35 from Monday 05/04/26 06:30 to 21:30,
// open to every doubt: 90 vehicles, 50 approaching, none receding and 40
// of unknown direction; no vehicle from 07:27 to 10:00 nor from 11:27 to
// 15:00; one at 3 and one at 75 mph. Eleven warnings.
test::Survey doubtfulSurvey()
{
    test::Survey survey;
    survey.start = test::at(QStringLiteral("05/04/26 06:30"));
    for (int i = 0; i < 20; ++i)
        survey.offsets.push_back(i * 180);
    for (int i = 0; i < 30; ++i)
        survey.offsets.push_back(12600 + i * 180);
    for (int i = 0; i < 40; ++i)
        survey.offsets.push_back(30600 + i * 600);
    for (int i = 0; i < 90; ++i) {
        survey.speeds.push_back(i == 10 ? 3 : i == 60 ? 75 : 28 + i % 14);
        survey.directions.append(i % 9 < 5 ? '+' : '?');
    }
    survey.durationSeconds = survey.offsets.back();
    return survey;
}

// A day of 240 vehicles from 05/04/26 00:00, at the speeds given one after
// the other over and over.
test::Survey dayAtSpeeds(const std::vector<int>& speeds)
{
    test::Survey survey;
    survey.start = test::at(QStringLiteral("05/04/26 00:00"));
    survey.durationSeconds = 24 * 3600 - 60;
    const size_t count = std::max<size_t>(240, speeds.size());
    for (size_t i = 0; i < count; ++i) {
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

} // namespace

class TstStudyReport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Three pages, each under the agency and the title with the frame's
    // rules and its page number; the survey, the figures, the graphs and
    // the tables each on their page, in the unit of the survey.
    void pages_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("threshold"); // 0: the default, the limit + 10
        row("mph", "MPH", 0);
        row("km/h with a threshold of 50", "KPH", 50);
    }
    void pages()
    {
        QFETCH(QString, unit);
        QFETCH(int, threshold);
        reports::DocumentInputs inputs = test::documentInputs(unit);
        if (threshold > 0)
            study::setThreshold(*inputs.study, threshold);
        const study::SpeedStudy& study = *inputs.study;
        const QString unitText = study::unitText(unit);
        const reports::PagedDocument document = buildReport(inputs);
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
            QCOMPARE(texts.last(), QStringLiteral(" page%1").arg(index + 1));
            QCOMPARE(texts.at(texts.size() - 2), QStringLiteral("Issued:  Apr 02 , 2002"));
        }

        // Page 1: the survey in its box, then the figures by direction in
        // order, each row's caption and its three cells.
        const reports::Page& first = document.pages[0];
        const QStringList firstTexts = test::textsOf(first);
        QVERIFY(test::inOrder(
            firstTexts,
            {study::studyPeriod(study), QStringLiteral("Batch Number: 050302-A"),
             QStringLiteral("Survey Location: Main St"), QStringLiteral("Vehicles surveyed: 1,681"),
             QStringLiteral("Enforcement threshold: %1 %2").arg(study.threshold).arg(unitText)}));
        QStringList figures{QStringLiteral("Figure"), QStringLiteral("Both directions"),
                            QStringLiteral("Approaching"), QStringLiteral("Receding")};
        for (const study::FigureRow& figure : study::figureRows(study))
            figures << figure.caption << QStringList(figure.cells.begin(), figure.cells.end());
        QCOMPARE(test::textsFrom(first, QStringLiteral("Figure")).mid(0, figures.size()), figures);
        QVERIFY(firstTexts.contains(
            QStringLiteral("Over the enforcement threshold, %1 %2").arg(study.threshold).arg(unitText)));

        // Page 2: the S-curve 4.5 inches high across the body, the bins under it.
        const reports::Page& second = document.pages[1];
        QVERIFY(test::findText(second, QStringLiteral("Batch Number: 050302-A    Survey Location: Main St")));
        const auto curves = second.itemsOf<DrawingItem>();
        QCOMPARE(curves.size(), size_t(1));
        const TextItem* curveHeading =
            test::findText(second, QStringLiteral("Cumulative speed distribution"));
        QVERIFY(curveHeading && curveHeading->top < curves[0]->rect.top());
        QCOMPARE(curves[0]->rect.left(), 1440.0);
        QCOMPARE(curves[0]->rect.size(), QSizeF(9360, 6480));
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
        const study::TextTable hours = study::hourlyTable(study);
        QStringList hourTexts;
        for (const QStringList& hour : hours.rows)
            hourTexts << hour;
        const QStringList thirdTexts = test::textsOf(third);
        QVERIFY(test::inOrder(thirdTexts, hourTexts));
        const auto maps = third.itemsOf<DrawingItem>();
        QCOMPARE(maps.size(), size_t(1));
        const TextItem* lastHour = test::findText(third, QStringLiteral("23:00-00:00"));
        QVERIFY(lastHour && lastHour->top < maps[0]->rect.top());
        QCOMPARE(maps[0]->rect.left(), 1440.0);
        QCOMPARE(maps[0]->rect.width(), 9360.0);
        QVERIFY(maps[0]->rect.height() > 2.5 * reports::kTwipsPerInch);
        QVERIFY(maps[0]->rect.bottom() < 14400);
    }

    // Every text, box and drawing of every page inside the frame; no text
    // on another, on a rule or on a drawing, with long names and in the
    // most crowded case, eleven warnings, a survey of a million vehicles.
    void nothingClippedOrOverlapping_data()
    {
        QTest::addColumn<QString>("survey");
        QTest::addColumn<QString>("unit");
        row("a clean week in mph", "week", "MPH");
        row("a clean week in km/h", "week", "KPH");
        row("every warning", "doubtful", "MPH");
        row("counts in the millions", "millions", "KPH");
    }
    void nothingClippedOrOverlapping()
    {
        QFETCH(QString, survey);
        QFETCH(QString, unit);
        reports::DocumentInputs inputs = test::documentInputs(unit);
        inputs.agency = QStringLiteral("Springfield County Sheriff's Office Traffic Division");
        inputs.survey.header.location = QStringLiteral("Elm Street at Oak Avenue, northbound lane");
        if (survey == QLatin1String("doubtful")) {
            inputs.study = studyOf(doubtfulSurvey());
            QCOMPARE(study::warningLines(*inputs.study).size(), 11);
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
        const reports::PagedDocument document = buildReport(inputs);
        QCOMPARE(document.pages.size(), size_t(3));
        const QStringList faults = test::layoutFaults(document);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

    // The warnings stand in a shaded box under the survey, one line after a
    // bullet for each line of the study's warnings; a study without any
    // says so in a lighter box.
    void warnings_data()
    {
        QTest::addColumn<QString>("survey");
        QTest::addColumn<bool>("blackAndWhite");
        QTest::addColumn<QColor>("fill");
        row("a clean week", "week", false, QColor(227, 244, 230));
        row("a clean week in black and white", "week", true, QColor(255, 255, 255));
        row("every warning", "doubtful", false, QColor(255, 243, 205));
        row("every warning in black and white", "doubtful", true, QColor(232, 232, 232));
        row("a partial last hour", "partial", false, QColor(255, 243, 205));
    }
    void warnings()
    {
        QFETCH(QString, survey);
        QFETCH(bool, blackAndWhite);
        QFETCH(QColor, fill);
        reports::DocumentInputs inputs = test::documentInputs();
        inputs.blackAndWhite = blackAndWhite;
        if (survey == QLatin1String("doubtful")) {
            inputs.study = studyOf(doubtfulSurvey());
        } else if (survey == QLatin1String("partial")) {
            test::Survey week = dayAtSpeeds({30, 33, 36});
            week.durationSeconds = 7 * 24 * 3600 - 30 * 60;
            inputs.study = studyOf(week);
        }
        const QStringList lines = study::warningLines(*inputs.study);
        const reports::PagedDocument document = buildReport(inputs);
        const reports::Page& page = document.pages.at(0);
        const RectangleItem* box = test::warningBox(page);
        QVERIFY(box);
        QCOMPARE(*box->fill, fill);
        const TextItem* vehicles =
            test::findText(page, QStringLiteral("Unknown direction: ") +
                                     study::formatCount(inputs.study->directions[0].vehicles -
                                                        inputs.study->directions[1].vehicles -
                                                        inputs.study->directions[2].vehicles));
        QVERIFY(vehicles && vehicles->top < box->rect.top());
        const TextItem* figures = test::findText(page, QStringLiteral("Measured speeds by direction"));
        QVERIFY(figures && figures->top > box->rect.bottom());

        const QStringList inside = test::textsIn(page, box->rect);
        QCOMPARE(inside.count(QStringLiteral("\u2022")), lines.size());
        if (lines.isEmpty()) {
            QCOMPARE(inside, QStringList{study::noWarningsText()});
            return;
        }
        QCOMPARE(inside.first(), study::warningsHeading());
        // Each warning after its bullet, wrapped where it is long.
        QString expected = study::warningsHeading();
        for (const QString& line : lines)
            expected += QStringLiteral(" \u2022 ") + line;
        QCOMPARE(test::wordsOf(inside), expected.simplified());
    }

    // The 85th percentile's row of the figures is shaded across the table;
    // no other row of the figures is.
    void keyRowShaded_data()
    {
        QTest::addColumn<bool>("blackAndWhite");
        QTest::addColumn<QColor>("shade");
        row("colour", false, QColor(255, 236, 153));
        row("black and white", true, QColor(236, 236, 236));
    }
    void keyRowShaded()
    {
        QFETCH(bool, blackAndWhite);
        QFETCH(QColor, shade);
        reports::DocumentInputs inputs = test::documentInputs();
        inputs.blackAndWhite = blackAndWhite;
        const reports::PagedDocument document = buildReport(inputs);
        const reports::Page& page = document.pages.at(0);
        const TextItem* caption = test::findText(page, QStringLiteral("85th percentile (mph)"));
        QVERIFY(caption);
        const TextItem* heading = test::findText(page, QStringLiteral("Figure"));
        int shaded = 0;
        for (const RectangleItem* cell : page.itemsOf<RectangleItem>()) {
            if (cell->rect.top() <= heading->top || !cell->fill)
                continue;
            QCOMPARE(*cell->fill, shade);
            QVERIFY(cell->rect.top() < caption->top && cell->rect.bottom() > caption->baseline);
            ++shaded;
        }
        QCOMPARE(shaded, 4);
    }

    // The speed bins in one table or two side by side; when they would not
    // fit the page, those without vehicles are left out, and when even that
    // is too many, the fastest fold into one row. Every vehicle is counted
    // once whatever the way.
    void speedBins_data()
    {
        QTest::addColumn<std::vector<int>>("speeds");
        QTest::addColumn<int>("tables");
        QTest::addColumn<QStringList>("first"); // the speed cells of the first and last rows
        QTest::addColumn<QString>("last");
        row("three bins", speedsFrom(30, 44), 1, QStringList{"30 to 34"}, "40 to 44");
        row("thirteen bins", speedsFrom(10, 74), 2, QStringList{"10 to 14"}, "70 to 74");
        std::vector<int> outliers(200, 36);
        outliers.insert(outliers.end(), {150, 299});
        row("freak readings", outliers, 1, QStringList{"35 to 39"}, "295 to 299");
        row("every speed up to 300", speedsFrom(1, 300), 2, QStringList{"0 to 4"}, "and over");
    }
    void speedBins()
    {
        QFETCH(std::vector<int>, speeds);
        QFETCH(int, tables);
        QFETCH(QStringList, first);
        QFETCH(QString, last);
        reports::DocumentInputs inputs = test::documentInputs();
        inputs.study = studyOf(dayAtSpeeds(speeds));
        const reports::PagedDocument document = buildReport(inputs);
        const reports::Page& page = document.pages.at(1);
        const QString heading = QStringLiteral("Speed bins of 5 mph, both directions");
        const TextItem* title = test::findText(page, heading);
        QVERIFY(title);
        // The heading rows: "Speed (mph)" once per table.
        std::vector<const TextItem*> headings;
        std::vector<const TextItem*> speedCells;
        qint64 counted = 0;
        for (const TextItem* item : page.itemsOf<TextItem>()) {
            if (item->top <= title->top || item->font.pointSize > 9 ||
                item->text.startsWith(QLatin1String("Issued")) ||
                item->text.startsWith(QLatin1String(" page")))
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
        QCOMPARE(speedCells.front()->text, first.first());
        QVERIFY2(speedCells.back()->text.endsWith(last), qPrintable(speedCells.back()->text));
        // Each row's vehicles: the text right after its speed.
        const QStringList texts = test::textsOf(page);
        for (const TextItem* cell : speedCells)
            counted += QString(texts.at(texts.indexOf(cell->text) + 1)).remove(QLatin1Char(',')).toLongLong();
        QCOMPARE(counted, inputs.study->figures(study::Direction::Both).vehicles);
        for (const RectangleItem* box : page.itemsOf<RectangleItem>())
            QVERIFY(box->rect.bottom() < 14400);
    }

    // For a black-and-white printer every page is drawn in greys; in colour
    // the graphs and the boxes have their colours.
    void printerMode_data() { test::printerModeRows(); }
    void printerMode()
    {
        QFETCH(bool, blackAndWhite);
        reports::DocumentInputs inputs = test::documentInputs();
        inputs.study = studyOf(doubtfulSurvey());
        inputs.blackAndWhite = blackAndWhite;
        const reports::PagedDocument document = buildReport(inputs);
        QCOMPARE(document.pages.size(), size_t(3));
        const QStringList faults = test::printerModeFaults(document, blackAndWhite);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

    // Written as a PDF file and read back: three Letter pages whose texts
    // stand where the items say, and the graphs drawn as text and lines, so
    // their labels read back from inside their rectangles.
    void pdfReadsBack_data()
    {
        QTest::addColumn<QString>("unit");
        row("mph", "MPH");
        row("km/h", "KPH");
    }
    void pdfReadsBack()
    {
        QFETCH(QString, unit);
        const reports::DocumentInputs inputs = test::documentInputs(unit);
        const study::SpeedStudy& study = *inputs.study;
        const reports::PagedDocument document = buildReport(inputs);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("study.pdf"));
        QCOMPARE(reports::writePdf(document, file, QStringLiteral("Speed Study Report")), QString());
        const std::vector<test::PdfPage> pages = test::readPdf(file);
        QCOMPARE(pages.size(), size_t(3));
        QVERIFY(pages[0].text().contains(QStringLiteral("Measured speeds by direction")));
        QVERIFY(pages[0].text().contains(study::warningsHeading()) == !study.warnings.empty());
        const QString p85 = study::formatDecimal(study.figures(study::Direction::Both).percentile(85).ranked);
        const QString unitText = study::unitText(unit);
        const QRectF page = QRectF(QPointF(), document.pageSize);
        QVERIFY(test::hasLine(pages[0], page, QStringLiteral("85th percentile (%1) %2").arg(unitText, p85)));
        // The graphs' own texts, inside their drawings.
        const QRectF curve = document.pages[1].itemsOf<DrawingItem>().front()->rect;
        QVERIFY(test::hasLine(pages[1], curve, QStringLiteral("85th percentile %1 %2").arg(p85, unitText)));
        QVERIFY(test::hasLine(pages[1], curve, QStringLiteral("Posted limit 35 %1").arg(unitText)));
        QVERIFY(test::hasLine(pages[1], curve, QStringLiteral("Speed (%1)").arg(unitText)));
        QVERIFY(test::hasLine(pages[1], curve, QStringLiteral("Approaching")));
        QVERIFY(test::hasLine(pages[1], curve, QStringLiteral("Receding")));
        const QRectF map = document.pages[2].itemsOf<DrawingItem>().front()->rect;
        for (const char* day : {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"})
            QVERIFY2(test::hasLine(pages[2], map, QLatin1String(day)), day);
        QVERIFY(test::hasLine(pages[2], map, QStringLiteral("not surveyed")));
        QVERIFY(!test::hasLine(pages[2], map, QStringLiteral("07:00-08:00")));
        QVERIFY(test::hasLine(pages[2], page, QStringLiteral("07:00-08:00")));
    }

    // Without a study the first page shows the survey and says there is
    // none; nothing is drawn.
    void withoutStudy()
    {
        reports::DocumentInputs inputs = test::documentInputs();
        inputs.study.reset();
        const reports::PagedDocument document = buildReport(inputs);
        QCOMPARE(document.pages.size(), size_t(1));
        const QStringList texts = test::textsOf(document.pages[0]);
        QVERIFY(texts.contains(QStringLiteral("Batch Number: 050302-A")));
        QVERIFY(texts.contains(QStringLiteral("Vehicles surveyed: 2947")));
        QVERIFY(test::wordsOf(texts).contains(
            QStringLiteral("The speed study of this survey was not worked out")));
        QVERIFY(document.pages[0].itemsOf<DrawingItem>().empty());
    }
};

QTEST_MAIN(TstStudyReport)
#include "tst_studyreport.moc"
