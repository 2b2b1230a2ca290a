#include "TestSupport.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Files.h"
#include "db/SqliteStatement.h"
#include "store/DatabaseFolder.h"
#include "store/SqliteSchema.h"
#include "store/SurveyStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>

#include <dlfcn.h>
#include <link.h>
#include <sqlite3.h>
#include <sys/mount.h>

#include <memory>

namespace pelmor::test {

ProgramRun runProgram(const QString& program, const QStringList& arguments, int timeoutMs)
{
    return runProgram(program, arguments, QProcessEnvironment::systemEnvironment(), timeoutMs);
}

ProgramRun runProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& environment, int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs))
        return {-1, {}, QStringLiteral("timed out")};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed(),
            QString::fromUtf8(process.readAllStandardError()).trimmed()};
}

void killAtSpreadMoments(const QString& program, const QStringList& arguments, qint64 wholeMs, double latest,
                         quint32 seed, const std::function<void()>& before,
                         const std::function<void(const QString&)>& check, int kills)
{
    QRandomGenerator random(seed);
    for (int kill = 0; kill < kills; ++kill) {
        before();
        const int afterMs = int(wholeMs * (0.05 + (latest - 0.05) * random.generateDouble()));
        const QString context = QStringLiteral("seed %1, kill %2 after %3 of %4 ms: ")
                                    .arg(seed)
                                    .arg(kill)
                                    .arg(afterMs)
                                    .arg(wholeMs);
        QProcess child;
        child.start(program, arguments);
        QVERIFY(child.waitForStarted());
        QTest::qWait(afterMs);
        child.kill(); // nothing if it has ended
        if (child.state() != QProcess::NotRunning)
            QVERIFY(child.waitForFinished(30000));
        if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0) {
            // Quicker than ever: this moment does not count, later ones come earlier.
            latest *= 0.9;
            --kill;
            continue;
        }
        QVERIFY2(child.exitStatus() == QProcess::CrashExit, qPrintable(context + "the run had ended"));
        check(context);
        if (QTest::currentTestFailed())
            return;
    }
}

QString dbErrorOf(const std::function<void()>& work)
{
    try {
        work();
    } catch (const db::DbError& error) {
        return error.message();
    }
    return QString();
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QStringList rowTexts(const QString& databasePath, const QString& statement, const QStringList& fields)
{
    db::Connection connection({databasePath});
    db::SqliteStatement query(connection, statement);
    std::vector<int> columns;
    for (int column = 0; fields.isEmpty() && column < query.columnCount(); ++column)
        columns.push_back(column);
    for (const QString& field : fields) {
        columns.push_back(query.columnIndex(field));
        if (columns.back() < 0)
            throw db::DbError(QStringLiteral("%1 reads no field %2.").arg(statement, field));
    }
    QStringList rows;
    while (query.nextRow()) {
        QStringList texts;
        for (const int column : columns)
            texts << query.valueAt(column).toString();
        rows << texts.join(QLatin1Char('|'));
    }
    return rows;
}

int openDescriptorsOn(const QString& path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    int open = 0;
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString& descriptor :
         descriptors.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (!target.isEmpty() && QFile::symLinkTarget(descriptors.filePath(descriptor)) == target)
            ++open;
    }
    return open;
}

QStringList loadedLibraries(const QString& name)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        qFatal("cannot read /proc/self/maps");
    QStringList found;
    // "address perms offset dev inode path": the path is the sixth column.
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const QString file = QString::fromLocal8Bit(line.simplified().split(' ').value(5));
        if (QFileInfo(file).fileName().contains(name) && !found.contains(file))
            found << file;
    }
    return found;
}

QStringList librariesDefining(const char* symbol)
{
    QStringList objects;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* found) {
            if (info->dlpi_name && *info->dlpi_name)
                static_cast<QStringList*>(found)->append(QString::fromLocal8Bit(info->dlpi_name));
            return 0;
        },
        &objects);
    QStringList defining;
    for (const QString& object : objects) {
        void* handle = dlopen(QFile::encodeName(object).constData(), RTLD_LAZY | RTLD_NOLOAD);
        if (!handle)
            continue;
        // dlsym also searches the object's dependencies: only an address
        // inside the object itself counts as its own definition.
        Dl_info where{};
        if (void* address = dlsym(handle, symbol); address && dladdr(address, &where) && where.dli_fname) {
            const QString file = QFileInfo(QString::fromLocal8Bit(where.dli_fname)).canonicalFilePath();
            if (file == QFileInfo(object).canonicalFilePath() && !defining.contains(file))
                defining << file;
        }
        dlclose(handle);
    }
    return defining;
}

void executeOnFile(const QString& path, const QString& statements)
{
    sqlite3* handle = nullptr;
    const auto check = [&handle, &path](int code) {
        if (code != SQLITE_OK)
            throw db::DbError(QStringLiteral("The test file %1 cannot be written: %2")
                                  .arg(path, QString::fromUtf8(sqlite3_errmsg(handle))));
    };
    check(sqlite3_open_v2(QFile::encodeName(path).constData(), &handle, SQLITE_OPEN_READWRITE, nullptr));
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> closer(handle, sqlite3_close);
    check(sqlite3_exec(handle, statements.toUtf8().constData(), nullptr, nullptr, nullptr));
}

