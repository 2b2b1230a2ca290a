#include "reports/ComparisonReport.h"

#include "charts/LineGraphRenderer.h"
#include "compare/ComparisonGraph.h"
#include "compare/ComparisonTables.h"
#include "reports/FramedPages.h"
#include "reports/ReportChoice.h"
#include "study/StudyText.h"

#include <QPainter>

#include <algorithm>

namespace pelmor::reports {
namespace {

using namespace framed;

// The S-curves: as tall as on the speed study report where the page has
// the room, never shorter than this.
constexpr double kCurveHeight = 4.5 * kTwipsPerInch;
constexpr double kShortestCurve = 3 * kTwipsPerInch;

class ComparisonReportWriter : private FramedPageWriter {
public:
    ComparisonReportWriter(PageComposer& page, const DocumentInputs& inputs)
        : FramedPageWriter(page, inputs, documentName(ReportChoice::ComparisonReport))
        , m_comparison(inputs.comparison ? &*inputs.comparison : nullptr)
    {
    }

    void write()
    {
        beginPage();
        if (!m_comparison) {
            printNote(QStringLiteral("No second survey was chosen to compare survey %1 with: pick one with "
                                     "\"Compare with...\" on the Speed Study tab.")
                          .arg(m_inputs.survey.header.batchNumber),
                      10);
            return;
        }
        const compare::Comparison& c = *m_comparison;
        printSurveys();
        QStringList warnings;
        for (const study::Warning& warning : c.warnings)
            warnings << warning.text;
        // What may make the comparison unfair is read before the change it
        // would put in doubt; a fair comparison says so after it.
        if (!warnings.isEmpty())
            printNoticeBox(compare::unfairComparisonHeading(), warnings, QString());
        printHeadline();
        if (warnings.isEmpty())
            printNoticeBox(compare::unfairComparisonHeading(), warnings, compare::fairComparisonNote());
        printFigures();
        const bool testsOnFirstPage = testsHeight() <= roomLeft();
        if (testsOnFirstPage)
            printTests();

        beginPage(pageLine());
        if (!testsOnFirstPage)
            printTests();
        printCurves();
    }

private:
    // The heading, and the two surveys in a box across the frame with the
    // unit their speeds are shown in.
    void printSurveys()
    {
        const compare::Comparison& c = *m_comparison;
        setSpan(kBodyLeft, kBodyRight);
        setFont(13, true);
        m_page.printLine(compare::comparisonHeading(c));
        skip(kHeadingGap);
        const double top = m_page.currentY();
        m_page.setCurrentY(top + kBoxPadding);
        setFont(10);
        m_page.printLine(compare::surveyLine(c, true));
        m_page.printLine(compare::surveyLine(c, false));
        setFont(9);
        m_page.printLine(compare::unitNote(c));
        const double bottom = m_page.currentY() + kBoxPadding;
        m_page.setPenWidth(25);
        m_page.setLineColour(Qt::black);
        m_page.setBrushStyle(BrushStyle::None);
        m_page.drawRectangle(kFrameLeft, top, kFrameRight, bottom);
        m_page.setCurrentY(bottom + kBlockGap);
    }

    // The change in one line, large, and what its terms mean, in a shaded box.
    void printHeadline()
    {
        const compare::Comparison& c = *m_comparison;
        const double top = m_page.currentY();
        setSpan(kBodyLeft, kBodyRight);
        setFont(13, true);
        const double headline = m_page.paragraphHeight(c.headline);
        setFont(9);
        const double height =
            2 * kBoxPadding + headline + kHeadingGap + m_page.paragraphHeight(compare::plainTermsNote());
        m_page.setLineColour(m_inputs.blackAndWhite ? QColor(Qt::black) : QColor(31, 78, 140));
        m_page.setPenWidth(25);
        m_page.setBrushStyle(BrushStyle::Solid);
        m_page.setBrushColour(m_shades.headingRow);
        m_page.drawRectangle(kFrameLeft, top, kFrameRight, top + height);
        m_page.setBrushStyle(BrushStyle::None);
        m_page.setLineColour(Qt::black);

        m_page.setCurrentY(top + kBoxPadding);
        setFont(13, true);
        m_page.printLine(c.headline);
        skip(kHeadingGap);
        setFont(9);
        m_page.printLine(compare::plainTermsNote());
        m_page.setCurrentY(top + height + kBlockGap);
    }

    // The figures of both surveys and their changes, the 85th percentile's
    // row picked out.
    void printFigures()
    {
        const compare::Comparison& c = *m_comparison;
        printHeading(QStringLiteral("The figures side by side"));
        TableSpec tableLayout;
        tableLayout.widths = {2960, 2000, 2000, 2400};
        tableLayout.columns = compare::comparisonColumns(c);
        for (const compare::ComparisonRow& row : compare::comparisonRows(c))
            tableLayout.rows.push_back({row.caption, row.a, row.b, row.change});
        tableLayout.pickOutRow(QStringLiteral("85th percentile"), m_shades);
        placeTable(kBodyLeft, tableLayout);
        skip(kHeadingGap);
        printNote(changeNote(), 8);
        skip(kBlockGap);
    }

    QString changeNote() const
    {
        const compare::Comparison& c = *m_comparison;
        const QString change = c.inOrder() ? QStringLiteral("after minus before")
                                           : QStringLiteral("survey %1 minus survey %2")
                                                 .arg(c.b.study.batchNumber, c.a.study.batchNumber);
        return QStringLiteral("Change: %1. A share over the limit changes in percentage points: from 20.0 % "
                              "to 15.0 % is -5.0 percentage points. Vehicles per day: all the vehicles of a "
                              "survey divided by the days it lasted.")
            .arg(change);
    }

