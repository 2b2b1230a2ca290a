// The CSV exports read back by Python's csv module and held against the
// database rows; the study's JSON and CSV held against the plain
// computation; the headless commands as a user runs them, failures caused
// for real (a full disk, a folder that is a file, a survey that is not there).
#include "Reference.h"
#include "StudyFixture.h"
#include "db/Connection.h"
#include "db/SqliteStatement.h"
#include "study/Distributions.h"
#include "study/StudyExport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace pelmor;

namespace {

const QString kBatch = QStringLiteral("030226-A");

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
    db::Connection connection({databasePath});
    db::SqliteStatement rows(connection, query);
    if (!batch.isEmpty())
        rows.bind(0, batch);
    QList<QStringList> all{{}};
    for (int i = 0; i < rows.columnCount(); ++i)
        all[0] << rows.columnName(i);
    while (rows.nextRow()) {
        QStringList fields;
        for (int i = 0; i < all[0].size(); ++i)
            fields << rows.valueAt(i).toString();
        all << fields;
    }
    return all;
}

} // namespace

class TstStudyExport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A week of 2,000 vehicles around 38 mph, both ways and some unknown.
    void init()
    {
        m_folder = std::make_unique<test::TempProgramFolder>();
        m_survey.batchNumber = kBatch;
        m_survey.start = test::at(QStringLiteral("03/02/26 06:15"));
        m_survey.durationSeconds = 7 * 86400 - 3600;
        m_speeds = test::normalSpeeds(2000, 38.0, 6.0, 11);
        m_survey.speeds = std::vector<int>(m_speeds.begin(), m_speeds.end());
        m_survey.directions = QByteArray("+-+-?").repeated(400);
        // Texts as stored, whatever they hold: commas, quotes, a line break, non-ASCII letters.
        m_survey.summaryFields = {{"Total_Time", "6 Days, 23 Hrs, 00 Min"},
                                  {"Averge_Over", "Stra\u00dfe \"41,5\"\nnext line"}};
        test::storeSurvey(m_folder->databasePath(), m_survey);
    }
    void cleanup() { m_folder.reset(); }

    // Each table exported into a file, read back, holds the rows of the
    // database; printed, the same records.
    void tablesReadBackAsStored_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("query"); // the rows the file must hold
        test::row("vehicles", "vehicles",
                  "SELECT Batch_Number, Date, Time, Offset, Veh_Direction, Speed, Length FROM Veh_Data "
                  "WHERE Batch_Number = ? ORDER BY rowid");
        // Worked out anew by the command.
        test::row("breakdown", "breakdown",
                  "SELECT cDate, cTime, cCount, cHourTotal FROM Breakdown ORDER BY rowid");
        test::row("summary", "summary", "SELECT * FROM Summary WHERE Batch_Number = ? ORDER BY rowid");
    }
    void tablesReadBackAsStored()
    {
        QFETCH(QString, table);
        QFETCH(QString, query);
        const QString path = m_folder->filePath(QStringLiteral("table.csv"));
        const test::ProgramRun saved = cli({"export", table, kBatch, "-o", path});
        QVERIFY2(saved.exitCode == 0 && saved.out.isEmpty(), qPrintable(saved.err));

        QString failure;
        const QList<QStringList> read = readWithPython(path, &failure);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QList<QStringList> stored = databaseRows(m_folder->databasePath(), query,
                                                 table == QLatin1String("breakdown") ? QString() : kBatch);
        QVERIFY(stored.size() > 1);
        if (table == QLatin1String("breakdown")) {
            // Under plain names, the date of its day on every row.
            stored[0] = QStringList{"Date", "Time", "Vehicles", "Hour total"};
            for (qsizetype row = 2; row < stored.size(); ++row) {
                if (stored[row][0].isEmpty())
                    stored[row][0] = stored[row - 1][0];
            }
            QVERIFY(std::none_of(stored.begin(), stored.end(),
                                 [](const QStringList& r) { return r[0].isEmpty(); }));
        }
        QCOMPARE(read, stored);
        // RFC 4180: every record ends in CR LF; UTF-8 without a byte order mark.
        const QByteArray bytes = test::fileBytes(path);
        QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count("\r\n"), read.size());
        QCOMPARE(cli({"export", table, kBatch}).out, QString::fromUtf8(bytes).trimmed());
    }

    // "study --json" gives the figures of the plain computation under their
    // names, and "export study" the same figures with the same values.
    void studyJsonAndCsvAgree()
    {
        const test::ProgramRun run = cli({"study", kBatch, "--json", "--threshold", "50"});
        QCOMPARE(run.exitCode, 0);
        QJsonParseError error;
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(json.value(QStringLiteral("unit")).toString(), QStringLiteral("MPH"));
        const QJsonObject directions = json.value(QStringLiteral("directions")).toObject();
        const std::pair<const char*, char> ways[] = {{"both", 0}, {"approaching", '+'}, {"receding", '-'}};
        for (const auto& [key, way] : ways) {
            const QJsonObject figures = directions.value(QLatin1String(key)).toObject();
            const test::Reference r =
                test::referenceOf(test::speedsOf(m_speeds, m_survey.directions, way), 35, 50, 10);
            for (const auto& [name, value] : test::namedFigures(r, 10, study::studentT95(r.n - 1))) {
                const QJsonValue shown = figures.value(name);
                QVERIFY2(shown.isDouble() && std::abs(shown.toDouble() - value) < 1e-9 * std::max(1.0, value),
                         qPrintable(QStringLiteral("%1 %2: %3, not %4")
                                        .arg(QLatin1String(key), name)
                                        .arg(shown.toDouble())
                                        .arg(value)));
            }
        }
        // Monday first; every vehicle in one cell, the first at 06:15 on Monday.
        const QJsonArray weekly = json.value(QStringLiteral("weekly")).toArray();
        QCOMPARE(weekly.size(), 7);
        double inCells = 0;
        for (const QJsonValue& day : weekly) {
            QCOMPARE(day.toArray().size(), 24);
            for (const QJsonValue& cell : day.toArray())
                inCells += cell.toDouble();
        }
        QCOMPARE(inCells, 2000.0);
        QVERIFY(weekly[0].toArray()[6].toDouble() > 0);

        // The CSV at the same threshold, read back record by record.
        const QString path = m_folder->filePath(QStringLiteral("study.csv"));
        QCOMPARE(cli({"export", "study", kBatch, "--threshold", "50", "-o", path}).exitCode, 0);
        QString failure;
        const QList<QStringList> read = readWithPython(path, &failure);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(cli({"export", "study", kBatch, "--threshold", "50"}).out,
                 QString::fromUtf8(test::fileBytes(path)).trimmed());
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
        QCOMPARE(figures, 3 * directions.value(QStringLiteral("both")).toObject().size() - 3); // not the bins
        QStringList texts;
        for (const QJsonValue& warning : json.value(QStringLiteral("warnings")).toArray())
            texts << warning.toObject().value(QStringLiteral("text")).toString();
        QVERIFY(!texts.isEmpty());
        QCOMPARE(warnings, texts);
    }

    // A direction without vehicles: every percentile's keys, empty, in the
    // JSON and in the CSV; no 0th percentile.
    void emptyDirection()
    {
        test::Survey oneWay = m_survey;
        oneWay.batchNumber = QStringLiteral("030226-B");
        oneWay.directions = QByteArray(2000, '+');
        test::storeSurvey(m_folder->databasePath(), oneWay);
        const test::ProgramRun run = cli({"study", oneWay.batchNumber, "--json"});
        QCOMPARE(run.exitCode, 0);
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
        const QJsonObject receding =
            json.value(QStringLiteral("directions")).toObject().value(QStringLiteral("receding")).toObject();
        QCOMPARE(receding.value(QStringLiteral("n")).toDouble(), 0.0);
        QVERIFY(!receding.contains(QStringLiteral("p0")) &&
                !receding.contains(QStringLiteral("p0_interpolated")));
        QStringList percentileRows;
        for (const QString& suffix : {QString(), QStringLiteral("_interpolated")}) {
            for (const int p : {15, 50, 85, 95, 98}) {
                const QString key = QStringLiteral("p%1").arg(p) + suffix;
                QVERIFY2(receding.contains(key) && receding.value(key).isNull(), qPrintable(key));
                percentileRows << QStringLiteral("figures,receding,,,,%1,").arg(key);
            }
        }
        QVERIFY(
            json.value(QStringLiteral("percentiles")).toString().contains(QStringLiteral("grouped speeds")));
        const QString csv = cli({"export", "study", oneWay.batchNumber}).out;
        QStringList rows;
        for (const QString& line : csv.split(QStringLiteral("\r\n"))) {
            if (QRegularExpression(QStringLiteral("^figures,receding,,,,p\\d")).match(line).hasMatch())
                rows << line;
        }
        QCOMPARE(rows, percentileRows);
        QVERIFY(csv.contains(QStringLiteral("survey,,,,,percentiles,")));
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
        const QString instead = QStringLiteral(": give --threshold a whole speed above 0, such as 45.");
        test::row("threshold not a speed", QStringList{"study", kBatch, "--threshold", "fast"},
                  "The threshold \"fast\" is not a whole number" + instead);
        test::row("threshold with decimals", QStringList{"export", "study", kBatch, "--threshold", "45.5"},
                  "The threshold \"45.5\" is not a whole number" + instead);
        test::row("threshold of 0", QStringList{"study", kBatch, "--threshold", "0"},
                  "The threshold \"0\" is not above 0" + instead);
        test::row("threshold beyond 64 bits",
                  QStringList{"study", kBatch, "--threshold", "9223372036854775808"},
                  "The threshold \"9223372036854775808\" is above the largest allowed, "
                  "9,223,372,036,854,775,807: give --threshold a smaller whole speed.");
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
        const test::ProgramRun run = cli(arguments.replaceInStrings("FILE", file));
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith(message), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    // A threshold may be any speed a vehicle may have, up to the 64-bit range.
    void thresholdsOf64Bits()
    {
        for (const QString threshold : {"999999999999", "9223372036854775807"}) {
            const test::ProgramRun run = cli({"study", kBatch, "--json", "--threshold", threshold});
            QCOMPARE(run.err, QString());
            const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
            QCOMPARE(json.value(QStringLiteral("threshold")).toInteger(), threshold.toLongLong());
            QCOMPARE(
                json[QStringLiteral("directions")][QStringLiteral("both")][QStringLiteral("over_threshold")],
                QJsonValue(0));
            QVERIFY(cli({"export", "study", kBatch, "--threshold", threshold})
                        .out.contains(QStringLiteral("survey,,,,,threshold,") + threshold));
        }
    }

    // The output device is full: the command says so and fails, also when
    // the whole output would fit in one buffer.
    void fullDisk()
    {
        for (const QString table : {"vehicles", "summary"}) {
            QProcess process;
            process.setStandardOutputFile(QStringLiteral("/dev/full"));
            process.start(QStringLiteral(PELMOR_CLI), {"--db", m_folder->path(), "export", table, kBatch});
            QVERIFY(process.waitForFinished(30000));
            QCOMPARE(process.exitCode(), 1);
            QVERIFY2(QString::fromUtf8(process.readAllStandardError()).contains("No space left on device"),
                     qPrintable(table));
        }
    }

private:
    test::ProgramRun cli(const QStringList& arguments) const
    {
        return test::runProgram(QStringLiteral(PELMOR_CLI),
                                QStringList{"--db", m_folder->path()} + arguments);
    }

    std::unique_ptr<test::TempProgramFolder> m_folder;
    test::Survey m_survey;
    QList<int> m_speeds;
};

QTEST_GUILESS_MAIN(TstStudyExport)
#include "tst_studyexport.moc"
