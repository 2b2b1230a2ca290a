// A real per-vehicle radar log (Moers, Germany; km/h; limit 30; see
// tests/data/realworld/README.md) turned into a sign log, imported, and its
// stored statistics checked against figures computed straight from the file.
#include "RealWorldLog.h"
#include "TestSupport.h"
#include "db/Connection.h"
#include "db/Recordset.h"
#include "import/LogParser.h"
#include "import/SurveyImport.h"
#include "loggen/LogWriter.h"
#include "text/Formats.h"

#include <QDateTime>
#include <QTest>

#include <algorithm>

using namespace pelmor;

namespace {

using Record = test::RealWorldRecord;

class Report : public import::ImportReport {
public:
    void message(const QString& text, const QString& reason) override { messages << text + reason; }
    void progress(qint64, qint64) override {}
    QStringList messages;
};

} // namespace

class TstRealWorld : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void importedStatisticsMatchTheFile();
};

void TstRealWorld::importedStatisticsMatchTheFile()
{
    const QList<Record> records = test::readRealWorldLog();
    QCOMPARE(records.size(), 14152); // as the file's provenance states
    const QDateTime first = records.first().when;
    QCOMPARE(first, QDateTime(QDate(2016, 10, 24), QTime(8, 37, 29), Qt::UTC));

    // The sign log: offsets from the first record, lane 0 approaching.
    std::vector<loggen::Vehicle> vehicles;
    for (const Record& r : records)
        vehicles.push_back({first.secsTo(r.when), r.lane == 0 ? '+' : '-', r.speed});
    loggen::LogHeader logHeader;
    logHeader.startDate = first.date();
    logHeader.startHour = first.time().hour();
    logHeader.startMinute = first.time().minute();
    logHeader.postedLimit = QStringLiteral("030");
    logHeader.unit = QStringLiteral("KPH");
    QByteArray buffer = loggen::writeLog(logHeader, vehicles);
    QVERIFY(import::markEnd(buffer));
    const import::HeaderFields fields = import::readHeaderFields(buffer);
    const import::SurveyHeader header{fields.batchNumber(QStringLiteral("A")),
                                      fields.locationCode,
                                      QStringLiteral("Roemerstrasse 415, Moers"),
                                      fields.startDate(),
                                      fields.startTime(),
                                      fields.postedSpeed,
                                      fields.cutoff,
                                      fields.alarm,
                                      QStringLiteral("KPH"),
                                      QStringLiteral("East"),
                                      QStringLiteral("Residential")};
    test::TempProgramFolder folder;
    Report report;
    const import::ImportResult result = import::importSurvey(folder.database(), header, buffer, report);
    QCOMPARE(result.outcome, import::ImportResult::Outcome::Imported);
    QCOMPARE(report.messages, QStringList{QStringLiteral("14152 records added")});

    // The figures, straight from the file.
    const int limit = 30;
    qint64 sum = 0, overSum = 0, under = 0, over = 0, approach = 0, receding = 0;
    int low = 1000, high = 0;
    qint64 bands[6] = {};
    for (const Record& r : records) {
        sum += r.speed;
        low = std::min(low, r.speed);
        high = std::max(high, r.speed);
        (r.lane == 0 ? approach : receding) += 1;
        if (r.speed <= limit) {
            ++under;
            continue;
        }
        ++over;
        overSum += r.speed;
        bands[std::min(5, (r.speed - limit - 1) / 10)] += 1;
    }
    const double average = double(sum) / records.size();
    const QString averageText = text::formatOneDecimal(average);
    // The pace: ten km/h either side of the average, bounds to one decimal.
    const double paceLow = text::formatOneDecimal(average - 10).toDouble();
    const double paceHigh = text::formatOneDecimal(average + 10).toDouble();
    qint64 inPace = 0;
    for (const Record& r : records)
        inPace += r.speed >= paceLow && r.speed <= paceHigh ? 1 : 0;
    const qint64 duration = first.secsTo(records.last().when);
    qint64 hour = first.time().hour() + duration / 3600 % 24,
           minute = first.time().minute() + duration / 60 % 60;
    qint64 days = duration / 86400;
    if (minute > 59) {
        minute -= 60;
        ++hour;
    }
    if (hour >= 24) {
        hour -= 24;
        ++days;
    }

    const QStringList expected = {
        "Total_Vehicles=14152",
        "Min_Speed=" + QString::number(low),
        "Max_Speed=" + QString::number(high),
        "Average_Speed=" + averageText,
        "Number_Under=" + QString::number(under),
        "Number_Over=" + QString::number(over),
        "Averge_Over=" + text::formatOneDecimal(double(overSum) / over),
        "Over_5=" + QString::number(bands[0]),
        "Over_10=" + QString::number(bands[1]),
        "Over_15=" + QString::number(bands[2]),
        "Over_20=" + QString::number(bands[3]),
        "Over_25=" + QString::number(bands[4]),
        "Over_26=" + QString::number(bands[5]),
        "Total_Approach=" + QString::number(approach),
        "Total_Receeding=" + QString::number(receding),
        "Total_Unknown=0",
        QStringLiteral("Total_Time=%1 Days, %2 Hrs, %3 Min")
            .arg(duration / 86400)
            .arg(duration / 3600 % 24)
            .arg(text::format00(duration / 60 % 60)),
        "Start_Time=08:37 AM",
        "Start_Date=10/24/16",
        "Stop_Time=" + text::formatTimeAmPm(QTime(int(hour), int(minute))),
        "Stop_Date=" + text::formatDateMdy(first.date().addDays(days)),
        "Pace_Total=" + QString::number(inPace),
        "85th_Percentile=" + text::formatWhole(averageText.toDouble() * 1.175),
    };
    db::Connection connection(folder.database());
    auto row = connection.openRecordset(QStringLiteral("select * from Summary"));
    QCOMPARE(row.recordCount(), 1);
    QStringList stored;
    for (const QString& pair : expected)
        stored << pair.section(QLatin1Char('='), 0, 0) + QLatin1Char('=') +
                      row.text(pair.section(QLatin1Char('='), 0, 0));
    QCOMPARE(stored, expected);
    // The provenance's own figures agree with the file.
    QCOMPARE(low, 8);
    QCOMPARE(high, 65);
    QCOMPARE(approach, 5803);
    QCOMPARE(receding, 8349);
}

QTEST_GUILESS_MAIN(TstRealWorld)
#include "tst_realworld.moc"
