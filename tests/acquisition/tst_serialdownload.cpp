#include "acquisition/SerialDownload.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"
#include "signsim/FdWriter.h"
#include "signsim/PtyPair.h"

#include <QSignalSpy>
#include <QTest>

#include <optional>

using namespace pelmor;
using acquisition::PortChoice;
using acquisition::SerialDownload;

namespace {

QByteArray logOfSize(qsizetype bytes)
{
    loggen::LogHeader header;
    header.startDate = QDate(2026, 5, 3);
    loggen::SurveyProfile profile = loggen::profileForHeader(header);
    profile.durationSeconds = 14 * 24 * 3600;
    profile.exactCount = bytes / 10;
    QByteArray log = loggen::writeLog(header, loggen::generateVehicles(profile));
    return log.left(bytes);
}

} // namespace

class TstSerialDownload : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void downloadArrivesWhole();
    void closedPortLosesLaterCharacters();
    void unavailablePorts_data();
    void unavailablePorts();
    void reopenUsesThePortLastSet();
    void unpluggedPortKeepsTheData();

private:
    bool send(const QByteArray& bytes);

    std::optional<signsim::PtyPair> m_pty;
    QByteArray m_buffer;
    QList<int> m_requested;
};

void TstSerialDownload::init()
{
    QString error;
    m_pty = signsim::PtyPair::open(&error);
    QVERIFY2(m_pty, qPrintable(error));
    m_buffer.clear();
    m_requested.clear();
}

bool TstSerialDownload::send(const QByteArray& bytes)
{
    QString error;
    return signsim::writeAll(m_pty->master(), bytes.constData(), bytes.size(), &error, 0);
}

void TstSerialDownload::downloadArrivesWhole()
{
    const QByteArray log = logOfSize(300 * 1024);
    QCOMPARE(log.size(), 300 * 1024);
    SerialDownload serial(m_buffer, [this](int) { return m_pty->slavePath(); });
    QList<qsizetype> sizes;
    connect(&serial, &SerialDownload::blockReceived, this, [&] { sizes.append(m_buffer.size()); });
    QVERIFY2(serial.open(PortChoice{1, {}}), qPrintable(serial.errorString()));

    // The sign sends in bursts; each read takes what has arrived.
    qsizetype sent = 0;
    for (int burst = 0; sent < log.size(); ++burst) {
        const QByteArray chunk = log.mid(sent, 1000 + (burst * 397) % 3000);
        QVERIFY(send(chunk));
        sent += chunk.size();
        QTRY_COMPARE_WITH_TIMEOUT(m_buffer.size(), sent, 5000);
    }
    QCOMPARE(m_buffer, log);
    QVERIFY2(sizes.size() > 50, "a long download arrives in many reads");
    // One block per read, each read appended whole and none of them empty.
    qsizetype previous = 0;
    for (qsizetype size : sizes) {
        QVERIFY(size > previous);
        previous = size;
    }
    QCOMPARE(sizes.last(), log.size());
}

void TstSerialDownload::closedPortLosesLaterCharacters()
{
    SerialDownload serial(m_buffer, [this](int) { return m_pty->slavePath(); });
    QVERIFY(serial.open(PortChoice{1, {}}));
    QVERIFY(send("00415,+,31,"));
    QTRY_COMPARE(m_buffer.size(), 11);
    serial.close();
    QVERIFY(!serial.isOpen());
    QVERIFY(send("12,-,40,"));
    QTest::qWait(200);
    QCOMPARE(m_buffer, QByteArray("00415,+,31,"));
}

void TstSerialDownload::unavailablePorts_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("device");
    QTest::newRow("missing device") << 0 << "/dev/no-such-serial-port";
    QTest::newRow("port number without a device") << 2 << "";
    QTest::newRow("nothing chosen") << 0 << "";
    QTest::newRow("not a serial device") << 0 << "/dev/null";
}

void TstSerialDownload::unavailablePorts()
{
    QFETCH(int, number);
    QFETCH(QString, device);
    SerialDownload serial(m_buffer,
                          [](int n) { return n == 2 ? QStringLiteral("/dev/no-such-port-2") : QString(); });
    QVERIFY(!serial.open(PortChoice{number, device}));
    QVERIFY(!serial.isOpen());
    QVERIFY(!serial.errorString().isEmpty());
}

void TstSerialDownload::reopenUsesThePortLastSet()
{
    SerialDownload serial(m_buffer, [this](int n) {
        m_requested.append(n);
        return m_pty->slavePath();
    });
    QCOMPARE(serial.portLabel(), QStringLiteral("#1"));
    QVERIFY(serial.reopen()); // before any choice: port 1
    QVERIFY(serial.open(PortChoice{2, {}}));
    QVERIFY(serial.reopen());
    QCOMPARE(m_requested, (QList<int>{1, 2, 2}));
    QCOMPARE(serial.portLabel(), QStringLiteral("#2"));
    QVERIFY(serial.open(PortChoice{0, m_pty->slavePath()}));
    QCOMPARE(serial.portLabel(), m_pty->slavePath());
    QCOMPARE(m_requested.size(), 3);
    // Opening empties what was waiting on the line.
    serial.close();
    QVERIFY(send("stale"));
    QVERIFY(serial.reopen());
    QVERIFY(send("fresh"));
    QTRY_VERIFY(m_buffer.endsWith("fresh"));
    QVERIFY(!m_buffer.contains("stale"));
}

void TstSerialDownload::unpluggedPortKeepsTheData()
{
    SerialDownload serial(m_buffer, [this](int) { return m_pty->slavePath(); });
    QSignalSpy lost(&serial, &SerialDownload::portLost);
    QVERIFY(serial.open(PortChoice{1, {}}));
    QVERIFY(send("SITE CODE 00415\r\n"));
    QTRY_COMPARE(m_buffer.size(), 17);
    m_pty.reset(); // the device goes away
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 5000);
    QVERIFY(!serial.isOpen());
    QCOMPARE(m_buffer, QByteArray("SITE CODE 00415\r\n"));
}

QTEST_GUILESS_MAIN(TstSerialDownload)
#include "tst_serialdownload.moc"
