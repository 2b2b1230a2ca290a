#include "csv/CsvWriter.h"

#include <QIODevice>

namespace pelmor::csv {
namespace {

constexpr qsizetype kBufferSize = 1 << 16;

bool needsQuotes(QByteArrayView utf8)
{
    for (const char c : utf8) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n')
            return true;
    }
    return false;
}

} // namespace

QString field(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    if (!needsQuotes(utf8))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

Writer::~Writer()
{
    flushBuffer();
}

void Writer::appendField(QByteArrayView utf8)
{
    if (!needsQuotes(utf8)) {
        m_buffer.append(utf8);
        return;
    }
    m_buffer.append('"');
    for (const char c : utf8) {
        if (c == '"')
            m_buffer.append('"');
        m_buffer.append(c);
    }
    m_buffer.append('"');
}

void Writer::endRecord()
{
    m_buffer.append("\r\n", 2);
    if (m_buffer.size() >= kBufferSize)
        flushBuffer();
}

void Writer::write(const QStringList& fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            m_buffer.append(',');
        appendField(fields[i].toUtf8());
    }
    endRecord();
}

void Writer::write(std::initializer_list<QByteArrayView> fields)
{
    bool first = true;
    for (const QByteArrayView field : fields) {
        if (!first)
            m_buffer.append(',');
        first = false;
        appendField(field);
    }
    endRecord();
}

void Writer::flushBuffer()
{
    if (m_buffer.isEmpty())
        return;
    if (m_failure.isEmpty() && m_device.write(m_buffer) != m_buffer.size())
        m_failure = m_device.errorString();
    m_buffer.clear();
}

QString Writer::finish()
{
    flushBuffer();
    return m_failure;
}

} // namespace pelmor::csv
