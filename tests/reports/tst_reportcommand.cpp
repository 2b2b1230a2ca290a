#include "PdfText.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using pelmor::test::row;

using Run = pelmor::test::ProgramRun;

// "pelmor-cli report" run as a user runs it, on the sample download stored
// as survey 050326-A (two days from 05/03/26 07:00 AM).
class TstReportCommand : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        QCOMPARE(cli({"init"}).exitCode, 0);
        const Run import = cli({"import", PELMOR_SAMPLES "/elm-street-2days.rsx", "--location", "Elm Street",
                                "--direction", "North", "--zone", "School", "--unit", "MPH"});
        QCOMPARE(import.exitCode, 0);
        // Nearly the same download (one speed differs) under trailer B, a
        // minute later: a second survey to compare with.
        const QString second = m_folder.filePath(QStringLiteral("second.rsx"));
        QVERIFY(pelmor::test::writeFile(
            second,
            pelmor::test::fileBytes(PELMOR_SAMPLES "/elm-street-2days.rsx").replace("14,+,40,", "14,+,41,")));
        QCOMPARE(cli({"import", second, "--trailer", "B", "--start-time", "07:01", "--location", "Elm Street",
                      "--direction", "North", "--zone", "School", "--unit", "MPH"})
                     .exitCode,
                 0);
    }

    void writesPdf_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QStringList>("texts"); // on page 1
        row("85th percentile, black and white",
            QStringList{"1", "050326-A", "--agency", "Town of Elm", "--bw"}, 1,
            QStringList{"Town of Elm", "85th Percentile Speed and Pace Distribution",
                        "85th Percentile ---->"});
        row("traffic flow graph", QStringList{"2", "050326-A", "--officer", "J. Miller"}, 1,
            QStringList{"Single Survey Summary", "Survey Location: Elm Street"});
        row("summary", QStringList{"3", "050326-A", "--officer", "J. Miller"}, 1,
            QStringList{"Survey Issued By: J. Miller", "Total # Veh Surveyed: 2947"});
        // The walk runs first: the sample spans two days of quarter hours,
        // each page ending with an hour's total.
        row("15 minutes", QStringList{"4", "050326-A"}, 7,
            QStringList{"Survey Volume (15 min Bins)", "07:00 - 07:15"});
        row("hours", QStringList{"5", "050326-A"}, 2,
            QStringList{"Survey Volume (Hour Bins)", "07:00 - 08:00"});
        row("filled sheet",
            QStringList{"6", "--trailer-id", "C", "--location", "Oak Avenue", "--performed-by", "Kim"}, 1,
            QStringList{"Trailer ID: C", "Oak Avenue", "Field setup performed by: Kim",
                        "Minumum Radar Setting: 5", "Survey Zone: ______________"});
        row("blank sheet", QStringList{"7"}, 1, QStringList{"Trailer ID: _________"});
        // The study of the two days at the default threshold, the limit + 10.
        row("speed study", QStringList{"8", "050326-A", "--agency", "Town of Elm"}, 3,
            QStringList{"Town of Elm", "Speed Study Report", "Measured speeds by direction",
                        "Posted limit 35 mph, Sun 05/03/26 07:00 to Tue 05/05/26 06:57 (1 day, 23 h 57 min)",
                        "Enforcement threshold: 45 mph", "Over 45 mph (limit + 10 = threshold)"});
        row("speed study with a threshold beyond 32 bits",
            QStringList{"8", "050326-A", "--threshold", "999999999999", "--bw"}, 3,
            QStringList{"Enforcement threshold: 999999999999 mph",
                        "Over the enforcement threshold, 999999999999 mph"});
        row("comparison", QStringList{"9", "050326-A", "--with", "050326-B", "--bw"}, 2,
            QStringList{"Before / After Comparison", "Elm Street: before and after",
                        "85th percentile unchanged at", "The two surveys can be compared fairly",
                        "Is the change real, or could it be chance?", "Not significant"});
    }
    void writesPdf()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, pages);
        QFETCH(QStringList, texts);
        const QString file = m_folder.filePath(QStringLiteral("report.pdf"));
        QFile::remove(file);
        const Run run = cli(QStringList{"report"} + arguments + QStringList{"--pdf", file});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const std::vector<pelmor::test::PdfPage> read = pelmor::test::readPdf(file);
        QCOMPARE(int(read.size()), pages);
        for (const QString& text : texts)
            QVERIFY2(read[0].text().contains(text), qPrintable(text + " in " + read[0].text()));
    }

    void writesImages()
    {
        const QString folder = m_folder.filePath(QStringLiteral("pages"));
        const Run run = cli({"report", "5", "050326-A", "--png", folder});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(QDir(folder).entryList(QDir::Files), (QStringList{"page-001.png", "page-002.png"}));
        // US Letter at 150 dots to the inch.
        const QImage page(QDir(folder).filePath(QStringLiteral("page-002.png")));
        QCOMPARE(page.size(), QSize(1275, 1650));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        row("no such document", QStringList{"99", "050326-A", "--pdf", "x.pdf"},
            "There is no document \"99\"");
        row("a threshold for a document without one",
            QStringList{"3", "050326-A", "--threshold", "50", "--pdf", "x.pdf"},
            "Document 3 counts no vehicles over an enforcement threshold: leave out --threshold.");
        row("a threshold that is no speed",
            QStringList{"8", "050326-A", "--threshold", "fast", "--pdf", "x.pdf"},
            "The threshold \"fast\" is not a whole number: give --threshold a whole speed above 0, such as "
            "45.");
        row("a comparison without a second survey", QStringList{"9", "050326-A", "--pdf", "x.pdf"},
            "Document 9 sets two surveys side by side: give the second with --with BATCH_B.");
        row("a second survey for a document of one", QStringList{"8", "050326-A", "--with", "050326-B"},
            "Document 8 sets no second survey beside the first: leave out --with.");
        row("no such second survey", QStringList{"9", "050326-A", "--with", "NOPE", "--pdf", "x.pdf"},
            "The database holds no survey NOPE.");
        row("a survey document without a survey", QStringList{"3", "--pdf", "x.pdf"},
            "Document 3 is printed for a survey: give its batch number.");
        row("a sheet with a survey", QStringList{"7", "050326-A", "--pdf", "x.pdf"},
            "Document 7 is not printed for a survey");
        row("no such survey", QStringList{"3", "NOPE", "--pdf", "x.pdf"},
            "The database holds no survey NOPE with its statistics.");
        row("nowhere to write", QStringList{"3", "050326-A"}, "Give the PDF file with --pdf FILE");
        row("a file that cannot be written", QStringList{"3", "050326-A", "--pdf", "/proc/report.pdf"},
            "The file /proc/report.pdf cannot be written: ");
    }
    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Run run = cli(QStringList{"report"} + arguments);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
    }

    void helpListsTheSheetOptions()
    {
        const Run run = cli({"report", "--help"});
        QCOMPARE(run.exitCode, 0);
        for (const char* option :
             {"--trailer-id", "--batch-number", "--start-time", "--start-date", "--location", "--direction",
              "--zone", "--posted-limit", "--minimum-radar", "--maximum-radar", "--alarm", "--cutoff",
              "--performed-by", "--agency", "--officer", "--bw", "--png", "--threshold", "--with"})
            QVERIFY2(run.out.contains(QLatin1String(option)), option);
    }

private:
    Run cli(const QStringList& arguments) const
    {
        return pelmor::test::runProgram(QStringLiteral(PELMOR_CLI),
                                        QStringList{"--db", m_folder.path()} + arguments);
    }
    QTemporaryDir m_folder;
};

QTEST_GUILESS_MAIN(TstReportCommand)
#include "tst_reportcommand.moc"
