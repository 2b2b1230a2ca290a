#include "Command.h"
#include "db/DbError.h"
#include "store/SqliteSchema.h"

namespace pelmor::cli {

int runInit(const QCommandLineParser&, Context& context)
{
    try {
        store::initDatabaseFolder(context.folder);
    } catch (const db::DbError& error) {
        return fail(context, error.message());
    }
    return 0;
}

} // namespace pelmor::cli
