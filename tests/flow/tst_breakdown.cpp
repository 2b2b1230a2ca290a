#include "SurveyFixture.h"
#include "TestSupport.h"
#include "db/Connection.h"
#include "db/Recordset.h"
#include "db/Schema.h"
#include "db/StatementLog.h"
#include "flow/FlowBreakdown.h"
#include "stats/SurveyMessages.h"
#include "text/Formats.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <memory>

using namespace pelmor;
using flow::BinLength;

namespace {

const QString kBatch = QStringLiteral("050302-A");
const QString kHyphens(20, QLatin1Char('-'));

// Rows written as "cDate|cTime|cCount|cHourTotal".
QString bin(const QString& date, const QString& span, int count)
{
    return QStringLiteral("%1|%2|%3|").arg(date, span).arg(count);
}

QString total(int count)
{
    return QStringLiteral("|%1|----|%2").arg(kHyphens).arg(count);
}

QString grand(int count)
{
    return QStringLiteral("|||%1").arg(count);
}

QStringList breakdownRows(const QString& databasePath)
{
    db::Connection connection(databasePath);
    db::Recordset set = db::Recordset::openTable(connection, *db::findTable(QStringLiteral("Breakdown")));
    QStringList rows;
    for (const flow::BreakdownRow& row : flow::readBreakdownRows(set))
        rows << QStringList{row.cDate, row.cTime, row.cCount, row.cHourTotal}.join(QLatin1Char('|'));
    return rows;
}

flow::BreakdownInputs inputsFor(const test::FixtureSurvey& survey)
{
    return {survey.batch, text::formatDateMdy(survey.start.date()), text::formatTimeAmPm(survey.start.time()),
            text::formatDateMdy(survey.stop.date()), text::formatTimeAmPm(survey.stop.time())};
}

// What a walk wrote, read back from its rows alone, with every rule a
// reader relies on checked on the way: a date on the first bin of each day
// only, bins one bin length long, a total row wherever an hour (quarter-hour
// bins) or a day (hourly bins) closes and at the end, each total the sum of
// the bins since the previous one, and a grand total of all of them.
struct Walked {
    std::vector<QDateTime> binStarts;
    qint64 grandTotal = 0;
    QString fault;
};

Walked readWalk(const QStringList& rows, int length)
{
    Walked walked;
    QDate date;
    qint64 running = 0, totals = 0;
    bool totalDue = false;
    const auto fault = [&](int i, const QString& what) {
        walked.fault = QStringLiteral("row %1 (%2): %3").arg(i).arg(rows.value(i), what);
        return walked;
    };
    if (rows.size() < 3)
        return fault(0, QStringLiteral("too few rows"));
    for (int i = 0; i < rows.size() - 1; ++i) {
        const QStringList f = rows[i].split(QLatin1Char('|'));
        if (f[1] == kHyphens) {
            if (!f[0].isEmpty() || f[2] != QLatin1String("----"))
                return fault(i, QStringLiteral("malformed total row"));
            if (f[3].toLongLong() != running)
                return fault(i, QStringLiteral("total is not the sum of its bins (%1)").arg(running));
            totals += running;
            running = 0;
            totalDue = false;
            continue;
        }
        if (totalDue)
            return fault(i, QStringLiteral("a total row is missing before this bin"));
        const auto start = text::parseTime(f[1].left(5));
        const auto end = text::parseTime(f[1].mid(8));
        if (!start || !end || f[1].mid(5, 3) != QLatin1String(" - ") || !f[3].isEmpty())
            return fault(i, QStringLiteral("malformed bin row"));
        if (start->addSecs(60 * length) != *end)
            return fault(i, QStringLiteral("bin is not %1 minutes long").arg(length));
        const bool firstOfDay = walked.binStarts.empty() || *start == QTime(0, 0);
        if (firstOfDay != !f[0].isEmpty())
            return fault(i, QStringLiteral("date on the wrong bin"));
        if (firstOfDay)
            date = *text::parseDate(f[0]);
        walked.binStarts.push_back(QDateTime(date, *start, Qt::UTC));
        running += f[2].toLongLong();
        totalDue = length == 15 ? end->minute() == 0 : *end == QTime(0, 0);
    }
    const QStringList last = rows.last().split(QLatin1Char('|'));
    if (rows[rows.size() - 2].split(QLatin1Char('|')).value(1) != kHyphens || running != 0)
        return fault(rows.size() - 2, QStringLiteral("the walk does not end with a total row"));
    if (!last[0].isEmpty() || !last[1].isEmpty() || !last[2].isEmpty())
        return fault(rows.size() - 1, QStringLiteral("malformed grand-total row"));
    walked.grandTotal = last[3].toLongLong();
    if (walked.grandTotal != totals)
        return fault(rows.size() - 1, QStringLiteral("grand total is not the sum of the totals"));
    return walked;
}

} // namespace

