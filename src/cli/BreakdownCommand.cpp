#include "Command.h"
#include "SharedOptions.h"
#include "csv/CsvWriter.h"
#include "db/DbError.h"
#include "flow/FlowBreakdown.h"
#include "store/SurveyStore.h"
#include "survey/SurveyRecord.h"
#include "text/MessageText.h"

namespace pelmor::cli {
namespace {

const QCommandLineOption& csvOption()
{
    static const QCommandLineOption option(QStringLiteral("csv"),
                                           QStringLiteral("Print comma-separated values instead of tabs."));
    return option;
}

} // namespace

const QCommandLineOption& binsOption()
{
    static const QCommandLineOption option(
        QStringLiteral("bins"),
        QStringLiteral("Bin length in minutes: 15 (quarter hours, the default) or 60."),
        QStringLiteral("15|60"), QStringLiteral("15"));
    return option;
}

QString breakDown(const QCommandLineParser& parser, Context& context, const QString& batchNumber,
                  std::vector<flow::BreakdownRow>& rows)
{
    const QString binsText = parser.value(binsOption());
    if (binsText != QLatin1String("15") && binsText != QLatin1String("60"))
        return QStringLiteral("The bin length must be 15 or 60 minutes, not %1.")
            .arg(text::quotedValue(binsText));
    const flow::BinLength bins =
        binsText == QLatin1String("15") ? flow::BinLength::QuarterHour : flow::BinLength::Hour;
    try {
        const survey::SurveyRecord survey = store::openStore(context.database)->loadSurvey(batchNumber);
        if (!survey.hasSummary)
            return QStringLiteral("The database holds no statistics for survey %1.").arg(batchNumber);
        flow::BreakdownResult result =
            flow::runBreakdown(context.database, flow::BreakdownInputs::of(survey), bins);
        rows = std::move(result.rows);
        return result.failure;
    } catch (const db::DbError& error) {
        return error.message();
    }
}

void addBreakdownOptions(QCommandLineParser& parser)
{
    parser.addOption(binsOption());
    parser.addOption(csvOption());
}

int runBreakdown(const QCommandLineParser& parser, Context& context)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 2)
        return fail(context, QStringLiteral("Give the batch number of one survey, for example: "
                                            "pelmor-cli breakdown 050302-A --bins 15"));
    std::vector<flow::BreakdownRow> rows;
    const QString failure = breakDown(parser, context, arguments.at(1), rows);
    if (!failure.isEmpty())
        return fail(context, failure);

    {
        const bool asCsv = parser.isSet(csvOption());
        for (const flow::BreakdownRow& row : rows) {
            const QStringList fields{row.cDate, row.cTime, row.cCount, row.cHourTotal};
            if (asCsv) {
                QStringList quoted;
                for (const QString& field : fields)
                    quoted << csv::field(field);
                context.out << quoted.join(QLatin1Char(',')) << '\n';
            } else {
                context.out << fields.join(QLatin1Char('\t')) << '\n';
            }
        }
        context.out.flush();
    }
    return 0;
}

} // namespace pelmor::cli
