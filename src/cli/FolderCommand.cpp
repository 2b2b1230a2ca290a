#include "Command.h"
#include "db/DbError.h"
#include "db/Files.h"
#include "store/DatabaseFolder.h"

namespace pelmor::cli {

void addFolderOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {QStringLiteral("set"),
         QStringLiteral("Remember DIR for this user as the database folder of the program and of "
                        "pelmor-cli (--db still wins)."),
         QStringLiteral("DIR")},
        {QStringLiteral("forget"), QStringLiteral("Forget the folder remembered for this user.")},
    });
}

// Prints the database folder and what chose it; with --set or --forget
// first changes the folder remembered for this user.
int runFolder(const QCommandLineParser& parser, Context& context)
{
    const bool set = parser.isSet(QStringLiteral("set"));
    const bool forget = parser.isSet(QStringLiteral("forget"));
    if (set && forget)
        return fail(context, QStringLiteral("Give either --set DIR or --forget, not both."));
    if (set && parser.value(QStringLiteral("set")).isEmpty())
        return fail(context, QStringLiteral("--set needs the folder that holds pelmor.mdb."));
    if (!set && !forget) {
        context.out << db::displayPath(context.folder) << '\n'
                    << store::describeSource(context.folderSource) << '\n';
        return 0;
    }
    try {
        store::rememberDatabaseFolder(set ? parser.value(QStringLiteral("set")) : QString());
    } catch (const db::DbError& error) {
        return fail(context, error.message());
    }
    return 0;
}

} // namespace pelmor::cli