class TstBreakdown : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void walkRows_data();
    void walkRows();
    void countingQueriesAsIssued();
    void apostropheInBatchNumber();
    void refusalsChangeNothing_data();
    void refusalsChangeNothing();
    void failureKeepsRowsWritten();
    void generatedSurveys();
    void commandLine_data();
    void commandLine();

private:
    std::unique_ptr<test::TempProgramFolder> m_folder;
};

void TstBreakdown::init()
{
    m_folder = std::make_unique<test::TempProgramFolder>();
    db::StatementLog::clear();
}

void TstBreakdown::walkRows_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QStringList>("times"); // start date, start time, stop date, stop time
    QTest::addColumn<QStringList>("vehicles");
    QTest::addColumn<QStringList>("head"); // the first rows
    QTest::addColumn<QStringList>("tail"); // the last rows
    QTest::addColumn<int>("binRows");

    const QString d = QStringLiteral("05/03/02");
    const auto times = [](const char* a, const char* b, const char* c, const char* e) {
        return QStringList{QLatin1String(a), QLatin1String(b), QLatin1String(c), QLatin1String(e)};
    };
    const auto on = [](const QString& date, const QStringList& clocks) {
        QStringList vehicles;
        for (const QString& clock : clocks)
            vehicles << date + QLatin1Char(' ') + clock;
        return vehicles;
    };

    QStringList rows{bin(d, QStringLiteral("08:00 - 08:15"), 3), total(3), grand(3)};
    QTest::newRow("08:05 to 08:10") << 15 << times("05/03/02", "08:05 AM", "05/03/02", "08:10 AM")
                                    << on(d, {"08:05", "08:07", "08:10"}) << rows << rows << 1;

    rows = {
        bin(d, QStringLiteral("08:45 - 09:00"), 2),  total(2), bin({}, QStringLiteral("09:00 - 09:15"), 2),
        bin({}, QStringLiteral("09:15 - 09:30"), 2), total(4), grand(6)};
    QTest::newRow("start 08:50") << 15 << times("05/03/02", "08:50 AM", "05/03/02", "09:20 AM")
                                 << on(d, {"08:50", "08:59", "09:00", "09:14", "09:15", "09:20"}) << rows
                                 << rows << 3;

    rows = {bin(d, QStringLiteral("14:00 - 14:15"), 1),
            bin({}, QStringLiteral("14:15 - 14:30"), 0),
            bin({}, QStringLiteral("14:30 - 14:45"), 0),
            bin({}, QStringLiteral("14:45 - 15:00"), 1),
            total(2),
            total(0),
            grand(2)};
    QTest::newRow("ends 14:46, empty bins") << 15 << times("05/03/02", "02:02 PM", "05/03/02", "02:46 PM")
                                            << on(d, {"14:02", "14:46"}) << rows << rows << 4;

    rows = {bin(d, QStringLiteral("14:00 - 14:15"), 0), bin({}, QStringLiteral("14:15 - 14:30"), 1),
            bin({}, QStringLiteral("14:30 - 14:45"), 0), total(1), grand(1)};
    QTest::newRow("ends 14:29") << 15 << times("05/03/02", "02:00 PM", "05/03/02", "02:29 PM")
                                << on(d, {"14:29"}) << rows << rows << 3;

    rows = {bin(d, QStringLiteral("14:00 - 14:15"), 0), bin({}, QStringLiteral("14:15 - 14:30"), 1), total(1),
            grand(1)};
    QTest::newRow("ends 14:28") << 15 << times("05/03/02", "02:00 PM", "05/03/02", "02:28 PM")
                                << on(d, {"14:28"}) << rows << rows << 2;

    rows = {bin(d, QStringLiteral("15:00 - 16:00"), 1), bin({}, QStringLiteral("16:00 - 17:00"), 1), total(2),
            grand(2)};
    QTest::newRow("hourly, ends 16:37") << 60 << times("05/03/02", "03:10 PM", "05/03/02", "04:37 PM")
                                        << on(d, {"15:10", "16:37"}) << rows << rows << 2;

    rows = {bin(d, QStringLiteral("16:00 - 17:00"), 1), bin({}, QStringLiteral("17:00 - 18:00"), 0), total(1),
            grand(1)};
    QTest::newRow("hourly, ends 16:59") << 60 << times("05/03/02", "04:00 PM", "05/03/02", "04:59 PM")
                                        << on(d, {"16:59"}) << rows << rows << 2;

    rows = {bin(d, QStringLiteral("23:15 - 23:30"), 1),
            bin({}, QStringLiteral("23:30 - 23:45"), 0),
            bin({}, QStringLiteral("23:45 - 00:00"), 1),
            total(2),
            total(0),
            grand(2)};
    QTest::newRow("ends 23:50") << 15 << times("05/03/02", "11:20 PM", "05/03/02", "11:50 PM")
                                << on(d, {"23:20", "23:50"}) << rows << rows << 3;

    rows = {bin(d, QStringLiteral("22:00 - 23:00"), 1), bin({}, QStringLiteral("23:00 - 00:00"), 1), total(2),
            grand(2)};
    QTest::newRow("hourly, ends 23:30") << 60 << times("05/03/02", "10:10 PM", "05/03/02", "11:30 PM")
                                        << on(d, {"22:10", "23:30"}) << rows << rows << 2;

    rows = {bin(d, QStringLiteral("23:30 - 23:45"), 0),
            bin({}, QStringLiteral("23:45 - 00:00"), 1),
            total(1),
            bin(QStringLiteral("05/04/02"), QStringLiteral("00:00 - 00:15"), 1),
            bin({}, QStringLiteral("00:15 - 00:30"), 1),
            total(2),
            grand(3)};
    QTest::newRow("two days") << 15 << times("05/03/02", "11:30 PM", "05/04/02", "12:20 AM")
                              << (on(d, {"23:50"}) + on(QStringLiteral("05/04/02"), {"00:00", "00:20"}))
                              << rows << rows << 4;

    rows = {bin(d, QStringLiteral("22:00 - 23:00"), 1),
            bin({}, QStringLiteral("23:00 - 00:00"), 1),
            total(2),
            bin(QStringLiteral("05/04/02"), QStringLiteral("00:00 - 01:00"), 1),
            bin({}, QStringLiteral("01:00 - 02:00"), 1),
            total(2),
            grand(4)};
    QTest::newRow("hourly, two days")
        << 60 << times("05/03/02", "10:15 PM", "05/04/02", "01:10 AM")
        << (on(d, {"22:15", "23:59"}) + on(QStringLiteral("05/04/02"), {"00:30", "01:10"})) << rows << rows
        << 4;

    rows = {bin(QStringLiteral("12/31/02"), QStringLiteral("23:45 - 00:00"), 1), total(1),
            bin(QStringLiteral("01/01/03"), QStringLiteral("00:00 - 00:15"), 1), total(1), grand(2)};
    QTest::newRow("new year") << 15 << times("12/31/02", "11:50 PM", "01/01/03", "12:10 AM")
                              << QStringList{QStringLiteral("12/31/02 23:55"),
                                             QStringLiteral("01/01/03 00:10")}
                              << rows << rows << 2;

    rows = {bin(d, QStringLiteral("08:00 - 08:15"), 1), total(1), grand(1)};
    QTest::newRow("stop date before start") << 15 << times("05/03/02", "08:00 AM", "05/02/02", "09:00 AM")
                                            << on(d, {"08:00", "09:00"}) << rows << rows << 1;
    QTest::newRow("stop date unreadable") << 15 << times("05/03/02", "08:00 AM", "", "09:00 AM")
                                          << on(d, {"08:00", "09:00"}) << rows << rows << 1;

    // Without a stop time the walk covers the rest of the stop date.
    QTest::newRow("stop time unreadable")
        << 15 << times("05/03/02", "08:00 AM", "05/03/02", "") << on(d, {"08:00", "09:00"})
        << QStringList{bin(d, QStringLiteral("08:00 - 08:15"), 1)}
        << QStringList{bin({}, QStringLiteral("23:45 - 00:00"), 0), total(0), total(0), grand(2)} << 64;
}

