// pelmor-signsim: plays a sign log into a serial device the way the radar
// speed sign sends it when its download key (7) is pressed, at the pace of
// the serial line, so the program's download can be tried without a sign.

#include "signsim/EnterKey.h"
#include "signsim/FdWriter.h"
#include "signsim/PacingSchedule.h"
#include "signsim/PtyPair.h"
#include "signsim/TransferProgress.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSerialPort>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <thread>

using namespace pelmor::signsim;

namespace {

using Clock = std::chrono::steady_clock;
using WriteFunction = std::function<bool(const char*, qint64, QString*)>;

// Bytes handed over at once with --fast.
constexpr int kFastChunk = 4096;
// How long a serial device may refuse data before the transfer is given up.
constexpr int kStallTimeoutMs = 30000;

void printError(const QString& message)
{
    std::fprintf(stderr, "pelmor-signsim: %s\n", qPrintable(message));
}

void printLine(const QString& message)
{
    std::fprintf(stdout, "%s\n", qPrintable(message));
    std::fflush(stdout);
}

bool readLog(const QString& path, QByteArray* log)
{
    QFile file;
    bool opened = false;
    if (path == QLatin1String("-")) {
        opened = file.open(stdin, QIODevice::ReadOnly);
    } else {
        file.setFileName(path);
        opened = file.open(QIODevice::ReadOnly);
    }
    if (!opened) {
        printError(QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
        return false;
    }
    *log = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        printError(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

// Sends the log burst by burst, each at its time in the schedule, then waits
// until the line would have carried the last byte.
bool sendLog(const QByteArray& log, const PacingOptions& pacing, const WriteFunction& write)
{
    const std::vector<Burst> schedule = pacingSchedule(log.size(), pacing);
    TransferProgress progress(log.size());
    progress.update(0);
    const Clock::time_point start = Clock::now();
    for (const Burst& burst : schedule) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(burst.startMicros));
        QString error;
        if (!write(log.constData() + burst.offset, burst.length, &error)) {
            progress.interrupt();
            printError(error);
            return false;
        }
        progress.update(burst.offset + burst.length);
    }
    std::this_thread::sleep_until(start + std::chrono::microseconds(lineTimeMicros(log.size(), pacing.baud)));
    return true;
}

bool sendToDevice(const QString& device, int baud, const QByteArray& log, const PacingOptions& pacing)
{
    QSerialPort port;
    port.setPortName(device);
    if (!port.open(QIODevice::WriteOnly)) {
        printError(QStringLiteral("cannot open %1: %2").arg(device, port.errorString()));
        return false;
    }
    if (!port.setBaudRate(baud) || !port.setDataBits(QSerialPort::Data8) ||
        !port.setParity(QSerialPort::NoParity) || !port.setStopBits(QSerialPort::OneStop) ||
        !port.setFlowControl(QSerialPort::NoFlowControl)) {
        printError(
            QStringLiteral("cannot set %1 to %2 baud 8N1: %3").arg(device).arg(baud).arg(port.errorString()));
        return false;
    }
    printLine(QStringLiteral("Sending %1 bytes to %2 at %3 baud.").arg(log.size()).arg(device).arg(baud));
    return sendLog(log, pacing, [&port](const char* data, qint64 size, QString* error) {
        if (port.write(data, size) != size) {
            *error = QStringLiteral("write failed: %1").arg(port.errorString());
            return false;
        }
        // Hand the burst to the driver before the pause, so the pause is
        // really a silence on the line.
        while (port.bytesToWrite() > 0) {
            if (!port.waitForBytesWritten(kStallTimeoutMs)) {
                *error =
                    port.error() == QSerialPort::TimeoutError
                        ? QStringLiteral("the device took no data for %1 seconds").arg(kStallTimeoutMs / 1000)
                        : QStringLiteral("write failed: %1").arg(port.errorString());
                return false;
            }
        }
        return true;
    });
}

void pause(const EnterKey& enter, double seconds)
{
    if (seconds >= 0.0)
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    else
        enter.wait();
}

bool sendThroughPty(const QByteArray& log, const PacingOptions& pacing, const EnterKey& enter, double delay,
                    double hold)
{
    QString error;
    const std::optional<PtyPair> pty = PtyPair::open(&error);
    if (!pty) {
        printError(QStringLiteral("cannot open a pseudo-terminal: %1").arg(error));
        return false;
    }
    // Our own slave descriptor stays open throughout, so the data already
    // written survives the program closing and opening the device again.
    printLine(QStringLiteral("Sign device: %1").arg(pty->slavePath()));
    if (delay >= 0.0)
        printLine(QStringLiteral("Select this device in the program; the log is sent in %1 s "
                                 "(as pressing 7 on the sign).")
                      .arg(delay));
    else
        printLine(QStringLiteral("Select this device in the program, then press Enter here to "
                                 "send the log (as pressing 7 on the sign)."));
    pause(enter, delay);

    const int master = pty->master();
    if (!sendLog(log, pacing, [master](const char* data, qint64 size, QString* error) {
            return writeAll(master, data, size, error);
        }))
        return false;

    if (hold >= 0.0)
        printLine(QStringLiteral("Log sent; the device stays open for %1 s.").arg(hold));
    else
        printLine(QStringLiteral("Log sent. Press Enter here to close the device."));
    pause(enter, hold);
    return true;
}

double secondsOption(const QCommandLineParser& parser, const QString& name, bool* ok)
{
    if (!parser.isSet(name))
        return -1.0;
    bool valid = false;
    const double value = parser.value(name).toDouble(&valid);
    if (!valid || !std::isfinite(value) || value < 0.0) {
        printError(QStringLiteral("--%1 \"%2\" must be a number of seconds, 0 or more")
                       .arg(name, parser.value(name)));
        *ok = false;
    }
    return value;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pelmor-signsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Sends a sign log into a serial device the way the radar speed sign does after\n"
                       "7 is pressed on its keypad: 8N1, no handshaking, at the pace of the line, in\n"
                       "bursts of 64-512 bytes.\n\n"
                       "Examples:\n"
                       "  pelmor-signsim survey.rsx --device /dev/ttyUSB0\n"
                       "  pelmor-loggen --days 2 | pelmor-signsim - --pty"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The log to send; - reads standard input."));
    parser.addOptions({
        {QStringLiteral("device"), QStringLiteral("Serial device to send through."),
         QStringLiteral("DEVICE")},
        {QStringLiteral("pty"),
         QStringLiteral("Open a pseudo-terminal and send through it; its device is printed.")},
        {QStringLiteral("baud"), QStringLiteral("Line rate (default: 9600)."), QStringLiteral("N"),
         QStringLiteral("9600")},
        {QStringLiteral("fast"), QStringLiteral("Send as fast as possible, without pauses.")},
        {QStringLiteral("delay"),
         QStringLiteral("Send after SECONDS instead of waiting for Enter (with --device: "
                        "wait this long before sending)."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("hold"),
         QStringLiteral("With --pty: keep the device open SECONDS after sending instead of "
                        "waiting for Enter."),
         QStringLiteral("SECONDS")},
    });
    parser.process(app);

    const QStringList files = parser.positionalArguments();
    const bool usePty = parser.isSet(QStringLiteral("pty"));
    const bool useDevice = parser.isSet(QStringLiteral("device"));
    if (files.size() != 1) {
        printError(QStringLiteral("give exactly one log FILE (or - for standard input)"));
        return 2;
    }
    if (usePty == useDevice) {
        printError(QStringLiteral("give either --device DEVICE or --pty"));
        return 2;
    }
    bool ok = true;
    const qint64 baud = parser.value(QStringLiteral("baud")).toLongLong(&ok);
    if (!ok || baud < 50 || baud > 4000000) {
        printError(QStringLiteral("--baud \"%1\" must be a line rate from 50 to 4000000")
                       .arg(parser.value(QStringLiteral("baud"))));
        return 2;
    }
    const double delay = secondsOption(parser, QStringLiteral("delay"), &ok);
    const double hold = secondsOption(parser, QStringLiteral("hold"), &ok);
    if (!ok)
        return 2;

    const bool logOnStdin = files.constFirst() == QLatin1String("-");
    const EnterKey enter(logOnStdin);
    if (usePty && (delay < 0.0 || hold < 0.0) && !enter.isAvailable()) {
        printError(QStringLiteral("the log comes on standard input and there is no terminal "
                                  "to press Enter on: give --delay and --hold"));
        return 2;
    }

    QByteArray log;
    if (!readLog(files.constFirst(), &log))
        return 1;

    PacingOptions pacing;
    pacing.baud = int(baud);
    if (parser.isSet(QStringLiteral("fast"))) {
        pacing.baud = 0;
        pacing.minBurst = pacing.maxBurst = kFastChunk;
    }

    if (usePty)
        return sendThroughPty(log, pacing, enter, delay, hold) ? 0 : 1;
    if (delay > 0.0)
        std::this_thread::sleep_for(std::chrono::duration<double>(delay));
    return sendToDevice(parser.value(QStringLiteral("device")), int(baud), log, pacing) ? 0 : 1;
}
