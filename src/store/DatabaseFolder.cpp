#include "store/DatabaseFolder.h"

#include "db/DbError.h"
#include "db/DurableFiles.h"
#include "db/Files.h"
#include "store/SqliteSchema.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace pelmor::store {

using db::copyFile;
using db::DbError;
using db::displayPath;
using db::kDatabaseFileName;
using db::kTemplateFileName;
using db::linkFile;
using db::programFolder;
using db::replaceFile;

namespace {

QString absoluteFolder(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Whether a new file can be made in `folder`: tried for real, as neither
// the permission bits nor the user's id tell it (an administrator, a
// read-only mount or an immutable folder).
bool acceptsNewFiles(const QString& folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".pelmor-probe-XXXXXX")));
    return probe.open();
}

// A folder the program runs from keeps the database beside it when it
// already holds the database or its template and can be written.
bool isPortableFolder(const QString& folder)
{
    const QDir dir(folder);
    const bool holdsDatabaseFiles = QFileInfo::exists(dir.filePath(QLatin1String(kDatabaseFileName))) ||
                                    QFileInfo::exists(dir.filePath(QLatin1String(kTemplateFileName)));
    return holdsDatabaseFiles && acceptsNewFiles(folder);
}

QByteArray contentHash(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QByteArray();
    return hash.result();
}

// Copies `from` to `to` through a work file of this program's own, so that
// `to` is never seen half written and two programs doing the same at once
// never write into one file. With `replace` an existing `to` gives way to
// the copy; without it the first copy to take the name stays.
void placeCopy(const QString& from, const QString& to, bool replace)
{
    QTemporaryFile work(to + QStringLiteral(".XXXXXX.partial"));
    if (!work.open())
        throw DbError(QStringLiteral("Cannot write into the folder %1: %2. Make sure you may write there, or "
                                     "choose another database folder with --db DIR.")
                          .arg(displayPath(QFileInfo(to).absolutePath()), work.errorString()));
    work.close();
    QString reason;
    bool placed = copyFile(from, work.fileName(), &reason);
    if (placed && replace) {
        placed = replaceFile(work.fileName(), to, &reason);
    } else if (placed) {
        // A hard link takes the name only while it is free; where the file
        // system has none, the copy is renamed into place instead.
        placed = linkFile(work.fileName(), to) || QFileInfo::exists(to) ||
                 replaceFile(work.fileName(), to, &reason);
    }
    if (!placed)
        throw DbError(QStringLiteral("Cannot copy %1 to %2: %3. Make sure you may write in that folder, or "
                                     "choose another database folder with --db DIR.")
                          .arg(displayPath(from), displayPath(to), reason));
}

} // namespace

void setProgramNames()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Pelmor"));
    QCoreApplication::setApplicationName(QStringLiteral("Pelmor"));
}

QString installedSharedFolder()
{
    return QDir::cleanPath(QDir(programFolder()).filePath(QStringLiteral(PELMOR_SHARED_FROM_PROGRAM)));
}

QString userDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

DatabaseFolder chooseDatabaseFolder(const QString& option)
{
    if (!option.isEmpty())
        return {absoluteFolder(option), FolderSource::Option};
    const QString remembered = QSettings().value(QLatin1String(kDatabaseFolderSetting)).toString();
    if (!remembered.isEmpty())
        return {absoluteFolder(remembered), FolderSource::Setting};
    const QString program = programFolder();
    if (isPortableFolder(program))
        return {program, FolderSource::ProgramFolder};
    return {userDataFolder(), FolderSource::UserDataFolder};
}

QString describeSource(FolderSource source)
{
    switch (source) {
    case FolderSource::Option:
        return QStringLiteral("given with --db");
    case FolderSource::Setting:
        return QStringLiteral("remembered for this user (pelmor-cli folder --set DIR changes it, "
                              "pelmor-cli folder --forget forgets it)");
    case FolderSource::ProgramFolder:
        return QStringLiteral("the program's own folder, which holds the database");
    case FolderSource::UserDataFolder:
        return QStringLiteral("this user's data folder, as the program's own folder holds no database "
                              "that can be written");
    }
    return QString();
}

void rememberDatabaseFolder(const QString& folder)
{
    QSettings settings;
    if (folder.isEmpty())
        settings.remove(QLatin1String(kDatabaseFolderSetting));
    else
        settings.setValue(QLatin1String(kDatabaseFolderSetting), absoluteFolder(folder));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw DbError(
            QStringLiteral("Cannot write the setting file %1. Make sure you may write there, or give "
                           "the folder with --db DIR each time.")
                .arg(displayPath(settings.fileName())));
}

void prepareUserDataFolder(const QString& folder, const QString& sharedFolder)
{
    if (folder.isEmpty())
        throw DbError(QStringLiteral("This system names no data folder for the user. Choose the database "
                                     "folder with --db DIR."));
    if (!QDir().mkpath(folder))
        throw DbError(
            QStringLiteral("Cannot create the database folder %1. Make sure you may write there, or "
                           "choose another database folder with --db DIR.")
                .arg(displayPath(folder)));
    const QDir dir(folder);
    const QString templatePath = dir.filePath(QLatin1String(kTemplateFileName));
    const QString installedTemplate = QDir(sharedFolder).filePath(QLatin1String(kTemplateFileName));
    // The template follows the installed one, so that a newer program's
    // template reaches a user who started an older one.
    if (QFileInfo::exists(installedTemplate)) {
        if (contentHash(installedTemplate) != contentHash(templatePath))
            placeCopy(installedTemplate, templatePath, true);
    } else if (!QFileInfo::exists(templatePath)) {
        createEmptyDatabase(templatePath);
    }

    const QString databaseFile = dir.filePath(QLatin1String(kDatabaseFileName));
    if (QFileInfo::exists(databaseFile))
        return;
    placeCopy(templatePath, databaseFile, false);
    // A new database comes with the sample downloads for a first try.
    const QStringList samples =
        QDir(sharedFolder).entryList({QStringLiteral("*.rsx")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& sample : samples) {
        if (!QFileInfo::exists(dir.filePath(sample)))
            placeCopy(QDir(sharedFolder).filePath(sample), dir.filePath(sample), false);
    }
}

DatabaseFolder openDatabaseFolder(const QString& option)
{
    const DatabaseFolder folder = chooseDatabaseFolder(option);
    if (folder.source == FolderSource::UserDataFolder)
        prepareUserDataFolder(folder.path, installedSharedFolder());
    return folder;
}

QCommandLineOption databaseFolderOption()
{
    return QCommandLineOption(
        QStringLiteral("db"),
        QStringLiteral("The folder that holds pelmor.mdb (default: the folder remembered with "
                       "'pelmor-cli folder --set DIR', else the program's folder when it holds the "
                       "database, else this user's data folder)."),
        QStringLiteral("DIR"));
}

QString databaseFolderRefusal(const QCommandLineParser& parser)
{
    const QString name = databaseFolderOption().names().constFirst();
    if (parser.isSet(name) && parser.value(name).trimmed().isEmpty())
        return QStringLiteral("--db needs the folder that holds pelmor.mdb.");
    return QString();
}

DatabaseFolder openDatabaseFolder(const QCommandLineParser& parser)
{
    if (const QString refusal = databaseFolderRefusal(parser); !refusal.isEmpty())
        throw DbError(refusal);
    return openDatabaseFolder(parser.value(databaseFolderOption().names().constFirst()));
}

} // namespace pelmor::store
