#include "Command.h"
#include "queries/Queries.h"

namespace pelmor::cli {

void addSurveysOptions(QCommandLineParser& parser)
{
    parser.addOption(
        {QStringLiteral("text"),
         QStringLiteral("Only surveys whose batch number, location or location code holds TEXT."),
         QStringLiteral("TEXT")});
    parser.addOption(
        {QStringLiteral("zone"), QStringLiteral("Only surveys of this zone."), QStringLiteral("Z")});
    parser.addOption({QStringLiteral("direction"),
                      QStringLiteral("Only surveys of this direction of travel."), QStringLiteral("D")});
    parser.addOption({QStringLiteral("since"),
                      QStringLiteral("Only surveys that began on or after this date."),
                      QStringLiteral("MM/DD/YYYY")});
    parser.addOption({QStringLiteral("until"),
                      QStringLiteral("Only surveys that began on or before this date."),
                      QStringLiteral("MM/DD/YYYY")});
    parser.addOption({QStringLiteral("json"),
                      QStringLiteral("Print the surveys as JSON, each with its header and vehicles.")});
}

int runSurveys(const QCommandLineParser& parser, Context& context)
{
    queries::SurveyFilter filter;
    filter.text = parser.value(QStringLiteral("text"));
    filter.zone = parser.value(QStringLiteral("zone"));
    filter.direction = parser.value(QStringLiteral("direction"));
    const auto since =
        queries::readFilterDate(QStringLiteral("--since"), parser.value(QStringLiteral("since")));
    if (!since.ok())
        return failed(context, since);
    const auto until =
        queries::readFilterDate(QStringLiteral("--until"), parser.value(QStringLiteral("until")));
    if (!until.ok())
        return failed(context, until);
    filter.since = *since.value;
    filter.until = *until.value;
    const auto surveys = queries::listSurveys(context.database, filter);
    if (!surveys.ok())
        return failed(context, surveys);
    if (parser.isSet(QStringLiteral("json"))) {
        context.out << queries::jsonText(queries::surveysJson(*surveys.value));
        return 0;
    }
    for (const survey::ListedSurvey& listed : *surveys.value)
        context.out << listed.header.batchNumber << '\n';
    return 0;
}

void addSummaryOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("batch"), QStringLiteral("The batch number of the survey."));
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print the row as one JSON object.")});
}

int runSummary(const QCommandLineParser& parser, Context& context)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 2)
        return fail(context, QStringLiteral("Name the survey: pelmor-cli summary BATCH"));
    const auto survey = queries::storedSurvey(context.database, arguments[1]);
    if (!survey.ok())
        return failed(context, survey);
    if (parser.isSet(QStringLiteral("json"))) {
        context.out << queries::jsonText(queries::summaryJson(survey.value->summary));
        return 0;
    }
    for (const auto& [field, text] : survey.value->summary.storedFields())
        context.out << field << ": " << text << '\n';
    return 0;
}

} // namespace pelmor::cli
