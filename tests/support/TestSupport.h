#pragma once

#include "db/Database.h"
#include "ui/Messages.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QProcess;

namespace pelmor::test {

// Adds one row to a data-driven test: its name, then its columns in order.
template <typename... Columns> void row(const char* name, const Columns&... columns)
{
    (QTest::newRow(name) << ... << columns);
}

// What a program run by a test did: its exit code (-1 when it did not
// finish in time) and what it printed, trimmed.
struct ProgramRun {
    int exitCode;
    QString out;
    QString err;
};

// Runs a program, such as the headless tool, and waits for it to end; in
// this test's environment, or in the one given.
ProgramRun runProgram(const QString& program, const QStringList& arguments, int timeoutMs = 120000);
ProgramRun runProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& environment, int timeoutMs = 120000);

// Starts `program` with `arguments` `kills` times and kills it outright
// (SIGKILL: no chance to clean up) at moments drawn from `seed`, spread
// between 5 % and `latest` (a share) of `wholeMs`, the length of a whole
// run. `before` runs ahead of each start (to put the database back);
// `check` after each kill, given a text that names the moment for its messages. A run that
// ended before its kill does not count, and later moments come earlier. A
// failed check ends the loop (QTest::currentTestFailed() tells the caller).
void killAtSpreadMoments(const QString& program, const QStringList& arguments, qint64 wholeMs, double latest,
                         quint32 seed, const std::function<void()>& before,
                         const std::function<void(const QString&)>& check, int kills = 20);

// The message of the DbError that `work` throws; null when it throws none.
QString dbErrorOf(const std::function<void()>& work);

// The bytes of a file; none when it cannot be read.
QByteArray fileBytes(const QString& path);
// Makes `bytes` the whole of the file at `path`; false when it cannot.
bool writeFile(const QString& path, const QByteArray& bytes);

// The rows a statement reads, in the order the statement gives them (a
// where clause may read them along an index: "order by rowid" keeps the
// order they were stored in), each as the texts of `fields` (every field
// when none are named) joined by "|". Throws DbError.
QStringList rowTexts(const QString& databasePath, const QString& statement, const QStringList& fields = {});

// How many descriptors of this process are open on the file at `path`:
// each open connection holds one. Read from /proc/self/fd.
int openDescriptorsOn(const QString& path);

// The files mapped into this process whose name contains `name`, each once:
// the shared libraries it has loaded. Read from /proc/self/maps.
QStringList loadedLibraries(const QString& name);

// The libraries loaded into this process that hold a definition of the
// function `symbol` of their own, by file name.
QStringList librariesDefining(const char* symbol);

// Runs SQL statements on a database file through SQLite itself, behind the
// program's back: the file is not brought up to date and none of the
// program's checks apply. Throws DbError.
void executeOnFile(const QString& path, const QString& statements);

// Writes a database of an older layout (version 0: no identity keys; 1: no
// sites; 3: no vehicle counts) to `path` holding one Header row per batch number given, in order,
// each with `vehicles` vehicle rows and a statistics row. Written through
// SQLite directly, so the file is not brought up to date on the way.
void writeOlderDatabase(const QString& path, const QStringList& headerBatches, int vehicles = 2,
                        int version = 0);

// The layout version stored in a database file's header, read without
// opening it as the program does (which may bring it up to date).
int schemaVersionOf(const QString& path);

// A program folder of its own for one test, holding a fresh database made
// from the template (and the template itself), and a log of the statements
// issued on connections opened through database(). Per-user settings, of
// this process and of the programs it starts, are kept in the folder too.
class TempProgramFolder {
public:
    TempProgramFolder();
    QString path() const { return m_dir.path(); }
    QString databasePath() const;
    db::Database database() const { return {databasePath()}; }
    QString filePath(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

// Makes a folder refuse new files, renames and deletions for as long as it
// lives: by its permissions, or, for a test run as root (whom permissions do
// not stop), by the file system's immutable flag. isReadOnly() tells whether
// either worked; a test that needs it skips otherwise.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& path);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    bool isReadOnly() const { return m_readOnly; }

private:
    bool refusesNewFiles() const;
    QString m_path;
    bool m_immutable = false;
    bool m_readOnly = false;
};

// A file system of a given size of its own (a tmpfs mounted for the test),
// to fill up for real. isMounted() tells whether the machine let the test
// mount one (it takes root, or a namespace of its own); a test that needs it
// skips otherwise. Unmounted when it goes.
class SmallFileSystem {
public:
    explicit SmallFileSystem(qint64 bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool isMounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    // Grows (or shrinks) it in place, files kept.
    bool resize(qint64 bytes);

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

// Another program writing to a database: a child process that holds the
// database's write lock (an open write transaction) from construction until
// release() or destruction, when it rolls back and ends. holds() is false
// when it could not take the lock.
class OtherWriter {
public:
    explicit OtherWriter(const QString& databasePath);
    ~OtherWriter();
    OtherWriter(const OtherWriter&) = delete;
    OtherWriter& operator=(const OtherWriter&) = delete;
    bool holds() const { return m_holds; }
    void release();

private:
    std::unique_ptr<QProcess> m_process;
    bool m_holds = false;
};

// Stands in for the message boxes: records every message and answers each
// question with the next scripted answer (when none is scripted, the
// box's default button: Yes or OK, or No or Cancel where that is the
// default).
class RecordingMessages : public ui::Messages {
public:
    struct Shown {
        QString text;
        QString title;
        Buttons buttons;
        Icon icon;
        QString details;
    };

    using Messages::ask;
    Answer ask(const QString& text, const QString& title, Buttons buttons, Icon icon,
               const QString& details) override;

    void script(Answer answer) { m_answers.push_back(answer); }
    const std::vector<Shown>& shown() const { return m_shown; }
    QStringList texts() const;
    QString last() const { return m_shown.empty() ? QString() : m_shown.back().text; }
    void clear() { m_shown.clear(); }

private:
    std::vector<Shown> m_shown;
    std::deque<Answer> m_answers;
};

} // namespace pelmor::test
