#include "TestSupport.h"
#include "db/Connection.h"
#include "db/Recordset.h"
#include "db/StatementLog.h"
#include "import/LogParser.h"
#include "import/SurveyImport.h"
#include "loggen/LogWriter.h"

#include <QTest>

#include <memory>

using namespace pelmor;
using import::ImportResult;
using Outcome = ImportResult::Outcome;

Q_DECLARE_METATYPE(import::SurveyHeader)

namespace {

class Report : public import::ImportReport {
public:
    void message(const QString& text) override { messages << text; }
    void progress(qint64, qint64) override {}
    QStringList messages;
};

// A processed download: a sign log with its end marked.
QByteArray download(const QDate& date, int hour, int minute, const std::vector<loggen::Vehicle>& vehicles)
{
    loggen::LogHeader header;
    header.startDate = date;
    header.startHour = hour;
    header.startMinute = minute;
    QByteArray log = loggen::writeLog(header, vehicles);
    import::markEnd(log);
    return log;
}

import::SurveyHeader completeHeader(const QByteArray& buffer, const QString& letter = QStringLiteral("A")){
    const import::HeaderFields f = import::readHeaderFields(buffer);
return {f.batchNumber(letter),
        f.locationCode,
        QStringLiteral("Elm Street"),
        f.startDate(),
        f.startTime(),
        f.postedSpeed,
        f.cutoff,
        f.alarm,
        QStringLiteral("KPH"),
        QStringLiteral("North"),
        QStringLiteral("School")};
} // namespace

// Every row of every table, for comparing a database before and after.
QStringList contents(const QString& path)
{
    db::Connection connection(path);
    QStringList rows;
    for (const char* table : {"Header", "Summary", "Veh_Data", "Breakdown", "Agency", "Officer", "Radar"}) {
        auto set = connection.openRecordset(QStringLiteral("select * from ") + QLatin1String(table));
        for (set.moveFirst(); !set.eof(); set.moveNext()) {
            QStringList values;
            for (const QString& field : set.fieldNames())
                values << set.text(field);
            rows << QLatin1String(table) + QLatin1Char(':') + values.join(QLatin1Char('|'));
        }
    }
    return rows;
}

} // namespace

class TstSurveyImport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void vehicleClock_data();
    void vehicleClock();
    void importStoresTheSurvey();
    void refusalsWriteNothing_data();
    void refusalsWriteNothing();
    void dataErrorsLeaveTheDatabaseAsItWas_data();
    void dataErrorsLeaveTheDatabaseAsItWas();
    void statementLogOfOneImport();

private:
    ImportResult run(const import::SurveyHeader& header, const QByteArray& buffer);
    std::unique_ptr<test::TempProgramFolder> m_folder;
    Report m_report;
};

void TstSurveyImport::init()
{
    m_folder = std::make_unique<test::TempProgramFolder>();
    m_report.messages.clear();
    db::StatementLog::clear();
}

ImportResult TstSurveyImport::run(const import::SurveyHeader& header, const QByteArray& buffer)
{
    return import::importSurvey(m_folder->databasePath(), header, buffer, m_report);
}

void TstSurveyImport::vehicleClock_data()
{
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<int>("startHour");
    QTest::addColumn<int>("startMinute");
    QTest::addColumn<QString>("clock"); // hour:minute +days
    QTest::newRow("23:59 at once") << 0LL << 23 << 59 << "23:59 +0";
    QTest::newRow("23:59 a minute on") << 60LL << 23 << 59 << "0:0 +1";
    QTest::newRow("a second short of a day") << 86399LL << 0 << 0 << "23:59 +0";
    QTest::newRow("a full day") << 86400LL << 0 << 0 << "0:0 +1";
    QTest::newRow("minute 59 plus 59") << 59 * 60LL << 0 << 59 << "1:58 +0";
    QTest::newRow("seconds never carry") << 119LL << 8 << 0 << "8:1 +0";
    QTest::newRow("two days and a bit") << 2 * 86400LL + 3600 << 22 << 30 << "23:30 +2";
}

void TstSurveyImport::vehicleClock()
{
    QFETCH(qint64, offset);
    QFETCH(int, startHour);
    QFETCH(int, startMinute);
    QFETCH(QString, clock);
    const import::VehicleClock c = import::vehicleClock(offset, startHour, startMinute);
    QCOMPARE(QStringLiteral("%1:%2 +%3").arg(c.hour).arg(c.minute).arg(c.days), clock);
}