void TstBreakdown::walkRows()
{
    QFETCH(int, length);
    QFETCH(QStringList, times);
    QFETCH(QStringList, vehicles);
    QFETCH(QStringList, head);
    QFETCH(QStringList, tail);
    QFETCH(int, binRows);

    test::FixtureSurvey survey;
    survey.withSummary = false;
    survey.vehicles = test::vehiclesAt(vehicles);
    test::storeSurvey(m_folder->databasePath(), survey);
    // The same traffic under the other trailer letter must not be counted.
    survey.batch = QStringLiteral("050302-B");
    test::storeSurvey(m_folder->databasePath(), survey);

    const flow::BreakdownInputs inputs{kBatch, times[0], times[1], times[2], times[3]};
    const flow::BreakdownResult result = flow::runBreakdown(
        m_folder->databasePath(), inputs, length == 15 ? BinLength::QuarterHour : BinLength::Hour);
    QVERIFY2(result.ok(), qPrintable(result.failure));

    const QStringList rows = breakdownRows(m_folder->databasePath());
    QCOMPARE(rows.mid(0, head.size()), head);
    QCOMPARE(rows.mid(rows.size() - tail.size()), tail);
    QCOMPARE(result.binRows, binRows);
    QCOMPARE(result.rowsWritten, rows.size());
    QCOMPARE(result.grandTotal, rows.last().section(QLatin1Char('|'), 3).toLongLong());
}

