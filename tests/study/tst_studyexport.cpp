// The CSV exports read back by Python's csv module and held against the
// database rows; the study's JSON and CSV held against the plain
// computation; the headless commands as a user runs them, failures caused
// for real (a full disk, a folder that is a file, a survey that is not there).
#include "Reference.h"
#include "StudyFixture.h"
#include "csv/TableExport.h"
#include "db/Connection.h"
#include "flow/FlowBreakdown.h"
#include "study/StudyExport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace pelmor;

namespace {

const QString kBatch = QStringLiteral("030226-A");

struct Run {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// The records of a CSV file as Python's csv module reads them, strictly.
QList<QStringList> readWithPython(const QString& path, QString* failure)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, json, sys\n"
                                 "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                 "    print(json.dumps(list(csv.reader(f, strict=True))))\n"),
                  path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        *failure = QString::fromUtf8(python.readAllStandardError());
        return {};
    }
    QList<QStringList> records;
    for (const QJsonValue& record : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList fields;
        for (const QJsonValue& field : record.toArray())
            fields << field.toString();
        records << fields;
    }
    return records;
}

// Rows of the database read with a plain query: the header row of the
// column names, then every row in table order.
QList<QStringList> databaseRows(const QString& databasePath, const QString& query, const QString& batch)
{
    db::Connection connection({databasePath, nullptr});
    QSqlQuery rows(connection.database());
    rows.prepare(query);
    if (!batch.isEmpty())
        rows.addBindValue(batch);
    if (!rows.exec())
        return {};
    QList<QStringList> all;
    QStringList names;
    for (int i = 0; i < rows.record().count(); ++i)
        names << rows.record().fieldName(i);
    all << names;
    while (rows.next()) {
        QStringList fields;
        for (int i = 0; i < names.size(); ++i)
            fields << rows.value(i).toString();
        all << fields;
    }
    return all;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A week of 2,000 vehicles at 25 to 50 mph, both ways and some unknown.
test::Survey weekSurvey()
{
    test::Survey survey;
    survey.batchNumber = kBatch;
    survey.start = test::at(QStringLiteral("03/02/26 06:15"));
    survey.durationSeconds = 7 * 86400 - 3600;
    const QList<int> speeds = test::normalSpeeds(2000, 38.0, 6.0, 11);
    survey.speeds = std::vector<int>(speeds.begin(), speeds.end());
    for (int i = 0; i < 2000; ++i)
        survey.directions.append("+-+-?"[i % 5]);
    // Texts as stored, whatever they hold: commas, quotes, a line break, non-ASCII letters.
    survey.summaryFields = {{"Total_Time", "6 Days, 23 Hrs, 00 Min"},
                            {"Averge_Over", "Stra\u00dfe \"41,5\"\nnext line"},
                            {"Pace_Percent", "63 %"}};
    return survey;
}

} // namespace

