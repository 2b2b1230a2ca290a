#pragma once

#include "acquisition/SerialDownload.h"

#include <QByteArray>
#include <QString>

namespace pelmor::app {

// The program-wide values. main() owns the one instance and hands it to the
// windows; it outlives them, so the download buffer and the database path
// survive a main window that is closed and opened again.
struct AppState {
    // The folder of the database, its template and backup, and the saved
    // downloads: the program's own folder.
    QString programFolder;
    // The survey database: the program folder and "pelmor.mdb".
    QString databasePath;
    // The sign's download exactly as received or loaded, end mark included
    // once processed.
    QByteArray downloadBuffer;
    // The document the report window builds (1 to 7; 0 until first set).
    qint16 reportChoice = 0;
    // Port number to serial device.
    acquisition::PortResolver portDevice = acquisition::defaultPortDevice;
};

} // namespace pelmor::app
