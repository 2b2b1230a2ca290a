#include "cli/Command.h"

namespace pelmor::cli {

int runInit(const QCommandLineParser& parser, Context& context);

namespace {

void noOptions(QCommandLineParser&) {}

} // namespace

const std::vector<Command>& commands()
{
    static const std::vector<Command> all = {
        {"init", "",
         "create the template pelmor.emp (written anew: it never holds data) and the survey "
         "database pelmor.mdb when there is none",
         noOptions, runInit},
    };
    return all;
}

int fail(Context& context, const QString& message)
{
    context.err << message << Qt::endl;
    return 1;
}

} // namespace pelmor::cli
