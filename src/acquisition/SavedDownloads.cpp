#include "acquisition/SavedDownloads.h"

#include "db/SafeFileWriter.h"
#include "text/Formats.h"

#include <QDir>
#include <QFile>

#include <algorithm>

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

QString tooLargeReason(qint64 size, qint64 largest)
{
    // The vehicles to one significant digit: the bytes of a vehicle vary.
    qint64 vehicles = std::max<qint64>(1, largest / kBytesPerVehicle);
    qint64 unit = 1;
    while (vehicles / unit >= 10)
        unit *= 10;
    vehicles = vehicles / unit * unit;
    const QString most =
        QStringLiteral("the %1 of the largest download the program takes (about %2 vehicles)")
            .arg(text::formatDataSize(largest), text::formatCount(vehicles));
    if (size < 0)
        return QStringLiteral("it holds more than ") + most;
    return QStringLiteral("it is %1, more than %2").arg(text::formatDataSize(size), most);
}

bool readSavedDownload(const QString& path, QByteArray& buffer, QString* reason)
{
    buffer.clear();
    QFile file(path);
    QString failure;
    if (!file.open(QIODevice::ReadOnly)) {
        failure = file.errorString();
    } else if (!file.isSequential() && file.size() > kLargestDownload) {
        failure = tooLargeReason(file.size());
    } else {
        // Read a piece at a time up to one byte past the largest download: a
        // plain file into room for its size alone, a device or a pipe (which
        // tells no size) until it ends or passes that.
        QByteArray content;
        content.reserve(file.isSequential() ? 0 : file.size());
        QByteArray piece(1024 * 1024, Qt::Uninitialized);
        while (content.size() <= kLargestDownload) {
            const qint64 read = file.read(piece.data(), piece.size());
            if (read <= 0)
                break;
            content.append(piece.constData(), read);
        }
        if (file.error() != QFileDevice::NoError)
            failure = file.errorString();
        else if (content.size() > kLargestDownload)
            failure = tooLargeReason(file.isSequential() ? -1 : file.size());
        else
            buffer = std::move(content);
    }
    if (failure.isEmpty())
        return true;
    if (reason)
        *reason = failure;
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
