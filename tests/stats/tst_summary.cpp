#include "TestSupport.h"
#include "db/Connection.h"
#include "db/Recordset.h"
#include "db/StatementLog.h"
#include "stats/Pace.h"
#include "stats/Summary.h"

#include <QTest>

#include <memory>

using namespace pelmor;

namespace {

struct Car {
    qint64 offset;
    char direction;
    int speed;
};

void addVehicles(const QString& path, const QString& batch, const QList<Car>& cars)
{
    db::Connection connection(path);
    db::Transaction transaction(connection);
    auto set = connection.openRecordset(QStringLiteral("select * from Veh_Data"));
    for (const Car& car : cars) {
        set.addNew();
        set.setValue(QStringLiteral("Batch_Number"), batch);
        set.setValue(QStringLiteral("Offset"), car.offset);
        set.setValue(QStringLiteral("Veh_Direction"), QString(QLatin1Char(car.direction)));
        set.setValue(QStringLiteral("Speed"), car.speed);
        set.setValue(QStringLiteral("Time"), QStringLiteral("08:00 AM"));
        set.setValue(QStringLiteral("Date"), QStringLiteral("05/03/02"));
        set.update();
    }
    transaction.commit();
}

QList<Car> speeds(std::initializer_list<int> list)
{
    QList<Car> cars;
    for (int speed : list)
        cars.append({cars.size() * 10LL, '+', speed});
    return cars;
}

} // namespace

Q_DECLARE_METATYPE(QList<Car>)

class TstSummary : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void paceWindow_data();
    void paceWindow();
    void shareAndPercentile_data();
    void shareAndPercentile();
    void summaryOfSurvey_data();
    void summaryOfSurvey();
    void queriesAreIssuedAsWritten();
    void failuresStoreNothing_data();
    void failuresStoreNothing();

private:
    std::unique_ptr<test::TempProgramFolder> m_folder;
};

void TstSummary::init()
{
    m_folder = std::make_unique<test::TempProgramFolder>();
    db::StatementLog::clear();
}

void TstSummary::paceWindow_data()
{
    QTest::addColumn<double>("average");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("low");
    QTest::addColumn<QString>("high");
    QTest::newRow("32.46 MPH") << 32.46 << "MPH"
                               << "27.5"
                               << "37.5";
    QTest::newRow("whole average MPH") << 32.0 << "MPH"
                                       << "27.0"
                                       << "37.0";
    QTest::newRow("40.0 KPH") << 40.0 << "KPH"
                              << "30.0"
                              << "50.0";
    QTest::newRow("below 5 MPH") << 4.3 << "MPH"
                                 << "-.7"
                                 << "9.3";
    QTest::newRow("unknown unit") << 40.0 << "mph"
                                  << ""
                                  << "";
}

void TstSummary::paceWindow()
{
    QFETCH(double, average);
    QFETCH(QString, unit);
    QFETCH(QString, low);
    QFETCH(QString, high);
    try {
        const stats::PaceWindow window = stats::paceWindow(average, unit);
        QCOMPARE(window.low, low);
        QCOMPARE(window.high, high);
        QCOMPARE(window.lowBound, low.toDouble());
    } catch (const stats::StatisticsError&) {
        QVERIFY(low.isEmpty());
    }
}

void TstSummary::shareAndPercentile_data()
{
    QTest::addColumn<qint64>("inPace");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<QString>("percent");
    QTest::newRow("63 of 100") << 63LL << 100LL << "63 %";
    QTest::newRow("none in the pace") << 0LL << 5LL << " %";
    QTest::newRow("all in the pace") << 5LL << 5LL << "100 %";
    QTest::newRow("half a percent rounds up") << 1LL << 200LL << "1 %";
    QTest::newRow("a third of a percent is empty") << 1LL << 300LL << " %";
}

void TstSummary::shareAndPercentile()
{
    QFETCH(qint64, inPace);
    QFETCH(qint64, total);
    QFETCH(QString, percent);
    QCOMPARE(stats::pacePercent(inPace, total), percent);
    QCOMPARE(stats::percentile85(QStringLiteral("32.5")), QStringLiteral("38"));
    QCOMPARE(stats::percentile85(QStringLiteral("40.0")), QStringLiteral("47"));
    QVERIFY_THROWS_EXCEPTION(stats::StatisticsError, stats::percentile85(QString()));
    QVERIFY_THROWS_EXCEPTION(stats::StatisticsError, stats::pacePercent(0, 0));
}

