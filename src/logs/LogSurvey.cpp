#include "logs/LogSurvey.h"

namespace pelmor::logs {

QString LogSurvey::startDate() const
{
    return start.toString(QStringLiteral("MM/dd/yyyy"));
}

QString LogSurvey::startTime() const
{
    return start.toString(QStringLiteral("HH:mm"));
}

LogSurvey logSurvey(const ReadLog& log, const std::optional<QDateTime>& start)
{
    LogSurvey survey;
    if (start) {
        survey.start = *start;
    } else if (!log.vehicles.empty()) {
        const QDateTime first = log.vehicles.front().time;
        survey.start = first.addSecs(-(first.time().second())).addMSecs(-first.time().msec());
    }
    survey.vehicles.reserve(log.vehicles.size());
    for (const LoggedVehicle& vehicle : log.vehicles) {
        import::DownloadVehicle stored;
        stored.offset = survey.start.secsTo(vehicle.time);
        stored.speed = vehicle.speed;
        stored.direction = quint8(vehicle.travel == Travel::Approaching ? '+'
                                  : vehicle.travel == Travel::Receding  ? '-'
                                                                        : '?');
        stored.length = vehicle.length;
        survey.vehicles.push_back(stored);
    }
    return survey;
}

} // namespace pelmor::logs
