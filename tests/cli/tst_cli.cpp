#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int exitCode;
    QString out;
    QString err;
};

} // namespace

class TstCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void importCommand_data();
    void importCommand();
    void surveysAndSummary();

private:
    Run cli(const QStringList& arguments) const;
    std::unique_ptr<QTemporaryDir> m_folder;
};

Run TstCli::cli(const QStringList& arguments) const
{
    QProcess process;
    process.start(QStringLiteral(PELMOR_CLI),
                  QStringList{QStringLiteral("--db"), m_folder->path()} + arguments);
    if (!process.waitForFinished(60000))
        return {-1, {}, QStringLiteral("timed out")};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed(),
            QString::fromUtf8(process.readAllStandardError()).trimmed()};
}

void TstCli::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QCOMPARE(cli({QStringLiteral("init")}).exitCode, 0);
}

void TstCli::importCommand_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // on the output for a success, else on the error stream
    const QStringList complete = {"--location", "Elm Street", "--direction", "North",
                                  "--zone",     "School",     "--unit",      "MPH"};
    QTest::newRow("complete header") << complete << 0 << "2947 records added";
    QTest::newRow("no location") << QStringList{"--direction", "North", "--zone", "School"} << 1
                                 << "You must input a valid location!";
    QTest::newRow("no zone") << QStringList{"--location", "Elm", "--direction", "North"} << 1
                             << "You must select the survey zone!";
    QTest::newRow("corrected date that is no date") << complete + QStringList{"--start-date", "13/45/2026"}
                                                    << 1 << "The survey data has a NON-date element";
    QTest::newRow("corrected start time without its zero")
        << complete + QStringList{"--start-time", "7:00"} << 1
        << "This data file has errors and cannot be processed - "
           "download another data file to process";
    QTest::newRow("trailer not a letter") << complete + QStringList{"--trailer", "1"} << 1
                                          << "The trailer ID must be one capital letter A to Z, not \"1\".";
    QTest::newRow("zone not on the list")
        << QStringList{"--location", "Elm", "--direction", "North", "--zone", "Park"} << 1
        << "The zone must be one of:";
}

void TstCli::importCommand()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const Run run =
        cli(QStringList{QStringLiteral("import"), QStringLiteral(PELMOR_SAMPLES "/elm-street-2days.rsx")} +
            options);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2((exitCode == 0 ? run.out : run.err).startsWith(message), qPrintable(run.out + " / " + run.err));
    // Only a success leaves a survey behind.
    QCOMPARE(cli({QStringLiteral("surveys")}).out, exitCode == 0 ? QStringLiteral("050326-A") : QString());
}

void TstCli::surveysAndSummary()
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
    QCOMPARE(cli(QStringList{"import", sample, "--trailer", "B", "--batch", "X1", "--posted", "040"} + header)
                 .exitCode,
             0);
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

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
