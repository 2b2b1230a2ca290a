#include "reports/ReportChoice.h"

#include "reports/Documents.h"

namespace pelmor::reports {

ReportChoice reportChoiceFromNumber(int number)
{
    for (const DocumentKind& kind : documentKinds()) {
        if (static_cast<int>(kind.choice) == number)
            return kind.choice;
    }
    return ReportChoice::None;
}

QString documentName(ReportChoice choice)
{
    switch (choice) {
    case ReportChoice::None:
        break;
    case ReportChoice::PercentileReport:
        return QStringLiteral("85th Percentile Report");
    case ReportChoice::TrafficFlowGraphReport:
        return QStringLiteral("Traffic Flow Report");
    case ReportChoice::SurveySummaryReport:
        return QStringLiteral("Traffic Summary Report");
    case ReportChoice::QuarterHourFlowReport:
        return QStringLiteral("15 Minute Traffic Flow");
    case ReportChoice::HourlyFlowReport:
        return QStringLiteral("Hour Traffic Flow");
    case ReportChoice::FilledFieldSheet:
        return QStringLiteral("Field Setup Sheet");
    case ReportChoice::BlankFieldSheet:
        return QStringLiteral("Blank Field Setup Sheet");
    case ReportChoice::SpeedStudyReport:
        return QStringLiteral("Speed Study Report");
    case ReportChoice::ComparisonReport:
        return QStringLiteral("Before / After Comparison");
    case ReportChoice::SiteHistoryReport:
        return QStringLiteral("Site History");
    case ReportChoice::SpeedingPriorities:
        return QStringLiteral("Speeding Priorities");
    }
    return QString();
}

} // namespace pelmor::reports
