#include "PgTestServer.h"
#include "TestSupport.h"

#include <QDir>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

using pelmor::test::row;
using pelmor::test::testServer;
using Run = pelmor::test::ProgramRun;

// What a command leaves to compare: its output, a PDF's text, or an image's bytes.
enum class Output { Printed, PdfText, PngBytes };
Q_DECLARE_METATYPE(Output)

namespace {

// A generated survey: its log's name, batch number, unit, location and the
// generator's options. Two MPH surveys of one street before and after a
// change, a KPH survey, and one that runs over midnight into a new year.
struct GeneratedSurvey {
    const char* name;
    const char* batch;
    const char* unit;
    const char* location;
    const char* options;
};

const GeneratedSurvey kSurveys[] = {
    {"elm-before", "050326-A", "MPH", "Elm Street",
     "--start-date 05/03/2026 --start-time 08:00 --days 2 --seed 11"},
    {"elm-after", "060726-A", "MPH", "Elm Street",
     "--start-date 06/07/2026 --start-time 08:00 --days 2 --seed 12 --mean 34"},
    {"ring-kph", "050326-B", "KPH", "Ring Road",
     "--start-date 05/03/2026 --start-time 07:30 --days 1 --unit KPH --limit 050 --cutoff 130 --alarm 070 "
     "--seed 13"},
    {"new-year", "123126-C", "MPH", "Oak Avenue",
     "--start-date 12/31/2026 --start-time 18:00 --duration-hours 14 --seed 14"},
};

// Where two texts first differ: the line's number and both lines; empty
// when they are the same.
QString firstDifference(const QString& onFile, const QString& onServer)
{
    if (onFile == onServer)
        return QString();
    const QStringList fileLines = onFile.split(QLatin1Char('\n'));
    const QStringList serverLines = onServer.split(QLatin1Char('\n'));
    for (qsizetype line = 0; line < std::max(fileLines.size(), serverLines.size()); ++line) {
        const QString a = fileLines.value(line, QStringLiteral("(no line)"));
        const QString b = serverLines.value(line, QStringLiteral("(no line)"));
        if (a != b)
            return QStringLiteral("line %1\n  file:   %2\n  server: %3").arg(line + 1).arg(a, b);
    }
    return QStringLiteral("the texts differ in their line ends");
}

} // namespace

