#include "ImportFixture.h"
#include "TestSupport.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Files.h"
#include "import/DownloadVehicles.h"
#include "import/UnitPreference.h"
#include "store/SqliteSchema.h"
#include "store/SurveyStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

#include <sys/resource.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

using namespace pelmor;
using import::ImportResult;
using import::SurveyHeader;
using test::completeHeader;
using test::download;
using test::row;
using Outcome = ImportResult::Outcome;

namespace {

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELMOR_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define PELMOR_ADDRESS_SANITIZER 1
#endif

// Holds this process to `headroom` bytes of address space beyond what it
// uses now, for as long as it lives: an allocation beyond fails as on a
// machine out of memory.
class MemoryLimit {
public:
    explicit MemoryLimit(qint64 headroom)
    {
        getrlimit(RLIMIT_AS, &m_before);
        QFile status("/proc/self/status");
        qint64 used = 0;
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("VmSize:"))
                    used = line.mid(7).trimmed().split(' ').value(0).toLongLong() * 1024;
            }
        }
        const rlimit limit{rlim_t(used + headroom), m_before.rlim_max};
        m_set = used > 0 && setrlimit(RLIMIT_AS, &limit) == 0;
    }
    ~MemoryLimit() { setrlimit(RLIMIT_AS, &m_before); }
    MemoryLimit(const MemoryLimit&) = delete;
    MemoryLimit& operator=(const MemoryLimit&) = delete;
    bool isSet() const { return m_set; }

private:
    rlimit m_before{};
    bool m_set = false;
};

// Every row of every table, for comparing a database before and after.
QStringList contents(const QString& path)
{
    QStringList rows;
    for (const char* table : {"Header", "Summary", "Veh_Data", "Breakdown", "Agency", "Officer", "Radar"})
        rows << test::rowTexts(path, QStringLiteral("select * from ") + QLatin1String(table));
    return rows;
}

} // namespace