void writeOlderDatabase(const QString& path, const QStringList& headerBatches, int vehicles, int version)
{
    store::createEmptyDatabase(path, 0);
    QString statements = QStringLiteral("BEGIN;");
    for (const QString& batch : headerBatches) {
        statements +=
            QStringLiteral("INSERT INTO Header (Batch_Number, Location, Date, Time, Radar_Mode) VALUES "
                           "('%1', 'Old Road', '05/03/2002', '08:00', 'MPH');"
                           "INSERT INTO Summary (Batch_Number, Total_Vehicles) VALUES ('%1', '%2');")
                .arg(batch)
                .arg(vehicles);
        for (int vehicle = 0; vehicle < vehicles; ++vehicle)
            statements +=
                QStringLiteral("INSERT INTO Veh_Data (Batch_Number, Offset, Veh_Direction, Speed, Time, "
                               "Date) VALUES ('%1', %2, '+', %3, '08:00:00', '2002-05-03');")
                    .arg(batch)
                    .arg(vehicle * 60)
                    .arg(30 + vehicle);
    }
    if (version >= 1)
        statements += store::identityStatements().join(QLatin1Char(';')) + QLatin1Char(';');
    statements += QStringLiteral("COMMIT;");
    executeOnFile(path, statements);
    // A layout with the fingerprints: brought up to date, then without
    // what came later.
    if (version >= store::kDownloadsVersion && version < store::kSchemaVersion) {
        store::openStore({path});
        QString older = QStringLiteral(
            "DROP TABLE Survey_Source; DROP INDEX Veh_Data_Batch_Date_Time; ALTER TABLE Veh_Data DROP COLUMN "
            "Length; CREATE INDEX Veh_Data_Batch_Date_Time ON Veh_Data (Batch_Number, Date, Time, Speed, "
            "Veh_Direction, Offset); ");
        if (version < store::kVehicleCountsVersion)
            older += QStringLiteral(
                "DROP TRIGGER \"Header_Takes_Vehicle_Count\"; DROP TABLE \"Survey_Vehicles\"; ");
        executeOnFile(path, older + QStringLiteral("PRAGMA user_version = %1").arg(version));
    }
}

int schemaVersionOf(const QString& path)
{
    sqlite3* handle = nullptr;
    const int opened =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &handle, SQLITE_OPEN_READONLY, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> closer(handle, sqlite3_close);
    sqlite3_stmt* statement = nullptr;
    if (opened != SQLITE_OK ||
        sqlite3_prepare_v2(handle, "PRAGMA user_version", -1, &statement, nullptr) != SQLITE_OK)
        return -1;
    const int version = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
    sqlite3_finalize(statement);
    return version;
}

TempProgramFolder::TempProgramFolder()
{
    // Per-user settings of its own, for this process and the programs it
    // starts: a test never reads or changes the settings of whoever runs it.
    // The test process names itself as the programs do, so that it finds
    // their settings there.
    store::setProgramNames();
    const QString settings = m_dir.filePath(QStringLiteral("settings"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings));
    store::initDatabaseFolder(m_dir.path());
}

QString TempProgramFolder::databasePath() const
{
    return db::databasePath(m_dir.path());
}

QString TempProgramFolder::filePath(const QString& name) const
{
    return QDir(m_dir.path()).filePath(name);
}

ReadOnlyFolder::ReadOnlyFolder(const QString& path)
    : m_path(path)
{
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                    QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
    if (!refusesNewFiles())
        m_immutable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0;
    m_readOnly = refusesNewFiles();
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_immutable)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
    QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                      QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                      QFileDevice::ReadOther | QFileDevice::ExeOther);
}

bool ReadOnlyFolder::refusesNewFiles() const
{
    QFile probe(QDir(m_path).filePath(QStringLiteral(".write-probe")));
    if (!probe.open(QIODevice::WriteOnly))
        return true;
    probe.close();
    probe.remove();
    return false;
}

SmallFileSystem::SmallFileSystem(qint64 bytes)
{
    const QByteArray options = "size=" + QByteArray::number(bytes);
    m_mounted = m_dir.isValid() && ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs",
                                           MS_NOSUID | MS_NODEV, options.constData()) == 0;
}

SmallFileSystem::~SmallFileSystem()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

bool SmallFileSystem::resize(qint64 bytes)
{
    const QByteArray options = "size=" + QByteArray::number(bytes);
    return m_mounted && ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs",
                                MS_REMOUNT | MS_NOSUID | MS_NODEV, options.constData()) == 0;
}

OtherWriter::OtherWriter(const QString& databasePath)
    : m_process(std::make_unique<QProcess>())
{
    m_process->start(QStringLiteral(PELMOR_HOLDLOCK), {databasePath});
    // The child says so once the lock is its own.
    while (m_process->waitForReadyRead(10000)) {
        if (m_process->readAllStandardOutput().contains("held")) {
            m_holds = true;
            break;
        }
    }
}

OtherWriter::~OtherWriter()
{
    release();
}

void OtherWriter::release()
{
    if (m_process->state() == QProcess::NotRunning)
        return;
    m_process->closeWriteChannel();
    if (!m_process->waitForFinished(10000))
        m_process->kill();
    m_process->waitForFinished();
    m_holds = false;
}

ui::Messages::Answer RecordingMessages::ask(const QString& text, const QString& title, Buttons buttons,
                                            Icon icon, const QString& details)
{
    m_shown.push_back({text, title, buttons, icon, details});
    if (!m_answers.empty()) {
        const Answer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    // Unscripted, the box is answered as Enter answers it: with its default.
    switch (buttons) {
    case Buttons::YesNoDefaultNo:
        return Answer::No;
    case Buttons::OkCancelDefaultCancel:
        return Answer::Cancel;
    case Buttons::Ok:
        break;
    }
    return Answer::Ok;
}

QStringList RecordingMessages::texts() const
{
    QStringList all;
    for (const Shown& s : m_shown)
        all << s.text;
    return all;
}

} // namespace pelmor::test
