#include "reports/StudyReport.h"

#include "charts/HeatMapRenderer.h"
#include "charts/LineGraphRenderer.h"
#include "reports/FramedPages.h"
#include "study/StudyGraphs.h"
#include "study/StudyTables.h"
#include "study/StudyText.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <functional>

namespace pelmor::reports {
namespace {

using study::Direction;
using namespace framed;

// The speed bins go in two tables side by side once there are more than this.
constexpr size_t kBinsInOneTable = 8;

class StudyReportWriter : private FramedPageWriter {
public:
    StudyReportWriter(PageComposer& page, const DocumentInputs& inputs)
        : FramedPageWriter(page, inputs, QStringLiteral("Speed Study Report"))
        , m_study(inputs.study ? &*inputs.study : nullptr)
    {
    }

    void write()
    {
        beginPage();
        printSurveyBlock();
        if (!m_study) {
            printNote(QStringLiteral("The speed study of this survey was not worked out: it has no vehicles "
                                     "that could be read."),
                      10);
            return;
        }
        printNoticeBox(study::warningsHeading(), study::warningLines(*m_study), study::noWarningsText());
        printFigures();

        const QString pageLine =
            QStringLiteral("Batch Number: %1    Survey Location: %2")
                .arg(m_inputs.survey.header.batchNumber, m_inputs.survey.header.location);
        beginPage(pageLine);
        printSpeedDistribution();
        printSpeedBins();

        beginPage(pageLine);
        printHourlyProfile();
        printWeeklyHeatMap();
    }

private:
    // The survey in a box across the frame: the posted limit and the period
    // studied, then the site at the left and the vehicles at the right.
    void printSurveyBlock()
    {
        const survey::HeaderRow& header = m_inputs.survey.header;
        const double top = kBodyTop;
        m_page.setCurrentY(top + kBoxPadding);
        setSpan(kBodyLeft, kBodyRight);
        setFont(10, true);
        if (m_study)
            m_page.printLine(study::studyPeriod(*m_study));
        setFont(10);
        m_page.setColumns(2);
        for (const QString& line : {QStringLiteral("Batch Number: ") + header.batchNumber,
                                    QStringLiteral("Survey Location: ") + header.location,
                                    QStringLiteral("Survey Zone: ") + header.zone,
                                    QStringLiteral("Direction of travel: ") + header.direction})
            m_page.printLine(line);
        const double leftEnd = m_page.currentY();
        m_page.columnBreak();
        for (const QString& line : vehicleLines())
            m_page.printLine(line);
        const double bottom = std::max(leftEnd, m_page.currentY()) + kBoxPadding;
        m_page.setColumns(1);
        m_page.setPenWidth(25);
        m_page.setLineColour(Qt::black);
        m_page.setBrushStyle(BrushStyle::None);
        m_page.drawRectangle(kFrameLeft, top, kFrameRight, bottom);
        m_page.setCurrentY(bottom + kBlockGap);
    }

    QStringList vehicleLines() const
    {
        if (!m_study)
            return {QStringLiteral("Vehicles surveyed: ") + m_inputs.survey.summary.totalVehicles};
        const qint64 all = m_study->directionFigures(Direction::Both).vehicles;
        const qint64 approaching = m_study->directionFigures(Direction::Approaching).vehicles;
        const qint64 receding = m_study->directionFigures(Direction::Receding).vehicles;
        return {QStringLiteral("Vehicles surveyed: ") + study::formatCount(all),
                QStringLiteral("Approaching: %1    Receding: %2")
                    .arg(study::formatCount(approaching), study::formatCount(receding)),
                QStringLiteral("Unknown direction: ") + study::formatCount(all - approaching - receding),
                QStringLiteral("Enforcement threshold: %1 %2")
                    .arg(m_study->threshold)
                    .arg(study::unitText(m_study->unit))};
    }

    // The figures by direction, the 85th percentile's row picked out, and
    // what the percentiles and the directions mean.
    void printFigures()
    {
        printHeading(QStringLiteral("Measured speeds by direction"));
        TableSpec tableLayout;
        tableLayout.widths = {4260, 1700, 1700, 1700};
        tableLayout.columns << QStringLiteral("Figure");
        for (const Direction direction : study::kDirections)
            tableLayout.columns << study::directionName(direction);
        for (const study::FigureRow& row : study::figureRows(*m_study))
            tableLayout.rows.push_back(QStringList{row.caption} +
                                       QStringList(row.cells.begin(), row.cells.end()));
        tableLayout.pickOutRow(QStringLiteral("85th percentile"), m_shades);
        placeTable(kBodyLeft, tableLayout);
        skip(kHeadingGap);
        printNote(study::percentileNote() +
                      QStringLiteral(" Vehicles of unknown direction count under both directions only; per "
                                     "cents are of the vehicles of the same direction."),
                  8);
    }

