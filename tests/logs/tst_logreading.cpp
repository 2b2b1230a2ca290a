// Other devices' per-vehicle logs: the real radar log of the test data read
// with its shipped layout and stored through the headless tool, one set of
// vehicles written in many layouts and encodings that all read and store
// alike, the layout files, and the logs that cannot be read.
#include "../import/ImportFixture.h"
#include "PgTestServer.h"
#include "TestSupport.h"
#include "import/DownloadVehicles.h"
#include "logs/LogLayout.h"
#include "logs/LogReading.h"
#include "logs/LogSurvey.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTest>

#include <map>

using namespace pelmor;
using logs::LogLayout;
using logs::Travel;
using test::row;

Q_DECLARE_METATYPE(pelmor::logs::LogLayout)

namespace {

const QString kRealLog = QStringLiteral(PELMOR_TEST_DATA "/realworld/romerstrasse-415t3024102016.txt");

LogLayout shipped(const QString& prefix)
{
    for (const LogLayout& layout : logs::shippedLayouts())
        if (layout.name.startsWith(prefix))
            return layout;
    return {};
}

LogLayout parsed(const char* text)
{
    return LogLayout::fromText(QString::fromUtf8(text));
}

logs::ReadLog read(const QByteArray& bytes, const LogLayout& layout)
{
    return logs::readLog(bytes, layout, QStringLiteral("test.log"), {});
}

// A vehicle as the tests compare it: its clock as logged, speed, direction
// and length.
QString vehicleText(const logs::LoggedVehicle& vehicle)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(vehicle.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
        .arg(vehicle.speed)
        .arg(int(vehicle.travel))
        .arg(vehicle.length);
}

// The figure `pattern` captures in a text.
QString statedFigure(const QString& text, const QString& pattern)
{
    return QRegularExpression(pattern).match(text).captured(1);
}

} // namespace

class TstLogReading : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void realLogStoredAsTheProvenanceStates();
    void oneSetOfVehiclesInManyLayouts_data();
    void oneSetOfVehiclesInManyLayouts();
    void guessedUnit_data();
    void guessedUnit();
    void whatIsTold_data();
    void whatIsTold();
    void layoutFiles_data();
    void layoutFiles();
};

void TstLogReading::realLogStoredAsTheProvenanceStates()
{
    if (!QFile::exists(kRealLog))
        QSKIP("The real radar log of the test data is not there.");
    const QByteArray bytes = test::fileBytes(kRealLog);
    const logs::ReadLog log = read(bytes, shipped("Semicolon"));
    // Slow, but its dates are written with dots: km/h.
    QCOMPARE(logs::guessLayout(bytes).speedUnit, QStringLiteral("KPH"));
    QCOMPARE(log.vehicles.size(), size_t(14152));
    const auto approaching =
        std::count_if(log.vehicles.begin(), log.vehicles.end(),
                      [](const logs::LoggedVehicle& v) { return v.travel == Travel::Approaching; });
    QCOMPARE((QList<qint64>{approaching, qint64(log.vehicles.size()) - approaching, log.seenTwice,
                            log.outOfOrder, log.refused}),
             (QList<qint64>{5803, 8349, 358, 0, 0}));
    // The longest night gap, 01:39 to 02:03, is among those told.
    const QStringList findings = log.findings(QStringLiteral("romerstrasse.txt"));
    QVERIFY2(findings.join('\n').contains(
                 "the longest from 2016-10-25 01:39:44 to 2016-10-25 02:03:42 (24 minutes)"),
             qPrintable(findings.join('\n')));

    // Stored through the headless tool, the survey's figures are those the
    // README and summary.txt state.
    test::TempProgramFolder folder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), folder.filePath(QStringLiteral("data")));
    const test::ProgramRun run = test::runProgram(
        QStringLiteral(PELMOR_CLI),
        {"--db", folder.path(), "import-log", kRealLog, "--layout", shipped("Semicolon").name, "--location",
         "Roemerstrasse 415", "--direction", "North", "--zone", "Residential", "--posted", "030"},
        environment);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.endsWith("14,152 records added") && run.out.contains("seen twice: 358."),
             qPrintable(run.out));
    const QString readme = QString::fromUtf8(test::fileBytes(PELMOR_TEST_DATA "/realworld/README.md"));
    const QString summary = QString::fromUtf8(test::fileBytes(PELMOR_TEST_DATA "/realworld/summary.txt"));
    const QStringList stored = test::rowTexts(folder.databasePath(), "select * from Summary",
                                              {"85th_Percentile", "Number_Over", "Total_Vehicles"})
                                   .front()
                                   .split('|');
    QCOMPARE(stored[0], statedFigure(readme, "85th percentile (\\d+)"));
    QCOMPARE(QString::number(100.0 * stored[1].toInt() / stored[2].toInt(), 'f', 1),
             statedFigure(readme, "([\\d.]+) % of rows are above"));
    std::map<QString, QString> hours;
    for (const QString& hour : test::rowTexts(
             folder.databasePath(), "select Date || ' ' || substr(Time, 1, 2) || ':00' as hour, "
                                    "count(*) as total, sum(Veh_Direction = '+') as approaching, "
                                    "sum(Veh_Direction = '-') as receding from Veh_Data group by hour"))
        hours[hour.section('|', 0, 0)] = hour.section('|', 1);
    const QRegularExpression hourLine(
        QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d \\d\\d:00) +(\\d+) +(\\d+) +(\\d+)$"),
        QRegularExpression::MultilineOption);
    int compared = 0;
    for (auto match = hourLine.globalMatch(summary); match.hasNext(); ++compared) {
        const QRegularExpressionMatch stated = match.next();
        QCOMPARE(hours[stated.captured(1)],
                 stated.captured(2) + '|' + stated.captured(3) + '|' + stated.captured(4));
    }
    QCOMPARE(compared, 24);
}