void TstSummary::summaryOfSurvey_data()
{
    QTest::addColumn<QList<Car>>("cars");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("posted");
    QTest::addColumn<QString>("startTime");
    QTest::addColumn<QString>("startDate");
    QTest::addColumn<QStringList>("expected"); // "Field=value" of the stored row

    QTest::newRow("MPH bands at their edges")
        << speeds({35, 40, 41, 61, 20}) << "MPH"
        << "035"
        << "08:00"
        << "05/03/2002"
        << QStringList{"Posted_Limit=035", "Number_Under=2",   "Number_Over=3",       "Averge_Over=47.3",
                       "Min_Speed=20",     "Max_Speed=61",     "Average_Speed=39.4",  "Over_5=1",
                       "Over_10=1",        "Over_15=0",        "Over_20=0",           "Over_25=0",
                       "Over_26=1",        "Total_Vehicles=5", "Start_Time=08:00 AM", "Start_Date=05/03/02"};
    QTest::newRow("all at or under the limit")
        << speeds({30, 35, 35}) << "MPH"
        << "35"
        << "08:00"
        << "05/03/2002"
        << QStringList{"Number_Over=0",      "Averge_Over=",      "Over_5=0",       "Over_26=0",
                       "Average_Speed=33.3", "Pace_Low=28.3",     "Pace_High=38.3", "Pace_Total=3",
                       "Pace_Percent=100 %", "85th_Percentile=39"};
    QTest::newRow("KPH bands") << speeds({30, 40, 41, 80, 81}) << "KPH"
                               << "030"
                               << "08:00"
                               << "05/03/2002"
                               << QStringList{"Number_Under=1", "Over_5=1",           "Over_10=1",
                                              "Over_15=0",      "Over_20=0",          "Over_25=1",
                                              "Over_26=1",      "Average_Speed=54.4", "Pace_Low=44.4",
                                              "Pace_High=64.4", "Pace_Total=0",       "Pace_Percent= %"};
    QTest::newRow("a day, an hour and a minute")
        << QList<Car>{{0, '+', 30}, {90061, '-', 30}, {500, '?', 30}} << "MPH"
        << "035"
        << "08:00"
        << "05/03/2002"
        << QStringList{"Total_Time=1 Days, 1 Hrs, 01 Min",
                       "Stop_Time=09:01 AM",
                       "Stop_Date=05/04/02",
                       "Total_Approach=1",
                       "Total_Receeding=1",
                       "Total_Unknown=1"};
    QTest::newRow("past midnight") << QList<Car>{{0, '+', 30}, {1200, '+', 31}} << "MPH"
                                   << "035"
                                   << "23:50"
                                   << "12/31/2002"
                                   << QStringList{"Total_Time=0 Days, 0 Hrs, 20 Min", "Start_Time=11:50 PM",
                                                  "Stop_Time=12:10 AM", "Start_Date=12/31/02",
                                                  "Stop_Date=01/01/03"};
    QTest::newRow("minutes carry into the hour")
        << QList<Car>{{0, '+', 30}, {1800, '+', 31}} << "MPH"
        << "035"
        << "10:45"
        << "05/03/2002" << QStringList{"Stop_Time=11:15 AM", "Stop_Date=05/03/02"};
}

void TstSummary::summaryOfSurvey()
{
    QFETCH(QList<Car>, cars);
    QFETCH(QString, unit);
    QFETCH(QString, posted);
    QFETCH(QString, startTime);
    QFETCH(QString, startDate);
    QFETCH(QStringList, expected);
    const QString batch = QStringLiteral("050302-A");
    addVehicles(m_folder->databasePath(), batch, cars);
    addVehicles(m_folder->databasePath(), QStringLiteral("050302-B"), speeds({99, 1})); // another survey
    {
        db::Connection connection(m_folder->databasePath());
        const stats::SummaryValues values =
            stats::summary(connection, {batch, posted, unit, startTime, startDate});
        stats::storeSummary(connection, values);
    }
    db::Connection connection(m_folder->databasePath());
    auto row = connection.openRecordset(QStringLiteral("select * from Summary"));
    QCOMPARE(row.recordCount(), 1);
    QCOMPARE(row.text(QStringLiteral("Batch_Number")), batch);
    for (const QString& pair : expected) {
        const QString field = pair.section(QLatin1Char('='), 0, 0);
        QCOMPARE(field + QLatin1Char('=') + row.text(field), pair);
    }
}

