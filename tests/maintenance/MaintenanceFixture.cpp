#include "MaintenanceFixture.h"

#include "SurveyFixture.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/SqliteStatement.h"
#include "store/SqliteSchema.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <grp.h>
#include <sys/resource.h>
#include <unistd.h>

namespace pelmor::test {
namespace {

// The user "nobody".
constexpr uid_t kUnprivileged = 65534;

// The number of rows of a query and one hash of them, each value with its type.
std::pair<int, QByteArray> digestOf(db::SqliteStatement& query)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const int columns = query.columnCount();
    int count = 0;
    while (query.nextRow()) {
        ++count;
        for (int column = 0; column < columns; ++column) {
            const QVariant value = query.valueAt(column);
            hash.addData(QByteArray::number(value.typeId()) + ':' + value.toString().toUtf8() + '|');
        }
        hash.addData("\n");
    }
    return {count, hash.result().toHex().left(16)};
}

} // namespace

QStringList storeSurveys(const QString& databasePath, int surveys, int vehicles)
{
    QStringList batches;
    for (int i = 0; i < surveys; ++i) {
        Survey survey;
        survey.batchNumber = QStringLiteral("05%1%2-A").arg(i + 1, 2, 10, QLatin1Char('0')).arg(26);
        survey.start = at(QStringLiteral("05/%1/26 08:00").arg(i + 1, 2, 10, QLatin1Char('0')));
        survey.durationSeconds = 3 * 24 * 3600;
        survey.speeds.reserve(size_t(vehicles));
        for (int v = 0; v < vehicles; ++v)
            survey.speeds.push_back(20 + (v * 7 + i) % 40);
        survey.summaryFields.insert(QStringLiteral("Total_Vehicles"), QString::number(vehicles));
        storeSurvey(databasePath, survey);
        batches << survey.batchNumber;
    }
    return batches;
}

QString storedOnce(const QString& path, const std::function<void(const QString&)>& fill)
{
    if (!QFile::exists(path)) {
        TempProgramFolder folder;
        fill(folder.databasePath());
        const QString partial = path + QStringLiteral(".%1").arg(QCoreApplication::applicationPid());
        QFile::remove(partial);
        if (!QFile::copy(folder.databasePath(), partial) ||
            std::rename(qPrintable(partial), qPrintable(path)))
            throw db::DbError(QStringLiteral("cannot store %1").arg(path));
    }
    return path;
}

QStringList databaseContent(const QString& databasePath)
{
    db::Connection connection({databasePath});
    QStringList lines;
    for (const store::TableInfo& table : store::tables()) {
        db::SqliteStatement rows(
            connection, QStringLiteral("SELECT rowid, * FROM \"%1\" ORDER BY rowid").arg(table.name));
        const auto [count, digest] = digestOf(rows);
        lines << QStringLiteral("%1 %2 %3").arg(table.name).arg(count).arg(QString::fromLatin1(digest));
    }
    return lines;
}

QStringList surveyContent(const QString& databasePath)
{
    db::Connection connection({databasePath});
    db::SqliteStatement surveys(
        connection,
        QStringLiteral("SELECT b.Batch_Number, "
                       "(SELECT count(*) FROM Header h WHERE h.Batch_Number = b.Batch_Number), "
                       "(SELECT count(*) FROM Summary s WHERE s.Batch_Number = b.Batch_Number), "
                       "(SELECT count(*) FROM Veh_Data v WHERE v.Batch_Number = b.Batch_Number), "
                       "(SELECT total(Speed) FROM Veh_Data v WHERE v.Batch_Number = b.Batch_Number) "
                       "FROM (SELECT Batch_Number FROM Header UNION SELECT Batch_Number FROM Summary "
                       "UNION SELECT Batch_Number FROM Veh_Data) b ORDER BY b.Batch_Number"));
    QStringList lines;
    while (surveys.nextRow())
        lines << QStringLiteral("%1 header %2 summary %3 vehicles %4 speeds %5")
                     .arg(surveys.valueAt(0).toString(), surveys.valueAt(1).toString(),
                          surveys.valueAt(2).toString(), surveys.valueAt(3).toString(),
                          surveys.valueAt(4).toString());
    return lines;
}

QString integrityOf(const QString& databasePath)
{
    try {
        db::Connection connection({databasePath});
        db::SqliteStatement check(connection, QStringLiteral("PRAGMA integrity_check"));
        QStringList problems;
        while (check.nextRow())
            problems << check.valueAt(0).toString();
        return problems.join(QLatin1Char('\n'));
    } catch (const db::DbError& error) {
        return error.message();
    }
}