void TstSurveyImport::importStoresTheSurvey()
{
    const QByteArray buffer =
        download(QDate(2002, 12, 31), 23, 59, {{0, '+', 31}, {60, '-', 45}, {119, '?', 28}});
    const import::SurveyHeader header = completeHeader(buffer);
    const ImportResult result = run(header, buffer);
    QCOMPARE(result.outcome, Outcome::Imported);
    QCOMPARE(m_report.messages, QStringList{QStringLiteral("3 records added")});

    db::Connection connection(m_folder->databasePath());
    auto headers = connection.openRecordset(QStringLiteral("select * from Header"));
    QCOMPARE(headers.recordCount(), 1);
    QCOMPARE(headers.text(QStringLiteral("Batch_Number")), QStringLiteral("123102-A"));
    QCOMPARE(headers.text(QStringLiteral("Date")), QStringLiteral("12/31/2002"));
    QCOMPARE(headers.text(QStringLiteral("Time")), QStringLiteral("23:59"));
    QCOMPARE(headers.text(QStringLiteral("Violation_Alert")), QStringLiteral("035"));
    QCOMPARE(headers.text(QStringLiteral("Radar_Mode")), QStringLiteral("KPH"));
    QCOMPARE(headers.text(QStringLiteral("Zone")), QStringLiteral("School"));
    QCOMPARE(connection.scalar(QStringLiteral("select Radar_Mode as u from Radar"), QStringLiteral("u"))
                 .toString(),
             QStringLiteral("KPH"));

    auto vehicles = connection.openRecordset(QStringLiteral("select * from Veh_Data"));
    QStringList rows;
    for (vehicles.moveFirst(); !vehicles.eof(); vehicles.moveNext())
        rows << QStringLiteral("%1 %2 %3 %4 %5")
                    .arg(vehicles.text(QStringLiteral("Offset")),
                         vehicles.text(QStringLiteral("Veh_Direction")),
                         vehicles.text(QStringLiteral("Speed")), vehicles.text(QStringLiteral("Date")),
                         vehicles.text(QStringLiteral("Time")));
    QCOMPARE(rows, (QStringList{"0 + 31 2002-12-31 23:59:00", "60 - 45 2003-01-01 00:00:00",
                                "119 ? 28 2003-01-01 00:00:00"}));
    QVERIFY(result.summary);
    QCOMPARE(result.summary->totalVehicles, QStringLiteral("3"));
    QCOMPARE(connection.scalar(QStringLiteral("select Stop_Date as d from Summary"), QStringLiteral("d"))
                 .toString(),
             QStringLiteral("01/01/03"));
}

void TstSurveyImport::refusalsWriteNothing_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("outcome");
    QTest::newRow("no location") << "location"
                                 << "" << import::messages::kNoLocation << int(Outcome::Refused);
    QTest::newRow("no direction") << "direction"
                                  << "" << import::messages::kNoDirection << int(Outcome::Refused);
    QTest::newRow("no zone") << "zone"
                             << "" << import::messages::kNoZone << int(Outcome::Refused);
    QTest::newRow("no posted speed") << "posted"
                                     << "" << import::messages::kNoPostedSpeed << int(Outcome::Refused);
    QTest::newRow("batch already stored")
        << "batch"
        << "050302-A" << import::messages::kDuplicate << int(Outcome::Refused);
    QTest::newRow("start date not a date")
        << "date"
        << "13/45/2002" << import::messages::kNonDate << int(Outcome::NonDate);
}

void TstSurveyImport::refusalsWriteNothing()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QFETCH(int, outcome);
    const QByteArray first = download(QDate(2002, 5, 3), 8, 0, {{0, '+', 30}});
    QCOMPARE(run(completeHeader(first), first).outcome, Outcome::Imported);
    m_report.messages.clear();
    const QStringList before = contents(m_folder->databasePath());

    const QByteArray buffer = download(QDate(2002, 5, 4), 8, 0, {{0, '+', 30}});
    import::SurveyHeader header = completeHeader(buffer);
    header.unit = QStringLiteral("MPH");
    if (field == QLatin1String("location"))
        header.location = value;
    else if (field == QLatin1String("direction"))
        header.direction = value;
    else if (field == QLatin1String("zone"))
        header.zone = value;
    else if (field == QLatin1String("posted"))
        header.postedSpeed = value;
    else if (field == QLatin1String("batch"))
        header.batchNumber = value;
    else
        header.startDate = value;
    QCOMPARE(int(run(header, buffer).outcome), outcome);
    QCOMPARE(m_report.messages, QStringList{message});
    QCOMPARE(contents(m_folder->databasePath()), before);

    // A batch number differing only in letter case is another survey.
    if (field == QLatin1String("batch")) {
        header.batchNumber = QStringLiteral("050302-a");
        QCOMPARE(run(header, buffer).outcome, Outcome::Imported);
    }
}

