#include "TestSupport.h"
#include "loggen/LogGenerator.h"
#include "signsim/PacingSchedule.h"
#include "signsim/PtyPair.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <poll.h>
#include <unistd.h>

using namespace pelmor::loggen;
using pelmor::test::row;
using namespace pelmor::signsim;

Q_DECLARE_METATYPE(LogHeader)
Q_DECLARE_METATYPE(PacingOptions)

namespace {

// Offsets and speeds of every length from one digit up.
std::vector<Vehicle> sampleVehicles(int count)
{
    std::vector<Vehicle> vehicles;
    for (int i = 0; i < count; ++i)
        vehicles.push_back({qint64(i) * i * 997, "+-?"[i % 3], 5 + (i * 7) % 110});
    return vehicles;
}

// Reads from `fd` until `expected` bytes have come or `timeoutMs` has passed.
QByteArray readBytes(int fd, qsizetype expected, int timeoutMs)
{
    QByteArray received;
    QElapsedTimer timer;
    timer.start();
    char buffer[4096];
    while (received.size() < expected && !timer.hasExpired(timeoutMs)) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 50) <= 0)
            continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            received.append(buffer, n);
    }
    return received;
}

} // namespace

class TstSignTools : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void headerFields_data()
    {
        QTest::addColumn<LogHeader>("header");
        QTest::addColumn<QString>("expected"); // code|month|day|year|hour|minute|limit|cutoff|alarm
        row("kph, year end", LogHeader{"98765", QDate(1999, 12, 31), 23, 59, "050", "150", "070", "KPH"},
            "98765|12|31|99|23|59|050|150|070");
        row("short fields padded", LogHeader{"7", QDate(2000, 1, 9), 0, 5, "5", "99", "", "MPH"},
            "00007|01|09|00|00|05|005|099|000");
        row("data characters replaced, no date",
            LogHeader{"1*3,5", QDate(), 7, 30, "+35", "8-0", "4?5", "MPH"},
            "10305|00|00|00|07|30|035|800|405");
    }
    void headerFields()
    {
        QFETCH(LogHeader, header);
        QFETCH(QString, expected);
        const QByteArray log = writeLog(header, sampleVehicles(3));
        // 1-based first character and width of each field.
        const int positions[][2] = {{11, 5}, {30, 2}, {34, 2},  {38, 2}, {54, 2},
                                    {58, 2}, {78, 3}, {111, 3}, {128, 3}};
        QStringList fields;
        for (const auto& [first, width] : positions)
            fields << QString::fromLatin1(log.mid(first - 1, width));
        QCOMPARE(fields.join('|'), expected);
        QVERIFY(log.contains("\r\nSpeed Units: " + header.unit.toLatin1() + "\r\n"));
        // After the fixed fields, nothing up to the "*" line looks like data.
        const qsizetype star = log.indexOf("\r\n*\r\nDATA:\r\n0,+,5,");
        QVERIFY(star > 0);
        for (const char c : log.mid(132, star - 132))
            QVERIFY2(!QByteArray("*+-?,").contains(c), log.mid(132, star - 132).constData());
    }

    void dataLines_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("perLine");
        QTest::addColumn<bool>("terminator");
        row("no vehicles", 0, 8, true);
        row("partial last line", 17, 8, true);
        row("zero per line counts as one, no terminator", 4, 0, false);
    }
    void dataLines()
    {
        QFETCH(int, count);
        QFETCH(int, perLine);
        QFETCH(bool, terminator);
        const std::vector<Vehicle> vehicles = sampleVehicles(count);
        const QByteArray log = writeLog(LogHeader{}, vehicles, {perLine, terminator});
        // Every line ends in CR LF, and no CR or LF stands alone.
        QVERIFY(log.endsWith("\r\n"));
        QCOMPARE(log.count('\r'), log.count("\r\n"));
        QCOMPARE(log.count('\n'), log.count("\r\n"));

        QByteArray data = log.mid(log.indexOf("\r\n*\r\nDATA:\r\n") + 12);
        QCOMPARE(data.endsWith("\r\n++++++++++++\r\n") || data == "++++++++++++\r\n", terminator);
        if (terminator)
            data.chop(14);
        const int records = std::max(1, perLine);
        QByteArray expected;
        for (int i = 0; i < count; ++i) {
            const Vehicle& v = vehicles[size_t(i)];
            expected +=
                QByteArray::number(v.offset) + ',' + v.direction + ',' + QByteArray::number(v.speed) + ',';
            if ((i + 1) % records == 0 || i + 1 == count)
                expected += "\r\n";
        }
        QCOMPARE(data, expected);
    }

    void generation_data()
    {
        QTest::addColumn<int>("startHour");
        QTest::addColumn<int>("startMinute");
        QTest::addColumn<qint64>("duration");
        QTest::addColumn<qint64>("exactCount"); // 0: as the hourly profile gives them
        row("odd length over midnight", 23, 47, qint64(5 * 3600 + 17), qint64(0));
        row("exact count, short survey", 3, 10, qint64(90), qint64(500));
        row("empty survey", 8, 0, qint64(0), qint64(10));
    }
    void generation()
    {
        QFETCH(int, startHour);
        QFETCH(int, startMinute);
        QFETCH(qint64, duration);
        QFETCH(qint64, exactCount);
        SurveyProfile profile;
        profile.header.startHour = startHour;
        profile.header.startMinute = startMinute;
        profile.durationSeconds = duration;
        profile.exactCount = exactCount;
        const std::vector<Vehicle> vehicles = generateVehicles(profile);
        if (exactCount > 0)
            QCOMPARE(qint64(vehicles.size()), duration > 0 ? exactCount : 0);
        else
            QVERIFY(!vehicles.empty());
        QVERIFY(std::is_sorted(vehicles.begin(), vehicles.end(),
                               [](const Vehicle& a, const Vehicle& b) { return a.offset < b.offset; }));
        for (const Vehicle& vehicle : vehicles)
            QVERIFY(vehicle.offset >= 0 && vehicle.offset < duration);
        // The same seed gives the same survey, another seed another one.
        QCOMPARE(generateVehicles(profile), vehicles);
        profile.seed = 2;
        QCOMPARE(generateVehicles(profile) == vehicles, vehicles.empty());
    }

    void pacing_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<PacingOptions>("options");
        row("sign at 9600", qint64(20000), PacingOptions{});
        row("nothing", qint64(0), PacingOptions{});
        row("fast", qint64(10000), PacingOptions{0, 4096, 4096, 1});
    }
    void pacing()
    {
        QFETCH(qint64, bytes);
        QFETCH(PacingOptions, options);
        const std::vector<Burst> schedule = pacingSchedule(bytes, options);
        qint64 next = 0;
        for (size_t i = 0; i < schedule.size(); ++i) {
            const Burst& burst = schedule[i];
            QCOMPARE(burst.offset, next);
            QVERIFY(burst.length > 0 && burst.length <= options.maxBurst);
            QVERIFY(i + 1 == schedule.size() || burst.length >= options.minBurst);
            // The line carries 9600 / 10 bytes a second at 9600 baud 8N1.
            const double seconds = double(burst.offset) * 10.0 / std::max(1, options.baud);
            QVERIFY(std::abs(burst.startMicros - (options.baud > 0 ? seconds * 1e6 : 0.0)) <= 1.0);
            next += burst.length;
        }
        QCOMPARE(next, bytes);
    }

    // The simulator sends through a pseudo-terminal the test opened; the
    // master side must receive exactly the file, at no more than line speed.
    void simulatorThroughDevice()
    {
        QTemporaryDir dir;
        SurveyProfile profile;
        profile.exactCount = 400;
        QByteArray payload = writeLog(profile.header, generateVehicles(profile));
        for (int b = 0; b < 256; ++b)
            payload.append(char(b)); // nothing is translated on the way
        const QString file = dir.filePath("survey.rsx");
        QVERIFY(pelmor::test::writeFile(file, payload));
        QString error;
        const std::optional<PtyPair> pty = PtyPair::open(&error);
        QVERIFY2(pty, qPrintable(error));

        const int baud = 115200;
        QProcess simulator;
        QElapsedTimer timer;
        timer.start();
        simulator.start(PELMOR_SIGNSIM_EXE,
                        {file, "--device", pty->slavePath(), "--baud", QString::number(baud)});
        const QByteArray received = readBytes(pty->master(), payload.size(), 30000);
        const qint64 elapsed = timer.elapsed();
        QVERIFY(simulator.waitForFinished(30000));
        QCOMPARE(simulator.exitCode(), 0);
        QVERIFY(received == payload);
        // The last burst (512 bytes at most) cannot leave before the line
        // has carried everything in front of it.
        QVERIFY2(elapsed >= lineTimeMicros(payload.size() - 512, baud) / 1000,
                 qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
    }
};

QTEST_GUILESS_MAIN(TstSignTools)
#include "tst_signtools.moc"
