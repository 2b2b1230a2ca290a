#include "TestSupport.h"
#include "db/Connection.h"
#include "db/Recordset.h"
#include "db/StatementLog.h"
#include "import/LogParser.h"
#include "import/SurveyImport.h"
#include "loggen/LogWriter.h"
#include "stats/Pace.h"

#include <QRegularExpression>
#include <QTest>

#include <memory>

using namespace pelmor;
using import::ImportResult;
using import::SurveyHeader;
using test::row;
using Outcome = ImportResult::Outcome;

namespace {

class Report : public import::ImportReport {
public:
    void message(const QString& text, const QString& reason) override
    {
        messages << text;
        reasons << reason;
    }
    void progress(qint64, qint64) override {}
    QStringList messages;
    QStringList reasons;
};

// A processed download from vehicles written "offset direction speed"
// ("90061-30"), or as a speed alone ten seconds after the one before.
QByteArray download(const QDate& date, const QString& vehicles, int hour = 8, int minute = 0)
{
    std::vector<loggen::Vehicle> list;
    for (const QString& vehicle : vehicles.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const auto m = QRegularExpression(QStringLiteral("^(\\d+)([-+?])(\\d+)$")).match(vehicle);
        list.push_back(m.hasMatch() ? loggen::Vehicle{m.captured(1).toLongLong(),
                                                      char(m.captured(2)[0].unicode()), m.captured(3).toInt()}
                                    : loggen::Vehicle{qint64(list.size()) * 10, '+', vehicle.toInt()});
    }
    loggen::LogHeader header;
    header.startDate = date;
    header.startHour = hour;
    header.startMinute = minute;
    QByteArray log = loggen::writeLog(header, list);
    import::markEnd(log);
    return log;
}

// The import header as the user completes it for a download, with changes
// "field=value; field=value" made to it.
SurveyHeader completeHeader(const QByteArray& buffer, const QString& changes = QString())
{
    const import::HeaderFields f = import::readHeaderFields(buffer);
    SurveyHeader header{f.batchNumber(QStringLiteral("A")),
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
    const QHash<QString, QString SurveyHeader::*> fields = {
        {"location", &SurveyHeader::location}, {"direction", &SurveyHeader::direction},
        {"zone", &SurveyHeader::zone},         {"posted", &SurveyHeader::postedSpeed},
        {"batch", &SurveyHeader::batchNumber}, {"date", &SurveyHeader::startDate},
        {"time", &SurveyHeader::startTime},    {"unit", &SurveyHeader::unit}};
    for (const QString& change : changes.split(QStringLiteral("; "), Qt::SkipEmptyParts))
        header.*fields.value(change.section(QLatin1Char('='), 0, 0)) = change.section(QLatin1Char('='), 1);
    return header;
}

// Every row of every table, for comparing a database before and after.
QStringList contents(const QString& path)
{
    db::Connection connection({path, nullptr});
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

// The import of a processed download and the statistics computed for it.
class TstSurveyImport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<test::TempProgramFolder>();
        m_report = Report();
        m_folder->statements().clear();
    }
    void vehicleClock_data()
    {
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<int>("startHour");
        QTest::addColumn<int>("startMinute");
        QTest::addColumn<QString>("clock"); // hour:minute +days
        row("a second short of a day", 86399LL, 0, 0, "23:59 +0");
        row("a full day", 86400LL, 0, 0, "0:0 +1");
        row("minute 59 plus 59", 59 * 60LL, 0, 59, "1:58 +0");
    }
    void vehicleClock()
    {
        QFETCH(qint64, offset);
        QFETCH(int, startHour);
        QFETCH(int, startMinute);
        QFETCH(QString, clock);
        const import::VehicleClock c = import::vehicleClock(offset, startHour, startMinute);
        QCOMPARE(QStringLiteral("%1:%2 +%3").arg(c.hour).arg(c.minute).arg(c.days), clock);
    }
    void importStoresTheSurvey_data()
    {
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QStringList>("dates"); // of the three vehicles
        row("into 2003", QDate(2002, 12, 31), "123102-A",
            QStringList{"2002-12-31", "2003-01-01", "2003-01-01"});
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
        const ImportResult result = run(completeHeader(buffer), buffer);
        QCOMPARE(result.outcome, Outcome::Imported);
        QCOMPARE(m_report.messages, QStringList{QStringLiteral("3 records added")});

        db::Connection connection(m_folder->database());
        auto headers = connection.openRecordset(QStringLiteral("select * from Header"));
        QCOMPARE(headers.recordCount(), 1);
        QStringList stored;
        for (const char* field : {"Batch_Number", "Date", "Time", "Violation_Alert", "Radar_Mode", "Zone"})
            stored << headers.text(QLatin1String(field));
        QCOMPARE(stored, (QStringList{batch, start.toString(QStringLiteral("MM/dd/yyyy")), "23:59", "035",
                                      "KPH", "School"}));
        QCOMPARE(connection.scalar(QStringLiteral("select Radar_Mode as u from Radar"), QStringLiteral("u")),
                 QVariant(QStringLiteral("KPH")));
        auto vehicles = connection.openRecordset(QStringLiteral("select * from Veh_Data"));
        QStringList rows;
        for (vehicles.moveFirst(); !vehicles.eof(); vehicles.moveNext()) {
            QStringList values;
            for (const char* field : {"Offset", "Veh_Direction", "Speed", "Date", "Time"})
                values << vehicles.text(QLatin1String(field));
            rows << values.join(QLatin1Char(' '));
        }
        QCOMPARE(rows, (QStringList{"0 + 31 " + dates[0] + " 23:59:00", "60 - 45 " + dates[1] + " 00:00:00",
                                    "119 ? 28 " + dates[2] + " 00:00:00"}));
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
        row("past midnight", "0+30 1200+31", "unit=MPH; date=12/31/2002; time=23:50",
            "Total_Time=0 Days, 0 Hrs, 20 Min; Start_Time=11:50 PM; Stop_Time=12:10 AM; Start_Date=12/31/02; "
            "Stop_Date=01/01/03");
        row("minutes carry into the hour", "0+30 1800+31", "unit=MPH; time=10:45",
            "Stop_Time=11:15 AM; Stop_Date=05/03/02");
        row("into 2030", "0+30 21600+31", "unit=MPH; date=12/31/2029; time=22:00",
            "Total_Time=0 Days, 6 Hrs, 00 Min; Stop_Time=04:00 AM; Start_Date=12/31/29; Stop_Date=01/01/30");
    }
    void statistics()
    {
        QFETCH(QString, vehicles);
        QFETCH(QString, changes);
        QFETCH(QString, expected);
        const QByteArray other = download(QDate(2002, 5, 2), "99 1"); // must not be counted
        QCOMPARE(run(completeHeader(other), other).outcome, Outcome::Imported);
        const QByteArray buffer = download(QDate(2002, 5, 3), vehicles);
        QCOMPARE(run(completeHeader(buffer, changes), buffer).outcome, Outcome::Imported);
        db::Connection connection(m_folder->database());
        auto row =
            connection.openRecordset(QStringLiteral("select * from Summary where Batch_Number = '050302-A'"));
        QCOMPARE(row.recordCount(), 1);
        for (const QString& pair : expected.split(QStringLiteral("; "))) {
            const QString field = pair.section(QLatin1Char('='), 0, 0);
            QCOMPARE(field + QLatin1Char('=') + row.text(field), pair);
        }
    }
    void paceWindow_data()
    {
        QTest::addColumn<double>("average");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("low"); // empty: refused
        QTest::addColumn<QString>("high");
        row("32.46 MPH", 32.46, "MPH", "27.5", "37.5");
        row("whole average MPH", 32.0, "MPH", "27.0", "37.0");
        row("40.0 KPH", 40.0, "KPH", "30.0", "50.0");
        row("below 5 MPH", 4.3, "MPH", "-.7", "9.3");
        row("unknown unit", 40.0, "mph", "", "");
    }
    void paceWindow()
    {
        QFETCH(double, average);
        QFETCH(QString, unit);
        QFETCH(QString, low);
        QFETCH(QString, high);
        try {
            const stats::PaceWindow window = stats::paceWindow(average, unit);
            QCOMPARE((QStringList{window.low, window.high}), (QStringList{low, high}));
            QCOMPARE(window.lowBound, low.toDouble());
        } catch (const stats::StatisticsError&) {
            QVERIFY(low.isEmpty());
        }
    }
    void shareAndPercentile()
    {
        const std::pair<qint64, qint64> shares[] = {{63, 100}, {0, 5}, {5, 5}, {1, 200}, {1, 300}};
        QStringList percents;
        for (const auto& [inPace, total] : shares)
            percents << stats::pacePercent(inPace, total);
        // Half a percent rounds up; under it the share is empty.
        QCOMPARE(percents, (QStringList{"63 %", " %", "100 %", "1 %", " %"}));
        QCOMPARE((QStringList{stats::percentile85("32.5"), stats::percentile85("40.0")}),
                 (QStringList{"38", "47"}));
        QVERIFY_THROWS_EXCEPTION(stats::StatisticsError, stats::percentile85(QString()));
        QVERIFY_THROWS_EXCEPTION(stats::StatisticsError, stats::pacePercent(0, 0));
    }
    void refusalsWriteNothing_data()
    {
        QTest::addColumn<QString>("changes");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("outcome");
        const int refused = int(Outcome::Refused);
        row("no location", "location=", import::messages::kNoLocation, refused);
        row("no direction", "direction=", import::messages::kNoDirection, refused);
        row("no zone", "zone=", import::messages::kNoZone, refused);
        row("no posted speed", "posted=", import::messages::kNoPostedSpeed, refused);
        row("batch already stored", "batch=050302-A", import::messages::kDuplicate, refused);
        row("start date not a date", "date=13/45/2002", import::messages::kNonDate, int(Outcome::NonDate));
    }
    void refusalsWriteNothing()
    {
        QFETCH(QString, changes);
        QFETCH(QString, message);
        QFETCH(int, outcome);
        const QByteArray first = download(QDate(2002, 5, 3), "30");
        QCOMPARE(run(completeHeader(first), first).outcome, Outcome::Imported);
        m_report.messages.clear();
        const QStringList before = contents(m_folder->databasePath());

        const QByteArray buffer = download(QDate(2002, 5, 4), "30");
        SurveyHeader header = completeHeader(buffer, changes);
        QCOMPARE(int(run(header, buffer).outcome), outcome);
        QCOMPARE(m_report.messages, QStringList{message});
        QCOMPARE(contents(m_folder->databasePath()), before);
        // A batch number differing only in letter case is another survey.
        if (changes.startsWith(QLatin1String("batch"))) {
            header.batchNumber = QStringLiteral("050302-a");
            QCOMPARE(run(header, buffer).outcome, Outcome::Imported);
        }
    }
    void dataErrorsLeaveTheDatabaseAsItWas_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<QString>("changes");
        QTest::addColumn<QStringList>("messages"); // before the data error
        // The log's own records, with an empty speed and a word among them.
        QByteArray bad = download(QDate(2002, 5, 4), "30 31 32");
        bad.replace(",+,31,", ",+,,").replace(",+,32,", ",+,fast,");
        const QByteArray one = download(QDate(2002, 5, 4), "30");
        row("empty speed and a word", bad, "", QStringList());
        row("no vehicles, so no statistics", download(QDate(2002, 5, 4), ""), "",
            QStringList{"0 records added"});
        row("start time without its leading zero", one, "time=8:30", QStringList());
        row("unit neither MPH nor KPH", one, "unit=kph", QStringList{"1 records added"});
        row("limit not a number", one, "posted=abc", QStringList{"1 records added"});
        row("band bound beyond 32 bits", one, "posted=2147483640", QStringList{"1 records added"});
        row("no settings row", one, "radar=none", QStringList());
        // No two-digit year names 2100.
        row("into the year 2100", download(QDate(2099, 12, 31), "0+30 3600+31", 23, 30), "", QStringList());
    }
    void dataErrorsLeaveTheDatabaseAsItWas()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(QString, changes);
        QFETCH(QStringList, messages);
        const bool noRadar = changes == QLatin1String("radar=none");
        const QByteArray first = download(QDate(2002, 5, 3), "0+30 7-40");
        QCOMPARE(run(completeHeader(first), first).outcome, Outcome::Imported);
        {
            db::Connection connection(m_folder->database());
            connection.execute(QStringLiteral("update Radar set Radar_Mode = 'MPH'"));
            if (noRadar)
                connection.execute(QStringLiteral("delete from Radar"));
        }
        m_report.messages.clear();
        const QStringList before = contents(m_folder->databasePath());

