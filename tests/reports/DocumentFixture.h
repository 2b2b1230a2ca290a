#pragma once

#include "reports/DocumentInputs.h"
#include "reports/Documents.h"

#include <QDate>
#include <QImage>

// The inputs the document tests build from: a survey whose every value is
// a text of its own, the agency and officer, and the rest of the inputs.
namespace pelmor::test {

inline reports::DocumentInputs documentInputs(const QString& unit = QStringLiteral("MPH"))
{
    reports::DocumentInputs inputs;
    survey::SurveyRecord& record = inputs.survey;
    record.batchNumber = QStringLiteral("050302-A");
    record.hasHeader = record.hasSummary = true;
    survey::HeaderRow& header = record.header;
    header.batchNumber = record.batchNumber;
    header.location = QStringLiteral("Main St");
    header.zone = QStringLiteral("School");
    header.direction = QStringLiteral("North");
    header.violationAlert = QStringLiteral("035");
    header.alarmSpeed = QStringLiteral("045");
    header.blankSpeed = QStringLiteral("080");
    header.radarMode = unit;
    survey::SummaryRow& summary = record.summary;
    summary.numberUnder = QStringLiteral("983");
    summary.numberOver = QStringLiteral("1964");
    summary.averageOver = QStringLiteral("41.5");
    summary.minSpeed = QStringLiteral("7");
    summary.maxSpeed = QStringLiteral("67");
    summary.averageSpeed = QStringLiteral("38.0");
    summary.paceLow = QStringLiteral("33.0");
    summary.paceHigh = QStringLiteral("43.0");
    summary.paceTotal = QStringLiteral("1822");
    summary.pacePercent = QStringLiteral("62 %");
    summary.percentile85 = QStringLiteral("45");
    summary.totalVehicles = QStringLiteral("2947");
    summary.totalApproach = QStringLiteral("1403");
    summary.totalReceding = QStringLiteral("1413");
    summary.totalUnknown = QStringLiteral("131");
    summary.startTime = QStringLiteral("07:00 AM");
    summary.stopTime = QStringLiteral("06:57 AM");
    summary.totalTime = QStringLiteral("1 Days, 23 Hrs, 57 Min");
    summary.startDate = QStringLiteral("05/03/26");
    summary.stopDate = QStringLiteral("05/05/26");
    summary.overBands = {QStringLiteral("962"), QStringLiteral("679"), QStringLiteral("243"),
                         QStringLiteral("62"),  QStringLiteral("15"),  QStringLiteral("3")};
    inputs.agency = QStringLiteral("Springfield Police Department");
    inputs.officer = QStringLiteral("Sgt. Jane Miller");
    inputs.breakdown = {
        {"05/03/26", "08:00 - 08:15", "3", ""}, {"", "--------------------", "----", "3"}, {"", "", "", "3"}};
    reports::FieldSheetInputs& sheet = inputs.fieldSheet;
    sheet.batchNumber = QStringLiteral("050302-A");
    sheet.startTime = QStringLiteral("07:00");
    sheet.startDate = QStringLiteral("05/03/26");
    sheet.location = QStringLiteral("Main St");
    sheet.direction = QStringLiteral("North");
    sheet.zone = QStringLiteral("School");
    sheet.postedLimit = QStringLiteral("035");
    sheet.highSpeedAlarm = QStringLiteral("045");
    sheet.highSpeedCutOff = QStringLiteral("080");
    sheet.performedBy = QStringLiteral("J. Miller");
    QImage graph(1920, 1200, QImage::Format_RGB32);
    graph.fill(Qt::white);
    inputs.graph = graph;
    inputs.today = QDate(2002, 4, 2);
    return inputs;
}

inline reports::PagedDocument buildDocument(reports::ReportChoice choice,
                                            const reports::DocumentInputs& inputs)
{
    return *reports::documentKind(choice)->build(inputs);
}

} // namespace pelmor::test
