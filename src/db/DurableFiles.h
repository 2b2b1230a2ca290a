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

// Gives the failure's reason to the caller that asked for it (a null
// `reason` asks for none) and returns false, for a function that answers
// whether it worked.
bool failWith(QString* reason, const QString& text);

// Flushes a file's contents to the disk. False, with the system's reason,
// when that fails.
bool syncFile(const QString& path, QString* reason = nullptr);

// Flushes a folder's entries (names added, renamed or removed) to the disk.
// Where the system cannot flush a folder this does nothing.
void syncFolder(const QString& folder);

// The path with its symbolic links followed to the file they lead to (which
// need not exist); a path that is no link is returned absolute. A file
// reached through a link is replaced where it lies, so the link stays.
QString resolvedPath(const QString& path);

// Whether the path names something that exists and is neither a plain file
// nor a folder: a device, a named pipe, a socket. Such a file is written
// through, never replaced. A symbolic link counts as what it leads to.
bool isDeviceOrPipe(const QString& path);

// Gives the file `from` the name `to` in one step, replacing a file of that
// name: at every moment `to` names either the old file or the new one. The
// folder is flushed afterwards. False, with the reason, when it fails; both
// files are then as they were.
//
// Where `to` is a symbolic link, the file it leads to is replaced and the
// link stays. Where `to` is a device or a named pipe, the content of `from`
// is written into it and `from` removed: such a file is never replaced.
bool replaceFile(const QString& from, const QString& to, QString* reason = nullptr);

// Gives an existing file a second name in the same folder (a hard link):
// both names then stand for one and the same file; a symbolic link is
// followed, so the new name stands for the file it leads to. False, with the
// reason, where the file system has no such names or the name is taken.
bool linkFile(const QString& existing, const QString& newName, QString* reason = nullptr);

// Copies a file to `to` (a new file, replacing one of that name) and flushes
// the copy to the disk. On failure the partial copy is removed.
bool copyFile(const QString& from, const QString& to, QString* reason = nullptr);

} // namespace pelmor::db
