#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <initializer_list>

class QIODevice;

// Comma-separated values as RFC 4180 has them: records ended by CR LF, a
// field in double quotes (its quotes doubled) when it holds a comma, a quote
// or a line break, UTF-8 text without a byte order mark.
namespace pelmor::csv {

// One field as it is written.
QString field(const QString& text);

// Writes records to a device. A device that refuses to write (a full disk)
// is remembered, and told by failure() once the writing is done.
class Writer {
public:
    explicit Writer(QIODevice& device)
        : m_device(device)
    {
    }
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void write(const QStringList& fields);
    // Fields that are UTF-8 already, for the million rows of a survey.
    void write(std::initializer_list<QByteArrayView> fields);

    // Hands everything written so far to the device; what went wrong, or
    // an empty text.
    QString finish();

private:
    void appendField(QByteArrayView utf8);
    void endRecord();
    void flushBuffer();

    QIODevice& m_device;
    QByteArray m_buffer;
    QString m_failure;
};

} // namespace pelmor::csv
