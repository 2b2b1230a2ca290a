#include "TestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using pelmor::test::row;

using Run = pelmor::test::ProgramRun;

class TstCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QCOMPARE(cli({QStringLiteral("init")}).exitCode, 0);
    }
    void importCommand_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message"); // on the output for a success, else on the error stream
        const QStringList complete = {"--location", "Elm Street", "--direction", "North",
                                      "--zone",     "School",     "--unit",      "MPH"};
        row("complete header", complete, 0, "2947 records added");
        row("no location", QStringList{"--direction", "North", "--zone", "School"}, 1,
            "You must input a valid location!");
        row("trailer not a letter", complete + QStringList{"--trailer", "1"}, 1,
            "The trailer ID must be one capital letter A to Z, not \"1\".");
        row("zone not on the list",
            QStringList{"--location", "Elm", "--direction", "North", "--zone", "Park"}, 1,
            "The zone must be one of:");
    }
    void importCommand()
    {
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const Run run = cli(QStringList{"import", PELMOR_SAMPLES "/elm-street-2days.rsx"} + options);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2((exitCode == 0 ? run.out : run.err).startsWith(message),
                 qPrintable(run.out + " / " + run.err));
        // Only a success leaves a survey behind.
        QCOMPARE(cli({QStringLiteral("surveys")}).out,
                 exitCode == 0 ? QStringLiteral("050326-A") : QString());
    }
    void surveysAndSummary()
    {
        const QString sample = QStringLiteral(PELMOR_SAMPLES "/elm-street-2days.rsx");
        const QStringList header = {"--location", "O'Brien Road", "--direction", "South", "--zone", "Church"};
        QCOMPARE(cli(QStringList{"import", sample, "--unit", "KPH"} + header).exitCode, 0);
        // The same download again is refused, under another letter it is stored.
        const Run again = cli(QStringList{"import", sample} + header);
        QCOMPARE(again.exitCode, 1);
        QCOMPARE(again.err,
                 QStringLiteral("Duplicate Batch Number found. Select a higher letter for the Batch Number "
                                "and try again."));
        const QStringList corrected = {"import",  sample, "--trailer", "B",
                                       "--batch", "X1",   "--posted",  "040"};
        QCOMPARE(cli(corrected + header).exitCode, 0);
        QCOMPARE(cli({QStringLiteral("surveys")}).out, QStringLiteral("050326-A\nX1"));

        const Run summary = cli({QStringLiteral("summary"), QStringLiteral("X1"), QStringLiteral("--json")});
        QCOMPARE(summary.exitCode, 0);
        const QJsonObject row = QJsonDocument::fromJson(summary.out.toUtf8()).object();
        QCOMPARE(row.size(), 28);
        QCOMPARE(row.value(QStringLiteral("Posted_Limit")).toString(), QStringLiteral("040"));
        QCOMPARE(row.value(QStringLiteral("Total_Vehicles")).toString(), QStringLiteral("2947"));
        // The unit of the last import is the default of the next: a KPH pace.
        const double paceWidth = row.value(QStringLiteral("Pace_High")).toString().toDouble() -
                                 row.value(QStringLiteral("Pace_Low")).toString().toDouble();
        QCOMPARE(paceWidth, 20.0);
        const Run text = cli({QStringLiteral("summary"), QStringLiteral("050326-A")});
        QVERIFY(text.out.startsWith(QStringLiteral("Batch_Number: 050326-A\nPosted_Limit: 035\n")));
        QCOMPARE(cli({QStringLiteral("summary"), QStringLiteral("nope")}).exitCode, 1);
    }

private:
    Run cli(const QStringList& arguments) const
    {
        return pelmor::test::runProgram(QStringLiteral(PELMOR_CLI),
                                        QStringList{QStringLiteral("--db"), m_folder->path()} + arguments);
    }
    std::unique_ptr<QTemporaryDir> m_folder;
};
QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
