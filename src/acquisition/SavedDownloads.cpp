#include "acquisition/SavedDownloads.h"

#include "db/SafeFileWriter.h"

#include <QDir>
#include <QFile>

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
    db::SafeFileWriter file(path);
    QString failure;
    if (!file.open(&failure)) {
        if (reason)
            *reason = failure;
        return false;
    }
    // A write that fails is remembered by the file and told by commit().
    file.device().write(buffer);
    file.device().write("\r\n", 2);
    return file.commit(reason);
}

} // namespace pelmor::acquisition