        const SurveyHeader header = completeHeader(buffer, noRadar ? QString() : changes);
        QCOMPARE(run(header, buffer).outcome, Outcome::DataError);
        QCOMPARE(m_report.messages, messages + QStringList{import::messages::kDataError});
        // The fixed message comes with the reason behind it.
        QVERIFY(!m_report.reasons.constLast().isEmpty());
        // Everything is as it was, the unit last used included, and the
        // batch number can be used again.
        QCOMPARE(contents(m_folder->databasePath()), before);
        if (!noRadar)
            QCOMPARE(run(completeHeader(one()), one()).outcome, Outcome::Imported);
    }
    void statementLogOfOneImport()
    {
        const QByteArray buffer = download(QDate(2002, 5, 3), "0+30 61-32 62?35 90+36");
        QCOMPARE(run(completeHeader(buffer, "unit=MPH"), buffer).outcome, Outcome::Imported);
        // The rows are written through record sets, then the statistics are
        // counted one query after another (average 33.25, a pace of 28.3 to 38.3).
        // "%B" stands for the survey's rows.
        QStringList expected =
            QStringLiteral(
                "Select Distinct [Batch_Number] from Header; select * from Header; select * from Radar; "
                "select * from Veh_Data; select count(speed) as TUnder%B and Speed <= 35; "
                "select count(speed) as Tover%B and Speed > 35; select avg(speed) as AVover%B and "
                "Speed > 35; select min(speed) as Minspeed%B; select max(speed) as Maxspeed%B; "
                "select avg(speed) as AVspeed%B; select count(speed) as TVpace%B and speed >= 28.3 and "
                "Speed <= 38.3; select count(speed) as TVeh%B; select count(Veh_Direction) as Tapp%B and "
                "[Veh_Direction] = '+'; select count(Veh_Direction) as Trecd%B and [Veh_Direction] = "
                "'-'; select count(Veh_Direction) as Tquest%B and [Veh_Direction] = '?'; select "
                "max(Offset) as Ttime%B; select count(speed) as Over%B and speed > 35 and speed <= 40; "
                "select count(speed) as Over%B and speed > 35 + 5 and speed <= 45; select count(speed) "
                "as Over%B and speed > 35 + 10 and speed <= 50; select count(speed) as Over%B and speed "
                "> 35 + 15 and speed <= 55; select count(speed) as Over%B and speed > 35 + 20 and speed "
                "<= 60; select count(speed) as Over%B and speed > 60")
                .replace(QStringLiteral("%B"),
                         QStringLiteral(" from [Veh_Data] where [Batch_Number] = '050302-A'"))
                .split(QStringLiteral("; "));
        QCOMPARE(m_folder->statements().entries(), expected);
    }

private:
    static QByteArray one() { return download(QDate(2002, 5, 4), "30"); }
    ImportResult run(const SurveyHeader& header, const QByteArray& buffer)
    {
        return import::importSurvey(m_folder->database(), header, buffer, m_report);
    }
    std::unique_ptr<test::TempProgramFolder> m_folder;
    Report m_report;
};

QTEST_GUILESS_MAIN(TstSurveyImport)
#include "tst_surveyimport.moc"