void TstBreakdown::countingQueriesAsIssued()
{
    test::FixtureSurvey survey;
    survey.start = test::at(QStringLiteral("05/03/02 08:50"));
    survey.stop = test::at(QStringLiteral("05/03/02 09:20"));
    test::storeSurvey(m_folder->databasePath(), survey);
    db::StatementLog::clear();

    QVERIFY(flow::grd15min(m_folder->databasePath(), inputsFor(survey)).ok());
    const QString query =
        QStringLiteral("select count(speed) as TBlock from [Veh_Data] where  [Batch_Number] = "
                       "'050302-A' and Time >= # %1 # and Time <= # %2 # and date = # 05/03/02 # ");
    const QStringList expected{query.arg(QStringLiteral("08:45"), QStringLiteral("08:59")),
                               query.arg(QStringLiteral("09:00"), QStringLiteral("09:14")),
                               query.arg(QStringLiteral("09:15"), QStringLiteral("09:29"))};
    QCOMPARE(db::StatementLog::entries(), QStringList{QStringLiteral("Select * from Breakdown")} + expected);

    db::StatementLog::clear();
    QVERIFY(flow::grdHour(m_folder->databasePath(), inputsFor(survey)).ok());
    QCOMPARE(db::StatementLog::entries(),
             (QStringList{QStringLiteral("Select * from Breakdown"),
                          query.arg(QStringLiteral("08:00"), QStringLiteral("08:59")),
                          query.arg(QStringLiteral("09:00"), QStringLiteral("09:59"))}));
}

