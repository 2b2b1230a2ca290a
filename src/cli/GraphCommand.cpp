#include "charts/BarGraphRenderer.h"
#include "cli/Command.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Recordset.h"
#include "db/SqlText.h"
#include "flow/TrafficVolumeGraph.h"
#include "stats/SpeedDistributionGraph.h"

#include <QImageWriter>

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

// The survey's row of a table.
db::Recordset surveyRow(db::Connection& connection, const char* table, const QString& batch)
{
    return connection.openRecordset(
        QStringLiteral("select * from %1 where Batch_Number = '").arg(QLatin1String(table)) +
        db::escapeText(batch) + QStringLiteral("'"));
}

// A field of that row as the statistics tab shows it; empty when the survey
// has no row there.
QString shown(db::Recordset& row, const char* field)
{
    return row.recordCount() == 0 ? QString() : row.text(QLatin1String(field));
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
        return fail(context, QStringLiteral("Unknown graph \"%1\". %2").arg(kind, usage));
    const QString file = parser.value(pngOption());
    if (file.isEmpty())
        return fail(context, QStringLiteral("Give the image file with --png FILE."));
    const bool blackAndWhite = parser.isSet(blackAndWhiteOption());

    charts::GraphResult result;
    try {
        if (kind == QLatin1String("percent85")) {
            stats::SpeedDistributionInputs inputs;
            {
                db::Connection connection(context.databasePath);
                db::Recordset header = surveyRow(connection, "Header", batch);
                db::Recordset summary = surveyRow(connection, "Summary", batch);
                inputs.unit = shown(header, "Radar_Mode");
                inputs.paceLow = shown(summary, "Pace_Low");
                inputs.paceHigh = shown(summary, "Pace_High");
                inputs.percentile85 = shown(summary, "85th_Percentile");
            }
            inputs.databasePath = context.databasePath;
            inputs.batchNumber = batch;
            inputs.blackAndWhite = blackAndWhite;
            result = stats::Percent85(inputs);
        } else {
            flow::TrafficVolumeInputs inputs;
            {
                db::Connection connection(context.databasePath);
                db::Recordset header = surveyRow(connection, "Header", batch);
                inputs.postedSpeed = shown(header, "Violation_Alert");
            }
            inputs.databasePath = context.databasePath;
            inputs.batchNumber = batch;
            inputs.blackAndWhite = blackAndWhite;
            result = flow::TrafficFlow_Graph(inputs);
        }
    } catch (const db::DbError& error) {
        return fail(context, error.message());
    }
    if (!result.drawn())
        return fail(context, result.message);

    QImageWriter writer(file, "png");
    if (!writer.write(charts::BarGraphRenderer(*result.graph).render()))
        return fail(context,
                    QStringLiteral("The image %1 cannot be written: %2").arg(file, writer.errorString()));
    return 0;
}

} // namespace pelmor::cli
