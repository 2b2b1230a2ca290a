#include "db/SafeFileWriter.h"

#include "db/DurableFiles.h"
#include "db/Files.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace pelmor::db {
namespace {

// A hidden work name beside `target` that no file has yet.
QString workNameFor(const QString& target, int attempt)
{
    const QFileInfo info(target);
    return info.dir().filePath(QStringLiteral(".%1.%2-%3.partial")
                                   .arg(info.fileName())
                                   .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))
                                   .arg(attempt));
}

} // namespace

SafeFileWriter::SafeFileWriter(const QString& path)
    : m_path(path)
    , m_target(resolvedPath(path))
{
}

SafeFileWriter::~SafeFileWriter()
{
    if (!m_committed)
        discard();
}

bool SafeFileWriter::open(QString* reason)
{
    m_writesThrough = isDeviceOrPipe(m_target);
    if (m_writesThrough) {
        // A pipe opens once something reads from it.
        m_file.setFileName(m_target);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::ExistingOnly))
            return failWith(reason, m_file.errorString());
        m_opened = true;
        return true;
    }
    if (QFileInfo(m_target).isDir())
        return failWith(reason, QStringLiteral("It is a folder."));
    // A new file of its own: nothing else writes under the work name.
    constexpr int kAttempts = 16;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        m_workName = workNameFor(m_target, attempt);
        m_file.setFileName(m_workName);
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            m_opened = true;
            return true;
        }
        if (QFileInfo::exists(m_workName))
            continue;
        break;
    }
    const QString error = m_file.errorString();
    m_workName.clear();
    return failWith(reason, error);
}

bool SafeFileWriter::commit(QString* reason)
{
    if (!m_opened)
        return failWith(reason, QStringLiteral("The file was not opened."));
    // A write that failed earlier (a full disk) is remembered by the file;
    // the last of the content is handed on here. A writer may have closed
    // the file already, which flushed it.
    bool flushed = m_file.error() == QFileDevice::NoError;
    if (flushed && m_file.isOpen())
        flushed = m_file.flush();
    m_file.close();
    flushed = flushed && m_file.error() == QFileDevice::NoError;
    const QString error = m_file.errorString();
    if (!flushed) {
        discard();
        return failWith(reason, error);
    }
    if (m_writesThrough) {
        m_committed = true;
        return true;
    }
    // The replaced file's permissions go over to the new one.
    if (QFileInfo::exists(m_target))
        QFile::setPermissions(m_workName, QFile::permissions(m_target));
    if (!syncFile(m_workName, reason) || !replaceFile(m_workName, m_target, reason)) {
        discard();
        return false;
    }
    m_committed = true;
    return true;
}

void SafeFileWriter::discard()
{
    m_file.close();
    if (!m_workName.isEmpty())
        QFile::remove(m_workName);
    m_workName.clear();
}

QString saveFile(const QString& path, const std::function<QString(QIODevice&)>& write)
{
    const auto cannotWrite = [&path](const QString& reason) {
        return QStringLiteral("The file %1 cannot be written: %2")
            .arg(displayPath(QFileInfo(path).absoluteFilePath()), reason);
    };
    SafeFileWriter file(path);
    QString reason;
    if (!file.open(&reason))
        return cannotWrite(reason);
    const QString failure = write(file.device());
    // The unfinished file goes with `file`. A write the file refused is
    // told with the file's name.
    if (!failure.isEmpty() && file.failedToWrite())
        return cannotWrite(file.device().errorString());
    if (!failure.isEmpty())
        return failure;
    if (!file.commit(&reason))
        return cannotWrite(reason);
    return QString();
}

} // namespace pelmor::db
