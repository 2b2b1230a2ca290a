#include "db/Files.h"

#include <QCoreApplication>
#include <QDir>

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

} // namespace pelmor::db
