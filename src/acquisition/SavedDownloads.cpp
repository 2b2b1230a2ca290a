#include "acquisition/SavedDownloads.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace pelmor::acquisition {

QStringList listSavedDownloads(const QString& folder)
{
    QDir dir(folder);
    dir.setNameFilters({QLatin1Char('*') + QLatin1String(kSavedExtension)});
    dir.setFilter(QDir::Files | QDir::Hidden);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    return dir.entryList();
}

QString savedFileName(const QString& typedName)
{
    const QLatin1String extension(kSavedExtension);
    return typedName.endsWith(extension, Qt::CaseSensitive) ? typedName : typedName + extension;
}

bool readSavedDownload(const QString& path, QByteArray& buffer, QString* reason)
{
    buffer.clear();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        buffer = file.readAll();
    if (file.isOpen() && file.error() == QFileDevice::NoError)
        return true;
    buffer.clear();
    if (reason)
        *reason = file.errorString();
    return false;
}

bool writeSavedDownload(const QString& path, const QByteArray& buffer, QString* reason)
{
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(buffer) == buffer.size() &&
                         file.write("\r\n", 2) == 2 && file.commit();
    if (!written && reason)
        *reason = file.errorString();
    return written;
}

} // namespace pelmor::acquisition