void TstSummary::queriesAreIssuedAsWritten()
{
    addVehicles(m_folder->databasePath(), QStringLiteral("050302-A"), speeds({30, 32, 35, 36}));
    db::StatementLog::clear();
    db::Connection connection(m_folder->databasePath());
    const auto values =
        stats::summary(connection, {QStringLiteral("050302-A"), QStringLiteral("035"), QStringLiteral("MPH"),
                                    QStringLiteral("08:00"), QStringLiteral("05/03/2002")});
    QCOMPARE(values.paceLow, QStringLiteral("28.3")); // average 33.25
    const QString b = QStringLiteral(" from [Veh_Data] where [Batch_Number] = '050302-A'");
    const QStringList expected = {
        "select count(speed) as TUnder" + b + " and Speed <= 35",
        "select count(speed) as Tover" + b + " and Speed > 35",
        "select avg(speed) as AVover" + b + " and Speed > 35",
        "select min(speed) as Minspeed" + b,
        "select max(speed) as Maxspeed" + b,
        "select avg(speed) as AVspeed" + b,
        "select count(speed) as TVpace" + b + " and speed >= 28.3 and Speed <= 38.3",
        "select count(speed) as TVeh" + b,
        "select count(Veh_Direction) as Tapp" + b + " and [Veh_Direction] = '+'",
        "select count(Veh_Direction) as Trecd" + b + " and [Veh_Direction] = '-'",
        "select count(Veh_Direction) as Tquest" + b + " and [Veh_Direction] = '?'",
        "select max(Offset) as Ttime" + b,
        "select count(speed) as Over" + b + " and speed > 35 and speed <= 40",
        "select count(speed) as Over" + b + " and speed > 35 + 5 and speed <= 45",
        "select count(speed) as Over" + b + " and speed > 35 + 10 and speed <= 50",
        "select count(speed) as Over" + b + " and speed > 35 + 15 and speed <= 55",
        "select count(speed) as Over" + b + " and speed > 35 + 20 and speed <= 60",
        "select count(speed) as Over" + b + " and speed > 60",
    };
    QCOMPARE(db::StatementLog::entries(), expected);
}

void TstSummary::failuresStoreNothing_data()
{
    QTest::addColumn<QList<Car>>("cars");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("posted");
    QTest::addColumn<QString>("startTime");
    QTest::newRow("no vehicles") << QList<Car>() << "MPH"
                                 << "035"
                                 << "08:00";
    QTest::newRow("unit neither MPH nor KPH") << speeds({30}) << "kph"
                                              << "035"
                                              << "08:00";
    QTest::newRow("limit not a number") << speeds({30}) << "MPH"
                                        << "abc"
                                        << "08:00";
    QTest::newRow("band bound beyond 32 bits") << speeds({30}) << "MPH"
                                               << "2147483640"
                                               << "08:00";
    QTest::newRow("start time not a number") << speeds({30}) << "MPH"
                                             << "035"
                                             << "8:30";
}

void TstSummary::failuresStoreNothing()
{
    QFETCH(QList<Car>, cars);
    QFETCH(QString, unit);
    QFETCH(QString, posted);
    QFETCH(QString, startTime);
    addVehicles(m_folder->databasePath(), QStringLiteral("050302-A"), cars);
    db::Connection connection(m_folder->databasePath());
    QVERIFY_THROWS_EXCEPTION(std::exception,
                             stats::summary(connection, {QStringLiteral("050302-A"), posted, unit, startTime,
                                                         QStringLiteral("05/03/2002")}));
    QCOMPARE(
        connection.scalar(QStringLiteral("select count(*) as n from Summary"), QStringLiteral("n")).toInt(),
        0);
}

QTEST_GUILESS_MAIN(TstSummary)
#include "tst_summary.moc"