void TstBreakdown::apostropheInBatchNumber()
{
    // A batch number corrected by hand can hold any text.
    test::FixtureSurvey survey;
    survey.batch = QStringLiteral("O'NEIL");
    survey.start = test::at(QStringLiteral("05/03/02 08:00"));
    survey.stop = test::at(QStringLiteral("05/03/02 08:10"));
    survey.vehicles = test::vehiclesAt({QStringLiteral("05/03/02 08:01"), QStringLiteral("05/03/02 08:09")});
    test::storeSurvey(m_folder->databasePath(), survey);

    const flow::BreakdownResult result = flow::grd15min(m_folder->databasePath(), inputsFor(survey));
    QVERIFY2(result.ok(), qPrintable(result.failure));
    QCOMPARE(result.grandTotal, qint64(2));
    QVERIFY(db::StatementLog::entries().last().contains(QLatin1String("[Batch_Number] = 'O''NEIL' and")));
}

void TstBreakdown::refusalsChangeNothing_data()
{
    QTest::addColumn<QString>("batch");
    QTest::addColumn<QString>("startDate");
    QTest::addColumn<QString>("startTime");
    QTest::addColumn<bool>("databaseThere");
    QTest::addColumn<QString>("message");

    QTest::newRow("no survey chosen") << QString() << "05/03/02"
                                      << "08:00 AM" << true << stats::noSurveyMessage();
    QTest::newRow("no start date")
        << kBatch << ""
        << "08:00 AM" << true
        << "The start date or time of survey 050302-A cannot be read, so its traffic "
           "cannot be broken down into time bins.";
    QTest::newRow("start time unreadable")
        << kBatch << "05/03/02"
        << "25:61" << true
        << "The start date or time of survey 050302-A cannot be read, so its traffic cannot be broken down "
           "into time bins.";
    QTest::newRow("database missing") << kBatch << "05/03/02"
                                      << "08:00 AM" << false << "pelmor.mdb was not found";
}

void TstBreakdown::refusalsChangeNothing()
{
    QFETCH(QString, batch);
    QFETCH(QString, startDate);
    QFETCH(QString, startTime);
    QFETCH(bool, databaseThere);
    QFETCH(QString, message);

    {
        db::Connection connection(m_folder->databasePath());
        connection.execute(QStringLiteral("insert into Breakdown (cDate, cTime) values ('earlier', 'rows')"));
    }
    const QString path =
        databaseThere ? m_folder->databasePath() : m_folder->filePath(QStringLiteral("gone/pelmor.mdb"));
    db::StatementLog::clear();
    const flow::BreakdownResult result = flow::runBreakdown(
        path, {batch, startDate, startTime, QStringLiteral("05/03/02"), QStringLiteral("09:00 AM")},
        BinLength::QuarterHour);
    QVERIFY2(result.failure.contains(message), qPrintable(result.failure));
    QCOMPARE(result.rowsWritten, 0);
    QCOMPARE(db::StatementLog::entries(), QStringList());
    QCOMPARE(breakdownRows(m_folder->databasePath()), QStringList{QStringLiteral("earlier|rows||")});
}