void TstSurveyImport::dataErrorsLeaveTheDatabaseAsItWas_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QString>("startTime");
    QTest::addColumn<bool>("emptyRadar");
    QTest::addColumn<QStringList>("messages");
    const QString error = import::messages::kDataError;
    // The log's own records, with an empty speed and a word among them.
    QByteArray bad = download(QDate(2002, 5, 4), 8, 0, {{0, '+', 30}, {5, '-', 31}, {9, '+', 32}});
    bad.replace(",-,31,", ",-,,").replace(",+,32,", ",+,fast,");
    QTest::newRow("empty speed and a word") << bad << "08:00" << false << QStringList{error};
    QByteArray wordOnly = download(QDate(2002, 5, 4), 8, 0, {{0, '+', 30}, {9, '+', 32}});
    wordOnly.replace(",+,32,", ",+,fast,");
    QTest::newRow("a word for a speed") << wordOnly << "08:00" << false << QStringList{error};
    QTest::newRow("no end mark") << QByteArray("SITE CODE 00415\r\n*\r\nDATA:\r\n0,+,30,") << "08:00" << false
                                 << QStringList{error};
    QTest::newRow("no vehicles, so no statistics")
        << download(QDate(2002, 5, 4), 8, 0, {}) << "08:00" << false << QStringList{"0 records added", error};
    QTest::newRow("start time without its leading zero")
        << download(QDate(2002, 5, 4), 8, 0, {{0, '+', 30}}) << "8:30" << false << QStringList{error};
    QTest::newRow("no settings row") << download(QDate(2002, 5, 4), 8, 0, {{0, '+', 30}}) << "08:00" << true
                                     << QStringList{error};
}

void TstSurveyImport::dataErrorsLeaveTheDatabaseAsItWas()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QString, startTime);
    QFETCH(bool, emptyRadar);
    QFETCH(QStringList, messages);
    const QByteArray first = download(QDate(2002, 5, 3), 8, 0, {{0, '+', 30}, {7, '-', 40}});
    QCOMPARE(run(completeHeader(first), first).outcome, Outcome::Imported);
    {
        db::Connection connection(m_folder->databasePath());
        connection.execute(QStringLiteral("update Radar set Radar_Mode = 'MPH'"));
        if (emptyRadar)
            connection.execute(QStringLiteral("delete from Radar"));
    }
    m_report.messages.clear();
    const QStringList before = contents(m_folder->databasePath());

    import::SurveyHeader header = completeHeader(buffer);
    header.batchNumber = QStringLiteral("050402-A");
    header.startDate = QStringLiteral("05/04/2002");
    header.startTime = startTime;
    header.postedSpeed = QStringLiteral("035");
    const ImportResult result = run(header, buffer);
    QCOMPARE(result.outcome, Outcome::DataError);
    QCOMPARE(m_report.messages, messages);
    // Everything is as it was but the unit last used, and the batch number
    // can be used again.
    QStringList after = contents(m_folder->databasePath());
    if (!emptyRadar)
        after.replaceInStrings(QStringLiteral("Radar:KPH"), QStringLiteral("Radar:MPH"));
    QCOMPARE(after, before);
    if (!emptyRadar) {
        const QByteArray good = download(QDate(2002, 5, 4), 8, 0, {{0, '+', 30}});
        QCOMPARE(run(completeHeader(good), good).outcome, Outcome::Imported);
    }
}

void TstSurveyImport::statementLogOfOneImport()
{
    const QByteArray buffer = download(QDate(2002, 5, 3), 8, 0, {{0, '+', 30}, {61, '-', 40}});
    import::SurveyHeader header = completeHeader(buffer);
    header.unit = QStringLiteral("MPH");
    QCOMPARE(run(header, buffer).outcome, Outcome::Imported);
    const QStringList log = db::StatementLog::entries();
    const QStringList writes = {"Select Distinct [Batch_Number] from Header", "select * from Header",
                                "select * from Radar", "select * from Veh_Data"};
    QCOMPARE(log.mid(0, 4), writes);
    QCOMPARE(log.size(), 4 + 18);
    const QString b = QStringLiteral(" from [Veh_Data] where [Batch_Number] = '050302-A'");
    QCOMPARE(log[4], "select count(speed) as TUnder" + b + " and Speed <= 35");
    QCOMPARE(log[10], "select count(speed) as TVpace" + b + " and speed >= 30 and Speed <= 40");
    QCOMPARE(log.last(), "select count(speed) as Over" + b + " and speed > 60");
}

QTEST_GUILESS_MAIN(TstSurveyImport)
#include "tst_surveyimport.moc"