class TstStudyExport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<test::TempProgramFolder>();
        m_survey = weekSurvey();
        test::storeSurvey(m_folder->databasePath(), m_survey);
    }
    void cleanup() { m_folder.reset(); }

    void tablesReadBackAsStored_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<QString>("query"); // the rows the file must hold
        test::row(
            "vehicles", int(csv::Table::Vehicles),
            QStringLiteral("SELECT Batch_Number, Date, Time, Offset, Veh_Direction, Speed FROM Veh_Data "
                           "WHERE Batch_Number = ? ORDER BY rowid"));
        test::row("breakdown", int(csv::Table::Breakdown),
                  QStringLiteral("SELECT cDate, cTime, cCount, cHourTotal FROM Breakdown ORDER BY rowid"));
        test::row("summary", int(csv::Table::Summary),
                  QStringLiteral("SELECT * FROM Summary WHERE Batch_Number = ? ORDER BY rowid"));
    }
    void tablesReadBackAsStored()
    {
        QFETCH(int, table);
        QFETCH(QString, query);
        const auto chosen = csv::Table(table);
        if (chosen == csv::Table::Breakdown) {
            const flow::BreakdownResult walked = flow::runBreakdown(
                m_folder->database(),
                flow::BreakdownInputs::of(survey::loadSurvey(m_folder->database(), kBatch)),
                flow::BinLength::Hour);
            QVERIFY2(walked.ok(), qPrintable(walked.failure));
        }
        const QString path = m_folder->filePath(QStringLiteral("table.csv"));
        QCOMPARE(csv::saveTable(m_folder->database(), chosen, kBatch, path), QString());

        QString failure;
        const QList<QStringList> read = readWithPython(path, &failure);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const QList<QStringList> stored = databaseRows(m_folder->databasePath(), query,
                                                       chosen == csv::Table::Breakdown ? QString() : kBatch);
        QVERIFY(stored.size() > 1);
        QCOMPARE(read.size(), stored.size());
        QCOMPARE(read, stored);
        // RFC 4180: every record ends in CR LF; UTF-8 without a byte order mark.
        const QByteArray bytes = fileBytes(path);
        QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count("\r\n"), read.size());
    }

    // The study's CSV and JSON name the same figures with the same values,
    // and those are the figures of the plain computation.
    void studyCsvAndJsonAgree()
    {
        const auto found = test::studyOf(*m_folder, kBatch);
        QVERIFY(found);
        const study::SpeedStudy& s = *found;
        const QString path = m_folder->filePath(QStringLiteral("study.csv"));
        QCOMPARE(csv::saveCsv(path, [&s](QIODevice& device) { return study::writeStudyCsv(s, device); }),
                 QString());
        QString failure;
        const QList<QStringList> read = readWithPython(path, &failure);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(read.first(), study::studyCsvColumns());

        const QJsonObject json = study::studyJson(s);
        const QJsonObject directions = json.value(QStringLiteral("directions")).toObject();
        int figures = 0;
        QStringList warnings;
        for (const QStringList& record : read.mid(1)) {
            QCOMPARE(record.size(), 7);
            if (record[0] == QLatin1String("warnings"))
                warnings << record[6];
            if (record[0] != QLatin1String("figures"))
                continue;
            const QJsonValue value = directions.value(record[1]).toObject().value(record[5]);
            QVERIFY2(record[6].isEmpty() ? value.isNull() : record[6].toDouble() == value.toDouble(),
                     qPrintable(record.join(QLatin1Char(','))));
            ++figures;
        }
        QCOMPARE(figures, int(3 * study::directionValues(s.figures(study::Direction::Both)).size()));
        QStringList texts;
        for (const study::Warning& warning : s.warnings)
            texts << warning.text;
        QVERIFY(!texts.isEmpty());
        QCOMPARE(warnings, texts);

        const test::Reference both =
            test::referenceOf(test::speedsOf(QList<int>(m_survey.speeds.begin(), m_survey.speeds.end()),
                                             m_survey.directions, 0),
                              35, 45, 10);
        const QJsonObject all = directions.value(QStringLiteral("both")).toObject();
        QCOMPARE(all.value(QStringLiteral("n")).toDouble(), double(both.n));
        QCOMPARE(all.value(QStringLiteral("p85")).toDouble(), both.ranked.at(85));
        QCOMPARE(all.value(QStringLiteral("pace_low")).toDouble(), double(both.paceLow));
        QCOMPARE(all.value(QStringLiteral("pct_over_limit")).toDouble(),
                 100.0 * double(both.over.at(0)) / double(both.n));
    }

    void studyCommandJson()
    {
        const Run run = cli({QStringLiteral("study"), kBatch, QStringLiteral("--json"),
                             QStringLiteral("--threshold"), QStringLiteral("50")});
        QCOMPARE(run.exitCode, 0);
        QJsonParseError error;
        const QJsonObject json = QJsonDocument::fromJson(run.out, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(json.value(QStringLiteral("unit")).toString(), QStringLiteral("MPH"));
        const QList<int> speeds(m_survey.speeds.begin(), m_survey.speeds.end());
        const std::pair<const char*, char> ways[] = {{"both", 0}, {"approaching", '+'}, {"receding", '-'}};
        for (const auto& [key, way] : ways) {
            const QJsonObject figures =
                json.value(QStringLiteral("directions")).toObject().value(QLatin1String(key)).toObject();
            const test::Reference r =
                test::referenceOf(test::speedsOf(speeds, m_survey.directions, way), 35, 50, 10);
            const std::pair<const char*, double> expected[] = {
                {"n", double(r.n)},
                {"mean", r.mean},
                {"sd", r.sd},
                {"p15", r.ranked.at(15)},
                {"p50", r.ranked.at(50)},
                {"p85", r.ranked.at(85)},
                {"p95", r.ranked.at(95)},
                {"p98", r.ranked.at(98)},
                {"pace_low", r.paceLow},
                {"pace_high", r.paceLow + 10},
                {"pace_count", double(r.paceCount)},
                {"pct_over_limit", 100.0 * double(r.over.at(0)) / double(r.n)},
                {"over_threshold", double(r.overThreshold)}};
            for (const auto& [name, value] : expected) {
                const QJsonValue shown = figures.value(QLatin1String(name));
                QVERIFY2(shown.isDouble() && std::abs(shown.toDouble() - value) < 1e-9 * std::max(1.0, value),
                         qPrintable(QStringLiteral("%1 %2: %3, not %4")
                                        .arg(QLatin1String(key), QLatin1String(name))
                                        .arg(shown.toDouble())
                                        .arg(value)));
            }
        }
        const QJsonArray hourly = json.value(QStringLiteral("hourly")).toArray();
        QCOMPARE(hourly.size(), 24);
        for (int hour = 0; hour < 24; ++hour) {
            const QJsonObject row = hourly[hour].toObject();
            QCOMPARE(row.value(QStringLiteral("hour")).toInt(), hour);
            for (const char* key : {"vehicles_per_day", "mean", "p85", "pct_over_limit"})
                QVERIFY2(row.contains(QLatin1String(key)), key);
        }
        // Monday first; every vehicle in one cell.
        const QJsonArray weekly = json.value(QStringLiteral("weekly")).toArray();
        QCOMPARE(weekly.size(), 7);
        double inCells = 0;
        for (const QJsonValue& day : weekly) {
            QCOMPARE(day.toArray().size(), 24);
            for (const QJsonValue& cell : day.toArray())
                inCells += cell.toDouble();
        }
        QCOMPARE(inCells, 2000.0);
        QCOMPARE(weekly[0].toArray()[6].toDouble() > 0, true); // Monday 03/02/26 from 06:15
        for (const QJsonValue& warning : json.value(QStringLiteral("warnings")).toArray()) {
            QVERIFY(!warning.toObject().value(QStringLiteral("code")).toString().isEmpty());
            QVERIFY(!warning.toObject().value(QStringLiteral("text")).toString().isEmpty());
        }
    }

    // What goes to the output is what goes into a file with -o.
    void exportCommandOutputOrFile_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("firstLine");
        test::row("vehicles", "vehicles", "Batch_Number,Date,Time,Offset,Veh_Direction,Speed");
        test::row("breakdown", "breakdown", "cDate,cTime,cCount,cHourTotal");
        test::row("summary", "summary",
                  "Batch_Number,Posted_Limit,Number_Under,Number_Over,Averge_Over,Min_Speed,");
        test::row("study", "study", "section,direction,day,hour,speeds,figure,value");
    }
    void exportCommandOutputOrFile()
    {
        QFETCH(QString, table);
        QFETCH(QString, firstLine);
        const Run printed = cli({QStringLiteral("export"), table, kBatch});
        QCOMPARE(printed.err, QString());
        QCOMPARE(printed.exitCode, 0);
        QVERIFY2(printed.out.startsWith(firstLine.toUtf8()), printed.out.left(200).constData());
        const QString path = m_folder->filePath(table + QStringLiteral(".csv"));
        const Run saved = cli({QStringLiteral("export"), table, kBatch, QStringLiteral("-o"), path});
        QCOMPARE(saved.exitCode, 0);
        QCOMPARE(saved.out, QByteArray());
        QCOMPARE(fileBytes(path), printed.out);
    }

    void exportCommandRefusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QString notThere = QStringLiteral("030226-Z");
        test::row("unknown table", QStringList{"export", "speeds", kBatch},
                  "Unknown table \"speeds\". Usage: pelmor-cli export vehicles|breakdown|summary|study BATCH "
                  "[-o FILE]");
        test::row("no vehicles", QStringList{"export", "vehicles", notThere},
                  "The database holds no vehicles of survey 030226-Z.");
        test::row("no statistics", QStringList{"export", "summary", notThere},
                  "The database holds no statistics for survey 030226-Z.");
        test::row("no survey to study", QStringList{"study", notThere},
                  "The database holds no survey 030226-Z.");
        test::row("threshold not a speed", QStringList{"study", kBatch, "--threshold", "fast"},
                  "The threshold must be a whole speed above 0, not \"fast\".");
        test::row("folder is a file", QStringList{"export", "vehicles", kBatch, "-o", "FILE/out.csv"},
                  "The file ");
    }
    void exportCommandRefusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        // A plain file where the folder of the output should be.
        const QString file = m_folder->filePath(QStringLiteral("plain"));
        QFile(file).open(QIODevice::WriteOnly);
        arguments.replaceInStrings(QStringLiteral("FILE"), file);
        const Run run = cli(arguments);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith(message), qPrintable(run.err));
        QCOMPARE(run.out, QByteArray());
        QVERIFY(!QFile::exists(file + QStringLiteral("/out.csv")));
    }

    // The output device is full: the command says so and fails, also when
    // the whole output would fit in one buffer.
    void fullDisk_data()
    {
        QTest::addColumn<QString>("table");
        test::row("vehicles", "vehicles");
        test::row("summary", "summary");
    }
    void fullDisk()
    {
        QFETCH(QString, table);
        QProcess process;
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.start(QStringLiteral(PELMOR_CLI),
                      {QStringLiteral("--db"), m_folder->path(), QStringLiteral("export"), table, kBatch});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(QString::fromUtf8(process.readAllStandardError())
                    .contains(QStringLiteral("No space left on device")));
    }

    // A failed export leaves the file it would have replaced as it was, and
    // nothing half written beside it.
    void failureKeepsTheOldFile()
    {
        const QString path = m_folder->filePath(QStringLiteral("kept.csv"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old,contents\r\n");
        old.close();
        const QStringList before = QDir(m_folder->path()).entryList(QDir::Files);
        QCOMPARE(csv::saveTable(m_folder->database(), csv::Table::Vehicles, QStringLiteral("030226-Z"), path),
                 QStringLiteral("The database holds no vehicles of survey 030226-Z."));
        QCOMPARE(fileBytes(path), QByteArray("old,contents\r\n"));
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files), before);
    }

private:
    Run cli(const QStringList& arguments) const
    {
        QProcess process;
        process.start(QStringLiteral(PELMOR_CLI),
                      QStringList{QStringLiteral("--db"), m_folder->path()} + arguments);
        Run run;
        if (!process.waitForFinished(60000))
            return run;
        run.exitCode = process.exitCode();
        run.out = process.readAllStandardOutput();
        run.err = QString::fromUtf8(process.readAllStandardError()).trimmed();
        return run;
    }

    std::unique_ptr<test::TempProgramFolder> m_folder;
    test::Survey m_survey;
};

QTEST_GUILESS_MAIN(TstStudyExport)
#include "tst_studyexport.moc"
