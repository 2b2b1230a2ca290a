#include "reports/Documents.h"

#include "reports/ComparisonReport.h"
#include "reports/FieldSheets.h"
#include "reports/FlowReports.h"
#include "reports/SiteReports.h"
#include "reports/StudyReport.h"
#include "reports/SurveyReports.h"

namespace pelmor::reports {
namespace {

std::optional<PagedDocument> buildQuarterHourFlowReport(const DocumentInputs& inputs)
{
    return buildFlowReport(inputs, flow::BinLength::QuarterHour);
}

std::optional<PagedDocument> buildHourlyFlowReport(const DocumentInputs& inputs)
{
    return buildFlowReport(inputs, flow::BinLength::Hour);
}

std::optional<PagedDocument> buildFilledFieldSheet(const DocumentInputs& inputs)
{
    return buildFieldSheet(inputs, true);
}

std::optional<PagedDocument> buildBlankFieldSheet(const DocumentInputs& inputs)
{
    return buildFieldSheet(inputs, false);
}

} // namespace

const std::vector<DocumentKind>& documentKinds()
{
    static const std::vector<DocumentKind> all = {
        {ReportChoice::PercentileReport, true, true, Preparation::SpeedDistributionGraph,
         buildPercentileReport},
        {ReportChoice::TrafficFlowGraphReport, true, true, Preparation::TrafficVolumeGraph,
         buildTrafficFlowGraphReport},
        {ReportChoice::SurveySummaryReport, true, true, Preparation::None, buildSurveySummaryReport},
        {ReportChoice::QuarterHourFlowReport, true, true, Preparation::QuarterHourBreakdown,
         buildQuarterHourFlowReport},
        {ReportChoice::HourlyFlowReport, true, true, Preparation::HourlyBreakdown, buildHourlyFlowReport},
        {ReportChoice::SpeedStudyReport, true, true, Preparation::SpeedStudy, buildStudyReport},
        {ReportChoice::ComparisonReport, true, true, Preparation::Comparison, buildComparisonReport},
        {ReportChoice::FilledFieldSheet, false, false, Preparation::None, buildFilledFieldSheet},
        {ReportChoice::BlankFieldSheet, false, false, Preparation::None, buildBlankFieldSheet},
        {ReportChoice::SiteHistoryReport, false, false, Preparation::Sites, buildSiteHistoryReport},
        {ReportChoice::SpeedingPriorities, false, false, Preparation::Sites, buildPrioritiesReport},
    };
    return all;
}

const DocumentKind* documentKind(ReportChoice choice)
{
    for (const DocumentKind& kind : documentKinds()) {
        if (kind.choice == choice)
            return &kind;
    }
    return nullptr;
}

const DocumentKind* listedDocument(const QString& text)
{
    for (const DocumentKind& kind : documentKinds()) {
        if (kind.inReportList && documentName(kind.choice) == text)
            return &kind;
    }
    return nullptr;
}

QStringList reportListTexts()
{
    QStringList texts;
    for (const DocumentKind& kind : documentKinds()) {
        if (kind.inReportList)
            texts << documentName(kind.choice);
    }
    return texts;
}

QString documentBatches(const DocumentKind& kind, const DocumentInputs& inputs)
{
    if (!kind.forSurvey)
        return QString();
    const QString batch = inputs.survey.header.batchNumber;
    if (kind.preparation == Preparation::Comparison && inputs.comparison)
        return QStringLiteral("%1 and %2").arg(batch, inputs.comparison->b.study.batchNumber);
    return batch;
}

QString pdfFileName(ReportChoice choice, const QString& batchNumber)
{
    QString name = documentName(choice);
    if (!batchNumber.isEmpty())
        name = batchNumber + QLatin1Char(' ') + name;
    // Characters that no file system takes become hyphens.
    for (QChar& c : name) {
        if (QStringView(u"/\\:*?\"<>|").contains(c) || c.unicode() < 32)
            c = QLatin1Char('-');
    }
    return name + QStringLiteral(".pdf");
}

QString documentList()
{
    QStringList entries;
    for (const DocumentKind& kind : documentKinds())
        entries << QStringLiteral("%1 %2").arg(static_cast<int>(kind.choice)).arg(documentName(kind.choice));
    return entries.join(QStringLiteral(", "));
}

} // namespace pelmor::reports