void TstLogReading::oneSetOfVehiclesInManyLayouts_data()
{
    QTest::addColumn<QString>("lineFormat"); // %1 date-time parts, see below
    QTest::addColumn<QByteArray>("heading");
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<LogLayout>("layout");
    // In the line format: {date} {time} {speed} {direction} {length}, each
    // as the layout writes it (see writeLog below).
    row("ISO with UTC offsets, CSV", "{iso+02},{speed},{dir+-},{length.}",
        QByteArray("time,speed,direction,length"), QByteArray("\n"), "UTF-8",
        parsed("name = a\nskip lines = 1\ndate format = ISO\nspeed column = 2\nspeed unit = KPH\n"
               "direction column = 3\ndirection value + = approaching\ndirection value - = receding\n"
               "length column = 4"));
    row("semicolon dd.MM.yy, CR LF", "{dd.MM.yy} {HH:mm:ss};00;{speed000};{length,};{dir01} ", QByteArray(),
        QByteArray("\r\n"), "UTF-8", shipped("Semicolon"));
    row("tab, date and time apart, CR", "{yyyy-MM-dd}\t{HH:mm:ss}\t{speed}\t{dirAR}\t{length.}",
        QByteArray("Date\tTime\tSpeed\tDir\tLength"), QByteArray("\r"), "UTF-8 with byte order mark",
        parsed("name = c\nseparator = tab\nskip lines = 1\ndate format = yyyy-MM-dd\ntime column = 2\n"
               "time format = HH:mm:ss\nspeed column = 3\ndirection column = 4\n"
               "direction value A = approaching\ndirection value R = receding\nlength column = 5"));
    row("blanks, decimal speeds", "  {MM/dd/yyyy}   {HH:mm:ss}  {speed-0.5}   {dirAR}  {length.}",
        QByteArray(), QByteArray("\n"), "UTF-8",
        parsed("name = d\nseparator = blanks\ndate format = MM/dd/yyyy\ntime column = 2\n"
               "time format = HH:mm:ss\nspeed column = 3\ndirection column = 4\n"
               "direction value A = approaching\ndirection value R = receding\nlength column = 5"));
    row("UTF-16 with byte order mark, ISO Z", "{isoZ};{speed};{dirAR};{length,}",
        QByteArray("Zeit;Geschwindigkeit;Richtung;Länge"), QByteArray("\r\n"), "UTF-16LE",
        parsed("name = e\nseparator = semicolon\nskip lines = 1\nspeed column = 2\ndirection column = 3\n"
               "direction value A = approaching\ndirection value R = receding\nlength column = 4"));
    row("Windows-1252, CR LF, words for directions", "{dd.MM.yyyy} {HH:mm:ss};{speed};{dirWords};{length,}",
        QByteArray("Zeit;Geschw.;Fahrtrichtung;Länge"), QByteArray("\r\n"), "Windows-1252",
        parsed("name = f\nseparator = semicolon\nskip lines = 1\ndate format = dd.MM.yyyy HH:mm:ss\n"
               "speed column = 2\ndirection column = 3\ndirection value Zufahrt = approaching\n"
               "direction value Wegfahrt = receding\nlength column = 4"));
}

