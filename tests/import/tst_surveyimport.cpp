#include "ImportFixture.h"
#include "TestSupport.h"
#include "db/Connection.h"

#include <QTest>

#include <memory>

using namespace pelmor;
using import::ImportResult;
using import::SurveyHeader;
using test::completeHeader;
using test::download;
using test::row;
using Outcome = ImportResult::Outcome;

namespace {

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
        m_folder->statements().clear();
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
        const ImportResult result = run(completeHeader(buffer), buffer);
        QCOMPARE(result.outcome, Outcome::Imported);
        QCOMPARE(m_report.messages, QStringList{QStringLiteral("3 records added")});

        const QString path = m_folder->databasePath();
        QCOMPARE(test::rowTexts(path, "select * from Header",
                                {"Batch_Number", "Date", "Time", "Violation_Alert", "Radar_Mode", "Zone"}),
                 QStringList{batch + "|" + start.toString("MM/dd/yyyy") + "|23:59|035|KPH|School"});
        QCOMPARE(test::rowTexts(path, "select * from Radar", {"Radar_Mode"}), QStringList{"KPH"});
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
        row("into 2030", "0+30 21600+31", "unit=MPH; date=12/31/2029; time=22:00",
            "Total_Time=0 Days, 6 Hrs, 00 Min; Start_Time=10:00 PM; Stop_Time=04:00 AM; Start_Date=12/31/29; "
            "Stop_Date=01/01/30");
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
        QTest::addColumn<QStringList>("messages");
        const QByteArray one = download(QDate(2002, 5, 4), "30");
        const int refused = int(Outcome::Refused), dataError = int(Outcome::DataError);
        using namespace import::messages;
        row("no location", one, "location=", refused, QStringList{kNoLocation});
        row("no direction", one, "direction=", refused, QStringList{kNoDirection});
        row("no zone", one, "zone=", refused, QStringList{kNoZone});
        row("no posted speed", one, "posted=", refused, QStringList{kNoPostedSpeed});
        row("batch already stored", one, "batch=050302-A", refused, QStringList{kDuplicate});
        row("start date not a date", one, "date=13/45/2002", int(Outcome::NonDate), QStringList{kNonDate});
        // The log's own records, with an empty speed and a word among them.
        QByteArray bad = download(QDate(2002, 5, 4), "30 31 32");
        bad.replace(",+,31,", ",+,,").replace(",+,32,", ",+,fast,");
        row("empty speed and a word", bad, "", dataError, QStringList{kDataError});
        row("no vehicles, so no statistics", download(QDate(2002, 5, 4), ""), "", dataError,
            QStringList{"0 records added", kDataError});
        row("start time without its leading zero", one, "time=8:30", dataError, QStringList{kDataError});
        row("unit neither MPH nor KPH", one, "unit=kph", dataError,
            QStringList{"1 records added", kDataError});
        row("limit not a number", one, "posted=abc", dataError, QStringList{"1 records added", kDataError});
        row("band bound beyond 32 bits", one, "posted=2147483640", dataError,
            QStringList{"1 records added", kDataError});
        row("no settings row", one, "radar=none", dataError, QStringList{kDataError});
        // No two-digit year names 2100.
        row("into the year 2100", download(QDate(2099, 12, 31), "0+30 3600+31", 23, 30), "", dataError,
            QStringList{kDataError});
    }
    void failuresWriteNothing()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(QString, changes);
        QFETCH(int, outcome);
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
        m_report = test::ImportMessages();
        const QStringList before = contents(m_folder->databasePath());

        QCOMPARE(int(run(completeHeader(buffer, noRadar ? QString() : changes), buffer).outcome), outcome);
        QCOMPARE(m_report.messages, messages);
        // The fixed message of a data error comes with the reason behind it.
        QCOMPARE(m_report.reasons.constLast().isEmpty(), outcome != int(Outcome::DataError));
        // Everything is as it was, the unit last used included, and the batch
        // number can be used again; one differing only in letter case is
        // another survey.
        QCOMPARE(contents(m_folder->databasePath()), before);
        const QByteArray one = download(QDate(2002, 5, 4), "30");
        if (!noRadar)
            QCOMPARE(
                run(completeHeader(one, changes.startsWith("batch") ? "batch=050302-a" : ""), one).outcome,
                Outcome::Imported);
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
    ImportResult run(const SurveyHeader& header, const QByteArray& buffer)
    {
        return import::importSurvey(m_folder->database(), header, buffer, m_report);
    }
    std::unique_ptr<test::TempProgramFolder> m_folder;
    test::ImportMessages m_report;
};

QTEST_GUILESS_MAIN(TstSurveyImport)
#include "tst_surveyimport.moc"
