#include "Command.h"
#include "db/DbError.h"
#include "store/SurveyStore.h"
#include "survey/SurveyRecord.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace pelmor::cli {

int runSurveys(const QCommandLineParser&, Context& context)
{
    try {
        for (const survey::ListedSurvey& listed : store::openStore(context.database)->listSurveys())
            context.out << listed.header.batchNumber << '\n';
    } catch (const db::DbError& error) {
        return fail(context, error.message());
    }
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
    const QString batch = arguments[1];
    try {
        const survey::SurveyRecord survey = store::openStore(context.database)->loadSurvey(batch);
        if (!survey.hasSummary)
            return fail(context, QStringLiteral("No statistics of a survey %1 are stored.").arg(batch));
        const auto fields = survey.summary.storedFields();
        if (parser.isSet(QStringLiteral("json"))) {
            QJsonObject object;
            for (const auto& [field, text] : fields)
                object.insert(field, text);
            context.out << QJsonDocument(object).toJson(QJsonDocument::Indented);
        } else {
            for (const auto& [field, text] : fields)
                context.out << field << ": " << text << '\n';
        }
    } catch (const db::DbError& error) {
        return fail(context, error.message());
    }
    return 0;
}

} // namespace pelmor::cli
