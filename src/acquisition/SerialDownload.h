#pragma once

#include "acquisition/SavedDownloads.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <functional>

namespace pelmor::acquisition {

// The serial port device of port number N: COMN on Windows, /dev/ttyS(N-1)
// elsewhere.
QString defaultPortDevice(int portNumber);

// What a user who may not open `device` is told: that this user lacks the
// right, and how to get it (membership of the group that owns the device,
// then a new login).
QString noRightToPortMessage(const QString& device);

// Maps a port number to a device name; tests point port 1 at a pseudo-terminal.
using PortResolver = std::function<QString(int portNumber)>;

// The port a download comes from: port 1 or 2, or a device named directly
// (a USB serial adapter, say), in which case number is 0.
struct PortChoice {
    int number = 1;
    QString device;

    bool operator==(const PortChoice& other) const
    {
        return number == other.number && device == other.device;
    }
};

// The line to the sign: 9600 baud, no parity, 8 data bits, 1 stop bit, no
// handshaking. While the port is open every read is appended whole to the
// download buffer and counted as one block; reads repeat while characters
// are waiting. Nothing is parsed or filtered here, and no end of the
// transmission is detected: the user ends the download. A sign or a line
// that sends without end is stopped once the buffer holds the largest
// download (kLargestDownload unless set otherwise).
class SerialDownload : public QObject {
    Q_OBJECT
public:
    SerialDownload(QByteArray& buffer, PortResolver resolver, QObject* parent = nullptr);
    ~SerialDownload() override;

    // Makes `choice` the port last set and opens it with the line settings,
    // closing it first when it is open and emptying its input. Returns false
    // when the port cannot be opened; errorString() tells why.
    bool open(const PortChoice& choice);
    // Opens the port last set again (port 1 until another is chosen).
    bool reopen();
    void close();
    bool isOpen() const { return m_port.isOpen(); }

    const PortChoice& port() const { return m_choice; }
    // The port as the status line names it: "#1", or the device name.
    QString portLabel() const;
    QString deviceName() const;
    QString errorString() const { return m_error; }
    // The last open failed because this user may not open the device (not
    // a member of its group), rather than because it is missing or in use.
    bool lacksRight() const { return m_lacksRight; }

    // The most the download buffer is filled to.
    qint64 largestDownload() const { return m_largest; }
    void setLargestDownload(qint64 bytes) { m_largest = bytes; }

Q_SIGNALS:
    // One read was appended to the download buffer.
    void blockReceived();
    // The port failed while open (an adapter unplugged); it is closed and
    // what arrived stays in the buffer.
    void portLost(const QString& reason);
    // More came than the largest download: the buffer is filled to it, the
    // rest is dropped and the port is closed.
    void tooLarge();

private:
    void readWaiting();
    void handleError(QSerialPort::SerialPortError error);

    QByteArray& m_buffer;
    PortResolver m_resolver;
    PortChoice m_choice;
    QSerialPort m_port;
    QString m_error;
    bool m_lacksRight = false;
    qint64 m_largest;
};

} // namespace pelmor::acquisition
