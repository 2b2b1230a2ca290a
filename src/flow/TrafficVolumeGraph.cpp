#include "flow/TrafficVolumeGraph.h"

#include "stats/SpeedGraphSource.h"
#include "text/MessageText.h"

#include <QRegularExpression>

#include <optional>
#include <vector>

namespace pelmor::flow {
namespace {

// Palette indices: 0 black, 7 light grey, 8 dark grey, 10 light green,
// 12 light red. For a black-and-white printer the bars under the limit are
// light grey and those over it dark grey, so they stay told apart.
constexpr int kAtLimit = 0;
constexpr int kLightGrey = 7;
constexpr int kDarkGrey = 8;
constexpr int kGreen = 10;
constexpr int kRed = 12;

} // namespace

double leadingNumber(QStringView text)
{
    qsizetype end = 0;
    while (end < text.size() && text[end].isSpace())
        ++end;
    const qsizetype start = end;
    if (end < text.size() && (text[end] == QLatin1Char('+') || text[end] == QLatin1Char('-')))
        ++end;
    bool digits = false;
    bool point = false;
    for (; end < text.size(); ++end) {
        if (text[end].isDigit() && text[end].unicode() < 128) {
            digits = true;
        } else if (text[end] == QLatin1Char('.') && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0;
    return text.mid(start, end - start).toDouble();
}

charts::GraphResult trafficVolumeGraph(const db::Database& database, const survey::SurveyRecord& survey,
                                       bool blackAndWhite)
{
    QString message;
    const std::vector<stats::SpeedCount> rows = stats::readSpeedCounts(database, survey.batchNumber, message);
    return trafficVolumeGraph(rows, message, survey, blackAndWhite);
}

charts::GraphResult trafficVolumeGraph(const std::vector<store::SpeedCount>& rows, const QString& message,
                                       const survey::SurveyRecord& survey, bool blackAndWhite)
{
    if (rows.empty())
        return {std::nullopt, message, QString()};

    const double posted = leadingNumber(survey.header.violationAlert);
    charts::BarGraph graph =
        stats::speedGraph(QStringLiteral("Vehicle Speed Comparison for Batch #") + survey.batchNumber);
    graph.style = blackAndWhite ? charts::BarStyle::Flat : charts::BarStyle::ThreeD;
    graph.labelEvery = 3;
    graph.points.reserve(rows.size());
    for (const stats::SpeedCount& row : rows) {
        charts::BarPoint point;
        point.value = static_cast<double>(row.count);
        point.label = QString::number(row.speed);
        const auto speed = static_cast<double>(row.speed);
        if (speed == posted)
            point.paletteIndex = kAtLimit;
        else if (speed < posted)
            point.paletteIndex = blackAndWhite ? kLightGrey : kGreen;
        else
            point.paletteIndex = blackAndWhite ? kDarkGrey : kRed;
        graph.points.push_back(point);
    }
    QString warning;
    static const QRegularExpression number(QStringLiteral("^\\s*[+-]?\\.?[0-9]"));
    if (!number.match(survey.header.violationAlert).hasMatch())
        warning = QStringLiteral("The posted limit %1 of survey %2 is not a number: every bar is drawn as "
                                 "over the limit. Correct the limit and import the survey again.")
                      .arg(text::quotedValue(survey.header.violationAlert), survey.batchNumber);
    return {graph, QString(), warning};
}

} // namespace pelmor::flow
