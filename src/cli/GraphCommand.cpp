#include "Command.h"
#include "charts/BarGraphRenderer.h"
#include "db/DbError.h"
#include "flow/TrafficVolumeGraph.h"
#include "stats/SpeedDistributionGraph.h"
#include "store/SurveyStore.h"
#include "survey/SurveyRecord.h"
#include "text/MessageText.h"

namespace pelmor::cli {
namespace {

const QCommandLineOption& pngOption()
{
    static const QCommandLineOption option(QStringLiteral("png"),
                                           QStringLiteral("Write the graph as a PNG image to FILE."),
                                           QStringLiteral("FILE"));
    return option;
}

const QCommandLineOption& blackAndWhiteOption()
{
    static const QCommandLineOption option(
        QStringLiteral("bw"), QStringLiteral("Draw for a black-and-white laser printer (default: colour)."));
    return option;
}

} // namespace

void addGraphOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("GRAPH"),
                                 QStringLiteral("percent85 (the speed distribution with pace and 85th "
                                                "percentile) or volume (vehicles per speed)."));
    parser.addPositionalArgument(QStringLiteral("BATCH"), QStringLiteral("The batch number of the survey."));
    parser.addOption(pngOption());
    parser.addOption(blackAndWhiteOption());
}

int runGraph(const QCommandLineParser& parser, Context& context)
{
    const QStringList arguments = parser.positionalArguments();
    const QString usage = QStringLiteral("Usage: pelmor-cli graph percent85|volume BATCH --png FILE [--bw]");
    if (arguments.size() != 3)
        return fail(context, usage);
    const QString kind = arguments.at(1);
    const QString batch = arguments.at(2);
    if (kind != QLatin1String("percent85") && kind != QLatin1String("volume"))
        return fail(context, QStringLiteral("Unknown graph %1. %2").arg(text::quotedValue(kind), usage));
    const QString file = parser.value(pngOption());
    if (file.isEmpty())
        return fail(context, QStringLiteral("Give the image file with --png FILE."));
    const bool blackAndWhite = parser.isSet(blackAndWhiteOption());

    charts::GraphResult result;
    try {
        const survey::SurveyRecord survey = store::openStore(context.database)->loadSurvey(batch);
        result = kind == QLatin1String("percent85")
                     ? stats::speedDistributionGraph(context.database, survey, blackAndWhite)
                     : flow::trafficVolumeGraph(context.database, survey, blackAndWhite);
    } catch (const db::DbError& error) {
        return fail(context, error.message());
    }
    if (!result.drawn())
        return fail(context, result.message);
    // Drawn with less than it should show: said, and the image written.
    if (!result.warning.isEmpty())
        context.err << result.warning << Qt::endl;

    const QString failure = writePng(file, charts::BarGraphRenderer(*result.graph).render());
    return failure.isEmpty() ? 0 : fail(context, failure);
}

} // namespace pelmor::cli
