#pragma once

#include <QString>

// Names and places of the database files. They all live in the program
// folder: the survey database, its backup and the empty template.
namespace pelmor::db {

inline constexpr const char* kDatabaseFileName = "pelmor.mdb";
inline constexpr const char* kBackupFileName = "pelmor.bak";
inline constexpr const char* kTemplateFileName = "pelmor.emp";

// The program folder (the folder of the running program).
QString programFolder();

// The survey database in `folder` (by default the program folder).
QString databasePath(const QString& folder = programFolder());

// A path as the user's platform writes it, for messages.
QString displayPath(const QString& path);

// The folder a window that saves a file (a PDF, a CSV export) offers:
// `lastUsed` while it is still a folder the user may write in, otherwise the
// user's documents folder where there is one, otherwise the home folder.
QString saveFolder(const QString& lastUsed = QString());

} // namespace pelmor::db