    void printSpeedDistribution()
    {
        printHeading(QStringLiteral("Cumulative speed distribution"));
        printNote(
            QStringLiteral("The per cent of the vehicles at or below each speed; the 15th, 50th and 85th "
                           "percentiles of both directions and the posted limit marked."),
            9);
        skip(kHeadingGap);
        charts::LineGraph curve = study::speedCurve(*m_study, m_inputs.blackAndWhite);
        curve.title.clear(); // the heading above says it
        placeChart(4.5 * kTwipsPerInch, [curve](QPainter& painter, const QSize& size) {
            charts::LineGraphRenderer(curve, size).paint(painter);
        });
        skip(kBlockGap);
    }

    // The speed bins of both directions: in one table, or in two side by
    // side. Bins with no vehicles are left out when the bins would not fit
    // the rest of the page, and the fastest are folded into one row when
    // even that is too many.
    void printSpeedBins()
    {
        const QString unit = study::unitText(m_study->unit);
        printHeading(QStringLiteral("Speed bins of %1 %2, both directions").arg(study::kBinWidth).arg(unit));
        setFont(kTablePoints);
        const double row = rowHeight();
        const size_t fit = size_t(std::max(1.0, std::floor((kBodyBottom - m_page.currentY() - row) / row)));
        const study::TextTable table = study::binTable(*m_study, Direction::Both);
        const std::vector<study::SpeedBin>& bins = m_study->directionFigures(Direction::Both).bins;
        std::vector<QStringList> rows = table.rows;
        if (rows.size() > 2 * fit) {
            rows.clear();
            for (size_t i = 0; i < bins.size(); ++i) {
                if (bins[i].vehicles > 0)
                    rows.push_back(table.rows[i]);
            }
        }
        if (rows.size() > 2 * fit) {
            // The fastest bins in one row, from the first of them on.
            const QStringList first = rows[2 * fit - 1];
            const qint64 low = first.first().section(QLatin1Char(' '), 0, 0).toLongLong();
            qint64 vehicles = 0;
            for (const study::SpeedBin& bin : bins)
                vehicles += bin.low >= low ? bin.vehicles : 0;
            const study::DirectionFigures& all = m_study->directionFigures(Direction::Both);
            rows.resize(2 * fit - 1);
            rows.push_back({QStringLiteral("%1 and over").arg(low), study::formatCount(vehicles),
                            study::formatPercent(all.percentOf(vehicles)), study::formatPercent(100)});
        }
        const size_t parts = rows.size() > kBinsInOneTable ? 2 : 1;
        const size_t perPart = (rows.size() + parts - 1) / parts;
        const double top = m_page.currentY();
        double bottom = top;
        for (size_t part = 0; part < parts; ++part) {
            TableSpec tableLayout;
            tableLayout.widths = {1300, 1000, 1000, 1200};
            tableLayout.columns = table.columns;
            const auto from = rows.begin() + qsizetype(std::min(rows.size(), part * perPart));
            tableLayout.rows.assign(from,
                                    rows.begin() + qsizetype(std::min(rows.size(), (part + 1) * perPart)));
            m_page.setCurrentY(top);
            placeTable(kBodyLeft + double(part) * (4500 + kTableGap), tableLayout);
            bottom = std::max(bottom, m_page.currentY());
        }
        m_page.setCurrentY(bottom);
    }

    void printHourlyProfile()
    {
        printHeading(QStringLiteral("Hourly profile, all days together"));
        printNote(
            QStringLiteral("Vehicles per day: the average over the days on which the survey covered the "
                           "whole hour. Speeds and the share over the limit: every vehicle of the hour."),
            9);
        skip(kHeadingGap);
        const study::TextTable table = study::hourlyTable(*m_study);
        TableSpec tableLayout;
        tableLayout.widths = {1300, 1420, 1000, 1300, 1440, 1440, 1460};
        tableLayout.columns = table.columns;
        tableLayout.rows = table.rows;
        tableLayout.headingLines = 2;
        placeTable(kBodyLeft, tableLayout);
        skip(kBlockGap);
    }

    void printWeeklyHeatMap()
    {
        printHeading(QStringLiteral("Vehicles over the limit by hour of the week"));
        charts::HeatMap map = study::weeklyHeatMap(*m_study, m_inputs.blackAndWhite);
        map.title.clear(); // the heading above says it
        placeChart(kBodyBottom - m_page.currentY(), [map](QPainter& painter, const QSize& size) {
            charts::HeatMapRenderer(map, size).paint(painter);
        });
    }

    const study::SpeedStudy* m_study;
};

} // namespace

std::optional<PagedDocument> buildStudyReport(const DocumentInputs& inputs)
{
    return buildFramedDocument(inputs,
                               [&inputs](PageComposer& page) { StudyReportWriter(page, inputs).write(); });
}

} // namespace pelmor::reports
