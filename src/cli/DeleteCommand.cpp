#include "Command.h"
#include "MaintenanceOutput.h"
#include "maintenance/SurveyDeletion.h"

namespace pelmor::cli {

void addDeleteOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("batch"), QStringLiteral("The batch number of the survey."));
    parser.addOption({QStringLiteral("all"), QStringLiteral("Delete every survey (needs --yes).")});
    addConfirmationOption(parser);
}

int runDelete(const QCommandLineParser& parser, Context& context)
{
    const QStringList arguments = parser.positionalArguments();
    if (parser.isSet(QStringLiteral("all"))) {
        if (arguments.size() != 1)
            return fail(context, QStringLiteral("Name a survey or --all, not both."));
        if (!confirmed(parser, context, maintenance::deleteAllQuestion(context.database)))
            return 1;
        return printOutcome(context, maintenance::deleteAllSurveys(context.database));
    }
    if (arguments.size() != 2)
        return fail(
            context,
            QStringLiteral("Name the survey: pelmor-cli delete BATCH, or pelmor-cli delete --all --yes"));
    // Deleting a survey that is not stored changes nothing and is no
    // error: a deletion run again after it was done succeeds.
    return printOutcome(context, maintenance::deleteSurvey(context.database, arguments[1]));
}

} // namespace pelmor::cli
