#include "loggen/LogGenerator.h"
#include "signsim/PacingSchedule.h"
#include "signsim/PtyPair.h"
#include "signsim/UniqueFd.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace pelmor::loggen;
using namespace pelmor::signsim;

Q_DECLARE_METATYPE(LogHeader)
Q_DECLARE_METATYPE(PacingOptions)

namespace {

std::vector<Vehicle> sampleVehicles(int count)
{
    std::vector<Vehicle> vehicles;
    const char directions[] = {'+', '-', '?'};
    // Offsets and speeds of every length from one digit up.
    for (int i = 0; i < count; ++i)
        vehicles.push_back({qint64(i) * i * 997, directions[i % 3], 5 + (i * 7) % 110});
    return vehicles;
}

// Everything after the "DATA:" line.
QByteArray dataBlock(const QByteArray& log)
{
    const qsizetype at = log.indexOf("\r\n*\r\nDATA:\r\n");
    return at < 0 ? QByteArray() : log.mid(at + 12);
}

std::vector<Vehicle> parseRecords(QByteArray text)
{
    text.replace("\r\n", "");
    const QList<QByteArray> fields = text.split(',');
    std::vector<Vehicle> vehicles;
    for (qsizetype i = 0; i + 2 < fields.size(); i += 3)
        vehicles.push_back({fields[i].toLongLong(), fields[i + 1].at(0), fields[i + 2].toInt()});
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

// A generated log followed by every byte value, to show nothing is translated.
QByteArray transferPayload(qint64 vehicles)
{
    SurveyProfile profile;
    profile.exactCount = vehicles;
    QByteArray payload = writeLog(profile.header, generateVehicles(profile));
    for (int b = 0; b < 256; ++b)
        payload.append(char(b));
    return payload;
}

} // namespace

class TstSignTools : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void headerFields_data()
    {
        QTest::addColumn<LogHeader>("header");
        QTest::addColumn<QStringList>("expected"); // code, month, day, year, hour, minute,
                                                   // limit, cutoff, alarm, unit
        LogHeader plain;
        plain.startDate = QDate(2026, 5, 3);
        QTest::newRow("defaults") << plain << QStringList{"00415", "05",  "03",  "26",  "08",
                                                          "00",    "035", "080", "045", "MPH"};
        LogHeader metric{"98765", QDate(1999, 12, 31), 23, 59, "050", "150", "070", "KPH"};
        QTest::newRow("kph, year end")
            << metric << QStringList{"98765", "12", "31", "99", "23", "59", "050", "150", "070", "KPH"};
        LogHeader shortFields{"7", QDate(2000, 1, 9), 0, 5, "5", "99", "", "MPH"};
        QTest::newRow("short fields padded")
            << shortFields << QStringList{"00007", "01", "09", "00", "00", "05", "005", "099", "000", "MPH"};
        LogHeader hostile{"1*3,5", QDate(), 7, 30, "+35", "8-0", "4?5", "MPH"};
        QTest::newRow("data characters replaced, no date")
            << hostile << QStringList{"10305", "00", "00", "00", "07", "30", "035", "800", "405", "MPH"};
    }
    void headerFields()
    {
        QFETCH(LogHeader, header);
        QFETCH(QStringList, expected);
        const QByteArray log = writeLog(header, sampleVehicles(3));
        // 1-based first character and width of each field.
        const int positions[][2] = {{11, 5}, {30, 2}, {34, 2},  {38, 2}, {54, 2},
                                    {58, 2}, {78, 3}, {111, 3}, {128, 3}};
        for (int i = 0; i < 9; ++i)
            QCOMPARE(QString::fromLatin1(log.mid(positions[i][0] - 1, positions[i][1])), expected[i]);
        QVERIFY(log.contains("\r\nSpeed Units: " + expected[9].toLatin1() + "\r\n"));

        // After the fixed fields, nothing up to the "*" line looks like data.
        const qsizetype star = log.indexOf("\r\n*\r\nDATA:\r\n");
        QVERIFY(star > 0);
        for (const char c : log.mid(132, star - 132))
            QVERIFY2(!QByteArray("*+-?,").contains(c), log.mid(132, star - 132).constData());
        QByteArray joined = log;
        joined.replace("\r\n", "");
        QVERIFY(joined.contains("*DATA:0,+,5,"));
    }

