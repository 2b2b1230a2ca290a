#include "acquisition/SerialDownload.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>
#endif

namespace pelmor::acquisition {

QString defaultPortDevice(int portNumber)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

QString noRightToPortMessage(const QString& device)
{
    QString user = qEnvironmentVariable("USER");
#ifndef Q_OS_WIN
    if (const passwd* entry = getpwuid(geteuid()))
        user = QString::fromLocal8Bit(entry->pw_name);
#endif
    // Serial ports belong to the group "dialout" on most systems; the
    // device itself names the group where it is another.
    QString group = QFileInfo(device).group();
    if (group.isEmpty() || group == QLatin1String("root"))
        group = QStringLiteral("dialout");
    return QStringLiteral("The user %1 has no right to open the serial port %2: serial ports are open to "
                          "the members of the group \"%3\" only.\n\nAsk the computer's administrator to "
                          "add %1 to that group (sudo usermod -a -G %3 %1), then log out and log in again "
                          "and press OK once more. Or select another port.")
        .arg(user, device, group);
}

SerialDownload::SerialDownload(QByteArray& buffer, PortResolver resolver, QObject* parent)
    : QObject(parent)
    , m_buffer(buffer)
    , m_resolver(resolver ? std::move(resolver) : PortResolver(defaultPortDevice))
    , m_largest(kLargestDownload)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialDownload::readWaiting);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialDownload::handleError);
}

SerialDownload::~SerialDownload() = default;

QString SerialDownload::deviceName() const
{
    return m_choice.number > 0 ? m_resolver(m_choice.number) : m_choice.device;
}

QString SerialDownload::portLabel() const
{
    return m_choice.number > 0 ? QStringLiteral("#%1").arg(m_choice.number) : m_choice.device;
}

bool SerialDownload::open(const PortChoice& choice)
{
    m_choice = choice;
    return reopen();
}

bool SerialDownload::reopen()
{
    close();
    m_error.clear();
    m_lacksRight = false;
    const QString device = deviceName();
    if (device.trimmed().isEmpty()) {
        m_error = QStringLiteral("No serial port was chosen.");
        return false;
    }
    m_port.setPortName(device);
    if (!m_port.open(QIODevice::ReadOnly)) {
        m_error = m_port.errorString();
#ifndef Q_OS_WIN
        // The port's own error is the same for a device locked by another
        // program: the device itself tells whether this user may open it.
        const int probe = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        if (probe >= 0)
            ::close(probe);
        else
            m_lacksRight = errno == EACCES;
#endif
        return false;
    }
    const bool configured =
        m_port.setBaudRate(QSerialPort::Baud9600) && m_port.setParity(QSerialPort::NoParity) &&
        m_port.setDataBits(QSerialPort::Data8) && m_port.setStopBits(QSerialPort::OneStop) &&
        m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        m_error = m_port.errorString();
        m_port.close();
        return false;
    }
    m_port.clear(QSerialPort::Input);
    return true;
}

void SerialDownload::close()
{
    if (m_port.isOpen())
        m_port.close();
}

void SerialDownload::readWaiting()
{
    do {
        const QByteArray block = m_port.readAll();
        if (block.isEmpty())
            break;
        const qint64 room = std::max<qint64>(0, m_largest - m_buffer.size());
        if (block.size() > room) {
            m_buffer.append(block.first(room));
            m_port.close();
            Q_EMIT tooLarge();
            return;
        }
        m_buffer.append(block);
        Q_EMIT blockReceived();
    } while (m_port.isOpen() && m_port.bytesAvailable() > 0);
}

void SerialDownload::handleError(QSerialPort::SerialPortError error)
{
    // A device that goes away (an adapter unplugged, a line hung up) reports a
    // resource error, or a read that finds the end of the line.
    if ((error != QSerialPort::ResourceError && error != QSerialPort::ReadError) || !m_port.isOpen())
        return;
    // Keep what was already read, then close.
    readWaiting();
    const QString reason = m_port.errorString();
    m_port.close();
    Q_EMIT portLost(reason);
}

} // namespace pelmor::acquisition
