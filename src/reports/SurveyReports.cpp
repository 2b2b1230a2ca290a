#include "reports/SurveyReports.h"

#include "reports/PageStyle.h"

namespace pelmor::reports {
namespace {

// The values a report prints, as the survey stores them.
struct SurveyTexts {
    explicit SurveyTexts(const DocumentInputs& inputs)
        : header(inputs.survey.header)
        , summary(inputs.survey.summary)
        , unit(inputs.survey.header.radarMode)
    {
    }
    const survey::HeaderRow& header;
    const survey::SummaryRow& summary;
    const QString& unit;

    // A speed followed by the unit, with `separator` between them.
    QString speed(const QString& value, const char* separator) const
    {
        return value + QLatin1String(separator) + unit;
    }
};

// The headings of the over-limit bands, mile or kilometre bands by the unit.
QStringList bandLines(const QString& unit)
{
    if (unit == QLatin1String("MPH"))
        return {QStringLiteral("  1 - 5  MPH: "), QStringLiteral(" 6 - 10  MPH: "),
                QStringLiteral("11 - 15  MPH: "), QStringLiteral("16 - 20  MPH: "),
                QStringLiteral("21 - 25  MPH: "), QStringLiteral("Over 25  MPH: ")};
    return {QStringLiteral("    1 - 10  KPH: "), QStringLiteral("  11 - 20  KPH: "),
            QStringLiteral("  21 - 30  KPH: "),  QStringLiteral("  31 - 40  KPH: "),
            QStringLiteral("  41 - 50  KPH: "),  QStringLiteral(" Over 50  KPH: ")};
}

// The page that the two graph reports share: frame, title, survey header
// lines, the statistics in the left column and the dates, times and sign
// settings in the right column. The document is left in one column,
// under the settings.
void printStatisticsSheet(PageComposer& page, const DocumentInputs& inputs, const QString& title)
{
    const SurveyTexts survey(inputs);
    drawPageFrame(page, 1872,
                  {{1008, 2016, 4608, 2448},
                   {1008, 2592, 11088, 3312},
                   {1008, 3456, 5760, 7776},
                   {6048, 3456, 11088, 5328},
                   {6048, 5472, 11088, 7776}});
    printTitleBlock(page, inputs.agency, title);
    page.setTextAlignment(Alignment::Left);
    page.setFontSize(12);
    page.setFontName(QStringLiteral("Arial"));
    page.setBold(false);

    // Each line stays inside its box, set smaller where it is too long.
    page.setTextLimit(4608 - kTextInset);
    printBlock(page, 2088, {QStringLiteral("  Batch Number: ") + survey.header.batchNumber});
    page.setTextLimit(11088 - kTextInset);
    printBlock(page, 2664,
               {QStringLiteral("Survey Location: ") + survey.header.location,
                QStringLiteral("Survey Zone: ") + survey.header.zone + QStringLiteral("       ") +
                    QStringLiteral("Direction of travel: ") + survey.header.direction});

    page.setColumns(2);
    page.setLineSpacing(100);
    page.setTextLimit(5760 - kTextInset);
    printBlock(
        page, 3600,
        {QStringLiteral("          Posted Speed Limit: ") + survey.speed(survey.header.violationAlert, "  "),
         QStringLiteral("# At/Under Posted Speed: ") + survey.summary.numberUnder,
         QStringLiteral("      # Over Posted Speed: ") + survey.summary.numberOver,
         QStringLiteral("      Recorded Low Speed: ") + survey.speed(survey.summary.minSpeed, "  "),
         QStringLiteral("     Recorded High Speed: ") + survey.speed(survey.summary.maxSpeed, "  "),
         QStringLiteral("               Average Speed: ") + survey.speed(survey.summary.averageSpeed, "  "),
         QStringLiteral("            Pace High Speed: ") + survey.speed(survey.summary.paceHigh, " "),
         QStringLiteral("             Pace Low Speed: ") + survey.speed(survey.summary.paceLow, " "),
         QStringLiteral("    Total Vehicles in Pace: ") + survey.summary.paceTotal,
         QStringLiteral("     % of Vehicles in Pace: ") + survey.summary.pacePercent,
         QStringLiteral("                85th Percentile: ") + survey.summary.percentile85,
         QStringLiteral("      Total # Veh Surveyed: ") + survey.summary.totalVehicles,
         QStringLiteral("Approaching: ") + survey.summary.totalApproach + QStringLiteral("  Receeding: ") +
             survey.summary.totalReceding,
         QStringLiteral("           Number Unknown: ") + survey.summary.totalUnknown});

    page.columnBreak();
    page.setTextLimit(11088 - kTextInset);
    page.setFontSize(12);
    page.setLineSpacing(120);
    printBlock(page, 3600,
               {QStringLiteral("Survey Start Date: ") + survey.summary.startDate,
                QStringLiteral(" Survey End Date: ") + survey.summary.stopDate,
                QStringLiteral("Survey Start Time: ") + survey.summary.startTime,
                QStringLiteral(" Survey End Time: ") + survey.summary.stopTime,
                QStringLiteral("Total Survey Time: ") + survey.summary.totalTime});
    page.setCurrentY(5760);
    printUnderlined(page, QStringLiteral("Radar/Sign Settings"));
    printBlock(page, page.currentY(),
               {QStringLiteral("Minumum Radar Setting: ") + survey.speed(survey::minimumRadarSetting(), "  "),
                QStringLiteral("Maximum Radar Setting: ") + survey.speed(survey::maximumRadarSetting(), "  "),
                QStringLiteral("         High Speed Alarm: ") + survey.speed(survey.header.alarmSpeed, " "),
                QStringLiteral("       High Speed Cut Off: ") + survey.speed(survey.header.blankSpeed, " ")});
    page.setColumns(1);
    page.setTextLimit(0);
}

// The legend of the speed distribution graph over the upper right part of
// the picture: a white panel, a sample of the pace band and one of the 85th
// percentile marker, each filled and outlined with the black pen, and the
// two texts that explain them.
//
// The texts stand at fixed places; the rectangles are placed from a
// reference height such that the panel holds both texts, the marker sample
// stands where the arrow of the first text points and the pace sample lies
// over the second text, from "Pace Low" to "Pace High". That height is the
// one the settings block ends at with lines of 331 twips (12 points at 120 %
// measured from the font's full height), whatever the lines of this page
// measure.
void drawPercentileLegend(PageComposer& page, bool blackAndWhite)
{
    const double left = page.leftMargin();
    const double reference = 5760 + 5 * 331.2;
    page.setPenWidth(25);
    page.setLineColour(Qt::black);
    page.setBrushStyle(BrushStyle::Solid);
    page.setBrushColour(QColor(255, 255, 255));
    page.drawRectangle(left + 7200, reference + 2016, left + 9648, reference + 2880);
    page.setBrushColour(blackAndWhite ? QColor(220, 220, 220) : QColor(0, 255, 0));
    page.drawRectangle(left + 7344, reference + 2448, left + 9504, reference + 2592);
    // The marker as the graph draws the 85th percentile's bar: light red,
    // dark grey for a black-and-white printer.
    page.setBrushColour(blackAndWhite ? QColor(128, 128, 128) : QColor(255, 0, 0));
    page.drawRectangle(left + 9072, reference + 2088, left + 9172.8, reference + 2376);

    const double rightMargin = page.rightMargin();
    page.setRightMargin(288);
    page.setFontSize(8);
    page.setCurrentX(8640);
    page.setCurrentY(9604.8);
    page.printLine(QStringLiteral("         85th Percentile ---->"));
    page.setCurrentX(8640);
    page.setCurrentY(10080);
    page.printLine(QStringLiteral("   Pace Low <---------> Pace High"));
    // The narrow right margin only keeps the legend texts on one line each;
    // the running page line keeps to the margin of the rest of the page.
    page.setRightMargin(rightMargin);
}

// The statistics sheet with the graph picture 5 inches under the top
// margin, at the left margin, and the legend of the speed distribution
// graph when asked for.
std::optional<PagedDocument> buildGraphReport(const DocumentInputs& inputs, const QString& title,
                                              QSizeF picture, bool withLegend)
{
    PageComposer page(inputs.pageSize);
    applyDefaultStyle(page);
    if (!startPageLayout(page))
        return std::nullopt;
    printStatisticsSheet(page, inputs, title);
    const double left = page.leftMargin();
    const double top = page.topMargin() + 7200;
    page.setPictureRectangle(left, top, left + picture.width(), top + picture.height());
    page.placePicture(inputs.graph);
    if (withLegend)
        drawPercentileLegend(page, inputs.blackAndWhite);
    setIssuedLine(page, inputs.today);
    return page.endDocument();
}

} // namespace

std::optional<PagedDocument> buildSurveySummaryReport(const DocumentInputs& inputs)
{
    PageComposer page(inputs.pageSize);
    applyDefaultStyle(page);
    if (!startPageLayout(page))
        return std::nullopt;
    const SurveyTexts survey(inputs);
    drawPageFrame(page, 2160,
                  {{1008, 4104, 11088, 4392}, {1008, 6768, 11088, 7056}, {1008, 2448, 4608, 2736}});
    printTitleBlock(page, inputs.agency, QStringLiteral("Single Survey Summary"));

    // Headings across the page, in the title's alignment.
    page.setFontName(QStringLiteral("Arial"));
    page.setFontSize(12);
    printBlock(page, 3600, {QStringLiteral("Total Survey Time: ") + survey.summary.totalTime});
    printBlock(page, 4104, {QStringLiteral("Settings")});
    page.setCurrentY(5472);
    printUnderlined(page, QStringLiteral("Radar/Sign Settings"));
    printBlock(page, 6768, {QStringLiteral("Survey Results")});
    page.setCurrentY(7200);
    printUnderlined(page, QStringLiteral("Vehicles"), true);

    // Left column.
    page.setColumns(2);
    page.setTextAlignment(Alignment::Left);
    page.setFontName(QStringLiteral("Arial"));
    page.setFontSize(12);
    page.setBold(false);
    page.setTextLimit(4608 - kTextInset);
    printBlock(page, 2448, {QStringLiteral("Batch Number: ") + survey.header.batchNumber});
    page.setTextLimit(0);
    page.setLineSpacing(120);
    printBlock(page, 2880,
               {QStringLiteral("Survey Start Date: ") + survey.summary.startDate,
                QStringLiteral(" Survey End Date: ") + survey.summary.stopDate});
    // A long location runs on across the right column, which has nothing
    // on its line, rather than push the zone down onto the settings heading.
    page.setColumns(1);
    printBlock(page, 4752, {QStringLiteral("Survey Location: ") + survey.header.location});
    page.setColumns(2);
    printBlock(page, page.currentY(), {QStringLiteral("Survey Zone: ") + survey.header.zone});
    printBlock(
        page, 5904,
        {QStringLiteral("Minumum Radar Setting: ") + survey.speed(survey::minimumRadarSetting(), "  "),
         QStringLiteral("Maximum Radar Setting: ") + survey.speed(survey::maximumRadarSetting(), "  ")});
    printBlock(page, 7776,
               {QStringLiteral("Total # Veh Surveyed: ") + survey.summary.totalVehicles,
                QStringLiteral(" Number Approaching: ") + survey.summary.totalApproach,
                QStringLiteral("    Number Receeding: ") + survey.summary.totalReceding,
                QStringLiteral("      Number Unknown: ") + survey.summary.totalUnknown});
    page.setCurrentY(9792);
    printUnderlined(page, QStringLiteral("Speed"), true);
    printBlock(
        page, page.currentY(),
        {QStringLiteral("        Posted Speed Limit: ") + survey.speed(survey.header.violationAlert, "  "),
         QStringLiteral("  # At/Under Speed Limit: ") + survey.summary.numberUnder,
         QStringLiteral(" Survey Minimum Speed: ") + survey.speed(survey.summary.minSpeed, "  "),
         QStringLiteral("Survey Maximum Speed: ") + survey.speed(survey.summary.maxSpeed, "  "),
         QStringLiteral("              Average Speed: ") + survey.speed(survey.summary.averageSpeed, "  "),
         QStringLiteral("               Total Speeding: ") + survey.summary.numberOver,
         QStringLiteral(" Violator Average Speed: ") + survey.speed(survey.summary.averageOver, "  ")});
    // The officer's name, too, may run on across the empty right column.
    page.setColumns(1);
    printBlock(page, 13248, {QStringLiteral("Survey Issued By: ") + inputs.officer});
    page.setColumns(2);
    printBlock(page, 13824, {QStringLiteral("_____________________________")});
    page.setFontSize(6);
    printBlock(page, 14112, {QStringLiteral("                                             (Signature)")});

    // Right column.
    page.columnBreak();
    page.setFontSize(12);
    printBlock(page, 2880,
               {QStringLiteral("Survey Start Time: ") + survey.summary.startTime,
                QStringLiteral("Survey End Time: ") + survey.summary.stopTime});
    printBlock(page, 5112, {QStringLiteral("Direction of travel: ") + survey.header.direction});
    printBlock(page, 5904,
               {QStringLiteral("  High Speed Alarm: ") + survey.speed(survey.header.alarmSpeed, " "),
                QStringLiteral("High Speed Cut Off: ") + survey.speed(survey.header.blankSpeed, " ")});
    printBlock(page, 7776,
               {QStringLiteral("        Pace High Speed: ") + survey.speed(survey.summary.paceHigh, " "),
                QStringLiteral("         Pace Low Speed: ") + survey.speed(survey.summary.paceLow, " "),
                QStringLiteral("Total Vehicles in Pace: ") + survey.summary.paceTotal,
                QStringLiteral(" % of Vehicles in Pace: ") + survey.summary.pacePercent,
                QStringLiteral("            85th Percentile: ") + survey.summary.percentile85});
    page.setCurrentY(9792);
    printUnderlined(page, survey.unit + QStringLiteral(" Over Posted Speed"), true);
    const QStringList bands = bandLines(survey.unit);
    for (int band = 0; band < bands.size(); ++band)
        page.printLine(bands.at(band) + survey.summary.overBands[static_cast<size_t>(band)]);

    page.setCurrentY(13248);
    setIssuedLine(page, inputs.today);
    return page.endDocument();
}

std::optional<PagedDocument> buildPercentileReport(const DocumentInputs& inputs)
{
    // The graph, 6.2 by 3.8 inches, with its legend.
    return buildGraphReport(inputs, QStringLiteral("85th Percentile Speed and Pace Distribution"),
                            {8928, 5472}, true);
}

std::optional<PagedDocument> buildTrafficFlowGraphReport(const DocumentInputs& inputs)
{
    // The graph, 6.4 by 4 inches, between the boxes and the bottom rule.
    return buildGraphReport(inputs, QStringLiteral("Single Survey Summary"), {9216, 5760}, false);
}

} // namespace pelmor::reports
