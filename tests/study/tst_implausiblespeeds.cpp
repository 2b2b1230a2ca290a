// A sign's log with one false reading far beyond any vehicle's speed,
// stored through the real import and then studied, compared, drawn and
// printed by the headless tool as a user runs it, each run held to a
// bounded address space: the readings are kept as logged, the warnings name
// them, and nothing grows with their size. A speed beyond 64 bits is an
// error in the log's data.
#include "PdfText.h"
#include "TestSupport.h"
#include "loggen/LogWriter.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <sys/resource.h>

using namespace pelmor;

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define PELMOR_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELMOR_ADDRESS_SANITIZER 1
#endif
#endif

#ifndef PELMOR_ADDRESS_SANITIZER
// The address space a run of the tool may take: ample for the program, far
// short of a histogram spanning the speeds up to a false reading.
constexpr rlim_t kAddressSpace = rlim_t(2) << 30;
#endif

struct LimitedRun {
    bool normalExit = false;
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs pelmor-cli on the folder's database, its address space limited
// (but under the address sanitizer, whose shadow memory needs more).
LimitedRun cli(const test::TempProgramFolder& folder, const QStringList& arguments)
{
    QProcess process;
#ifndef PELMOR_ADDRESS_SANITIZER
    process.setChildProcessModifier([] {
        const rlimit limit{kAddressSpace, kAddressSpace};
        setrlimit(RLIMIT_AS, &limit);
    });
#endif
    process.start(QStringLiteral(PELMOR_CLI), QStringList{"--db", folder.path()} + arguments);
    LimitedRun run;
    if (!process.waitForFinished(120000)) {
        run.err = QStringLiteral("no end within two minutes: ") + process.errorString();
        return run;
    }
    run.normalExit = process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    run.err = QString::fromUtf8(process.readAllStandardError()).trimmed();
    if (!run.normalExit)
        run.err += QStringLiteral(" [ended by signal %1: %2]").arg(run.exitCode).arg(process.errorString());
    return run;
}

// A day's log from 05/04/26 08:00 of 300 vehicles at 25 to 49 mph, one of
// them logged with `speed` as it stands, saved as a download file.
QString savedLog(const test::TempProgramFolder& folder, const QString& name, const QByteArray& speed)
{
    std::vector<loggen::Vehicle> vehicles;
    for (int i = 0; i < 300; ++i)
        vehicles.push_back({qint64(i) * 250, i % 2 ? '-' : '+', i == 150 ? 999 : 25 + i % 25});
    loggen::LogHeader header;
    header.startDate = QDate(2026, 5, 4);
    header.startHour = 8;
    header.startMinute = 0;
    QByteArray log = loggen::writeLog(header, vehicles);
    if (!speed.isEmpty())
        log.replace(",+,999,", ",+," + speed + ",");
    const QString path = folder.filePath(name);
    if (!test::writeFile(path, log))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// "1,000,000,000,000": the speed as the warnings write it.
QString grouped(const QByteArray& digits)
{
    QString text = QString::fromLatin1(digits);
    for (qsizetype at = text.size() - 3; at > 0; at -= 3)
        text.insert(at, QLatin1Char(','));
    return text;
}

} // namespace

class TstImplausibleSpeeds : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<test::TempProgramFolder>();
        // The survey to compare with: the same traffic without the reading.
        const LimitedRun stored = importLog(savedLog(*m_folder, QStringLiteral("plain.rsx"), "40"), "B");
        QVERIFY2(stored.normalExit && stored.exitCode == 0, qPrintable(stored.err));
    }
    void cleanup() { m_folder.reset(); }

    void studiedComparedDrawnAndPrinted_data()
    {
        QTest::addColumn<QByteArray>("speed");
        test::row("2^31", QByteArray("2147483648"));
        test::row("2^32 + 40", QByteArray("4294967336"));
        test::row("10^12", QByteArray("1000000000000"));
        test::row("the largest 64-bit number", QByteArray("9223372036854775807"));
    }
    void studiedComparedDrawnAndPrinted()
    {
        QFETCH(QByteArray, speed);
        const LimitedRun stored = importLog(savedLog(*m_folder, QStringLiteral("false.rsx"), speed), "A");
        QVERIFY2(stored.normalExit && stored.exitCode == 0, qPrintable(stored.err));
        QCOMPARE(test::rowTexts(m_folder->databasePath(),
                                QStringLiteral("select max(Speed) as Top from Veh_Data where Batch_Number = "
                                               "'050426-A'"),
                                {QStringLiteral("Top")}),
                 QStringList{QString::fromLatin1(speed)});

        const LimitedRun studied = cli(*m_folder, {"study", "050426-A", "--json"});
        QVERIFY2(studied.normalExit && studied.exitCode == 0, qPrintable(studied.err));
        const QJsonObject json = QJsonDocument::fromJson(studied.out.toUtf8()).object();
        const QJsonObject both =
            json.value(QStringLiteral("directions")).toObject().value(QStringLiteral("both")).toObject();
        QCOMPARE(both.value(QStringLiteral("n")).toDouble(), 300.0);
        QCOMPARE(both.value(QStringLiteral("max")).toDouble(), speed.toDouble());
        QCOMPARE(both.value(QStringLiteral("p85")).toDouble(), 46.0);
        QStringList warnings;
        for (const QJsonValue& warning : json.value(QStringLiteral("warnings")).toArray())
            warnings << warning.toObject().value(QStringLiteral("text")).toString();
        QVERIFY2(warnings.join('\n').contains(QStringLiteral("(0.3 %) at %1 mph:").arg(grouped(speed))),
                 qPrintable(warnings.join('\n')));

        const LimitedRun compared = cli(*m_folder, {"compare", "050426-B", "050426-A", "--json"});
        QVERIFY2(compared.normalExit && compared.exitCode == 0, qPrintable(compared.err));
        QCOMPARE(QJsonDocument::fromJson(compared.out.toUtf8())
                     .object()
                     .value("b")
                     .toObject()
                     .value("max")
                     .toDouble(),
                 speed.toDouble());

        for (const char* graph : {"percent85", "volume"}) {
            const QString png = m_folder->filePath(QStringLiteral("%1.png").arg(QLatin1String(graph)));
            const LimitedRun drawn = cli(*m_folder, {"graph", graph, "050426-A", "--png", png});
            QVERIFY2(drawn.normalExit && drawn.exitCode == 0 && QFile::exists(png), qPrintable(drawn.err));
        }
        for (const char* document : {"1", "2", "8", "9"}) {
            const QString pdf =
                m_folder->filePath(QStringLiteral("report%1.pdf").arg(QLatin1String(document)));
            QStringList arguments{"report", document, "050426-A", "--pdf", pdf};
            if (QLatin1String(document) == QLatin1String("9"))
                arguments << "--with"
                          << "050426-B";
            const LimitedRun printed = cli(*m_folder, arguments);
            QVERIFY2(printed.normalExit && printed.exitCode == 0, qPrintable(document + printed.err));
            const std::vector<test::PdfPage> pages = test::readPdf(pdf);
            QVERIFY2(!pages.empty(), document);
            if (QLatin1String(document) == QLatin1String("8"))
                QVERIFY2(pages[0].text().contains(grouped(speed)), qPrintable(pages[0].text()));
        }
    }

    // A speed beyond 64 bits cannot be stored: the import is refused as an
    // error in the log's data, and nothing of it is stored.
    void speedsBeyond64BitsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("speed");
        test::row("2^63", QByteArray("9223372036854775808"));
        test::row("twenty digits", QByteArray("99999999999999999999"));
    }
    void speedsBeyond64BitsAreRefused()
    {
        QFETCH(QByteArray, speed);
        const LimitedRun refused = importLog(savedLog(*m_folder, QStringLiteral("false.rsx"), speed), "A");
        QVERIFY(refused.normalExit);
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("This data file has errors and cannot be processed")),
                 qPrintable(refused.err));
        QCOMPARE(test::rowTexts(
                     m_folder->databasePath(),
                     QStringLiteral("select count(*) as N from Veh_Data where Batch_Number = '050426-A'"),
                     {QStringLiteral("N")}),
                 QStringList{"0"});
    }

private:
    LimitedRun importLog(const QString& path, const char* trailer)
    {
        return cli(*m_folder, {"import", path, "--trailer", trailer, "--location", "Elm Street",
                               "--direction", "North", "--zone", "School", "--unit", "MPH"});
    }

    std::unique_ptr<test::TempProgramFolder> m_folder;
};

QTEST_GUILESS_MAIN(TstImplausibleSpeeds)
#include "tst_implausiblespeeds.moc"
