#include "import/ImportFailures.h"

#include "db/Files.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace pelmor::import {
namespace {

// Whether no new file can be made in the folder: SQLite needs one for the
// journal of every write.
bool folderRefusesNewFiles(const QString& folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("write-probe-XXXXXX")));
    return !probe.open();
}

const QString kKept = QStringLiteral("Nothing was stored; the download is kept.");

} // namespace

QString outOfMemoryMessage()
{
    return QStringLiteral("The survey could not be stored: the computer ran out of memory. %1 Close other "
                          "programs, then store the survey again.")
        .arg(kKept);
}

QString replacedMessage(const QString& databasePath)
{
    return QStringLiteral("The survey database %1 was replaced by another program (a backup or a restore) "
                          "while the survey was being stored. %2 Store the survey again.")
        .arg(db::displayPath(databasePath), kKept);
}

// What the user is told when the database, not the download, failed: what
// happened, that the download is kept, and what to do before storing the
// survey again.
QString databaseFailure(const db::DbError& error, const QString& databasePath)
{
    const QString file = db::displayPath(databasePath);
    const QString folder = db::displayPath(QFileInfo(databasePath).absolutePath());
    switch (error.failure()) {
    case db::Failure::InUse:
        return QStringLiteral("The survey database %1 is in use by another program. %2 Close that program, "
                              "then store the survey again.")
            .arg(file, kKept);
    case db::Failure::DiskFull:
        return QStringLiteral("The survey could not be stored: No space left on device (the disk that holds "
                              "%1 is full). %2 Free some disk space, then store the survey again.")
            .arg(file, kKept);
    case db::Failure::OutOfMemory:
        return outOfMemoryMessage();
    case db::Failure::Damaged:
        return QStringLiteral("The survey could not be stored: the survey database %1 is damaged. %2 "
                              "Repair the database, then store the survey again.")
            .arg(file, kKept);
    case db::Failure::Replaced:
        return replacedMessage(databasePath);
    case db::Failure::ReadOnly:
        if (folderRefusesNewFiles(QFileInfo(databasePath).absolutePath()))
            return QStringLiteral("The survey could not be stored: the folder %1 is read-only, so the survey "
                                  "database in it cannot be changed. %2 Make the folder writable, then store "
                                  "the survey again.")
                .arg(folder, kKept);
        if (QFileInfo::exists(databasePath) && !QFileInfo(databasePath).isWritable())
            return QStringLiteral("The survey could not be stored: the survey database %1 is read-only. %2 "
                                  "Make the file writable, then store the survey again.")
                .arg(file, kKept);
        break;
    default:
        break;
    }
    if (!QFileInfo::exists(databasePath))
        return QStringLiteral("The survey could not be stored: the survey database %1 was not found. %2 Make "
                              "a new blank database, then store the survey again.")
            .arg(file, kKept);
    return QStringLiteral("The survey could not be stored in the survey database %1. %2 The reason is given "
                          "below; once it is mended, store the survey again.")
        .arg(file, kKept);
}

// What the user is told when the agency server failed the import.
QString serverFailure(const db::DbError& error)
{
    switch (error.failure()) {
    case db::Failure::ConnectionLost:
        return QStringLiteral("The connection to the agency server was lost while the survey was being "
                              "stored: the survey was not stored on the server. %1 Check the network and "
                              "that the server runs, then store the survey again.")
            .arg(kKept);
    case db::Failure::MaybeSaved:
        return QStringLiteral("The connection to the agency server was lost at the moment the survey was "
                              "being saved: it may have been stored or not. The download is kept. Once the "
                              "server can be reached, look for the survey in the list of surveys (View / "
                              "Print Reports, or pelmor-cli surveys) and store it again only if it is not "
                              "there.");
    case db::Failure::NotAllowed:
        return QStringLiteral("The agency server refused to store the survey: your user lacks the right to "
                              "add surveys (the rights of the pelmor_officer role). %1 Ask the agency's IT "
                              "for that right, then store the survey again.")
            .arg(kKept);
    case db::Failure::InUse:
        return QStringLiteral("The survey could not be stored now: another user of the agency server is "
                              "storing or changing the same survey, download or site. %1 Try again in a "
                              "minute; the server's words are given below.")
            .arg(kKept);
    case db::Failure::Refused:
        return QStringLiteral("The agency server refused the survey as it is. %1 The server's reason is "
                              "given below.")
            .arg(kKept);
    default:
        return QStringLiteral(
                   "The survey could not be stored on the agency server. %1 The server's reason is "
                   "given below; once it is mended, store the survey again.")
            .arg(kKept);
    }
}

QString programFailure()
{
    return QStringLiteral("The survey could not be stored because of an error in the program. %1 Save the "
                          "download, then report the error given below.")
        .arg(kKept);
}

} // namespace pelmor::import
