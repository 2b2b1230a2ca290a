#include "db/DbError.h"
#include "db/Files.h"
#include "db/Schema.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {

int fail(const QString& message)
{
    QTextStream(stderr) << message << '\n';
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pelmor-cli"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Works on the survey database without windows.\n\n"
                       "Commands:\n"
                       "  init    create the empty template pelmor.emp (written anew, it never holds data)\n"
                       "          and the survey database pelmor.mdb when there is none"));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("db"),
                      QStringLiteral("The folder of pelmor.mdb (default: the program's folder)."),
                      QStringLiteral("DIR")});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("The command to run."));
    parser.process(application);

    const QString folder =
        parser.isSet(QStringLiteral("db")) ? parser.value(QStringLiteral("db")) : pelmor::db::programFolder();
    const QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty())
        return fail(QStringLiteral("No command given. See pelmor-cli --help."));
    const QString command = arguments.first();
    try {
        if (command == QLatin1String("init")) {
            pelmor::db::initDatabaseFolder(folder);
            return 0;
        }
    } catch (const pelmor::db::DbError& error) {
        return fail(error.message());
    }
    return fail(QStringLiteral("Unknown command \"%1\". See pelmor-cli --help.").arg(command));
}