void TstBreakdown::failureKeepsRowsWritten()
{
    test::FixtureSurvey survey;
    survey.start = test::at(QStringLiteral("05/03/02 08:00"));
    survey.stop = test::at(QStringLiteral("05/03/02 11:00"));
    test::storeSurvey(m_folder->databasePath(), survey);
    {
        db::Connection connection(m_folder->databasePath());
        connection.execute(QStringLiteral("insert into Breakdown (cDate) values ('earlier')"));
        // The sixth row written fails, as a full disk would.
        connection.executeUnlogged(QStringLiteral(
            "CREATE TRIGGER full BEFORE INSERT ON Breakdown WHEN (SELECT count(*) FROM Breakdown) >= 5 "
            "BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
    }
    const flow::BreakdownResult result = flow::grd15min(m_folder->databasePath(), inputsFor(survey));
    QVERIFY(!result.ok());
    QVERIFY2(result.failure.contains(QLatin1String("disk full")), qPrintable(result.failure));
    QCOMPARE(result.rowsWritten, 5);
    const QStringList rows = breakdownRows(m_folder->databasePath());
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows.first(), bin(QStringLiteral("05/03/02"), QStringLiteral("08:00 - 08:15"), 0));
    QVERIFY(!rows.contains(QStringLiteral("earlier|||")));
}

void TstBreakdown::generatedSurveys()
{
    const quint32 seed = 20020503;
    QRandomGenerator random(seed);
    const int surveys = 60;
    for (int n = 0; n < surveys; ++n) {
        test::FixtureSurvey survey;
        survey.batch = QStringLiteral("S%1-A").arg(n, 3, 10, QLatin1Char('0'));
        survey.start = QDateTime(QDate(2001, 1, 1).addDays(random.bounded(27 * 365)),
                                 QTime(0, 0).addSecs(60 * random.bounded(24 * 60)), Qt::UTC);
        // Durations from minutes to ten days.
        const int scale[] = {60, 24 * 60, 10 * 24 * 60};
        const int duration = random.bounded(scale[random.bounded(3)]) + 1;
        survey.stop = survey.start.addSecs(60LL * duration);

        // Traffic with quiet spells: no vehicle inside a gap.
        std::vector<std::pair<int, int>> gaps;
        for (int g = random.bounded(4); g > 0; --g) {
            const int from = random.bounded(duration);
            gaps.emplace_back(from, from + random.bounded(duration - from) + 1);
        }
        for (int v = random.bounded(600); v > 0; --v) {
            const int minute = random.bounded(duration + 1);
            bool quiet = false;
            for (const auto& gap : gaps)
                quiet = quiet || (minute >= gap.first && minute < gap.second);
            if (!quiet)
                survey.vehicles.push_back(survey.start.addSecs(60LL * minute));
        }
        if (random.bounded(2))
            survey.vehicles.push_back(survey.stop);
        test::storeSurvey(m_folder->databasePath(), survey);

        // Another survey around the same days that must not be counted.
        test::FixtureSurvey other;
        other.batch = QStringLiteral("S%1-B").arg(n, 3, 10, QLatin1Char('0'));
        other.start = survey.start.addDays(-1);
        other.stop = survey.stop.addDays(1);
        for (int v = 0; v < 30; ++v)
            other.vehicles.push_back(
                other.start.addSecs(60LL * random.bounded(other.start.secsTo(other.stop) / 60)));
        test::storeSurvey(m_folder->databasePath(), other);

        qint64 grandTotals[2] = {};
        for (const int length : {15, 60}) {
            const QString context =
                QStringLiteral("seed %1, survey %2 (%3 to %4), %5-minute bins")
                    .arg(seed)
                    .arg(n)
                    .arg(survey.start.toString(Qt::ISODate), survey.stop.toString(Qt::ISODate))
                    .arg(length);
            const flow::BreakdownResult result =
                flow::runBreakdown(m_folder->databasePath(), inputsFor(survey),
                                   length == 15 ? BinLength::QuarterHour : BinLength::Hour);
            QVERIFY2(result.ok(), qPrintable(context + QStringLiteral(": ") + result.failure));
            const Walked walked = readWalk(breakdownRows(m_folder->databasePath()), length);
            QVERIFY2(walked.fault.isEmpty(), qPrintable(context + QStringLiteral(": ") + walked.fault));

            // Consecutive bins, none skipped or repeated, from the floored
            // start to the bin that holds the stop time.
            const int startMinute = survey.start.time().hour() * 60 + survey.start.time().minute();
            const QDateTime first(survey.start.date(),
                                  QTime(0, 0).addSecs(60 * (startMinute / length * length)), Qt::UTC);
            const int stopMinute = survey.stop.time().hour() * 60 + survey.stop.time().minute();
            const int lastMinute = std::min((stopMinute + 1) / length * length, 24 * 60 - length);
            const QDateTime last(survey.stop.date(), QTime(0, 0).addSecs(60 * lastMinute), Qt::UTC);
            QVERIFY2(walked.binStarts.front() == first, qPrintable(context));
            QVERIFY2(walked.binStarts.back() == last, qPrintable(context));
            for (size_t i = 1; i < walked.binStarts.size(); ++i)
                QVERIFY2(walked.binStarts[i - 1].secsTo(walked.binStarts[i]) == 60 * length,
                         qPrintable(context + QStringLiteral(": gap or repeat at bin %1").arg(i)));
            QCOMPARE(static_cast<size_t>(result.binRows), walked.binStarts.size());

            const QDateTime end = last.addSecs(60 * length);
            const auto inside = std::count_if(survey.vehicles.begin(), survey.vehicles.end(),
                                              [&](const QDateTime& t) { return t >= first && t < end; });
            QVERIFY2(walked.grandTotal == inside, qPrintable(context));
            QCOMPARE(result.grandTotal, walked.grandTotal);
            grandTotals[length == 15 ? 0 : 1] = walked.grandTotal;
        }
        QCOMPARE(grandTotals[0], grandTotals[1]);
        QCOMPARE(grandTotals[0], static_cast<qint64>(survey.vehicles.size()));
    }
}

void TstBreakdown::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("hourly")
        << QStringList{QStringLiteral("breakdown"), kBatch, QStringLiteral("--bins"), QStringLiteral("60")}
        << 0
        << "05/03/02\t15:00 - 16:00\t2\t\n\t16:00 - 17:00\t1\t\n\t--------------------\t----\t3\n"
           "\t\t\t3\n"
        << "";
    QTest::newRow("quarter hours, csv")
        << QStringList{QStringLiteral("breakdown"), kBatch, QStringLiteral("--csv")} << 0
        << "05/03/02,15:45 - 16:00,2,\n,--------------------,----,2\n,16:00 - "
           "16:15,1,\n,--------------------,----,1\n"
           ",,,3\n"
        << "";
    QTest::newRow("unknown survey") << QStringList{QStringLiteral("breakdown"), QStringLiteral("050302-C")}
                                    << 1 << ""
                                    << "The database holds no statistics for survey 050302-C.\n";
    QTest::newRow("bad bin length") << QStringList{QStringLiteral("breakdown"), kBatch,
                                                   QStringLiteral("--bins"), QStringLiteral("30")}
                                    << 1 << ""
                                    << "The bin length must be 15 or 60 minutes, not \"30\".\n";
    QTest::newRow("no batch")
        << QStringList{QStringLiteral("breakdown")} << 1 << ""
        << "Give the batch number of one survey, for example: pelmor-cli breakdown 050302-A "
           "--bins 15\n";
}

