#include "TestSupport.h"
#include "import/SurveyImport.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"
#include "store/SqliteSchema.h"

#include <QFile>
#include <QProcess>
#include <QTest>

using namespace pelmor;
using pelmor::test::row;

// Two officers store surveys under the same batch number: the database keeps
// one survey per number, whoever comes first, and a file that already holds
// a number twice is left alone until those surveys are dealt with.
class TstBatchIdentity : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // Two downloads of the same day with different traffic.
        for (int download = 0; download < 2; ++download) {
            loggen::LogHeader header;
            header.startDate = QDate(2026, 5, 12);
            loggen::SurveyProfile profile = loggen::profileForHeader(header);
            profile.seed = quint32(11 + download);
            profile.exactCount = 3000 + download * 500;
            m_vehicles[download] = loggen::generateVehicles(profile);
            QVERIFY(test::writeFile(logPath(download), loggen::writeLog(header, m_vehicles[download])));
        }
    }

    // Both processes are started together, 20 times; which one starts first
    // alternates. Exactly one survey lands each time, whole, and the other
    // process is told the number is taken.
    void sameBatchAtOnceStoresOneSurvey()
    {
        int wins[2] = {0, 0};
        for (int round = 0; round < 20; ++round) {
            test::TempProgramFolder folder;
            const QString context = QStringLiteral("round %1: ").arg(round);
            QProcess imports[2];
            for (int i = 0; i < 2; ++i) {
                const int download = (round + i) % 2;
                imports[download].start(PELMOR_CLI, importArguments(folder.path(), download));
            }
            int landed = -1;
            for (int download = 0; download < 2; ++download) {
                QProcess& process = imports[download];
                QVERIFY(process.waitForFinished(120000));
                const QString said =
                    QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
                if (process.exitCode() == 0) {
                    QVERIFY2(landed < 0, qPrintable(context + "both surveys were stored"));
                    landed = download;
                } else {
                    QVERIFY2(said.contains(import::messages::kDuplicate), qPrintable(context + said));
                }
            }
            QVERIFY2(landed >= 0, qPrintable(context + "neither survey was stored"));
            ++wins[landed];
            const QString path = folder.databasePath();
            QCOMPARE(test::rowTexts(path, "select * from Header", {"Batch_Number"}), QStringList{kBatch});
            QCOMPARE(test::rowTexts(path, "select * from Summary", {"Total_Vehicles"}),
                     QStringList{QString::number(m_vehicles[landed].size())});
            QStringList expected;
            for (const loggen::Vehicle& vehicle : m_vehicles[landed])
                expected << QStringLiteral("%1|%2|%3")
                                .arg(vehicle.offset)
                                .arg(QChar::fromLatin1(vehicle.direction))
                                .arg(vehicle.speed);
            QCOMPARE(test::rowTexts(
                         path, "select * from Veh_Data where Batch_Number = '" + kBatch + "' order by rowid",
                         {"Offset", "Veh_Direction", "Speed"}),
                     expected);
        }
        qInfo("first download stored %d times, second %d times", wins[0], wins[1]);
    }

    // A file of the older layout is brought up to date by the first program
    // that opens it, unless it holds batch numbers twice: then no survey is
    // added and the file stays byte for byte as it was until those surveys
    // are deleted.
    void olderFileTakesSurveysOnceNumbersAreUnique_data()
    {
        QTest::addColumn<QStringList>("batches");
        QTest::addColumn<QStringList>("duplicated");
        row("distinct numbers", QStringList{"051103-A", "051104-A"}, QStringList());
        row("two numbers twice", QStringList{"051104-A", "051103-A", "051103-A", "051104-A", "051105-A"},
            QStringList{"051103-A", "051104-A"});
    }
    void olderFileTakesSurveysOnceNumbersAreUnique()
    {
        QFETCH(QStringList, batches);
        QFETCH(QStringList, duplicated);
        test::TempProgramFolder folder;
        const QString path = folder.databasePath();
        QVERIFY(QFile::remove(path));
        test::writeOlderDatabase(path, batches);
        const QByteArray before = test::fileBytes(path);

        const test::ProgramRun refused = test::runProgram(PELMOR_CLI, importArguments(folder.path(), 0));
        if (!duplicated.isEmpty()) {
            QCOMPARE(refused.exitCode, 1);
            QVERIFY2(refused.err.contains(duplicated.join(", ")) && refused.err.contains("Delete"),
                     qPrintable(refused.err));
            QCOMPARE(test::fileBytes(path), before);
            QCOMPARE(test::schemaVersionOf(path), 0);
            for (const QString& batch : duplicated)
                QCOMPARE(test::runProgram(PELMOR_CLI, {"--db", folder.path(), "delete", batch}).exitCode, 0);
            QCOMPARE(test::runProgram(PELMOR_CLI, importArguments(folder.path(), 0)).exitCode, 0);
        } else {
            QCOMPARE(refused.exitCode, 0);
        }
        QCOMPARE(test::schemaVersionOf(path), store::kSchemaVersion);
        QStringList kept = batches;
        kept.removeIf([&duplicated](const QString& batch) { return duplicated.contains(batch); });
        kept.removeDuplicates();
        QCOMPARE(test::rowTexts(path, "select * from Header", {"Batch_Number"}), kept << kBatch);
        // The same number a second time is now refused by the file.
        const test::ProgramRun again = test::runProgram(PELMOR_CLI, importArguments(folder.path(), 1));
        QCOMPARE(again.exitCode, 1);
        QVERIFY2(again.err.contains(import::messages::kDuplicate), qPrintable(again.err));
    }

private:
    inline static const QString kBatch = QStringLiteral("051226-A");

    QString logPath(int download) const
    {
        return m_logs.filePath(QStringLiteral("download-%1.rsx").arg(download));
    }
    QStringList importArguments(const QString& folder, int download) const
    {
        return {"--db",      folder,   "import", logPath(download), "--batch", kBatch,   "--location",
                "Race Road", "--zone", "School", "--direction",     "North",   "--unit", "MPH"};
    }

    test::TempProgramFolder m_logs;
    std::vector<loggen::Vehicle> m_vehicles[2];
};

QTEST_GUILESS_MAIN(TstBatchIdentity)
#include "tst_batchidentity.moc"