    TableSpec testsTable() const
    {
        TableSpec tableLayout;
        tableLayout.widths = {3000, 2160, 1200, 1500, 1500};
        tableLayout.columns = compare::testColumns();
        for (const compare::TestRow& row : compare::testRows(*m_comparison))
            tableLayout.rows.push_back({row.question, row.test, row.statistic, row.pValue, row.verdict});
        tableLayout.leftColumns = {1, 2};
        return tableLayout;
    }

    static QString testsHeading() { return QStringLiteral("Is the change real, or could it be chance?"); }

    // How tall printTests() makes its part of the page.
    double testsHeight()
    {
        setSpan(kBodyLeft, kBodyRight);
        setFont(12, true);
        const double heading = m_page.paragraphHeight(testsHeading()) + kHeadingGap;
        const double table = tableHeight(testsTable());
        setFont(10);
        return heading + table + kBlockGap + bulletsHeight(compare::verdictLines(*m_comparison));
    }

    // The three tests in a table, then their verdicts in words.
    void printTests()
    {
        printHeading(testsHeading());
        placeTable(kBodyLeft, testsTable());
        skip(kBlockGap);
        setFont(10);
        printBullets(compare::verdictLines(*m_comparison));
        skip(kBlockGap);
    }

    // The two S-curves over each other, and how to read them.
    void printCurves()
    {
        charts::LineGraph curve = compare::comparisonCurve(*m_comparison, m_inputs.blackAndWhite);
        printHeading(curve.title);
        curve.title.clear(); // the heading above says it
        printNote(curveGuide(), 9);
        skip(kHeadingGap);
        const QStringList readings = curveReadings();
        setSpan(kBodyLeft, kBodyRight);
        setFont(12, true);
        double below = kBlockGap + m_page.paragraphHeight(readingsHeading()) + kHeadingGap;
        setFont(10);
        below += bulletsHeight(readings);
        const double height = std::max(kShortestCurve, std::min(kCurveHeight, roomLeft() - below));
        placeChart(height, [curve](QPainter& painter, const QSize& size) {
            charts::LineGraphRenderer(curve, size).paint(painter);
        });
        skip(kBlockGap);
        printHeading(readingsHeading());
        printBullets(readings);
    }

    static QString readingsHeading() { return QStringLiteral("What the graph shows"); }

    // The curves read at the posted limit, at 50 % and at 85 %, in words.
    QStringList curveReadings() const
    {
        const compare::Comparison& c = *m_comparison;
        const compare::SideFigures& a = c.a.figures;
        const compare::SideFigures& b = c.b.figures;
        const QString unit = QLatin1Char(' ') + study::unitText(c.unit);
        const auto speeds = [&](double speedA, double speedB) {
            return compare::bothValues(c, study::formatDecimal(speedA) + unit,
                                       study::formatDecimal(speedB) + unit);
        };
        const QString keptToLimit =
            compare::sameLimit(c)
                ? QStringLiteral("Vehicles at or below the posted limit of %1: %2.")
                      .arg(compare::limitText(c.a, c.unit),
                           compare::bothValues(c, study::formatPercent(100 - a.percentOverLimit),
                                               study::formatPercent(100 - b.percentOverLimit)))
                : QStringLiteral("Vehicles at or below their own survey's posted limit: %1.")
                      .arg(compare::bothValues(c,
                                               QStringLiteral("%1 at %2")
                                                   .arg(study::formatPercent(100 - a.percentOverLimit),
                                                        compare::limitText(c.a, c.unit)),
                                               QStringLiteral("%1 at %2")
                                                   .arg(study::formatPercent(100 - b.percentOverLimit),
                                                        compare::limitText(c.b, c.unit))));
        return {keptToLimit,
                QStringLiteral("Half of the vehicles drove at or below %1.")
                    .arg(speeds(a.percentile50, b.percentile50)),
                QStringLiteral("85 of every 100 vehicles drove at or below %1.")
                    .arg(speeds(a.percentile85, b.percentile85))};
    }

    QString curveGuide() const
    {
        const compare::Comparison& c = *m_comparison;
        const auto name = [&c](bool sideA) {
            return c.inOrder() ? compare::sideName(c, sideA).toLower()
                               : QStringLiteral("survey ") + (sideA ? c.a : c.b).study.batchNumber;
        };
        return QStringLiteral(
                   "Each line shows, for every speed along the bottom, the per cent of the vehicles "
                   "that drove at or below it: the solid line %1, the dashed line %2. Where the "
                   "dashed line stands to the left of the solid one, the vehicles of %3 drove "
                   "slower. The dotted lines across mark half of the vehicles (50 %) and 85 of every "
                   "100 (85 %).")
            .arg(name(true), name(false), c.inOrder() ? QStringLiteral("the survey after") : name(false));
    }

    // Which surveys the second page belongs to.
    QString pageLine() const
    {
        const compare::Comparison& c = *m_comparison;
        const QString placeA = c.a.location.simplified();
        const QString placeB = c.b.location.simplified();
        const QString places = placeA.compare(placeB, Qt::CaseInsensitive) == 0
                                   ? QStringLiteral("Survey Location: ") + placeA
                                   : QStringLiteral("Survey Locations: %1 and %2").arg(placeA, placeB);
        return QStringLiteral("Batch Numbers: %1 and %2    %3")
            .arg(c.a.study.batchNumber, c.b.study.batchNumber, places);
    }

    const compare::Comparison* m_comparison;
};

} // namespace

std::optional<PagedDocument> buildComparisonReport(const DocumentInputs& inputs)
{
    return buildFramedDocument(
        inputs, [&inputs](PageComposer& page) { ComparisonReportWriter(page, inputs).write(); });
}

} // namespace pelmor::reports