    void dataLines_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("perLine");
        QTest::addColumn<bool>("terminator");
        QTest::newRow("no vehicles") << 0 << 8 << true;
        QTest::newRow("one vehicle") << 1 << 8 << true;
        QTest::newRow("full lines") << 16 << 8 << true;
        QTest::newRow("partial last line") << 17 << 8 << true;
        QTest::newRow("one per line") << 5 << 1 << true;
        QTest::newRow("zero per line counts as one") << 4 << 0 << true;
        QTest::newRow("without terminator") << 19 << 6 << false;
    }
    void dataLines()
    {
        QFETCH(int, count);
        QFETCH(int, perLine);
        QFETCH(bool, terminator);
        const std::vector<Vehicle> vehicles = sampleVehicles(count);
        const QByteArray log = writeLog(LogHeader{}, vehicles, {perLine, terminator});

        QVERIFY(std::all_of(log.begin(), log.end(), [](char c) { return uchar(c) < 0x80; }));
        QVERIFY(log.endsWith("\r\n"));
        QCOMPARE(log.count('\r'), log.count("\r\n"));
        QCOMPARE(log.count('\n'), log.count("\r\n"));

        QByteArray data = dataBlock(log);
        QCOMPARE(data.endsWith("\r\n++++++++++++\r\n") || data == "++++++++++++\r\n", terminator);
        if (terminator)
            data.chop(14);
        QList<QByteArray> lines = data.split('\n');
        QCOMPARE(lines.takeLast(), QByteArray());
        const int records = std::max(1, perLine);
        QCOMPARE(lines.size(), (count + records - 1) / records);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const int onLine = i + 1 < lines.size() ? records : count - int(i) * records;
            QCOMPARE(lines[i].count(','), onLine * 3);
        }
        QCOMPARE(parseRecords(data), vehicles);
    }

    void generationIsRepeatable_data()
    {
        QTest::addColumn<qint64>("exactCount");
        QTest::newRow("poisson") << qint64(0);
        QTest::newRow("exact") << qint64(3000);
    }
    void generationIsRepeatable()
    {
        QFETCH(qint64, exactCount);
        SurveyProfile profile;
        profile.durationSeconds = 2 * 86400;
        profile.exactCount = exactCount;
        const std::vector<Vehicle> first = generateVehicles(profile);
        QVERIFY(first.size() > 1000);
        QCOMPARE(generateVehicles(profile), first);
        profile.seed = 2;
        QVERIFY(generateVehicles(profile) != first);
    }

    void offsetsInOrder_data()
    {
        QTest::addColumn<int>("startHour");
        QTest::addColumn<int>("startMinute");
        QTest::addColumn<qint64>("duration");
        QTest::addColumn<qint64>("exactCount");
        QTest::newRow("day from 08:00") << 8 << 0 << qint64(86400) << qint64(0);
        QTest::newRow("odd length over midnight") << 23 << 47 << qint64(5 * 3600 + 17) << qint64(0);
        QTest::newRow("exact count") << 7 << 0 << qint64(2 * 86400) << qint64(4321);
        QTest::newRow("exact count, short survey") << 3 << 10 << qint64(90) << qint64(500);
        QTest::newRow("empty survey") << 8 << 0 << qint64(0) << qint64(10);
    }
    void offsetsInOrder()
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
    }

    void hourlyVolumes_data()
    {
        QTest::addColumn<qint64>("exactCount");
        QTest::newRow("poisson") << qint64(0);
        QTest::newRow("exact") << qint64(28 * 1500);
    }
    void hourlyVolumes()
    {
        QFETCH(qint64, exactCount);
        SurveyProfile profile;
        profile.durationSeconds = 28 * 86400;
        profile.exactCount = exactCount;
        std::array<double, 24> counted{};
        for (const Vehicle& vehicle : generateVehicles(profile))
            counted[size_t((8 * 3600 + vehicle.offset) / 3600 % 24)] += 1.0;
        double total = 0.0;
        for (double v : profile.hourlyVolume)
            total += v;
        const double scale = exactCount > 0 ? double(exactCount) / total : 28.0;
        for (size_t hour = 0; hour < 24; ++hour) {
            const double expected = profile.hourlyVolume[hour] * scale;
            // Five standard deviations of a Poisson count, plus a little.
            QVERIFY2(std::abs(counted[hour] - expected) < 5.0 * std::sqrt(expected) + 5.0,
                     qPrintable(QStringLiteral("hour %1: %2 vehicles, expected %3")
                                    .arg(hour)
                                    .arg(counted[hour])
                                    .arg(expected)));
        }
        QVERIFY(counted[17] > 10.0 * counted[3]);
    }

    void speeds_data()
    {
        QTest::addColumn<double>("mean");
        QTest::addColumn<double>("sd");
        QTest::addColumn<int>("minSpeed");
        QTest::addColumn<int>("maxSpeed");
        QTest::newRow("residential") << 38.0 << 6.0 << 5 << 120;
        QTest::newRow("highway kph") << 105.0 << 12.0 << 8 << 190;
        QTest::newRow("narrow clamp") << 31.0 << 8.0 << 30 << 32;
        QTest::newRow("no spread") << 40.0 << 0.0 << 5 << 120;
    }
    void speeds()
    {
        QFETCH(double, mean);
        QFETCH(double, sd);
        QFETCH(int, minSpeed);
        QFETCH(int, maxSpeed);
        SurveyProfile profile;
        profile.meanSpeed = mean;
        profile.speedSd = sd;
        profile.minSpeed = minSpeed;
        profile.maxSpeed = maxSpeed;
        profile.exactCount = 20000;
        const std::vector<Vehicle> vehicles = generateVehicles(profile);
        double sum = 0.0;
        double squares = 0.0;
        int atMin = 0;
        int atMax = 0;
        for (const Vehicle& vehicle : vehicles) {
            QVERIFY(vehicle.speed >= minSpeed && vehicle.speed <= maxSpeed);
            sum += vehicle.speed;
            squares += double(vehicle.speed) * vehicle.speed;
            atMin += vehicle.speed == minSpeed;
            atMax += vehicle.speed == maxSpeed;
        }
        const double n = double(vehicles.size());
        const double observedSd = std::sqrt(std::max(0.0, squares / n - (sum / n) * (sum / n)));
        if (maxSpeed - minSpeed > 6.0 * sd) {
            QVERIFY(std::abs(sum / n - mean) < 0.1 * sd + 0.3);
            QVERIFY(observedSd >= sd && observedSd < 1.3 * sd + 0.1);
        } else {
            QVERIFY(atMin > 0 && atMax > 0);
        }
    }

    void directionShares_data()
    {
        QTest::addColumn<double>("approach");
        QTest::addColumn<double>("recede");
        QTest::newRow("default") << 0.48 << 0.48;
        QTest::newRow("mostly approaching") << 0.7 << 0.2;
        QTest::newRow("approaching only") << 1.0 << 0.0;
        QTest::newRow("unknown only") << 0.0 << 0.0;
    }
    void directionShares()
    {
        QFETCH(double, approach);
        QFETCH(double, recede);
        SurveyProfile profile;
        profile.approachShare = approach;
        profile.recedeShare = recede;
        profile.exactCount = 20000;
        double approaching = 0.0;
        double receding = 0.0;
        double unknown = 0.0;
        for (const Vehicle& vehicle : generateVehicles(profile)) {
            QVERIFY(vehicle.direction == '+' || vehicle.direction == '-' || vehicle.direction == '?');
            approaching += vehicle.direction == '+' ? 1.0 / 20000 : 0.0;
            receding += vehicle.direction == '-' ? 1.0 / 20000 : 0.0;
            unknown += vehicle.direction == '?' ? 1.0 / 20000 : 0.0;
        }
        QVERIFY(std::abs(approaching - approach) < 0.015);
        QVERIFY(std::abs(receding - recede) < 0.015);
        QVERIFY(std::abs(unknown - (1.0 - approach - recede)) < 0.015);
    }

    void pacing_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<PacingOptions>("options");
        QTest::newRow("sign at 9600") << qint64(20000) << PacingOptions{};
        QTest::newRow("shorter than a burst") << qint64(10) << PacingOptions{};
        QTest::newRow("nothing") << qint64(0) << PacingOptions{};
        QTest::newRow("fixed bursts at 1200") << qint64(1000) << PacingOptions{1200, 100, 100, 7};
        QTest::newRow("fast") << qint64(10000) << PacingOptions{0, 4096, 4096, 1};
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
            if (i + 1 < schedule.size())
                QVERIFY(burst.length >= options.minBurst);
            // The line carries 9600 / 10 bytes a second at 9600 baud 8N1.
            const double seconds = double(burst.offset) * 10.0 / std::max(1, options.baud);
            QVERIFY(std::abs(burst.startMicros - (options.baud > 0 ? seconds * 1e6 : 0.0)) <= 1.0);
            next += burst.length;
        }
        QCOMPARE(next, bytes);
        if (bytes > 1000 && options.minBurst < options.maxBurst) {
            QVERIFY(std::adjacent_find(schedule.begin(), schedule.end(), [](const Burst& a, const Burst& b) {
                        return a.length != b.length;
                    }) != schedule.end());
        }
    }

    // The simulator sends through a pseudo-terminal the test opened; the
    // master side must receive exactly the file, at no more than line speed.
    void simulatorThroughDevice_data()
    {
        QTest::addColumn<int>("baud"); // 0: --fast
        QTest::addColumn<qint64>("vehicles");
        QTest::newRow("fast") << 0 << qint64(5000);
        // About 6 kB at 2,880 bytes a second.
        QTest::newRow("paced") << 28800 << qint64(400);
    }
    void simulatorThroughDevice()
    {
        QFETCH(int, baud);
        QFETCH(qint64, vehicles);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray payload = transferPayload(vehicles);
        QFile file(dir.filePath("survey.rsx"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(payload) == payload.size());
        file.close();

        QString error;
        const std::optional<PtyPair> pty = PtyPair::open(&error);
        QVERIFY2(pty, qPrintable(error));

        QProcess simulator;
        QElapsedTimer timer;
        timer.start();
        const QStringList pace =
            baud > 0 ? QStringList{"--baud", QString::number(baud)} : QStringList{"--fast"};
        simulator.start(PELMOR_SIGNSIM_EXE,
                        QStringList{file.fileName(), "--device", pty->slavePath()} + pace);
        QVERIFY(simulator.waitForStarted());
        const QByteArray received = readBytes(pty->master(), payload.size(), 30000);
        const qint64 elapsed = timer.elapsed();
        QVERIFY(simulator.waitForFinished(30000));
        QCOMPARE(simulator.exitCode(), 0);
        QCOMPARE(received.size(), payload.size());
        QVERIFY(received == payload);
        // The last burst (512 bytes at most) cannot leave before the line
        // has carried everything in front of it.
        const qint64 minimumMs = lineTimeMicros(payload.size() - 512, baud) / 1000;
        QVERIFY2(elapsed >= minimumMs, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
    }

    void simulatorOwnPty()
    {
        const QByteArray payload = transferPayload(2000);
        QProcess simulator;
        simulator.start(PELMOR_SIGNSIM_EXE,
                        QStringList{"-", "--pty", "--fast", "--delay", "0.3", "--hold", "5"});
        QVERIFY(simulator.waitForStarted());
        simulator.write(payload);
        QVERIFY(simulator.waitForBytesWritten(10000));
        simulator.closeWriteChannel();
        QVERIFY(simulator.waitForReadyRead(10000));
        const QString firstLine = QString::fromLocal8Bit(simulator.readLine()).trimmed();
        const QString path = firstLine.section(QLatin1Char(' '), -1);
        QVERIFY2(path.startsWith("/dev/"), qPrintable(firstLine));

        UniqueFd device(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC));
        QVERIFY(device.isValid());
        QVERIFY(readBytes(device.get(), payload.size(), 30000) == payload);
        simulator.kill();
        simulator.waitForFinished();
    }

    // The command writes what the library writes for the same settings.
    void loggenCommand()
    {
        QProcess loggen;
        loggen.start(PELMOR_LOGGEN_EXE,
                     {"--start-date", "12/24/2025", "--start-time", "16:45", "--days", "1.5", "--limit", "30",
                      "--unit", "kph", "--location", "123", "--seed", "9", "--per-line", "5", "--rsx"});
        QVERIFY(loggen.waitForFinished(30000));
        QCOMPARE(loggen.exitCode(), 0);

        LogHeader header{"00123", QDate(2025, 12, 24), 16, 45, "030", "080", "045", "KPH"};
        SurveyProfile profile = profileForHeader(header);
        profile.durationSeconds = 36 * 3600;
        profile.seed = 9;
        QVERIFY(loggen.readAllStandardOutput() ==
                writeLog(header, generateVehicles(profile), {5, true}) + "\r\n");
    }

    void loggenRejects_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("mentioned");
        QTest::newRow("bad date") << QStringList{"--start-date", "13/01/2026"} << "start-date";
        QTest::newRow("two-digit year") << QStringList{"--start-date", "05/03/26"} << "start-date";
        QTest::newRow("year out of range") << QStringList{"--start-date", "05/03/2031"} << "start-date";
        QTest::newRow("bad time") << QStringList{"--start-time", "24:00"} << "start-time";
        QTest::newRow("long limit") << QStringList{"--limit", "0350"} << "limit";
        QTest::newRow("letters in limit") << QStringList{"--limit", "3a"} << "limit";
        QTest::newRow("bad unit") << QStringList{"--unit", "MPS"} << "unit";
        QTest::newRow("both lengths")
            << QStringList{"--days", "1", "--duration-hours", "3"} << "duration-hours";
        QTest::newRow("zero days") << QStringList{"--days", "0"} << "days";
        QTest::newRow("zero per line") << QStringList{"--per-line", "0"} << "per-line";
        QTest::newRow("negative count") << QStringList{"--vehicles", "-4"} << "vehicles";
        QTest::newRow("unknown option") << QStringList{"--speed", "4"} << "speed";
    }
    void loggenRejects()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, mentioned);
        QProcess loggen;
        loggen.start(PELMOR_LOGGEN_EXE, arguments);
        QVERIFY(loggen.waitForFinished(30000));
        QVERIFY(loggen.exitCode() != 0);
        QVERIFY(loggen.readAllStandardOutput().isEmpty());
        QVERIFY(QString::fromLocal8Bit(loggen.readAllStandardError()).contains(mentioned));
    }
};

QTEST_GUILESS_MAIN(TstSignTools)
#include "tst_signtools.moc"
