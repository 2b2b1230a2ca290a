#include "Command.h"
#include "SharedOptions.h"
#include "queries/Queries.h"

namespace pelmor::cli {

void addSurveysOptions(QCommandLineParser& parser)
{
    parser.addOption(
        {QStringLiteral("text"),
         QStringLiteral("Only surveys whose batch number, location or location code holds TEXT."),
         QStringLiteral("TEXT")});
    addSurveyFilterOptions(parser);
    parser.addOption({QStringLiteral("json"),
                      QStringLiteral("Print the surveys as JSON, each with its header and vehicles.")});
}

int runSurveys(const QCommandLineParser& parser, Context& context)
{
    queries::SurveyFilter filter;
    filter.text = parser.value(QStringLiteral("text"));
    if (!readSurveyFilter(parser, context, filter))
        return 1;
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
    // Only a survey read from another device's log says where it came from.
    if (!survey.value->source.isEmpty())
        context.out << "Source: " << survey.value->source << '\n';
    return 0;
}

} // namespace pelmor::cli