void TstLogReading::oneSetOfVehiclesInManyLayouts()
{
    QFETCH(QString, lineFormat);
    QFETCH(QByteArray, heading);
    QFETCH(QByteArray, lineEnd);
    QFETCH(QString, encoding);
    QFETCH(LogLayout, layout);

    // The same vehicles in every row: seeded, a few seconds to half an hour
    // apart over two days, some in the same second.
    QRandomGenerator random(2026);
    QDateTime time(QDate(2026, 5, 3), QTime(8, 12, 30), Qt::UTC);
    QStringList expected;
    QString text = QString::fromUtf8(heading);
    if (!heading.isEmpty())
        text += QString::fromLatin1(lineEnd);
    for (int i = 0; i < 400; ++i) {
        time = time.addSecs(random.bounded(0, 600) + (i % 97 == 0 ? 1800 : 0));
        const int speed = random.bounded(8, 90);
        const bool approaching = random.bounded(2) == 0;
        const double length = random.bounded(30, 200) / 10.0;
        expected << QStringLiteral("%1 %2 %3 %4")
                        .arg(time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                        .arg(speed)
                        .arg(int(approaching ? Travel::Approaching : Travel::Receding))
                        .arg(float(length));
        QString line = lineFormat;
        line.replace("{iso+02}", time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + "+02:00")
            .replace("{isoZ}", time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + 'Z')
            .replace("{speed000}", QString::number(speed).rightJustified(3, '0'))
            .replace("{speed-0.5}", QString::number(speed - 0.5, 'f', 1))
            .replace("{speed}", QString::number(speed))
            .replace("{dir+-}", approaching ? "+" : "-")
            .replace("{dir01}", approaching ? "0" : "1")
            .replace("{dirAR}", approaching ? "A" : "R")
            .replace("{dirWords}", approaching ? "Zufahrt" : "Wegfahrt")
            .replace("{length.}", QString::number(length, 'f', 1))
            .replace("{length,}", QString::number(length, 'f', 1).replace('.', ','));
        for (const char* format : {"dd.MM.yyyy", "dd.MM.yy", "yyyy-MM-dd", "MM/dd/yyyy", "HH:mm:ss"})
            line.replace('{' + QLatin1String(format) + '}', time.toString(QLatin1String(format)));
        text += line + QString::fromLatin1(lineEnd);
    }
    QByteArray bytes;
    if (encoding == QLatin1String("UTF-16LE"))
        bytes = QByteArray("\xFF\xFE") + QStringEncoder(QStringConverter::Utf16LE).encode(text);
    else if (encoding == QLatin1String("Windows-1252"))
        bytes = text.toLatin1();
    else
        bytes = (encoding.contains("order mark") ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + text.toUtf8();

    const logs::ReadLog log =
        logs::readLog(bytes, layout, QStringLiteral("test.log"), {QStringLiteral("KPH")});
    QCOMPARE(log.encoding, encoding);
    QCOMPARE(log.refused, 0);
    QStringList vehicleTexts;
    for (const logs::LoggedVehicle& vehicle : log.vehicles)
        vehicleTexts << vehicleText(vehicle);
    QCOMPARE(vehicleTexts, expected);

    // The guess finds the times and the speeds alike.
    const logs::ReadLog guessed = read(bytes, logs::guessLayout(bytes));
    QCOMPARE(guessed.vehicles.size(), log.vehicles.size());
    for (size_t i = 0; i < log.vehicles.size(); ++i)
        QCOMPARE(guessed.vehicles[i].time.toString(Qt::ISODate).left(19) +
                     QString::number(guessed.vehicles[i].speed),
                 log.vehicles[i].time.toString(Qt::ISODate).left(19) +
                     QString::number(log.vehicles[i].speed));
    QCOMPARE(logs::firstRows(bytes, layout, 3).size(), size_t(3));

    // Stored, every layout gives the same survey.
    logs::LogSurvey survey = logs::logSurvey(log);
    QCOMPARE(survey.startTime(), expected.front().mid(11, 5));
    test::TempProgramFolder folder;
    test::ImportMessages report;
    report.answer = true;
    const import::SurveyHeader header{
        "050326-A", "",    "Log Street", survey.startDate(), survey.startTime(), "030", "",
        "",         "KPH", "North",      "Residential"};
    const import::DownloadVehicles vehicles(std::move(survey.vehicles));
    QCOMPARE(
        import::importVehicles(folder.database(), header, vehicles, {layout.speedUnit, layout.name}, report)
            .outcome,
        import::ImportResult::Outcome::Imported);
    const QStringList stored =
        test::rowTexts(folder.databasePath(), "select * from Veh_Data order by rowid") +
        test::rowTexts(folder.databasePath(), "select * from Summary");
    static QStringList first;
    if (first.isEmpty())
        first = stored;
    QCOMPARE(stored, first);

    // On an agency server the vehicles are stored alike.
    test::PgTestServer& server = test::testServer();
    static const QString kTemplate = QStringLiteral("logs_template");
    static const QString setUp = server.setUpTemplate(kTemplate, QStringLiteral("SELECT 1"));
    QCOMPARE(setUp, QString());
    const QString database = server.createDatabase(kTemplate);
    QVERIFY2(!database.isEmpty(), qPrintable(server.error()));
    test::ImportMessages serverReport;
    serverReport.answer = true;
    QCOMPARE(import::importVehicles(db::Database::ofServer(server.connectionString(database)), header,
                                    vehicles, {layout.speedUnit, layout.name}, serverReport)
                 .outcome,
             import::ImportResult::Outcome::Imported);
    const QString columns = QStringLiteral("\"Offset\", \"Veh_Direction\", \"Speed\"");
    QCOMPARE(server.query("select " + columns +
                              " from \"Veh_Data\" order by \"Offset\", \"Veh_Direction\", \"Speed\"",
                          database),
             test::rowTexts(folder.databasePath(),
                            "select " + columns + " from Veh_Data order by Offset, Veh_Direction, Speed")
                 .join('\n'));
    server.dropDatabase(database);
}

void TstLogReading::guessedUnit_data()
{
    QTest::addColumn<QString>("dateFormat");
    QTest::addColumn<int>("speed"); // of every vehicle
    QTest::addColumn<QString>("unit");
    row("ISO, 45", QStringLiteral("yyyy-MM-ddTHH:mm:ss"), 45, QString());
    row("ISO, 46", QStringLiteral("yyyy-MM-ddTHH:mm:ss"), 46, QStringLiteral("KPH"));
    row("month first, 60", QStringLiteral("MM/dd/yyyy HH:mm:ss"), 60, QString());
    row("dotted, 25", QStringLiteral("dd.MM.yy HH:mm:ss"), 25, QStringLiteral("KPH"));
}

void TstLogReading::guessedUnit()
{
    QFETCH(QString, dateFormat);
    QFETCH(int, speed);
    QFETCH(QString, unit);
    QByteArray bytes;
    const QDateTime start(QDate(2026, 5, 3), QTime(8, 0));
    for (int i = 0; i < 60; ++i)
        bytes += (start.addSecs(40 * i).toString(dateFormat) + ',' + QString::number(speed) + '\n').toUtf8();
    QCOMPARE(logs::guessLayout(bytes).speedUnit, unit);
}

void TstLogReading::whatIsTold_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("told"); // in the error, or else in the findings
    QTest::addColumn<int>("findings"); // their count, when read
    const QByteArray good = "2026-05-03T08:00:00,30,+\n";
    row("empty file", QByteArray(), "The file test.log is empty.", 0);
    row("no vehicle", QByteArray("\r\n  \r\n\t\r\n"), "The file test.log holds no vehicle", 0);
    row("layout not fitting", QByteArray("24.10.16 08:37:29;00;032;01;0\r\n").repeated(3),
        "does not fit test.log: every one of its 3 lines is refused, the first (line 1): column 2 (speed) "
        "is missing",
        0);
    row("cancelled", good.repeated(70000), "The reading of test.log was cancelled.", 0);
    row("70,000 lines", good.repeated(70000), "(UTF-8): 70,000, from", 1);
    row("a missing column", good + "2026-05-03T08:00:10\n",
        "Line 2 refused: column 2 (speed) is missing: the line has 1 columns.", 2);
    row("5,000 bad lines", good + QByteArray("2026-05-03T08:00:10,fast,+\n").repeated(5000),
        "Lines refused: 5,000; the first at lines 2, 3, 4, 5, 6, 7, 8, 9, 10, 11; line 2: column 2 (speed): "
        "\"fast\" is no number.",
        2);
    row("decimal speeds round half up",
        QByteArray("2026-05-03T08:00:00,30.5,+\n2026-05-03T08:00:01,30.49,-\n"), "(UTF-8): 2, from", 1);
    row("a line out of time order", good + "2026-05-03T08:05:00,31,+\n2026-05-03T08:01:00,32,-\n",
        "Lines before an earlier time: 1; the vehicles are taken in time order.", 2);
    row("a vehicle seen twice", good + "2026-05-03T08:00:00,30,-\n2026-05-03T08:00:00,30,-\n",
        "maybe one vehicle seen twice: 1.", 2);
    row("a gap", good + "2026-05-03T08:20:00,30,+\n",
        "No vehicle from 2026-05-03 08:00:00 to 2026-05-03 08:20:00 (20 minutes).", 2);
    QByteArray gaps = good;
    for (int hour = 9; hour < 15; ++hour)
        gaps += QStringLiteral("2026-05-03T%1:00:00,30,+\n").arg(hour, 2, 10, QLatin1Char('0')).toUtf8();
    row("many gaps", gaps,
        "No vehicle for more than 15 minutes: 6 times; the longest from 2026-05-03 08:00:00 to 2026-05-03 "
        "09:00:00 (60 minutes).",
        2);
    row("daylight saving ends, offsets given",
        QByteArray(
            "2026-10-25T02:59:00+02:00,30,+\n2026-10-25T02:01:00+01:00,30,+\n2026-10-25T01:05:00Z,30,+\n"),
        "Line 2: the clock changes from 2026-10-25 02:59:00+02:00 to 2026-10-25 02:01:00+01:00.", 3);
    row("daylight saving ends, no offsets",
        QByteArray("2026-10-25 02:59:00,30,+\n2026-10-25 02:01:00,30,+\n"),
        "Line 2: the clock changes from 2026-10-25 02:59:00 to 2026-10-25 02:01:00.", 3);
}

void TstLogReading::whatIsTold()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, told);
    QFETCH(int, findings);
    const QByteArray tag = QTest::currentDataTag();
    // The progress, told on the way through a long file and at its end;
    // "cancelled" stops at the first look.
    logs::ReadOptions options;
    QList<qint64> done;
    options.progress = [&](qint64 bytesDone, qint64 total) {
        QCOMPARE(total, bytes.size());
        done << bytesDone;
    };
    options.cancelled = [&] {
        return tag == "cancelled" && !done.isEmpty();
    };
    try {
        const logs::ReadLog log = logs::readLog(bytes, shipped("ISO"), QStringLiteral("test.log"), options);
        const QStringList lines = log.findings(QStringLiteral("test.log"));
        QVERIFY2(lines.join('\n').contains(told), qPrintable(lines.join('\n')));
        QCOMPARE(lines.size(), findings);
        QCOMPARE(log.refused + qint64(log.vehicles.size()), log.lines);
        QVERIFY(std::is_sorted(log.vehicles.begin(), log.vehicles.end(),
                               [](const auto& a, const auto& b) { return a.time < b.time; }));
        QVERIFY(std::is_sorted(done.begin(), done.end()) && done.endsWith(bytes.size()));
        if (tag.startsWith("decimal"))
            QCOMPARE((QList<qint64>{log.vehicles[0].speed, log.vehicles[1].speed}), (QList<qint64>{31, 30}));
    } catch (const logs::LogError& error) {
        QVERIFY2(error.message().contains(told), qPrintable(error.message()));
        QCOMPARE(findings, 0);
    }
}

