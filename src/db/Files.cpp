#include "db/Files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace pelmor::db {

QString programFolder()
{
    return QCoreApplication::applicationDirPath();
}

QString databasePath(const QString& folder)
{
    return QDir(folder).filePath(QLatin1String(kDatabaseFileName));
}

QString displayPath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString saveFolder(const QString& lastUsed)
{
    for (const QString& folder :
         {lastUsed, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), QDir::homePath()}) {
        const QFileInfo info(folder);
        if (!folder.isEmpty() && info.isDir() && info.isWritable())
            return info.absoluteFilePath();
    }
    return QDir::homePath();
}

} // namespace pelmor::db
