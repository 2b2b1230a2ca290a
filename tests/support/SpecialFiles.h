#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <thread>

// Files that are not plain files, made for real in a test's folder: named
// pipes with a reader, and device nodes that behave as /dev/null or
// /dev/full without being them.
namespace pelmor::test {

// What a path is on the disk, a symbolic link not followed: "missing",
// "file", "folder", "link", "pipe", "device 1,7" (a character device with
// its numbers) or "other".
QString fileKind(const QString& path);

enum class Device { Null, Full };

// A character device at `path` that acts as /dev/null or /dev/full (all
// writes fail with "No space left on device"). A test run as root makes a
// node of its own, so a fault replaces only that node; an unprivileged test
// gets the system's device, which it cannot replace. Empty where neither is
// safe (root without the right to make nodes): the test skips then.
QString makeDevice(const QString& path, Device device);

// A named pipe at `path` and a reader on a thread of its own that waits for
// a writer and keeps all it writes.
class PipeReader {
public:
    explicit PipeReader(const QString& path);
    ~PipeReader();
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;

    // Whether the pipe was made.
    bool made() const { return m_made; }
    // Everything written, once the writer has closed the pipe. A writer
    // that never came is let go after a while: empty then.
    QByteArray received();

private:
    void stop();

    QString m_path;
    bool m_made = false;
    QByteArray m_received;
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

} // namespace pelmor::test
