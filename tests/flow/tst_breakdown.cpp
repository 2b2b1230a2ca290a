#include "SurveyFixture.h"
#include "TestSupport.h"
#include "db/Connection.h"
#include "flow/FlowBreakdown.h"
#include "text/Formats.h"

#include <QRandomGenerator>
#include <QTest>

#include <memory>

using namespace pelmor;
using flow::BinLength;

namespace {

const QString kBatch = QStringLiteral("050302-A");
const QString kHyphens(20, QLatin1Char('-'));

// Rows as "cDate|cTime|cCount|cHourTotal", in their order.
QStringList rowTexts(const std::vector<flow::BreakdownRow>& rows)
{
    QStringList texts;
    for (const flow::BreakdownRow& row : rows)
        texts << QStringList{row.cDate, row.cTime, row.cCount, row.cHourTotal}.join(QLatin1Char('|'));
    return texts;
}

// Rows written into Breakdown, in the order written.
QStringList breakdownRows(const QString& databasePath)
{
    return test::rowTexts(databasePath, "select * from Breakdown",
                          {"cDate", "cTime", "cCount", "cHourTotal"});
}

// The rows of a walk of `length`-minute bins from a short form, rows apart by
// ", ": "05/03/02 08:45=2" a bin that carries its date, "09:00=2" one that
// does not, "+4" a total row, "=6" the grand total.
QStringList rowsOf(const QString& form, int length)
{
    QStringList rows;
    for (const QString& item : form.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
        const QString value = item.section(QLatin1Char('='), -1);
        if (item.startsWith(QLatin1Char('+'))) {
            rows << QStringLiteral("|%1|----|%2").arg(kHyphens, item.mid(1));
        } else if (item.startsWith(QLatin1Char('='))) {
            rows << QStringLiteral("|||") + value;
        } else {
            const QString bin = item.section(QLatin1Char('='), 0, 0);
            const QTime start = *text::parseTime(bin.section(QLatin1Char(' '), -1));
            const QString date =
                bin.contains(QLatin1Char(' ')) ? bin.section(QLatin1Char(' '), 0, 0) : QString();
            rows << QStringLiteral("%1|%2 - %3|%4|")
                        .arg(date, text::formatTime24(start), text::formatTime24(start.addSecs(60 * length)),
                             value);
        }
    }
    return rows;
}

flow::BreakdownInputs inputsFor(const test::Survey& survey)
{
    return {survey.batchNumber, text::formatDateMdy(survey.start.date()),
            text::formatTimeAmPm(survey.start.time()), text::formatDateMdy(survey.stopTime().date()),
            text::formatTimeAmPm(survey.stopTime().time())};
}

// What a walk wrote, read back from its rows alone, with every rule a
// reader relies on checked on the way: bins one bin length long, one after
// the other, a date on the first bin of each day only, a total row wherever
// an hour (quarter-hour bins) or a day (hourly bins) closes and at the end,
// each total the sum of the bins since the previous one, and a grand total of
// all of them.
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
    bool totalDue = false, lastWasTotal = false;
    for (int i = 0; i < rows.size() && walked.fault.isEmpty(); ++i) {
        const QStringList f = rows[i].split(QLatin1Char('|'));
        const auto fail = [&](const QString& what) {
            walked.fault = QStringLiteral("row %1 (%2): %3").arg(i).arg(rows[i], what);
        };
        if (i == rows.size() - 1) {
            walked.grandTotal = f[3].toLongLong();
            if (!lastWasTotal || f[0] + f[1] + f[2] != QString() || walked.grandTotal != totals)
                fail(QStringLiteral("not the grand total after a last total row"));
        } else if (f[1] == kHyphens) {
            if (!f[0].isEmpty() || f[2] != QLatin1String("----") || f[3].toLongLong() != running)
                fail(QStringLiteral("not the total of the %1 counted before").arg(running));
            totals += running;
            running = 0;
            totalDue = false;
            lastWasTotal = true;
        } else {
            const auto start = text::parseTime(f[1].left(5));
            const auto end = text::parseTime(f[1].mid(8));
            const bool firstOfDay = walked.binStarts.empty() || (start && *start == QTime(0, 0));
            if (firstOfDay && text::parseDate(f[0]))
                date = *text::parseDate(f[0]);
            const QDateTime at(date, start.value_or(QTime()), Qt::UTC);
            if (totalDue || !start || !end || start->addSecs(60 * length) != *end || !f[3].isEmpty() ||
                firstOfDay == f[0].isEmpty() ||
                (!walked.binStarts.empty() && walked.binStarts.back().secsTo(at) != 60 * length))
                fail(QStringLiteral("not the next %1-minute bin").arg(length));
            walked.binStarts.push_back(at);
            running += f[2].toLongLong();
            totalDue = length == 15 ? end && end->minute() == 0 : end == QTime(0, 0);
            lastWasTotal = false;
        }
    }
    return walked;
}

} // namespace

