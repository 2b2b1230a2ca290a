#include "Command.h"
#include "db/DbError.h"
#include "db/Files.h"
#include "store/DatabaseFolder.h"
#include "text/MessageText.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace pelmor;

namespace {

// The command's name: the first argument that is neither an option nor the
// value of --db.
QString commandName(const QStringList& arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--db") || argument == QLatin1String("--server")) {
            ++i;
            continue;
        }
        if (!argument.startsWith(QLatin1Char('-')))
            return argument;
    }
    return QString();
}

// Whether an argument is a negative number ("-71.06", "-5", "-.5"): a value
// such as a western longitude, never an option.
bool isNegativeNumber(const QString& argument)
{
    static const QRegularExpression number(QStringLiteral("^-(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    return number.match(argument).hasMatch();
}

// The arguments as the parser is to read them. QCommandLineParser takes
// "-71.06" for the options -7, -1, ...; so when a negative number is given,
// the positional arguments are moved behind "--", in their order, and the
// options stay before it. Which arguments are positional is found by a
// first parse in which each argument that may be one stands as a token no
// option can be. Arguments that already hold "--" are left as they are.
QStringList withNegativeNumbersAsValues(QCommandLineParser& parser, const QStringList& arguments)
{
    const auto negative = std::find_if(arguments.begin() + 1, arguments.end(), isNegativeNumber);
    if (negative == arguments.end() || arguments.contains(QStringLiteral("--")))
        return arguments;
    QStringList tokens{arguments.first()};
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool mayBeValue =
            !argument.startsWith(QLatin1Char('-')) || argument.size() == 1 || isNegativeNumber(argument);
        tokens << (mayBeValue ? QStringLiteral("\x01%1").arg(i) : argument);
    }
    // Refused (an unknown option, say): the tokens are refused the same way,
    // with no negative number in the message taken for options.
    if (!parser.parse(tokens))
        return tokens;
    QSet<int> positional;
    for (const QString& token : parser.positionalArguments())
        positional.insert(token.mid(1).toInt());
    QStringList options, values;
    for (int i = 1; i < arguments.size(); ++i)
        (positional.contains(i) ? values : options) << arguments[i];
    return QStringList{arguments.first()} + options + QStringList{QStringLiteral("--")} + values;
}

QString overview()
{
    QString text = QStringLiteral(
        "pelmor-cli works on the survey database without windows, with the program's own code and "
        "messages.\n\nUsage: pelmor-cli [--db DIR | --server URL] COMMAND [options]\n\n"
        "  --db DIR      the folder that holds pelmor.mdb (default: the folder remembered with 'pelmor-cli\n"
        "                folder --set DIR', else the program's folder when it holds the database, else\n"
        "                this user's data folder, made from the installed template on first use)\n"
        "  --server URL  the agency's PostgreSQL server instead of the file: a libpq connection string\n"
        "                or URI (default: the environment variable PELMOR_SERVER when --db is not given)\n\n"
        "Commands:\n");
    for (const cli::Command& command : cli::commands()) {
        const QString usage =
            QStringLiteral("%1 %2").arg(QLatin1String(command.name), QLatin1String(command.usage));
        text += QStringLiteral("  %1\n      %2\n").arg(usage.trimmed(), QLatin1String(command.description));
    }
    text += QStringLiteral("\n'pelmor-cli COMMAND --help' shows the options of one command.\n");
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    // A command that draws needs Qt's GUI side for its fonts (but never a
    // display); the others start without it.
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    std::unique_ptr<QCoreApplication> application;
    const cli::Command* drawing = cli::findCommand(commandName(rawArguments));
    if (drawing && drawing->has(cli::kDrawsWithFonts)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    store::setProgramNames();
    QTextStream out(stdout);
    QTextStream err(stderr);

    const QStringList arguments = QCoreApplication::arguments();
    const QString name = commandName(arguments);
    const cli::Command* command = cli::findCommand(name);
    if (!command) {
        if (name.isEmpty() &&
            (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h")))) {
            out << overview();
            return 0;
        }
        err << (name.isEmpty() ? QStringLiteral("No command given.")
                               : QStringLiteral("Unknown command %1.").arg(text::quotedValue(name)))
            << "\n\n"
            << overview();
        return 2;
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(command->description));
    parser.addHelpOption();
    const QCommandLineOption dbOption = store::databaseFolderOption();
    parser.addOption(dbOption);
    const QCommandLineOption serverOption(
        QStringLiteral("server"),
        QStringLiteral("The agency's PostgreSQL server (a libpq connection string or URI) instead of the "
                       "file; PELMOR_SERVER gives the default."),
        QStringLiteral("URL"));
    parser.addOption(serverOption);
    parser.addPositionalArgument(
        QLatin1String(command->name), QStringLiteral("The command."),
        QStringLiteral("%1 %2").arg(QLatin1String(command->name), QLatin1String(command->usage)));
    command->addOptions(parser);
    if (!parser.parse(withNegativeNumbersAsValues(parser, arguments))) {
        err << parser.errorText() << Qt::endl;
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out << parser.helpText();
        return 0;
    }
    if (const QString refusal = store::databaseFolderRefusal(parser); !refusal.isEmpty()) {
        err << refusal << Qt::endl;
        return 2;
    }
    if (parser.isSet(dbOption) && parser.isSet(serverOption) && !command->has(cli::kSendsToServer)) {
        err << "Give either --db DIR (the file on this computer) or --server URL (the agency server), not "
               "both: drop one of them."
            << Qt::endl;
        return 2;
    }
    if (parser.isSet(serverOption) && parser.value(serverOption).trimmed().isEmpty()) {
        err << "--server needs the server's connection string, e.g. "
               "postgresql://officer1@db.example.org/traffic."
            << Qt::endl;
        return 2;
    }
    // An explicit --db wins over the server the environment names, except
    // for an upload, which sends from the file to the server.
    const QString target = parser.isSet(serverOption) ? parser.value(serverOption).trimmed()
                                                      : qEnvironmentVariable("PELMOR_SERVER").trimmed();
    const QString server =
        command->has(cli::kSendsToServer) || (parser.isSet(dbOption) && !parser.isSet(serverOption))
            ? QString()
            : target;
    if (!server.isEmpty()) {
        const db::Database database = db::Database::ofServer(server);
        if (const QString refusal = cli::refusalOn(database, *command, parser); !refusal.isEmpty()) {
            err << refusal << Qt::endl;
            return 1;
        }
        cli::Context context{QString(), store::FolderSource::Option, database, out, err};
        return command->run(parser, context);
    }
    store::DatabaseFolder folder;
    try {
        folder = store::openDatabaseFolder(parser);
    } catch (const db::DbError& error) {
        err << error.message() << Qt::endl;
        return 1;
    }
    cli::Context context{folder.path, folder.source, {db::databasePath(folder.path)},
                         out,         err,           command->has(cli::kSendsToServer) ? target : QString()};
    return command->run(parser, context);
}
