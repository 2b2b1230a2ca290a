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

// One command of pelmor-cli: its name and usage line, the options it adds to
// the parser, and what it does. run() returns the exit code: 0 on success,
// non-zero on any refusal or error (after printing the message).
struct Command {
    const char* name;
    const char* usage;       // arguments after the command name, e.g. "FILE.rsx --trailer A ..."
    const char* description; // one line for the command list
    void (*addOptions)(QCommandLineParser& parser);
    int (*run)(const QCommandLineParser& parser, Context& context);
};

// Every command, in the order --help lists them.
const std::vector<Command>& commands();

// Whether the named command draws images, which needs Qt's GUI side for
// its fonts.
bool drawsWithFonts(const QString& name);

// Whether the command sends the file's surveys to the server --server
// names: it works on the file and the server at once.
bool sendsToServer(const Command& command);

// Why the command does not run on the agency server (it keeps the file,
// or erases every survey); empty when it does.
QString refusalOnServer(const Command& command, const QCommandLineParser& parser);

// Prints a message on the error stream and returns 1.
int fail(Context& context, const QString& message);

// Writes an image as a PNG file, as every file is saved (db::saveFile());
// what went wrong, naming the file, or an empty text.
QString writePng(const QString& path, const QImage& image);

} // namespace pelmor::cli