void TstBreakdown::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    test::FixtureSurvey survey;
    survey.start = test::at(QStringLiteral("05/03/02 15:50"));
    survey.stop = test::at(QStringLiteral("05/03/02 16:05"));
    survey.vehicles = test::vehiclesAt({QStringLiteral("05/03/02 15:50"), QStringLiteral("05/03/02 15:59"),
                                        QStringLiteral("05/03/02 16:05")});
    test::storeSurvey(m_folder->databasePath(), survey);

    QProcess cli;
    cli.start(QStringLiteral(PELMOR_CLI), QStringList{QStringLiteral("--db"), m_folder->path()} + arguments);
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(cli.readAllStandardError()), err);
    QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()), out);
    QCOMPARE(cli.exitCode(), exitCode);
    if (exitCode == 0) {
        // What it printed is what the table now holds.
        const QChar separator =
            arguments.contains(QStringLiteral("--csv")) ? QLatin1Char(',') : QLatin1Char('\t');
        QCOMPARE(breakdownRows(m_folder->databasePath()).join(QLatin1Char('\n')) + QLatin1Char('\n'),
                 QString(out).replace(separator, QLatin1Char('|')));
    }
}

QTEST_GUILESS_MAIN(TstBreakdown)
#include "tst_breakdown.moc"
