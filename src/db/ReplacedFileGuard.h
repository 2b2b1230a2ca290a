#pragma once

namespace pelmor::db {

// SQLite keeps a rollback journal beside a database file, found by the
// file's name. When a maintenance operation has put a new file in place of
// the database, a connection that still has the old file open (a window's
// views, a reader in another program) would take the new file's journal
// for one of its own file's, left by a crash, and play it into the old file,
// deleting it under the program that is writing the new one. SQLite itself
// already refuses to write to a file that has lost its name.
//
// This makes every database this process opens from then on (a connection,
// a maintenance operation's own handle) see a journal beside its name as in use by
// another program whenever its own file no longer bears that name, so it
// leaves the journal alone. Called before a database is opened; later
// calls do nothing.
void guardAgainstReplacedFiles();

} // namespace pelmor::db
