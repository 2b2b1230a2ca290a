#pragma once

#include <QString>

// File moves that survive a crash or a power cut at any moment: a file is
// written completely under a work name and flushed to the disk, and only
// then takes its final name, in one step that replaces the old file.
//
// None of these opens a database file that SQLite holds open in this
// process: on POSIX systems closing a second descriptor of a file drops the
// locks SQLite holds on it.
namespace pelmor::db {

// Flushes a file's contents to the disk. False, with the system's reason,
// when that fails.
bool syncFile(const QString& path, QString* reason = nullptr);

// Flushes a folder's entries (names added, renamed or removed) to the disk.
// Where the system cannot flush a folder this does nothing.
void syncFolder(const QString& folder);

// Gives the file `from` the name `to` in one step, replacing a file of that
// name: at every moment `to` names either the old file or the new one. The
// folder is flushed afterwards. False, with the reason, when it fails; both
// files are then as they were.
bool replaceFile(const QString& from, const QString& to, QString* reason = nullptr);

// Gives an existing file a second name in the same folder (a hard link):
// both names then stand for one and the same file. False, with the reason,
// where the file system has no such names or the name is taken.
bool linkFile(const QString& existing, const QString& newName, QString* reason = nullptr);

// Copies a file to `to` (a new file, replacing one of that name) and flushes
// the copy to the disk. On failure the partial copy is removed.
bool copyFile(const QString& from, const QString& to, QString* reason = nullptr);

} // namespace pelmor::db
