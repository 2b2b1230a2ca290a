// The comparison of two surveys on paper, built from the comparisons of
// stored surveys: what stands on its two pages and in which order, the
// warnings exactly when the comparison has them, the tests going over to
// the second page when the first is full, the printer mode, and the pages
// read back from a PDF file.
#include "CompareFixture.h"
#include "DocumentFixture.h"
#include "compare/ComparisonGraph.h"
#include "compare/ComparisonTables.h"
#include "reports/FramedPages.h"
#include "study/StudyText.h"

#include <QTemporaryDir>
#include <QTest>

#include <map>

using namespace pelmor;
using reports::DrawingItem;
using reports::RectangleItem;
using reports::ReportChoice;
using reports::TextItem;
using test::row;

namespace {

const QString kBefore = QStringLiteral("030226-A");
const QString kAfter = QStringLiteral("030926-A");
const QString kKph = QStringLiteral("031626-A");
const QString kElsewhere = QStringLiteral("032126-B");

// The comparison of two of the surveys, stored once in a folder of their
// own: a week of 2,000 vehicles on Elm Street at 38 mph on average, the
// next week 3 mph slower, the week after that in km/h at a posted limit of
// 50 km/h, and two weekend days on a long-named street elsewhere, going
// the other way, at another limit.
const compare::Comparison& comparisonOf(const QString& batchA, const QString& batchB)
{
    static std::map<std::pair<QString, QString>, compare::Comparison> made;
    static test::TempProgramFolder folder;
    static bool stored = false;
    if (!stored) {
        stored = true;
        const QString path = folder.databasePath();
        const QDateTime monday = test::firstMonday();
        test::storeSurvey(path, test::streetSurvey(kBefore, test::normalSpeeds(2000, 38, 6, 1), monday, 7));
        test::storeSurvey(
            path, test::streetSurvey(kAfter, test::normalSpeeds(2000, 35, 6, 2), monday.addDays(7), 7));
        test::Survey kph = test::streetSurvey(
            kKph,
            test::normalSpeeds(2000, 35 * compare::kKilometresPerMile, 6 * compare::kKilometresPerMile, 3),
            monday.addDays(14), 7);
        kph.unit = QStringLiteral("KPH");
        kph.postedSpeed = QStringLiteral("050");
        test::storeSurvey(path, kph);
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

reports::DocumentInputs inputsFor(const QString& batchA, const QString& batchB)
{
    reports::DocumentInputs inputs = test::documentInputs();
    inputs.survey.header.batchNumber = inputs.survey.batchNumber = batchA;
    inputs.study.reset();
    inputs.comparison = comparisonOf(batchA, batchB);
    return inputs;
}

reports::PagedDocument buildReport(const reports::DocumentInputs& inputs)
{
    return test::buildDocument(ReportChoice::ComparisonReport, inputs);
}

// Where each of `parts` starts in the words of a page, in the order given;
// -1 for the first that is not there after the one before.
qsizetype positionsInOrder(const QString& words, const QStringList& parts)
{
    qsizetype at = 0;
    for (const QString& part : parts) {
        const QString wanted = part.simplified();
        at = words.indexOf(wanted, at);
        if (at < 0)
            return -1;
        at += wanted.size();
    }
    return at;
}

// The box of the warnings, or of the note that there are none: the one
// filled with the shade of either.
const RectangleItem* noticeBox(const reports::Page& page, bool blackAndWhite, bool warnings)
{
    const reports::PageShades& shades = reports::pageShades(blackAndWhite);
    const QColor fill = warnings ? shades.warningFill : shades.cleanFill;
    for (const RectangleItem* box : page.itemsOf<RectangleItem>()) {
        if (box->fill == fill && box->rect.left() == 1008 && box->rect.right() == 11088)
            return box;
    }
    return nullptr;
}

} // namespace

class TstComparisonReport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Two pages under the agency and the title: the surveys, the change in
    // one line, the warnings or the note that there are none, the figures
    // and the tests in order on page 1 (the tests on page 2 when page 1
    // has no room), the curves across the body of page 2; "Before" and
    // "After" only when survey A is the earlier one; nothing out of place.
    void pages_data()
    {
        QTest::addColumn<QString>("batchA");
        QTest::addColumn<QString>("batchB");
        QTest::addColumn<int>("warnings");
        QTest::addColumn<int>("testsPage");
        row("a week before and after", kBefore, kAfter, 0, 1);
        row("km/h after mph, another limit", kBefore, kKph, 1, 1);
        row("every warning, the later survey first", kElsewhere, kBefore, 5, 2);
    }
    void pages()
    {
        QFETCH(QString, batchA);
        QFETCH(QString, batchB);
        QFETCH(int, warnings);
        QFETCH(int, testsPage);
        reports::DocumentInputs inputs = inputsFor(batchA, batchB);
        inputs.agency = QStringLiteral("Springfield County Sheriff's Office Traffic Division");
        const compare::Comparison& c = *inputs.comparison;
        QCOMPARE(int(c.warnings.size()), warnings);
        const reports::PagedDocument document = buildReport(inputs);
        QCOMPARE(document.pages.size(), size_t(2));
        const QStringList faults = test::layoutFaults(document);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        for (size_t index = 0; index < 2; ++index) {
            const QStringList texts = test::textsOf(document.pages[index]);
            QVERIFY(test::inOrder(texts, {inputs.agency, QStringLiteral("Before / After Comparison")}));
            QCOMPARE(texts.last(), QStringLiteral(" page%1").arg(index + 1));
        }

        const reports::Page& first = document.pages[0];
        const QString words = test::wordsOf(test::textsOf(first));
        QStringList parts{compare::comparisonHeading(c),
                          compare::surveyLine(c, true),
                          compare::surveyLine(c, false),
                          compare::unitNote(c),
                          c.headline,
                          compare::plainTermsNote()};
        if (warnings > 0)
            parts << compare::unfairComparisonHeading();
        for (const study::Warning& warning : c.warnings)
            parts << QStringLiteral("\u2022 ") + warning.text;
        if (warnings == 0)
            parts << compare::fairComparisonNote();
        parts << QStringLiteral("The figures side by side") << compare::comparisonColumns(c).mid(1);
        for (const compare::ComparisonRow& figure : compare::comparisonRows(c))
            parts << figure.caption << figure.a << figure.b << figure.change;
        QStringList tests{QStringLiteral("Is the change real, or could it be chance?")};
        tests << compare::testColumns();
        for (const compare::TestRow& outcome : compare::testRows(c))
            tests << outcome.question << outcome.test << outcome.statistic << outcome.pValue
                  << outcome.verdict;
        for (const QString& verdict : compare::verdictLines(c))
            tests << QStringLiteral("\u2022 ") + verdict;
        if (testsPage == 1)
            parts << tests;
        QVERIFY2(positionsInOrder(words, parts) > 0, qPrintable(words));
        QCOMPARE(words.contains(QStringLiteral("Before (") + c.a.study.batchNumber + QLatin1Char(')')),
                 c.inOrder());

        // The warnings in their box, or the note that there are none in its own.
        const RectangleItem* box = noticeBox(first, false, warnings > 0);
        QVERIFY(box);
        QVERIFY(!noticeBox(first, false, warnings == 0));
        const QStringList inside = test::textsIn(first, box->rect);
        QCOMPARE(inside.count(QStringLiteral("\u2022")), warnings);
        QVERIFY(test::wordsOf(inside).startsWith(warnings > 0 ? compare::unfairComparisonHeading()
                                                              : compare::fairComparisonNote()));

        // Page 2: which surveys, the tests when they went over, the curves
        // under their heading, at least 3 inches high across the body.
        const reports::Page& second = document.pages[1];
        const QString secondWords = test::wordsOf(test::textsOf(second));
        QVERIFY(
            secondWords.startsWith(QStringLiteral("%1 Before / After Comparison Batch Numbers: %2 and %3")
                                       .arg(inputs.agency, c.a.study.batchNumber, c.b.study.batchNumber)));
        const charts::LineGraph curve = compare::comparisonCurve(c);
        QVERIFY(positionsInOrder(secondWords, testsPage == 2 ? tests + QStringList{curve.title}
                                                             : QStringList{curve.title}) > 0);
        QCOMPARE(positionsInOrder(words, tests) > 0, testsPage == 1);
        const auto drawings = second.itemsOf<DrawingItem>();
        QCOMPARE(drawings.size(), size_t(1));
        QCOMPARE(drawings[0]->rect.left(), 1440.0);
        QCOMPARE(drawings[0]->rect.width(), 9360.0);
        QVERIFY(drawings[0]->rect.height() >= 3 * reports::kTwipsPerInch);
        QVERIFY(test::findText(second, curve.title)->top < drawings[0]->rect.top());
        QVERIFY(first.itemsOf<DrawingItem>().empty());
    }

    // Without a comparison one page names the survey and says what to do.
    void withoutComparison()
    {
        reports::DocumentInputs inputs = inputsFor(kBefore, kAfter);
        inputs.comparison.reset();
        const reports::PagedDocument document = buildReport(inputs);
        QCOMPARE(document.pages.size(), size_t(1));
        QVERIFY(
            test::wordsOf(test::textsOf(document.pages[0]))
                .contains(QStringLiteral("No second survey was chosen to compare survey 030226-A with: pick "
                                         "one with \"Compare with...\" on the Speed Study tab.")));
        QVERIFY(document.pages[0].itemsOf<DrawingItem>().empty());
    }

    // For a black-and-white printer both pages are drawn in greys, the two
    // curves told apart by their dashes; in colour each page has colours.
    void printerMode_data() { test::printerModeRows(); }
    void printerMode()
    {
        QFETCH(bool, blackAndWhite);
        reports::DocumentInputs inputs = inputsFor(kBefore, kKph);
        inputs.blackAndWhite = blackAndWhite;
        const QStringList faults = test::printerModeFaults(buildReport(inputs), blackAndWhite);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        const charts::LineGraph curve = compare::comparisonCurve(*inputs.comparison, blackAndWhite);
        QVERIFY(curve.series[0].style != curve.series[1].style);
    }

    // Written as a PDF file and read back: two pages, the change and the
    // tests on the first, the curves drawn as text and lines on the
    // second, so their labels read back from inside their rectangle.
    void pdfReadsBack_data()
    {
        QTest::addColumn<QString>("batchB");
        QTest::addColumn<QString>("unit");
        row("mph", kAfter, "mph");
        row("km/h converted to mph", kKph, "mph");
    }
    void pdfReadsBack()
    {
        QFETCH(QString, batchB);
        QFETCH(QString, unit);
        const reports::DocumentInputs inputs = inputsFor(kBefore, batchB);
        const compare::Comparison& c = *inputs.comparison;
        const reports::PagedDocument document = buildReport(inputs);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("comparison.pdf"));
        QCOMPARE(reports::writePdf(document, file, QStringLiteral("Before / After Comparison")), QString());
        const std::vector<test::PdfPage> pages = test::readPdf(file);
        QCOMPARE(pages.size(), size_t(2));
        const QString firstText = pages[0].text();
        QVERIFY(firstText.contains(QStringLiteral("Elm Street: before and after")));
        QVERIFY(firstText.contains(c.headline.section(QLatin1Char(';'), 0, 0)));
        const QRectF page = QRectF(QPointF(), document.pageSize);
        for (const compare::TestRow& outcome : compare::testRows(c))
            QVERIFY2(test::hasLine(pages[0], page,
                                   QStringList{outcome.question, outcome.test, outcome.statistic,
                                               outcome.pValue, outcome.verdict}
                                       .join(QLatin1Char(' '))),
                     qPrintable(outcome.question));
        const QRectF curve = document.pages[1].itemsOf<DrawingItem>().front()->rect;
        for (const QString& label :
             {QStringLiteral("Before (%1)").arg(kBefore), QStringLiteral("After (%1)").arg(batchB),
              QStringLiteral("Speed (%1)").arg(unit),
              QStringLiteral("85th percentile before %1 %2")
                  .arg(study::formatDecimal(c.a.figures.percentile85), unit),
              QStringLiteral("85th percentile after %1 %2")
                  .arg(study::formatDecimal(c.b.figures.percentile85), unit)})
            QVERIFY2(test::hasLine(pages[1], curve, label), qPrintable(label));
    }
};

QTEST_MAIN(TstComparisonReport)
#include "tst_comparisonreport.moc"
