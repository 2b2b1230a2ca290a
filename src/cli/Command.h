#pragma once

#include "db/Database.h"
#include "store/DatabaseFolder.h"

#include <QCommandLineParser>
#include <QImage>
#include <QString>
#include <QTextStream>

namespace pelmor::cli {

// What every command gets: the folder of the database and where to print.
struct Context {
    QString folder;                   // the folder that holds pelmor.mdb; empty on a server
    store::FolderSource folderSource; // what chose that folder
    db::Database database;            // that folder and pelmor.mdb
    QTextStream& out;
    QTextStream& err;
    // The agency server a command that sends to one sends to (--server, or
    // PELMOR_SERVER), while `database` stays the file; empty for the others.
    QString uploadServer{};
};

// The exit code of a command that lost the server while a change was being
// saved, so that it cannot tell whether the change was made: a script looks
// before it repeats the change. (1 is any refusal or failure, 2 a wrong
// command line.)
constexpr int kExitMaybeStored = 3;

// What sets a command apart from the others, kept with it in the table.
enum Trait : unsigned {
    kPlain = 0,
    // Keeps the database file itself: backup, compaction, repair, replace
    // or restore.
    kFileUpkeep = 1u << 0,
    // Erases every survey at once when given --all.
    kDeletesAllWithAll = 1u << 1,
    // Works on the database folder of this computer, never on a server.
    kFolderOnly = 1u << 2,
    // Sends the file's surveys to the server --server names: it works on
    // the file and the server at once.
    kSendsToServer = 1u << 3,
    // Draws images, which needs Qt's GUI side for its fonts.
    kDrawsWithFonts = 1u << 4,
};

// One command of pelmor-cli: its name and usage line, the options it adds to
// the parser, and what it does. run() returns the exit code: 0 on success,
// non-zero on any refusal or error (after printing the message).
struct Command {
    const char* name;
    const char* usage;       // arguments after the command name, e.g. "FILE.rsx --trailer A ..."
    const char* description; // one line for the command list
    void (*addOptions)(QCommandLineParser& parser);
    int (*run)(const QCommandLineParser& parser, Context& context);
    unsigned traits = kPlain;

    bool has(Trait trait) const { return (traits & trait) != 0; }
};

// Every command, in the order --help lists them.
const std::vector<Command>& commands();

// The command of that name; nullptr when there is none.
const Command* findCommand(const QString& name);

// Why the command does not run on `database` (it keeps the file, erases
// every survey, or works on this computer's folder, where the database is
// a server); empty when it does.
QString refusalOn(const db::Database& database, const Command& command, const QCommandLineParser& parser);

// Prints a message on the error stream and returns 1.
int fail(Context& context, const QString& message);

// Prints why a question got no answer (see queries::Answer) and returns 1.
template <typename Answer> int failed(Context& context, const Answer& answer)
{
    return fail(context, answer.message);
}

// Writes an image as a PNG file, as every file is saved (db::saveFile());
// what went wrong, naming the file, or an empty text.
QString writePng(const QString& path, const QImage& image);

} // namespace pelmor::cli