class TstBreakdown : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_folder = std::make_unique<test::TempProgramFolder>(); }
    void walkRows_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("inputs");   // start date|start time|stop date|stop time
        QTest::addColumn<QString>("vehicles"); // on 05/03/02 unless dated
        QTest::addColumn<QString>("head");     // the first rows in the short form
        QTest::addColumn<QString>("tail");     // the last rows; empty: the head is all
        using test::row;
        row("start 08:50", 15, "05/03/02|08:50 AM|05/03/02|09:20 AM",
            "08:50, 08:59, 09:00, 09:14, 09:15, 09:20", "05/03/02 08:45=2, +2, 09:00=2, 09:15=2, +4, =6", "");
        row("ends 14:46, empty bins", 15, "05/03/02|02:02 PM|05/03/02|02:46 PM", "14:02, 14:46",
            "05/03/02 14:00=1, 14:15=0, 14:30=0, 14:45=1, +2, +0, =2", "");
        row("ends 14:29", 15, "05/03/02|02:00 PM|05/03/02|02:29 PM", "14:29",
            "05/03/02 14:00=0, 14:15=1, 14:30=0, +1, =1", "");
        row("ends 14:28", 15, "05/03/02|02:00 PM|05/03/02|02:28 PM", "14:28",
            "05/03/02 14:00=0, 14:15=1, +1, =1", "");
        // After 23:43 (22:58 for hourly bins) the day's last bin ends the walk.
        row("ends 23:50", 15, "05/03/02|11:20 PM|05/03/02|11:50 PM", "23:20, 23:50",
            "05/03/02 23:15=1, 23:30=0, 23:45=1, +2, +0, =2", "");
        row("hourly, ends 23:30", 60, "05/03/02|10:10 PM|05/03/02|11:30 PM", "22:10, 23:30",
            "05/03/02 22:00=1, 23:00=1, +2, =2", "");
        // Two-digit years are this century's: 30 is 2030, the day after 12/31/29.
        row("into 2030", 15, "12/31/29|11:30 PM|01/01/30|12:20 AM",
            "12/31/29 23:50, 01/01/30 00:00, 01/01/30 00:20",
            "12/31/29 23:30=0, 23:45=1, +1, 01/01/30 00:00=1, 00:15=1, +2, =3", "");
        row("hourly, into 2030", 60, "12/31/29|10:00 PM|01/01/30|03:30 AM",
            "12/31/29 22:10, 12/31/29 23:50, 01/01/30 00:10, 01/01/30 03:30",
            "12/31/29 22:00=1, 23:00=1, +2, 01/01/30 00:00=1, 01:00=0, 02:00=0, 03:00=1, +2, =4", "");
        // Never past the stop date; without a stop time, to the end of it.
        row("stop date before start", 15, "05/03/02|08:00 AM|05/02/02|09:00 AM", "08:00, 09:00",
            "05/03/02 08:00=1, +1, =1", "");
        row("stop time unreadable", 15, "05/03/02|08:00 AM|05/03/02|", "08:00, 09:00", "05/03/02 08:00=1",
            "23:45=0, +0, +0, =2");
    }
    void walkRows()
    {
        QFETCH(int, length);
        QFETCH(QString, inputs);
        QFETCH(QString, vehicles);
        QFETCH(QString, head);
        QFETCH(QString, tail);

        test::Survey survey;
        survey.withSummary = false;
        for (const QString& time : vehicles.split(QStringLiteral(", ")))
            survey.passAt({time.contains(QLatin1Char('/')) ? time : QStringLiteral("05/03/02 ") + time});
        test::storeSurvey(m_folder->databasePath(), survey);
        // The same traffic under the other trailer letter must not be counted.
        survey.batchNumber = QStringLiteral("050302-B");
        test::storeSurvey(m_folder->databasePath(), survey);

        const QStringList in = inputs.split(QLatin1Char('|'));
        const flow::BreakdownResult result =
            flow::runBreakdown(m_folder->database(), {kBatch, in[0], in[1], in[2], in[3]},
                               length == 15 ? BinLength::QuarterHour : BinLength::Hour);
        QVERIFY2(result.ok(), qPrintable(result.failure));

        const QStringList rows = rowTexts(result.rows);
        // The table holds the same rows, for other programs that read it.
        QCOMPARE(breakdownRows(m_folder->databasePath()), rows);
        const QStringList first = rowsOf(head, length), last = rowsOf(tail, length);
        if (tail.isEmpty())
            QCOMPARE(rows, first);
        QCOMPARE(rows.mid(0, first.size()), first);
        QCOMPARE(rows.mid(rows.size() - last.size()), last);
        const Walked walked = readWalk(rows, length);
        QVERIFY2(walked.fault.isEmpty(), qPrintable(walked.fault));
        QCOMPARE(result.binRows, int(walked.binStarts.size()));
        QCOMPARE(result.rowsWritten, rows.size());
        QCOMPARE(result.grandTotal, walked.grandTotal);
    }
    // A batch number corrected by hand can hold any text, and only its own
    // vehicles are counted; a stored time between two whole minutes at the
    // very end of a bin falls in no bin, as the bins end on whole minutes.
    void countsOnlyTheSurveysOwnVehicles_data()
    {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("rows");
        test::row("quote in the batch, quarter hours", "O'NEIL-A", 15,
                  "05/03/02 08:45=1, +1, 09:00=2, 09:15=0, +2, =3");
        test::row("quote in the batch, hours", "O'NEIL-A", 60, "05/03/02 08:00=1, 09:00=2, +3, =3");
        test::row("percent sign and blanks", " 50% OFF-A ", 15,
                  "05/03/02 08:45=1, +1, 09:00=2, 09:15=0, +2, =3");
    }
    void countsOnlyTheSurveysOwnVehicles()
    {
        QFETCH(QString, batch);
        QFETCH(int, length);
        QFETCH(QString, rows);
        test::Survey survey;
        survey.batchNumber = batch;
        survey.start = test::at("05/03/02 08:50");
        survey.stop = test::at("05/03/02 09:20");
        survey.passAt({"05/03/02 08:51", "05/03/02 09:14", "05/03/02 09:14"});
        test::storeSurvey(m_folder->databasePath(), survey);
        // Another survey of the same hours, and one whose number differs by case.
        survey.batchNumber = batch + "X";
        test::storeSurvey(m_folder->databasePath(), survey);
        survey.batchNumber = batch.toLower();
        if (survey.batchNumber != batch)
            test::storeSurvey(m_folder->databasePath(), survey);
        {
            // Seconds past the last minute of the 08:45 bin: in no bin.
            db::Connection connection(m_folder->database());
            connection.executeUnlogged(
                QStringLiteral("INSERT INTO Veh_Data (Batch_Number, Offset, Speed, Time, "
                               "Date) VALUES ('%1', 1, 30, '08:59:30', '2002-05-03')")
                    .arg(QString(batch).replace("'", "''")));
        }
        const flow::BreakdownResult result =
            flow::runBreakdown(m_folder->database(), {batch, "05/03/02", "08:50 AM", "05/03/02", "09:20 AM"},
                               length == 15 ? BinLength::QuarterHour : BinLength::Hour);
        QVERIFY2(result.ok(), qPrintable(result.failure));
        QCOMPARE(rowTexts(result.rows), rowsOf(rows, length));
    }
    void refusalsChangeNothing_data()
    {
        QTest::addColumn<QString>("startDate");
        QTest::addColumn<QString>("startTime");
        QTest::addColumn<QString>("message");
        const QString unreadable = "The start date or time of survey 050302-A cannot be read, so its "
                                   "traffic cannot be broken down into time bins.";
        test::row("no start date", "", "08:00 AM", unreadable);
        test::row("start time unreadable", "05/03/02", "25:61", unreadable);
        test::row("database missing", "05/03/02", "08:00 AM", "pelmor.mdb was not found");
    }
    void refusalsChangeNothing()
    {
        QFETCH(QString, startDate);
        QFETCH(QString, startTime);
        QFETCH(QString, message);
        db::Connection(m_folder->database())
            .execute("insert into Breakdown (cDate, cTime) values ('earlier', 'rows')");
        db::Database database = m_folder->database();
        if (message.endsWith("found"))
            database.path = m_folder->filePath("gone/pelmor.mdb");
        const flow::BreakdownResult result = flow::runBreakdown(
            database, {kBatch, startDate, startTime, "05/03/02", "09:00 AM"}, BinLength::QuarterHour);
        QVERIFY2(result.failure.contains(message), qPrintable(result.failure));
        QCOMPARE(result.rowsWritten, 0);
        QCOMPARE(breakdownRows(m_folder->databasePath()), QStringList{"earlier|rows||"});
    }
    // The rows are kept whole or not at all: a write that fails part way,
    // as on a full disk, leaves the rows kept before.
    void failureKeepsEarlierRows()
    {
        test::Survey survey;
        survey.durationSeconds = 3 * 3600;
        test::storeSurvey(m_folder->databasePath(), survey);
        db::Connection connection(m_folder->database());
        connection.execute("insert into Breakdown (cDate) values ('earlier')");
        // The sixth row written fails.
        connection.executeUnlogged(
            "CREATE TRIGGER full BEFORE INSERT ON Breakdown WHEN (SELECT count(*) FROM "
            "Breakdown) >= 5 BEGIN SELECT RAISE(ABORT, 'disk full'); END");
        const flow::BreakdownResult result =
            flow::runBreakdown(m_folder->database(), inputsFor(survey), BinLength::QuarterHour);
        QVERIFY2(result.failure.contains("disk full"), qPrintable(result.failure));
        QCOMPARE(result.rowsWritten, 0);
        QCOMPARE(breakdownRows(m_folder->databasePath()), QStringList{"earlier|||"});
    }
    void generatedSurveys()
    {
        const quint32 seed = 20020503;
        QRandomGenerator random(seed);
        for (int n = 0; n < 60; ++n) {
            test::Survey survey;
            survey.batchNumber = QStringLiteral("S%1-A").arg(n, 3, 10, QLatin1Char('0'));
            survey.start = QDateTime(QDate(2001, 1, 1).addDays(random.bounded(98 * 365)),
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
                if (std::none_of(gaps.begin(), gaps.end(),
                                 [&](const auto& gap) { return minute >= gap.first && minute < gap.second; }))
                    survey.offsets.push_back(60LL * minute);
            }
            if (random.bounded(2))
                survey.offsets.push_back(60LL * duration);
            test::storeSurvey(m_folder->databasePath(), survey);

            // Another survey around the same days that must not be counted.
            test::Survey other;
            other.batchNumber = QString(survey.batchNumber).replace("-A", "-B");
            other.start = survey.start.addDays(-1);
            other.durationSeconds = survey.start.secsTo(survey.stop) + 2 * 86400;
            for (int v = 0; v < 30; ++v)
                other.offsets.push_back(60 * random.bounded(other.durationSeconds / 60));
            test::storeSurvey(m_folder->databasePath(), other);

            for (const int length : {15, 60}) {
                const QString context =
                    QString::asprintf("seed %u, survey %d (%s to %s), %d-minute bins: ", seed, n,
                                      qPrintable(survey.start.toString(Qt::ISODate)),
                                      qPrintable(survey.stop.toString(Qt::ISODate)), length);
                const flow::BreakdownResult result =
                    flow::runBreakdown(m_folder->database(), inputsFor(survey),
                                       length == 15 ? BinLength::QuarterHour : BinLength::Hour);
                QVERIFY2(result.ok(), qPrintable(context + result.failure));
                const Walked walked = readWalk(breakdownRows(m_folder->databasePath()), length);
                QVERIFY2(walked.fault.isEmpty(), qPrintable(context + walked.fault));
                QCOMPARE(size_t(result.binRows), walked.binStarts.size());

                // From the bin that holds the start to the one that holds the
                // minute after the stop, but not past the stop's day.
                const auto binOf = [length](const QDateTime& at, int minutesLater) {
                    const int minute = at.time().hour() * 60 + at.time().minute() + minutesLater;
                    return QDateTime(
                        at.date(),
                        QTime(0, 0).addSecs(60 * std::min(minute / length * length, 1440 - length)), Qt::UTC);
                };
                QVERIFY2(walked.binStarts.front() == binOf(survey.start, 0) &&
                             walked.binStarts.back() == binOf(survey.stop, 1),
                         qPrintable(context));
                // Every vehicle passed inside the walked bins.
                QVERIFY2(walked.grandTotal == qint64(survey.offsets.size()), qPrintable(context));
                QCOMPARE(result.grandTotal, walked.grandTotal);
            }
        }
    }
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("rows"); // in the short form; empty: refused
        test::row("hourly", QStringList{kBatch, "--bins", "60"}, "05/03/02 15:00=2, 16:00=1, +3, =3");
        test::row("quarter hours, csv", QStringList{kBatch, "--csv"},
                  "05/03/02 15:45=2, +2, 16:00=1, +1, =3");
        test::row("unknown survey", QStringList{"050302-C"}, "");
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, rows);
        test::Survey survey;
        survey.start = test::at("05/03/02 15:50");
        survey.stop = test::at("05/03/02 16:05");
        survey.passAt({"05/03/02 15:50", "05/03/02 15:59", "05/03/02 16:05"});
        test::storeSurvey(m_folder->databasePath(), survey);
        const test::ProgramRun run =
            test::runProgram(PELMOR_CLI, QStringList{"--db", m_folder->path(), "breakdown"} + arguments);
        if (rows.isEmpty()) {
            QCOMPARE(run.exitCode, 1);
            QCOMPARE(run.err, "The database holds no statistics for survey 050302-C.");
            return;
        }
        QCOMPARE(run.exitCode, 0);
        const QStringList table = breakdownRows(m_folder->databasePath());
        QCOMPARE(table, rowsOf(rows, arguments.contains("60") ? 60 : 15));
        // What it printed is what the table now holds.
        QCOMPARE(run.out, table.join('\n').replace('|', arguments.contains("--csv") ? ',' : '\t'));
    }

private:
    std::unique_ptr<test::TempProgramFolder> m_folder;
};
QTEST_GUILESS_MAIN(TstBreakdown)
#include "tst_breakdown.moc"