void TstLogReading::layoutFiles_data()
{
    QTest::addColumn<QString>("broken"); // a file beside the agency's layout
    QTest::addColumn<QString>("error");  // what is told of it
    const QString base = shipped("Semicolon").toText();
    row("unknown key", base + "colour = red\n", "line 18: unknown key \"colour\"");
    row("no key and value", "# a comment\nname = x\nsemicolon\n",
        "line 3: \"semicolon\" is no \"key = value\"");
    row("column no number", QString(base).replace("speed column = 3", "speed column = third"),
        "line 11: speed column must be a column number (0 for none), not \"third\"");
    row("column below 0", "name = x\nspeed column = -1\n",
        "line 2: speed column must be a column number (0 for none), not \"-1\"");
    row("unknown separator", QString(base).replace("= semicolon", "= pipe"),
        "line 4: separator must be comma, semicolon, tab or blanks, not \"pipe\"");
    row("unknown direction", QString(base).replace("0 = approaching", "0 = north"),
        "line 14: direction value 0 must be approaching, receding or unknown, not \"north\"");
    row("no name", QString(base).replace(QRegularExpression("name = [^\n]*"), "name ="),
        "the layout has no name (\"name = ...\")");
}

void TstLogReading::layoutFiles()
{
    QFETCH(QString, broken);
    QFETCH(QString, error);
    // Every shipped layout reads back from its text as itself.
    for (const LogLayout& layout : logs::shippedLayouts())
        QVERIFY2(LogLayout::fromText(layout.toText()) == layout, qPrintable(layout.name));

    QTemporaryDir folder;
    const logs::LayoutFolders folders{folder.filePath("agency"), folder.filePath("user")};
    QVERIFY(QDir().mkpath(folders.agency));
    // The agency's layout hides the shipped one of its name; a broken file
    // is told, naming it and what is wrong; the user's own is saved and
    // found.
    LogLayout agency = shipped("Semicolon");
    agency.speedUnit = QStringLiteral("MPH");
    QVERIFY(test::writeFile(folders.agency + "/counter.layout", agency.toText().toUtf8()));
    QVERIFY(test::writeFile(folders.agency + "/broken.layout", broken.toUtf8()));
    LogLayout own = shipped("ISO");
    own.name = QStringLiteral("Our loggers: ISO/CSV");
    logs::saveLayout(folders, own);
    QStringList unread;
    QCOMPARE(logs::knownLayouts(folders, &unread).size(), size_t(3));
    QCOMPARE(unread.size(), 1);
    QVERIFY2(unread.front().contains("broken.layout cannot be read: ") && unread.front().endsWith(error),
             qPrintable(unread.front()));
    QVERIFY(*logs::findLayout(folders, agency.name) == agency);
    QVERIFY(*logs::findLayout(folders, own.name) == own);
    QCOMPARE(logs::findLayout(folders, own.name)->origin,
             QDir::toNativeSeparators(folders.user + "/Our loggers_ ISO_CSV.layout"));

    // A folder that takes no file: the save fails, naming the file, and the
    // layout saved before stays whole.
    test::ReadOnlyFolder readOnly(folders.user);
    if (!readOnly.isReadOnly())
        QSKIP("The folder could not be made read-only.");
    own.device = QStringLiteral("changed");
    try {
        logs::saveLayout(folders, own);
        QFAIL("saved into a read-only folder");
    } catch (const logs::LayoutError& thrown) {
        QVERIFY2(thrown.message().contains("Our loggers_ ISO_CSV.layout"), qPrintable(thrown.message()));
    }
    QCOMPARE(logs::findLayout(folders, own.name)->device, shipped("ISO").device);
}

QTEST_GUILESS_MAIN(TstLogReading)
#include "tst_logreading.moc"
