#include "Command.h"
#include "db/DbError.h"
#include "store/PgServerSchema.h"
#include "store/SurveyStore.h"
#include "text/MessageText.h"

namespace pelmor::cli {

void addServerOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("init"),
                                 QStringLiteral("Set the server up, or bring it to this program's version."));
}

// Sets the server --server names up for the program and says what changed.
int runServer(const QCommandLineParser& parser, Context& context)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 2 || arguments[1] != QLatin1String("init"))
        return fail(context, QStringLiteral("Say what to do: pelmor-cli --server URL server init"));
    if (store::capabilitiesOf(context.database).keeper != store::Keeper::AgencyServer)
        return fail(context, QStringLiteral("Name the server to set up: pelmor-cli --server URL server init "
                                            "(or set PELMOR_SERVER)."));
    store::ServerSetup setup;
    try {
        setup = store::initServer(context.database);
    } catch (const db::DbError& error) {
        return fail(context, error.message());
    }
    if (setup.changedNothing()) {
        context.out << QStringLiteral("The server is set up for this program already (version %1); nothing "
                                      "was changed.")
                           .arg(store::kServerSchemaVersion)
                    << Qt::endl;
        return 0;
    }
    if (setup.createdRoles)
        context.out << "Made the group roles pelmor_officer and pelmor_admin." << Qt::endl;
    if (setup.previousVersion == 0)
        context.out
            << QStringLiteral("Set the survey database up (version %1).").arg(store::kServerSchemaVersion)
            << Qt::endl;
    else if (setup.previousVersion < store::kServerSchemaVersion)
        context.out << QStringLiteral("Brought the survey database from version %1 to version %2; every "
                                      "survey is kept.")
                           .arg(setup.previousVersion)
                           .arg(store::kServerSchemaVersion)
                    << Qt::endl;
    if (!setup.refusedRows.isEmpty()) {
        QStringList shown;
        for (const QString& row : setup.refusedRows)
            shown << text::quotedValue(row);
        context.out << QStringLiteral("Rows stored before the server checked them, which it would refuse "
                                      "now (a header with fields missing, a name too long): %1. They are "
                                      "kept as they are and left out of the sites; an administrator can "
                                      "delete such a survey with pelmor-cli --server URL delete BATCH.")
                           .arg(shown.join(QStringLiteral(", ")))
                    << Qt::endl;
    }
    if (!setup.sharedDownloads.empty()) {
        QStringList groups;
        for (const QStringList& batches : setup.sharedDownloads) {
            QStringList shown;
            for (const QString& batch : batches)
                shown << text::quotedValue(batch);
            groups << shown.join(QStringLiteral(" and "));
        }
        context.out << QStringLiteral(
                           "Surveys stored before the server told downloads apart by their vehicles "
                           "alone, which hold one download between them under different starts: "
                           "%1. They are kept as they are, and none of those downloads is stored "
                           "again; if one of them is stored wrongly, an administrator can delete "
                           "it with pelmor-cli --server URL delete BATCH.")
                           .arg(groups.join(QStringLiteral("; ")))
                    << Qt::endl;
    }
    return 0;
}

} // namespace pelmor::cli
