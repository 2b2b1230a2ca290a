#pragma once

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;

// Where the survey database lives. A program run from a folder of its own
// (a build, or a copy unpacked anywhere the user can write) keeps the
// database, its template, its backup and the saved downloads beside it. An
// installed program, whose folder the user cannot write, keeps them in the
// user's data folder, made from the installed template on first start. The
// --db option, and a per-user setting, name another folder.
namespace pelmor::store {

// What chose the database folder, the most binding first.
enum class FolderSource { Option, Setting, ProgramFolder, UserDataFolder };

struct DatabaseFolder {
    QString path;
    FolderSource source;
};

// The key of the per-user setting that names the database folder.
inline constexpr const char* kDatabaseFolderSetting = "DatabaseFolder";

// Names the program as the user's settings and data folders know it. Every
// program that works on the database calls it before it looks for the
// folder, so that all of them find the same setting and the same folder.
void setProgramNames();

// The folder of the installed program's shared files (the template and the
// sample downloads), found from the program's own folder.
QString installedSharedFolder();

// The user's data folder for the program; empty where the system has none.
QString userDataFolder();

// The database folder: the one given (by --db) when not empty, else the
// folder the setting names, else the program's folder where it holds the
// database or its template and new files can be made in it, else the
// user's data folder. Relative paths are made absolute.
DatabaseFolder chooseDatabaseFolder(const QString& option);

// Why the folder was chosen, in words, for the user.
QString describeSource(FolderSource source);

// Remembers `folder` (made absolute) for this user as the database folder;
// an empty text forgets the folder remembered. Throws DbError when the
// setting cannot be written.
void rememberDatabaseFolder(const QString& folder);

// Makes `folder` hold the template, written from the one in `sharedFolder`
// (or anew when there is none) whenever it differs from it; and, when the
// folder holds no database yet, a database copied from the template and the
// sample downloads of `sharedFolder`. An existing database is never
// replaced. Safe against a second program doing the same at the same time.
// Throws DbError, naming the folder or file and what to do.
void prepareUserDataFolder(const QString& folder, const QString& sharedFolder);

// Chooses the database folder as chooseDatabaseFolder() does and prepares it
// when it is the user's data folder. Throws DbError.
DatabaseFolder openDatabaseFolder(const QString& option);

// The --db DIR option of every program that works on the database.
QCommandLineOption databaseFolderOption();

// Why the --db that `parser` read cannot be used (given, but empty); empty
// when it can or was not given.
QString databaseFolderRefusal(const QCommandLineParser& parser);

// The database folder as the arguments that `parser` read (with
// databaseFolderOption()) name it, opened as openDatabaseFolder() opens
// it. Throws DbError, also with the refusal above.
DatabaseFolder openDatabaseFolder(const QCommandLineParser& parser);

} // namespace pelmor::store
