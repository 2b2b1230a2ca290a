#include "reports/FlowReports.h"

#include "reports/PageComposer.h"
#include "reports/PageStyle.h"

namespace pelmor::reports {
namespace {

const QColor& yellow()
{
    static const QColor colour(255, 255, 0);
    return colour;
}

bool isTotalRow(const flow::BreakdownRow& row)
{
    return row.cCount == QLatin1String("----");
}

// The breakdown's rows as table rows. A total of 0 right after another
// total (the walk closes with one when its last bin already closed an hour
// or a day) says nothing and is left out.
std::vector<QStringList> tableRows(const std::vector<flow::BreakdownRow>& breakdown)
{
    std::vector<QStringList> rows;
    rows.reserve(breakdown.size());
    for (size_t index = 0; index < breakdown.size(); ++index) {
        const flow::BreakdownRow& row = breakdown[index];
        if (index > 0 && isTotalRow(row) && isTotalRow(breakdown[index - 1]) &&
            row.cHourTotal == QLatin1String("0"))
            continue;
        rows.push_back({row.cDate, row.cTime, row.cCount, row.cHourTotal});
    }
    return rows;
}

} // namespace

PagedDocument buildFlowReport(const DocumentInputs& inputs, flow::BinLength bins)
{
    const bool quarterHours = bins == flow::BinLength::QuarterHour;
    const survey::SurveyRecord& survey = inputs.survey;
    PageComposer page(inputs.pageSize);
    applyDefaultStyle(page);
    // These reports are built whatever the paper: they do not stop on the
    // error flag.
    page.startDocument();
    page.setCurrentX(0);
    page.setCurrentY(0);
    page.setTopMargin(0.7 * kTwipsPerInch);
    page.setLeftMargin(1440);
    page.setLineColour(Qt::black);
    page.setPenWidth(25);
    page.drawLine(1440, 2160, 10800, 2160);
    page.drawLine(1440, 3600, 10800, 3600);

    page.setFontName(QStringLiteral("arial"));
    page.setFontSize(14);
    page.setBold(true);
    page.setTextAlignment(Alignment::Centre);
    page.printLine(inputs.agency);
    page.printLine(quarterHours ? QStringLiteral("Survey Volume (15 min Bins)")
                                : QStringLiteral("Survey Volume (Hour Bins)"));

    // The survey block, left aligned between the rules and no wider than
    // they are.
    page.setTextAlignment(Alignment::Left);
    page.setBold(false);
    page.setFontSize(12);
    page.setTextLimit(10800);
    printBlock(page, 3024, {QStringLiteral("Survey Location: ") + survey.header.location});
    page.setColumns(2);
    printBlock(page, 2448,
               {QStringLiteral("Batch Number: ") + survey.header.batchNumber,
                QStringLiteral("Survey Zone: ") + survey.header.zone});
    page.columnBreak();
    printBlock(page, 2448,
               {QStringLiteral("Survey Start Date: ") + survey.summary.startDate,
                QStringLiteral(" Survey End Date: ") + survey.summary.stopDate});
    page.setColumns(1);
    page.setTextLimit(0);

    const std::vector<QStringList> rows = tableRows(inputs.breakdown);

    page.setFontName(QStringLiteral("Arial"));
    page.setFontSize(12);
    page.setLineColour(QColor(190, 190, 190));
    page.setTableBorder(9);
    page.setLeftMargin(2880);
    page.setCurrentY(4320);
    page.startTable();
    page.addTableRows(QStringLiteral("|500|500|500|500"),
                      quarterHours ? QStringLiteral("Date|Time|Count|Hour Total")
                                   : QStringLiteral("Date|Time|Hour Count|Survey Total"),
                      rows);
    page.setColumnWidth(1, 1500);
    page.setColumnWidth(2, 2000);
    page.setColumnWidth(3, 1000);
    page.setColumnWidth(4, 1000);
    page.setRowIsHeading(0, true);
    // A page the table runs on to says which survey and which day it shows.
    page.setContinuationLine(QStringLiteral("Batch Number: ") + survey.header.batchNumber);
    page.setCarriedColumn(1);
    page.setRowBackground(0, yellow());
    page.setRowHeight(0, 2.1 * page.textHeight(QStringLiteral("test")));
    page.setRowAlignment(0, Alignment::Centre);
    for (int row = 1; row <= page.tableRowCount(); ++row) {
        const bool total = page.cellText(row, 3) == QLatin1String("----");
        const bool beforeTotal = page.cellText(row + 1, 3) == QLatin1String("----");
        const bool beforeGrandTotal = row + 1 == page.tableRowCount();
        // A page never ends inside an hour of quarter hours, nor between
        // a day's last hour and the day's total, nor before the grand total.
        page.setRowKeptWithNext(row, (quarterHours && !total) || beforeTotal || beforeGrandTotal);
        // A total row: yellow across the time, count and total columns.
        if (total) {
            for (int column = 2; column <= 5; ++column)
                page.setCellBackground(row, column, yellow());
        }
        // The grand total stands beside its label, which takes the time
        // and count columns.
        if (page.cellText(row, 2).isEmpty()) {
            page.setCellSpan(row, 2, 2);
            page.setCellText(row, 2, QStringLiteral("Total Veh Surveyed = "));
        }
        for (int column = 2; column <= 4; ++column)
            page.setCellAlignment(row, column, Alignment::Centre);
    }
    page.endTable();

    page.setLeftMargin(1440);
    page.setRightMargin(1440);
    setIssuedLine(page, inputs.today);
    return page.endDocument();
}

} // namespace pelmor::reports