void leaveHotJournal(const QString& databasePath, const QString& journalPath)
{
    QTemporaryDir scratch;
    const QString copy = scratch.filePath(QStringLiteral("copy.mdb"));
    if (!QFile::copy(databasePath, copy))
        qFatal("cannot copy %s", qPrintable(databasePath));
    db::Connection connection({copy});
    // A cache of one page writes changed pages to the file at once, each
    // after its original is safe in the journal.
    connection.executeUnlogged(QStringLiteral("PRAGMA cache_size = 1"));
    db::Transaction transaction(connection);
    connection.execute(QStringLiteral("delete from Veh_Data"));
    if (!QFile::copy(copy + QStringLiteral("-journal"), journalPath))
        qFatal("no journal beside %s", qPrintable(copy));
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void copyFolder(const QString& from, const QString& to)
{
    for (const QString& name : filesIn(to))
        QFile::remove(QDir(to).filePath(name));
    for (const QString& name : filesIn(from)) {
        if (!QFile::copy(QDir(from).filePath(name), QDir(to).filePath(name)))
            qFatal("cannot copy %s", qPrintable(name));
    }
}

QMap<QString, QByteArray> folderSnapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    for (const QString& name : filesIn(folder))
        files.insert(name, fileBytes(QDir(folder).filePath(name)));
    return files;
}

namespace {

// The page size of a database file, from its header: big-endian at offset
// 16, 1 meaning 65536.
int pageSizeOf(const QString& databasePath)
{
    QFile file(databasePath);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot open %s", qPrintable(databasePath));
    const QByteArray header = file.read(18);
    const int stored = (quint8(header.at(16)) << 8) | quint8(header.at(17));
    return stored == 1 ? 65536 : stored;
}

} // namespace

void patchFile(const QString& path, qint64 offset, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(offset) || file.write(bytes) != bytes.size())
        qFatal("cannot write %lld bytes at %lld of %s", qint64(bytes.size()), offset, qPrintable(path));
}

void overwritePage(const QString& databasePath, int page)
{
    const int pageSize = pageSizeOf(databasePath);
    QByteArray noise(pageSize, Qt::Uninitialized);
    QRandomGenerator random{quint32(page)};
    for (char& byte : noise)
        byte = char(random.bounded(256));
    patchFile(databasePath, qint64(page - 1) * pageSize, noise);
}

void zeroPage(const QString& databasePath, int page)
{
    const int pageSize = pageSizeOf(databasePath);
    patchFile(databasePath, qint64(page - 1) * pageSize, QByteArray(pageSize, '\0'));
}

std::vector<Page> pagesOf(const QString& databasePath, const QString& condition)
{
    db::Connection connection({databasePath});
    db::SqliteStatement pages(
        connection, QStringLiteral("SELECT pageno, ncell FROM dbstat WHERE %1 ORDER BY path").arg(condition));
    std::vector<Page> found;
    while (pages.nextRow())
        found.push_back({int(pages.integerAt(0)), int(pages.integerAt(1))});
    return found;
}

void damageVehiclePage(const QString& databasePath)
{
    const std::vector<Page> leaves =
        pagesOf(databasePath, QStringLiteral("name = 'Veh_Data' AND pagetype = 'leaf'"));
    overwritePage(databasePath, leaves.at(leaves.size() / 2).number);
}

CliRun runCli(const QString& folder, const QStringList& arguments, const ChildLimits& limits)
{
    QProcess process;
    process.setChildProcessModifier([limits] {
        // Only async-signal-safe calls here: the child has not started yet.
        if (limits.maxFileSize > 0) {
            // A write past the limit fails as on a full disk, instead of
            // ending the process.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit size{rlim_t(limits.maxFileSize), rlim_t(limits.maxFileSize)};
            setrlimit(RLIMIT_FSIZE, &size);
        }
        if (limits.readOnly && geteuid() == 0) {
            setgroups(0, nullptr);
            if (setgid(kUnprivileged) != 0 || setuid(kUnprivileged) != 0)
                _exit(99);
        }
    });
    process.start(QStringLiteral(PELMOR_CLI), QStringList{QStringLiteral("--db"), folder} + arguments);
    if (!process.waitForFinished(120000))
        return {-1, {}, QStringLiteral("timed out")};
    // Blanks at the start of a message are part of it; the last line break is not.
    const auto text = [](const QByteArray& bytes) {
        QString printed = QString::fromUtf8(bytes);
        while (printed.endsWith(QLatin1Char('\n')))
            printed.chop(1);
        return printed;
    };
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            text(process.readAllStandardOutput()), text(process.readAllStandardError())};
}

void setFolderReadOnly(const QString& folder, bool readOnly)
{
    // The child that runs as an unprivileged user owns the folder, as the
    // user of the program owns the program's folder.
    if (geteuid() == 0) {
        const QStringList names = filesIn(folder);
        const uid_t owner = readOnly ? kUnprivileged : 0;
        if (chown(QFile::encodeName(folder).constData(), owner, owner) != 0)
            qFatal("cannot hand the folder %s over", qPrintable(folder));
        for (const QString& name : names) {
            if (chown(QFile::encodeName(QDir(folder).filePath(name)).constData(), owner, owner) != 0)
                qFatal("cannot hand %s over", qPrintable(name));
        }
    }
    const QFileDevice::Permissions readable =
        QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    for (const QString& name : filesIn(folder))
        QFile::setPermissions(QDir(folder).filePath(name), readable | QFileDevice::WriteOwner);
    const QFileDevice::Permissions folderAccess =
        readable | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    QFile::setPermissions(folder, readOnly ? folderAccess : folderAccess | QFileDevice::WriteOwner);
}

} // namespace pelmor::test
