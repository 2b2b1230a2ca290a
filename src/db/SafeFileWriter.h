#pragma once

#include <QFile>
#include <QString>

#include <functional>

class QIODevice;

namespace pelmor::db {

// Writes one file the way every file the program saves is written (exports,
// images, PDF documents, saved downloads).
//
// A plain file, or a name that is free, is written complete under a work
// name in the same folder, flushed to the disk and only then given its
// name: an older file stays as it was until the new one is whole, and a
// failure leaves no partial file behind. The file keeps the permissions
// of the one it replaces.
//
// What is not a plain file is never replaced: a symbolic link is followed
// and its target written as above, the link staying a link; a device or a
// named pipe is opened and written through, as a shell's redirection
// writes it (a pipe waits for its reader). A failed write, such as on a
// full disk, is a failure with the system's reason ("No space left on
// device").
class SafeFileWriter {
public:
    explicit SafeFileWriter(const QString& path);
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // Prepares the writing. False, with the system's reason, when the file
    // cannot be written at all (a missing or read-only folder, a folder of
    // that name).
    bool open(QString* reason = nullptr);
    // Where the content goes, once open() succeeded.
    QIODevice& device() { return m_file; }

    // Finishes the file: everything written reaches the disk (or the
    // device) and the file takes its name. False, with the reason, when
    // any write failed or the file could not take its name; nothing was
    // replaced then. Without commit() the work file is removed.
    bool commit(QString* reason = nullptr);

    // The file that is written: the path with its symbolic links followed.
    const QString& target() const { return m_target; }
    // Whether the target is written in place (a device or a named pipe).
    bool writesThrough() const { return m_writesThrough; }
    // Whether a write to the device has failed already.
    bool failedToWrite() const { return m_file.error() != QFileDevice::NoError; }

private:
    void discard();

    QString m_path;
    QString m_target;
    QString m_workName;
    QFile m_file;
    bool m_writesThrough = false;
    bool m_opened = false;
    bool m_committed = false;
};

// Writes `path` through a SafeFileWriter with `write`, which returns what
// went wrong or an empty text. Returns the failure to show, naming the file
// ("The file ... cannot be written: No space left on device"), or an empty
// text when the file was written.
QString saveFile(const QString& path, const std::function<QString(QIODevice&)>& write);

} // namespace pelmor::db
