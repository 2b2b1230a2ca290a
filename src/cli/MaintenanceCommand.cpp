#include "Command.h"
#include "MaintenanceOutput.h"
#include "maintenance/FileMaintenance.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/Repair.h"

namespace pelmor::cli {

int printOutcome(Context& context, const maintenance::Outcome& outcome)
{
    QString text = outcome.message;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (outcome.isDone()) {
        if (!text.isEmpty())
            context.out << text << Qt::endl;
        return 0;
    }
    context.err << text << Qt::endl;
    if (!outcome.details.isEmpty())
        context.err << outcome.details << Qt::endl;
    return 1;
}

void addConfirmationOption(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("yes"),
                      QStringLiteral("Go ahead without asking: the window asks before this, since the "
                                     "data it replaces or deletes is lost.")});
}

bool confirmed(const QCommandLineParser& parser, Context& context, const QString& question)
{
    if (parser.isSet(QStringLiteral("yes")))
        return true;
    QString text = question;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    context.err << text << "\nNothing was changed: add --yes to go ahead." << Qt::endl;
    return false;
}

int runBackup(const QCommandLineParser&, Context& context)
{
    return printOutcome(context, maintenance::backupDatabase(context.folder));
}

int runRepair(const QCommandLineParser&, Context& context)
{
    return printOutcome(context, maintenance::repairDatabase(context.folder));
}

int runReplace(const QCommandLineParser& parser, Context& context)
{
    if (!confirmed(parser, context, maintenance::replaceQuestion(context.folder)))
        return 1;
    return printOutcome(context, maintenance::replaceDatabase(context.folder));
}

int runRestore(const QCommandLineParser& parser, Context& context)
{
    // As in the window: no backup is said before anything is asked.
    if (!maintenance::backupExists(context.folder))
        return printOutcome(context, maintenance::Outcome::refused(maintenance::texts::kNoBackup));
    if (!confirmed(parser, context, maintenance::restoreQuestion(context.folder)))
        return 1;
    return printOutcome(context, maintenance::restoreDatabase(context.folder));
}

} // namespace pelmor::cli
