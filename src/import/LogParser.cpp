#include "import/LogParser.h"

namespace pelmor::import {
namespace {

bool isDirection(char c)
{
    return c == '+' || c == '-' || c == '?';
}

constexpr qsizetype kWalkLength = 200;
constexpr int kMarks = 4;

} // namespace

QString HeaderFields::startDate() const
{
    return month + QLatin1Char('/') + day + QLatin1String("/20") + year;
}

QString HeaderFields::batchNumber(const QString& trailerLetter) const
{
    return dateStem() + QLatin1Char('-') + trailerLetter;
}

QString midText(QByteArrayView buffer, qsizetype position, qsizetype length)
{
    const qsizetype start = position - 1;
    if (start >= buffer.size())
        return {};
    return QString::fromLatin1(buffer.sliced(start, std::min(length, buffer.size() - start)));
}

HeaderFields readHeaderFields(QByteArrayView buffer)
{
    HeaderFields fields;
    fields.locationCode = midText(buffer, 11, 5);
    fields.month = midText(buffer, 30, 2);
    fields.day = midText(buffer, 34, 2);
    fields.year = midText(buffer, 38, 2);
    fields.hour = midText(buffer, 54, 2);
    fields.minute = midText(buffer, 58, 2);
    fields.postedSpeed = midText(buffer, 78, 3);
    fields.cutoff = midText(buffer, 111, 3);
    fields.alarm = midText(buffer, 128, 3);
    fields.unit = statedUnit(buffer);
    return fields;
}

QString statedUnit(QByteArrayView buffer)
{
    const qsizetype headerEnd = buffer.indexOf('*');
    const QByteArrayView header = headerEnd < 0 ? buffer : buffer.first(headerEnd);
    constexpr QByteArrayView kKey("Speed Units:");
    const qsizetype key = header.indexOf(kKey);
    if (key < 0)
        return QString();
    QByteArrayView value = header.sliced(key + kKey.size());
    if (const qsizetype lineEnd = value.indexOf('\n'); lineEnd >= 0)
        value = value.first(lineEnd);
    const QByteArray word = value.trimmed().toByteArray().toUpper();
    if (word == "MPH")
        return QStringLiteral("MPH");
    if (word == "KPH" || word == "KM/H" || word == "KMH" || word == "KMPH")
        return QStringLiteral("KPH");
    return QString();
}

bool markEnd(QByteArray& buffer)
{
    const QByteArrayView tail = QByteArrayView(buffer).last(std::min(kWalkLength, buffer.size()));
    int count = tail.contains('*') ? 2 : 0;

    // Each mark is written as it is found, so a walk that runs out keeps
    // the marks it made before.
    qsizetype position = buffer.size(); // 1-based, like the walk it performs
    for (qsizetype step = 0; step < kWalkLength && count < kMarks; ++step) {
        --position;
        if (position < 1)
            return false;
        if (isDirection(buffer[position - 1])) {
            buffer[position - 1] = '*';
            ++count;
        }
    }
    return true;
}

QByteArray removeLineBreaks(QByteArrayView text)
{
    // Removing a pair can bring a CR and an LF together; treating the output
    // as a stack (an LF cancels a CR on top of it) removes those as well, in
    // one pass.
    QByteArray out(text.size(), Qt::Uninitialized);
    char* const begin = out.data();
    char* top = begin;
    for (const char c : text) {
        if (c == '\n' && top != begin && top[-1] == '\r')
            --top;
        else
            *top++ = c;
    }
    out.truncate(top - begin);
    return out;
}

ParseResult parseVehicles(QByteArrayView buffer, const VehicleSink& sink)
{
    ParseResult result;
    const QByteArray joined = removeLineBreaks(buffer);
    QByteArrayView text(joined);

    // Drop the header, its closing "*" and the five characters after it.
    const qsizetype headerEnd = text.indexOf('*') + 1; // 1-based; 0 when absent
    text = text.sliced(std::min(text.size(), headerEnd + 5));

    // Walk back from the end mark to the third "+" before it.
    qsizetype q = text.indexOf('*') + 1; // 1-based; 0 when absent
    for (int walk = 0; walk < 3; ++walk) {
        do {
            --q;
            if (q < 1)
                return result;
        } while (text[q - 1] != '+');
    }
    text = text.first(std::min(text.size(), q + 5));

    // Comma-ended fields, three to a vehicle.
    QByteArrayView slots[2];
    int filled = 0;
    qsizetype start = 0;
    for (qsizetype comma = text.indexOf(','); comma >= 0; comma = text.indexOf(',', start)) {
        const QByteArrayView field = text.sliced(start, comma - start);
        start = comma + 1;
        if (filled < 2) {
            slots[filled] = field;
            if (!field.isEmpty())
                ++filled;
            continue;
        }
        sink(slots[0], slots[1], field);
        ++result.vehicles;
        filled = 0;
    }
    result.ok = true;
    return result;
}

} // namespace pelmor::import
