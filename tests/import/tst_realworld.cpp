// A real per-vehicle radar log (Moers, Germany; km/h; limit 30; see
// tests/data/realworld/README.md) turned into a sign log, imported, and its
// stored statistics checked against figures computed straight from the file.
#include "ImportFixture.h"
#include "RealWorldLog.h"
#include "TestSupport.h"
#include "text/Formats.h"

#include <QTest>

#include <algorithm>

using namespace pelmor;

class TstRealWorld : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void importedStatisticsMatchTheFile();
};

void TstRealWorld::importedStatisticsMatchTheFile()
{
    const QList<test::RealWorldRecord> records = test::readRealWorldLog();
    QCOMPARE(records.size(), 14152); // as the file's provenance states
    const QDateTime first = records.first().when;
    QCOMPARE(first, QDateTime(QDate(2016, 10, 24), QTime(8, 37, 29), Qt::UTC));

    // The sign log: offsets from the first record, lane 0 approaching.
    std::vector<loggen::Vehicle> vehicles;
    for (const test::RealWorldRecord& r : records)
        vehicles.push_back({first.secsTo(r.when), r.lane == 0 ? '+' : '-', r.speed});
    loggen::LogHeader logHeader;
    logHeader.startDate = first.date();
    logHeader.startHour = first.time().hour();
    logHeader.startMinute = first.time().minute();
    logHeader.postedLimit = QStringLiteral("030");
    logHeader.unit = QStringLiteral("KPH");
    const QByteArray buffer = test::processedLog(logHeader, vehicles);
    test::TempProgramFolder folder;
    test::ImportMessages report;
    const import::ImportResult result =
        import::importSurvey(folder.database(), test::completeHeader(buffer), buffer, report);
    QCOMPARE(result.outcome, import::ImportResult::Outcome::Imported);
    QCOMPARE(report.messages, QStringList{"14,152 records added"});

    // The figures, straight from the file.
    const int limit = 30;
    qint64 sum = 0, overSum = 0, under = 0, over = 0, approach = 0;
    int low = 1000, high = 0;
    qint64 bands[6] = {};
    for (const test::RealWorldRecord& r : records) {
        sum += r.speed;
        low = std::min(low, r.speed);
        high = std::max(high, r.speed);
        approach += r.lane == 0 ? 1 : 0;
        if (r.speed <= limit) {
            ++under;
            continue;
        }
        ++over;
        overSum += r.speed;
        bands[std::min(5, (r.speed - limit - 1) / 10)] += 1;
    }
    const QString average = text::formatOneDecimal(double(sum) / records.size());
    // The pace: ten km/h either side of the average, bounds to one decimal.
    const double paceLow = text::formatOneDecimal(average.toDouble() - 10).toDouble();
    const double paceHigh = text::formatOneDecimal(average.toDouble() + 10).toDouble();
    const qint64 inPace = std::count_if(records.begin(), records.end(), [&](const test::RealWorldRecord& r) {
        return r.speed >= paceLow && r.speed <= paceHigh;
    });
    // The stop is the start's minute and the whole minutes after it.
    const qint64 duration = first.secsTo(records.last().when);
    const QDateTime stop = first.addSecs(duration / 60 * 60 - first.time().second());

    const QStringList expected = {
        "Total_Vehicles=14152",
        "Min_Speed=" + QString::number(low),
        "Max_Speed=" + QString::number(high),
        "Average_Speed=" + average,
        "Number_Under=" + QString::number(under),
        "Number_Over=" + QString::number(over),
        "Averge_Over=" + text::formatOneDecimal(double(overSum) / over),
        QStringLiteral("Over_5=%1; Over_10=%2; Over_15=%3; Over_20=%4; Over_25=%5; Over_26=%6")
            .arg(bands[0])
            .arg(bands[1])
            .arg(bands[2])
            .arg(bands[3])
            .arg(bands[4])
            .arg(bands[5]),
        QStringLiteral("Total_Approach=%1; Total_Receeding=%2; Total_Unknown=0")
            .arg(approach)
            .arg(records.size() - approach),
        QStringLiteral("Total_Time=%1 Days, %2 Hrs, %3 Min")
            .arg(duration / 86400)
            .arg(duration / 3600 % 24)
            .arg(text::format00(duration / 60 % 60)),
        "Start_Time=08:37 AM; Start_Date=10/24/16; Stop_Time=" + text::formatTimeAmPm(stop.time()) +
            "; Stop_Date=" + text::formatDateMdy(stop.date()),
        "Pace_Total=" + QString::number(inPace),
        "Pace_Percent=" + text::formatWhole(100.0 * inPace / records.size()) + " %",
        "85th_Percentile=" + text::formatWhole(average.toDouble() * 1.175),
    };
    QStringList fields, values;
    for (const QString& pair : expected.join("; ").split("; ")) {
        fields << pair.section('=', 0, 0);
        values << pair.section('=', 1);
    }
    QCOMPARE(test::rowTexts(folder.databasePath(), "select * from Summary", fields),
             QStringList{values.join('|')});
    // The provenance's own figures agree with the file.
    QCOMPARE((QList<qint64>{low, high, approach}), (QList<qint64>{8, 65, 5803}));
}

QTEST_GUILESS_MAIN(TstRealWorld)
#include "tst_realworld.moc"