// The same logs imported into a file and into a server give the same
// statistics, breakdowns, studies, comparisons, exports, graphs and
// documents, byte for byte.
class TstServerResults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        QVERIFY2(testServer().error().isEmpty(), qPrintable(testServer().error()));
        const QString database = testServer().createDatabase();
        QVERIFY2(!database.isEmpty(), qPrintable(testServer().error()));
        m_server = testServer().connectionString(database);
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.remove(QStringLiteral("PELMOR_SERVER"));
        m_environment.insert(QStringLiteral("TZ"), QStringLiteral("America/Chicago"));
        QVERIFY(QDir(m_work.path()).mkpath(QStringLiteral("db")));
        QCOMPARE(run({"--db", m_work.filePath("db"), "init"}).exitCode, 0);
        const Run init = run({"--server", m_server, "server", "init"});
        QVERIFY2(init.exitCode == 0, qPrintable(init.err));
        for (const GeneratedSurvey& survey : kSurveys) {
            const QString log = m_work.filePath(QLatin1String(survey.name) + QStringLiteral(".rsx"));
            const Run generated = pelmor::test::runProgram(
                QStringLiteral(PELMOR_LOGGEN), QString::fromLatin1(survey.options).split(QLatin1Char(' ')) +
                                                   QStringList{"--rsx", "-o", log});
            QVERIFY2(generated.exitCode == 0, qPrintable(generated.err));
            const QStringList import = {"import",      log,
                                        "--trailer",   QString::fromLatin1(survey.batch).right(1),
                                        "--location",  QString::fromLatin1(survey.location),
                                        "--direction", "North",
                                        "--zone",      "Residential",
                                        "--unit",      QString::fromLatin1(survey.unit),
                                        "--yes"};
            const Run onFile = run(QStringList{"--db", m_work.filePath("db")} + import);
            const Run onServer = run(QStringList{"--server", m_server} + import);
            QVERIFY2(onFile.exitCode == 0, qPrintable(onFile.err));
            QCOMPARE(onServer.exitCode, 0);
            QCOMPARE(onServer.out, onFile.out);
        }
    }

    void sameOnFileAndServer_data()
    {
        QTest::addColumn<QStringList>("arguments"); // OUT: the file the command writes
        QTest::addColumn<Output>("output");
        row("surveys", QStringList{"surveys"}, Output::Printed);
        for (const GeneratedSurvey& survey : kSurveys) {
            const QString batch = QLatin1String(survey.batch);
            const auto name = [&batch](const char* what) {
                return batch + QLatin1Char(' ') + QLatin1String(what);
            };
            row(qPrintable(name("summary")), QStringList{"summary", batch, "--json"}, Output::Printed);
            row(qPrintable(name("breakdown 15")), QStringList{"breakdown", batch, "--bins", "15", "--csv"},
                Output::Printed);
            row(qPrintable(name("breakdown 60")), QStringList{"breakdown", batch, "--bins", "60", "--csv"},
                Output::Printed);
            row(qPrintable(name("study")), QStringList{"study", batch, "--json"}, Output::Printed);
            for (const char* table : {"vehicles", "breakdown", "summary", "study"})
                row(qPrintable(name(table) + " export"), QStringList{"export", QLatin1String(table), batch},
                    Output::Printed);
            for (const char* graph : {"percent85", "volume"})
                row(qPrintable(name(graph) + " graph"),
                    QStringList{"graph", QLatin1String(graph), batch, "--png", "OUT"}, Output::PngBytes);
            for (const char* document : {"1", "2", "3", "4", "5", "8"})
                row(qPrintable(name("document ") + document),
                    QStringList{"report", QLatin1String(document), batch, "--pdf", "OUT"}, Output::PdfText);
        }
        // The sites, placed as each survey was stored.
        row("sites", QStringList{"sites", "--json"}, Output::Printed);
        row("site history", QStringList{"site", "Elm Street", "--json"}, Output::Printed);
        row("priorities", QStringList{"priorities", "--json"}, Output::Printed);
        row("priorities as CSV", QStringList{"priorities", "--csv"}, Output::Printed);
        row("document 6", QStringList{"report", "6", "--pdf", "OUT"}, Output::PdfText);
        row("document 7", QStringList{"report", "7", "--pdf", "OUT"}, Output::PdfText);
        for (const auto& [before, after] :
             {std::pair{"050326-A", "060726-A"}, std::pair{"050326-B", "060726-A"}}) {
            const QString pair = QStringLiteral("%1 %2").arg(QLatin1String(before), QLatin1String(after));
            row(qPrintable(pair + " compare"), QStringList{"compare", before, after, "--json"},
                Output::Printed);
            row(qPrintable(pair + " document 9"),
                QStringList{"report", "9", before, "--with", after, "--pdf", "OUT"}, Output::PdfText);
        }
    }
    void sameOnFileAndServer()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Output, output);
        // Both write to the same path, so a path drawn into an output is the
        // same for both.
        const QString written = m_work.filePath(output == Output::PngBytes ? "out.png" : "out.pdf");
        arguments.replaceInStrings(QStringLiteral("OUT"), written);
        QString results[2];
        const QStringList databases[2] = {{"--db", m_work.filePath("db")}, {"--server", m_server}};
        for (int side = 0; side < 2; ++side) {
            QFile::remove(written);
            const Run ran = run(databases[side] + arguments);
            QVERIFY2(ran.exitCode == 0, qPrintable(ran.err));
            switch (output) {
            case Output::Printed:
                QVERIFY(!ran.out.isEmpty());
                results[side] = ran.out;
                break;
            case Output::PngBytes: {
                // In hex, 32 bytes a line, so that the first difference
                // names where the images part.
                const QByteArray bytes = pelmor::test::fileBytes(written);
                QVERIFY(!bytes.isEmpty());
                for (qsizetype at = 0; at < bytes.size(); at += 32)
                    results[side] += QString::fromLatin1(bytes.mid(at, 32).toHex()) + QLatin1Char('\n');
                break;
            }
            case Output::PdfText: {
                const Run text = pelmor::test::runProgram(
                    QStringLiteral("pdftotext"), {QStringLiteral("-layout"), written, QStringLiteral("-")});
                QVERIFY2(text.exitCode == 0, qPrintable(text.err));
                QVERIFY(!text.out.trimmed().isEmpty());
                results[side] = text.out;
                break;
            }
            }
        }
        const QString difference = firstDifference(results[0], results[1]);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

private:
    Run run(const QStringList& arguments) const
    {
        return pelmor::test::runProgram(QStringLiteral(PELMOR_CLI), arguments, m_environment);
    }

    QTemporaryDir m_work;
    QString m_server;
    QProcessEnvironment m_environment;
};

QTEST_GUILESS_MAIN(TstServerResults)
#include "tst_serverresults.moc"