// The import of a processed download and the statistics computed for it.
class TstSurveyImport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<test::TempProgramFolder>();
        m_report = test::ImportMessages();
    }
    void importStoresTheSurvey_data()
    {
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QStringList>("dates"); // of the three vehicles
        // Two-digit years are this century's: 30 is 2030, never 1930.
        row("into 2030", QDate(2029, 12, 31), "123129-A",
            QStringList{"2029-12-31", "2030-01-01", "2030-01-01"});
        row("onto a leap day", QDate(2096, 2, 28), "022896-A",
            QStringList{"2096-02-28", "2096-02-29", "2096-02-29"});
    }
    void importStoresTheSurvey()
    {
        QFETCH(QDate, start);
        QFETCH(QString, batch);
        QFETCH(QStringList, dates);
        // A minute on from 23:59 is the next day; seconds never carry.
        const QByteArray buffer = download(start, "0+31 60-45 119?28", 23, 59);
        // A length is counted in characters: a letter outside the Basic
        // Multilingual Plane is one, though it takes two UTF-16 units.
        const QString location = QString::fromUcs4(U"\U0001D53C").repeated(200);
        const ImportResult result = run(completeHeader(buffer, "location=" + location), buffer);
        QCOMPARE(result.outcome, Outcome::Imported);
        QCOMPARE(m_report.messages, QStringList{"3 records added"});

        const QString path = m_folder->databasePath();
        QCOMPARE(
            test::rowTexts(
                path, "select * from Header",
                {"Batch_Number", "Date", "Time", "Violation_Alert", "Radar_Mode", "Zone", "Location"}),
            QStringList{batch + "|" + start.toString("MM/dd/yyyy") + "|23:59|035|KPH|School|" + location});
        // The unit is remembered for this user's next import; the database's
        // settings row is left as it was.
        QCOMPARE(QSettings().value(import::kUnitSetting).toString(), QStringLiteral("KPH"));
        QCOMPARE(test::rowTexts(path, "select * from Radar", {"Radar_Mode"}), QStringList{"MPH"});
        QCOMPARE(test::rowTexts(path, "select * from Veh_Data",
                                {"Offset", "Veh_Direction", "Speed", "Date", "Time"}),
                 (QStringList{"0|+|31|" + dates[0] + "|23:59:00", "60|-|45|" + dates[1] + "|00:00:00",
                              "119|?|28|" + dates[2] + "|00:00:00"}));
        QCOMPARE(result.summary->totalVehicles, QStringLiteral("3"));
        QCOMPARE(result.summary->stopDate, QDate::fromString(dates[2], Qt::ISODate).toString("MM/dd/yy"));
    }
    void statistics_data()
    {
        QTest::addColumn<QString>("vehicles");
        QTest::addColumn<QString>("changes");  // to the import header
        QTest::addColumn<QString>("expected"); // "Field=value; ..." of the stored Summary row
        row("MPH bands at their edges", "35 40 41 61 20", "unit=MPH",
            "Posted_Limit=035; Number_Under=2; Number_Over=3; Averge_Over=47.3; Min_Speed=20; Max_Speed=61; "
            "Average_Speed=39.4; Over_5=1; Over_10=1; Over_15=0; Over_20=0; Over_25=0; Over_26=1; "
            "Total_Vehicles=5; Start_Time=08:00 AM; Start_Date=05/03/02");
        row("all at or under the limit", "30 35 35", "unit=MPH; posted=35",
            "Number_Over=0; Averge_Over=; Over_5=0; Over_26=0; Average_Speed=33.3; Pace_Low=28.3; "
            "Pace_High=38.3; Pace_Total=3; Pace_Percent=100 %; 85th_Percentile=39");
        row("KPH bands", "30 40 41 80 81", "unit=KPH; posted=030",
            "Number_Under=1; Over_5=1; Over_10=1; Over_15=0; Over_20=0; Over_25=1; Over_26=1; "
            "Average_Speed=54.4; Pace_Low=44.4; Pace_High=64.4; Pace_Total=0; Pace_Percent= %");
        row("a day, an hour and a minute", "0+30 90061-30 500?30", "unit=MPH",
            "Total_Time=1 Days, 1 Hrs, 01 Min; Stop_Time=09:01 AM; Stop_Date=05/04/02; Total_Approach=1; "
            "Total_Receeding=1; Total_Unknown=1");
        row("minutes carry into the hour", "0+30 1800+31", "unit=MPH; time=10:45",
            "Stop_Time=11:15 AM; Stop_Date=05/03/02");
        row("start time typed without its leading zero", "0+30 1800+31", "unit=MPH; time=8:30",
            "Start_Time=08:30 AM; Stop_Time=09:00 AM");
        row("into 2030", "0+30 21600+31", "unit=MPH; date=12/31/2029; time=22:00",
            "Total_Time=0 Days, 6 Hrs, 00 Min; Start_Time=10:00 PM; Stop_Time=04:00 AM; Start_Date=12/31/29; "
            "Stop_Date=01/01/30");
    }
    void statistics()
    {
        QFETCH(QString, vehicles);
        QFETCH(QString, changes);
        QFETCH(QString, expected);
        const QByteArray other = download(QDate(2002, 5, 2), "99 30"); // must not be counted
        QCOMPARE(run(completeHeader(other), other).outcome, Outcome::Imported);
        const QByteArray buffer = download(QDate(2002, 5, 3), vehicles);
        QCOMPARE(run(completeHeader(buffer, changes), buffer).outcome, Outcome::Imported);
        QStringList fields, values;
        for (const QString& pair : expected.split("; ")) {
            fields << pair.section('=', 0, 0);
            values << pair.section('=', 1);
        }
        QCOMPARE(test::rowTexts(m_folder->databasePath(),
                                "select * from Summary where Batch_Number = '050302-A'", fields),
                 QStringList{values.join('|')});
    }
    void failuresWriteNothing_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<QString>("changes");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("field"); // the header field the user is sent to
        QTest::addColumn<QStringList>("messages");
        const QByteArray one = download(QDate(2002, 5, 4), "30");
        const int refused = int(Outcome::Refused), dataError = int(Outcome::DataError);
        using F = import::HeaderField;
        using namespace import::messages;
        row("no location", one, "location=", refused, int(F::Location), QStringList{kNoLocation});
        row("no direction", one, "direction=", refused, int(F::Direction), QStringList{kNoDirection});
        row("no zone", one, "zone=", refused, int(F::Zone), QStringList{kNoZone});
        row("no posted speed", one, "posted=", refused, int(F::PostedSpeed), QStringList{kNoPostedSpeed});
        row("batch already stored", one, "batch=050302-A", refused, int(F::BatchNumber),
            QStringList{kDuplicate});
        // Named as such, also where the batch number is taken.
        row("start date not a date", one, "date=13/45/2002; batch=050302-A", refused, int(F::StartDate),
            QStringList{"The start date \"13/45/2002\" is not a date. Type it as mm/dd/yyyy, for example "
                        "05/03/2026."});
        // A typo is told by its field before anything is written.
        const QString forExample = " Type the limit the signs show, for example 035.";
        row("posted limit with a letter O", one, "posted=3O", refused, int(F::PostedSpeed),
            QStringList{"The posted limit \"3O\" is not a whole number. Type it in digits alone, for example "
                        "035."});
        row("negative posted limit", one, "posted=-5", refused, int(F::PostedSpeed),
            QStringList{"The posted limit \"-5\" is not a positive whole number." + forExample});
        row("posted limit of zero", one, "posted=000", refused, int(F::PostedSpeed),
            QStringList{"The posted limit \"000\" is not a positive whole number." + forExample});
        row("posted limit beyond three digits", one, "posted=2147483640", refused, int(F::PostedSpeed),
            QStringList{"The posted limit \"2147483640\" is too high for a speed limit." + forExample});
        row("batch number of blanks", one, "batch=   ", refused, int(F::BatchNumber),
            QStringList{"The batch number is blank. Type it as mmddyy-A, for example 050326-A."});
        // Shown as "051026-A", it is not.
        row("batch number reversed", one, "batch=\u202EA-620150", refused, int(F::BatchNumber),
            QStringList{"The batch number holds a hidden direction mark (U+202E) that makes it show as other "
                        "text than it is. Type the batch number again."});
        row("location isolated", one, "location=Elm \u2067Street", refused, int(F::Location),
            QStringList{"The survey location holds a hidden direction mark (U+2067) that makes it show as "
                        "other text than it is. Type the survey location again."});
        row("tab in the location", one, "location=Elm\tStreet", refused, int(F::Location),
            QStringList{"The survey location holds a control character (U+0009). Type the survey location "
                        "again without it."});
        row("escape in the location code", one, "code=00\u001B15", refused, int(F::LocationCode),
            QStringList{"The location code holds a control character (U+001B). Type the location code again "
                        "without it."});
        // No text longer than its field holds reaches the database.
        row("location one character too long", one,
            "location=" + QString::fromUcs4(U"\U0001D53C").repeated(201), refused, int(F::Location),
            QStringList{
                "The survey location is 201 characters long, more than the 200 it may hold. Shorten it "
                "to at most 200 characters."});
        row("batch number of 9,000 digits", one, "batch=" + QString(9000, '9'), refused, int(F::BatchNumber),
            QStringList{
                "The batch number is 9,000 characters long, more than the 32 it may hold. Shorten it to "
                "at most 32 characters."});
        row("start time not a time of day", one, "time=25:70", refused, int(F::StartTime),
            QStringList{
                "The start time \"25:70\" is not a time of day. Type it as hh:mm, for example 08:30."});
        row("unit neither MPH nor KPH", one, "unit=kph", refused, int(F::Unit),
            QStringList{"The unit \"kph\" is neither MPH nor KPH. Choose MPH or KPH."});
        // The log's own records, with an empty speed and a word among them.
        QByteArray bad = download(QDate(2002, 5, 4), "30 31 32");
        bad.replace(",+,31,", ",+,,").replace(",+,32,", ",+,fast,");
        row("empty speed and a word", bad, "", dataError, int(F::None), QStringList{kDataError});
        row("no vehicles, so no statistics", download(QDate(2002, 5, 4), ""), "", dataError, int(F::None),
            QStringList{kDataError});
        // No two-digit year names 2100.
        row("into the year 2100", download(QDate(2099, 12, 31), "0+30 3600+31", 23, 30), "", dataError,
            int(F::None), QStringList{kDataError});
    }
    void failuresWriteNothing()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(QString, changes);
        QFETCH(int, outcome);
        QFETCH(int, field);
        QFETCH(QStringList, messages);
        const QByteArray first = download(QDate(2002, 5, 3), "0+30 7-40");
        QCOMPARE(run(completeHeader(first), first).outcome, Outcome::Imported);
        {
            db::Connection connection(m_folder->database());
            connection.execute(QStringLiteral("update Radar set Radar_Mode = 'MPH'"));
        }
        m_report = test::ImportMessages();
        const QStringList before = contents(m_folder->databasePath());
        // No message waits on the user while the import holds the database:
        // another program can take the write lock as each one is told.
        QStringList toldWhileLocked;
        m_report.onMessage = [this, &toldWhileLocked](const QString& text) {
            try {
                db::Connection other(m_folder->database());
                other.executeUnlogged(QStringLiteral("BEGIN IMMEDIATE"));
                other.executeUnlogged(QStringLiteral("ROLLBACK"));
            } catch (const db::DbError&) {
                toldWhileLocked << text;
            }
        };

        const ImportResult result = run(completeHeader(buffer, changes), buffer);
        QCOMPARE(toldWhileLocked, QStringList());
        QCOMPARE(int(result.outcome), outcome);
        QCOMPARE(int(result.field), field);
        QCOMPARE(m_report.messages, messages);
        QVERIFY(m_report.questions.isEmpty());
        // The fixed message of a data error comes with the reason behind it.
        QCOMPARE(m_report.reasons.constLast().isEmpty(), outcome != int(Outcome::DataError));
        // Everything is as it was, the unit last used included, and the batch
        // number can be used again; one differing only in letter case is
        // another survey.
        QCOMPARE(contents(m_folder->databasePath()), before);
        const QByteArray one = download(QDate(2002, 5, 4), "30");
        QCOMPARE(run(completeHeader(one, changes.startsWith("batch") ? "batch=050302-a" : ""), one).outcome,
                 Outcome::Imported);
    }
    void databaseFailuresKeepTheDownload_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("told"); // part of the one message; %1 is the folder of the database
        row("in use by another program", "in use by another program", "is in use by another program.");
        row("full file system", "full file system", "No space left on device");
        row("read-only folder", "read-only folder", "the folder %1 is read-only");
        row("replaced while the vehicles are written", "replaced while writing",
            "was replaced by another program");
        // Not the download's fault either.
        row("out of memory", "out of memory", "the computer ran out of memory");
    }
    void databaseFailuresKeepTheDownload()
    {
        QFETCH(QString, fault);
        QFETCH(QString, told);
        db::Database database = m_folder->database();
        std::unique_ptr<test::SmallFileSystem> small;
        if (fault == "full file system") {
            // Room for the empty database and a little more.
            small = std::make_unique<test::SmallFileSystem>(QFileInfo(database.path).size() + 48 * 1024);
            if (!small->isMounted())
                QSKIP("this machine does not let the test mount a small file system");
            database.path = QDir(small->path()).filePath("pelmor.mdb");
            QVERIFY(QFile::copy(m_folder->databasePath(), database.path));
        }
        // Enough vehicles to fill the small disk and to be told of while
        // written; far more than the memory left when it runs out.
        const qint64 vehicles = fault == "out of memory" ? 200000 : 6000;
        const QByteArray buffer = test::largeDownload(QDate(2026, 3, 5), vehicles);
        import::SurveyHeader header = completeHeader(buffer, "unit=MPH");
        QStringList expected = contents(database.path);

        // Another file put in the database's place, as a backup or a restore does.
        const QString replacement = m_folder->filePath("pelmor.emp");
        const auto replaceDatabase = [&] {
            const QString next = m_folder->filePath("replacement.mdb");
            QFile::remove(next);
            QVERIFY(QFile::copy(replacement, next));
            QVERIFY(std::rename(QFile::encodeName(next).constData(),
                                QFile::encodeName(database.path).constData()) == 0);
        };
        std::unique_ptr<test::OtherWriter> writer;
        std::unique_ptr<test::ReadOnlyFolder> readOnly;
        m_report.answer = true;
        if (fault == "in use by another program") {
            writer = std::make_unique<test::OtherWriter>(database.path);
            QVERIFY(writer->holds());
        } else if (fault == "read-only folder") {
            readOnly = std::make_unique<test::ReadOnlyFolder>(m_folder->path());
            if (!readOnly->isReadOnly())
                QSKIP("this machine cannot make a folder read-only");
        } else if (fault == "replaced while writing") {
            expected = contents(replacement);
            m_report.onProgress = [&, done = false](qint64, qint64) mutable {
                if (!std::exchange(done, true))
                    replaceDatabase();
            };
        }

        std::optional<ImportResult> failed;
        if (fault == "out of memory") {
#ifdef PELMOR_ADDRESS_SANITIZER
            QSKIP("the address sanitizer needs the address space this test takes away");
#endif
            const MemoryLimit limit(1024 * 1024);
            QVERIFY(limit.isSet());
            failed = import::importSurvey(database, header, buffer, m_report);
        } else {
            failed = import::importSurvey(database, header, buffer, m_report);
        }
        QCOMPARE(failed->outcome, Outcome::Failed);
        // One message: what happened, and that the download is kept; never
        // the count of a survey that is not stored.
        QCOMPARE(m_report.messages.size(), 1);
        const QString message = m_report.messages.constFirst();
        const QString folder = db::displayPath(QFileInfo(database.path).absolutePath());
        QVERIFY2(message.contains(QString(told).replace("%1", folder)) &&
                     message.contains("Nothing was stored; the download is kept."),
                 qPrintable(message));
        writer.reset();
        readOnly.reset();
        QCOMPARE(contents(database.path), expected);

        // Once the fault is gone, the same download is stored.
        if (small)
            QVERIFY(small->resize(16 * 1024 * 1024));
        m_report = test::ImportMessages();
        m_report.answer = true;
        QCOMPARE(import::importSurvey(database, header, buffer, m_report).outcome, Outcome::Imported);
        QCOMPARE(m_report.messages, QStringList{text::formatCount(vehicles) + " records added"});
    }
    void unitQuestion_data()
    {
        QTest::addColumn<QString>("vehicles"); // speeds
        QTest::addColumn<QString>("changes");
        QTest::addColumn<QString>("question"); // empty: none asked
        const QString kmh = "The speeds look like km/h (median %1 against a posted limit of %2). Store this "
                            "survey in MPH anyway?";
        const QString mph = "The speeds look like mph (median %1 against a posted limit of %2). Store this "
                            "survey in KPH anyway?";
        row("km/h stored as mph", "50 58 61", "unit=MPH; posted=035", kmh.arg(58).arg(35));
        // The median of an even count is the lower middle speed.
        row("even count", "30 53 60 70", "unit=MPH; posted=035", kmh.arg(53).arg(35));
        row("at 1.5 times the limit", "45 45 45", "unit=MPH; posted=030", QString());
        row("just above 1.5 times", "46 46 46", "unit=MPH; posted=030", kmh.arg(46).arg(30));
        row("slow traffic in mph", "10 12 14", "unit=MPH; posted=035", QString());
        row("mph stored as km/h", "40 45 62", "unit=KPH; posted=100", mph.arg(45).arg(100));
        row("at half the limit", "50 50 50", "unit=KPH; posted=100", QString());
        row("fast traffic in km/h", "150 160 170", "unit=KPH; posted=050", QString());
        row("speeds beyond any road", "2000 3000 4000", "unit=MPH; posted=035", kmh.arg(3000).arg(35));
    }
    void unitQuestion()
    {
        QFETCH(QString, vehicles);
        QFETCH(QString, changes);
        QFETCH(QString, question);
        const QByteArray buffer = download(QDate(2026, 3, 5), vehicles);
        const QStringList before = contents(m_folder->databasePath());
        // No, the safe answer, stores nothing and sends the user to the unit.
        m_report.answer = false;
        const ImportResult declined = run(completeHeader(buffer, changes), buffer);
        QCOMPARE(m_report.questions, question.isEmpty() ? QStringList() : QStringList{question});
        if (!question.isEmpty()) {
            QCOMPARE(declined.outcome, Outcome::Refused);
            QCOMPARE(declined.field, import::HeaderField::Unit);
            QVERIFY(m_report.messages.isEmpty());
            QCOMPARE(contents(m_folder->databasePath()), before);
            m_report.answer = true;
            QCOMPARE(run(completeHeader(buffer, changes), buffer).outcome, Outcome::Imported);
        } else {
            QCOMPARE(declined.outcome, Outcome::Imported);
        }
    }
    void downloadStoredOnce_data()
    {
        QTest::addColumn<QString>("again");   // the second download's vehicles
        QTest::addColumn<QString>("changes"); // to its header
        QTest::addColumn<bool>("older");      // the first stored by a program that kept no fingerprints
        QTest::addColumn<bool>("stored");     // whether it is stored as another survey
        const QString first = "0+30 65-41 130?28";
        row("the same under another letter", first, "batch=030526-B", false, false);
        row("the same under the same letter", first, "", false, false);
        row("the same with its limit corrected", first, "batch=030526-C; posted=045", false, false);
        row("one speed differs", "0+30 65-41 130?29", "batch=030526-B", false, true);
        row("one direction differs", "0+30 65+41 130?28", "batch=030526-B", false, true);
        row("one vehicle more", "0+30 65-41 130?28 140+33", "batch=030526-B", false, true);
        row("another start time", first, "batch=030526-B; time=08:01", false, false);
        row("another start date", first, "batch=030526-B; date=03/06/2026", false, false);
        row("older file, another start date", first, "batch=030526-B; date=03/06/2026", true, false);
        row("older file, one speed differs", "0+30 65-41 130?29", "batch=030526-B", true, true);
    }
    void downloadStoredOnce()
    {
        QFETCH(QString, again);
        QFETCH(QString, changes);
        QFETCH(bool, older);
        QFETCH(bool, stored);
        const QByteArray buffer = download(QDate(2026, 3, 5), "0+30 65-41 130?28");
        QCOMPARE(run(completeHeader(buffer), buffer).outcome, Outcome::Imported);
        // The fingerprint servers have always made of these vehicles (worked
        // out apart, with Python's hashlib): a survey sent there keeps its identity.
        QCOMPARE(test::rowTexts(m_folder->databasePath(), "select hex(Fingerprint) as f from Survey_Download",
                                {"f"}),
                 QStringList{"C927B6B97CD3EC567B0911C84F916730412FD610719038E37FD89A03EA8EF90E"});
        if (older)
            test::executeOnFile(m_folder->databasePath(),
                                "DROP TABLE Survey_Download; PRAGMA user_version = 2");
        const QByteArray second = download(QDate(2026, 3, 5), again);
        m_report = test::ImportMessages();
        const QStringList before = contents(m_folder->databasePath());
        const ImportResult result = run(completeHeader(second, changes), second);
        QCOMPARE(test::schemaVersionOf(m_folder->databasePath()), store::kSchemaVersion);
        if (stored) {
            QCOMPARE(result.outcome, Outcome::Imported);
            return;
        }
        QCOMPARE(result.outcome, Outcome::Refused);
        QCOMPARE(result.storedAs, "030526-A");
        QCOMPARE(m_report.messages, QStringList{"This download is already stored as survey 030526-A."});
        QCOMPARE(contents(m_folder->databasePath()), before);
    }

    // Vehicles read from another device's log keep the lengths it gave, as
    // the numbers it wrote, and the survey keeps where they came from.
    void otherDevicesVehiclesKeepLengthsAndSource()
    {
        const QByteArray buffer = download(QDate(2026, 3, 5), "0+31 60-45 119?28", 8, 0);
        const SurveyHeader header = completeHeader(buffer);
        const QString source =
            QStringLiteral("Impactor radar counter, layout Semicolon radar counter (dd.MM.yy)");
        const import::DownloadVehicles vehicles(
            std::vector<import::DownloadVehicle>{{0, 31, '+', 4.6f, false, false},
                                                 {60, 45, '-', -1.0f, false, false},
                                                 {119, 28, '?', 12.25f, false, false}});
        const ImportResult result = import::importVehicles(m_folder->database(), header, vehicles,
                                                           {QStringLiteral("KPH"), source}, m_report);
        QCOMPARE(result.outcome, Outcome::Imported);
        QCOMPARE(test::rowTexts(m_folder->databasePath(), "select * from Veh_Data", {"Offset", "Length"}),
                 (QStringList{"0|4.6", "60|", "119|12.25"}));
        QCOMPARE(store::openStore(m_folder->database())->loadSurvey(header.batchNumber).source, source);
    }

private:
    ImportResult run(const SurveyHeader& header, const QByteArray& buffer)
    {
        return import::importSurvey(m_folder->database(), header, buffer, m_report);
    }
    std::unique_ptr<test::TempProgramFolder> m_folder;
    test::ImportMessages m_report;
};

QTEST_GUILESS_MAIN(TstSurveyImport)
#include "tst_surveyimport.moc"
