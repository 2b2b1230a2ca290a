#pragma once

#include "acquisition/SerialDownload.h"
#include "db/Database.h"
#include "db/ServerChoice.h"
#include "import/SurveyImport.h"
#include "session/CurrentSurvey.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace pelmor::app {

enum class ImportStep;

// The program-wide values. main() owns the one instance and hands it to the
// windows; it outlives them, so the download buffer and the database path
// survive a main window that is closed and opened again.
struct AppState {
    // The folder of the database, its template and backup, and the saved
    // downloads, chosen at start (store::openDatabaseFolder).
    QString databaseFolder;
    // The survey database: the database folder and "pelmor.mdb".
    db::Database database;
    // The database chosen for this session: the file (useServer false) or
    // the agency server that `database.server` connects to.
    db::ServerChoice serverChoice;
    // The password of the agency server typed in this session, when libpq
    // found none in its usual places. Kept in memory only, never written.
    QString serverPassword;
    // The sign's download exactly as received or loaded, end mark included
    // once processed.
    QByteArray downloadBuffer;
    // Whether the buffer is kept somewhere besides: loaded from a saved
    // file, saved as one, or stored as a survey. Data that came from the
    // sign since is not, and closing the program would lose it.
    bool downloadKept = true;
    // The step the import tab shows. A main window opened anew (on return
    // from "Database Management", or on another database) shows a download
    // that is neither saved nor stored at that step again.
    ImportStep importStep{};
    // The header of that download as the user left it.
    std::optional<import::SurveyHeader> typedHeader;
    // The survey worked on and what was worked out for it: the tabs and
    // the report window follow it. It outlives the main window, as the
    // document chosen last does.
    session::CurrentSurvey current;
    // Port number to serial device.
    acquisition::PortResolver portDevice = acquisition::defaultPortDevice;
};

} // namespace pelmor::app
