#include "LogText.h"

#include <QStringDecoder>

namespace pelmor::logs::detail {
namespace {

// The characters Windows-1252 puts at 0x80 to 0x9F (0 where it has none);
// the rest of its bytes are the Latin-1 characters of the same number.
constexpr char16_t kWindows1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                       0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QByteArray fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const char16_t mapped = byte >= 0x80 && byte < 0xA0 ? kWindows1252[byte - 0x80] : byte;
        *out++ = QChar(mapped || byte == 0 ? mapped : char16_t(0xFFFD));
    }
    return text.toUtf8();
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads `least` to `most` digits at `at`; -1 when there are fewer.
int digits(QByteArrayView text, qsizetype& at, int least, int most)
{
    int value = 0, count = 0;
    while (count < most && at < text.size() && isDigit(text[at])) {
        value = value * 10 + (text[at] - '0');
        ++at;
        ++count;
    }
    return count >= least ? value : -1;
}

bool isLetter(QChar c)
{
    return QStringLiteral("yMdHhmszAapt").contains(c);
}

} // namespace

DecodedLog decodeLog(const QByteArray& bytes)
{
    const auto startsWith = [&](const char* bom) {
        return bytes.startsWith(bom);
    };
    if (startsWith("\xEF\xBB\xBF"))
        return {bytes.mid(3), QStringLiteral("UTF-8 with byte order mark")};
    for (const auto& [bom, encoding, name] :
         {std::tuple{"\xFF\xFE", QStringConverter::Utf16LE, "UTF-16LE"},
          std::tuple{"\xFE\xFF", QStringConverter::Utf16BE, "UTF-16BE"}}) {
        if (startsWith(bom)) {
            QStringDecoder decoder(encoding);
            const QString text = decoder.decode(QByteArrayView(bytes).sliced(2));
            return {text.toUtf8(), QLatin1String(name)};
        }
    }
    if (bytes.isValidUtf8())
        return {bytes, QStringLiteral("UTF-8")};
    return {fromWindows1252(bytes), QStringLiteral("Windows-1252")};
}

bool isBlank(QByteArrayView line)
{
    for (const char c : line)
        if (c != ' ' && c != '\t')
            return false;
    return true;
}

void splitColumns(QByteArrayView line, Separator separator, std::vector<QByteArrayView>& columns)
{
    columns.clear();
    const char* at = line.data();
    const char* const end = at + line.size();
    const auto trimmed = [](const char* from, const char* to) {
        while (from < to && (*from == ' ' || *from == '\t'))
            ++from;
        while (to > from && (to[-1] == ' ' || to[-1] == '\t'))
            --to;
        if (to - from >= 2 && *from == '"' && to[-1] == '"') {
            ++from;
            --to;
        }
        return QByteArrayView(from, to - from);
    };
    if (separator == Separator::Blanks) {
        while (at < end) {
            while (at < end && (*at == ' ' || *at == '\t'))
                ++at;
            if (at == end)
                break;
            const char* stop = at;
            while (stop < end && *stop != ' ' && *stop != '\t')
                ++stop;
            columns.push_back(trimmed(at, stop));
            at = stop;
        }
        return;
    }
    const char mark = separator == Separator::Comma ? ',' : separator == Separator::Semicolon ? ';' : '\t';
    for (;;) {
        const char* stop = at;
        while (stop < end && *stop != mark)
            ++stop;
        columns.push_back(trimmed(at, stop));
        if (stop == end)
            break;
        at = stop + 1;
    }
}

ClockFormat::ClockFormat(const QString& format)
    : m_format(format)
    , m_iso(format.compare(QLatin1String("ISO"), Qt::CaseInsensitive) == 0)
{
    if (m_iso)
        return;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            // A quoted literal; '' is a quote.
            qsizetype stop = format.indexOf(QLatin1Char('\''), i + 1);
            if (stop < 0)
                stop = format.size();
            const QString literal = stop == i + 1 ? QStringLiteral("'") : format.mid(i + 1, stop - i - 1);
            for (const QChar l : literal) {
                if (l.unicode() >= 0x80)
                    m_byHand = false;
                m_tokens.push_back({0, 0, char(l.toLatin1())});
            }
            i = stop + 1;
            continue;
        }
        qsizetype stop = i + 1;
        while (stop < format.size() && format[stop] == c)
            ++stop;
        const int count = int(stop - i);
        if (isLetter(c)) {
            const char letter = char(c.toLatin1());
            // Month and day names, time zones and odd widths go through Qt.
            const bool byHand = (letter == 'y' && (count == 2 || count == 4)) ||
                                (letter == 'z' && (count == 1 || count == 3)) ||
                                ((letter == 'A' || letter == 'a') && count == 1) ||
                                (QByteArrayView("MdHhms").contains(letter) && count <= 2);
            if (!byHand)
                m_byHand = false;
            // "AP" is one field, as "A" is.
            if ((letter == 'A' || letter == 'a') && stop < format.size() &&
                (format[stop] == QLatin1Char('P') || format[stop] == QLatin1Char('p')))
                ++stop;
            m_tokens.push_back({letter, count, 0});
        } else {
            if (c.unicode() >= 0x80)
                m_byHand = false;
            for (qsizetype k = i; k < stop; ++k)
                m_tokens.push_back({0, 0, char(c.toLatin1())});
        }
        i = stop;
    }
}

bool ClockFormat::read(QByteArrayView column, ClockParts& parts) const
{
    if (m_iso)
        return readIso(column, parts);
    if (!m_byHand)
        return readThroughQt(column, parts);
    qsizetype at = 0;
    for (const Token& token : m_tokens) {
        if (!token.letter) {
            if (at >= column.size() || column[at] != token.literal)
                return false;
            ++at;
            continue;
        }
        int value = 0;
        switch (token.letter) {
        case 'y':
            value = digits(column, at, token.count, token.count);
            parts.year = token.count == 2 && value >= 0 ? 2000 + value : value;
            break;
        case 'M':
            value = parts.month = digits(column, at, token.count, 2);
            break;
        case 'd':
            value = parts.day = digits(column, at, token.count, 2);
            break;
        case 'H':
        case 'h':
            value = parts.hour = digits(column, at, token.count, 2);
            break;
        case 'm':
            value = parts.minute = digits(column, at, token.count, 2);
            break;
        case 's':
            value = parts.second = digits(column, at, token.count, 2);
            break;
        case 'z': {
            const qsizetype from = at;
            value = digits(column, at, token.count == 3 ? 3 : 1, 3);
            for (qsizetype n = at - from; n < 3 && value >= 0; ++n)
                value *= 10;
            parts.msec = value;
            break;
        }
        default: { // A or a: AM or PM
            if (at + 2 > column.size())
                return false;
            const char first = char(column[at] | 0x20);
            if ((column[at + 1] | 0x20) != 'm' || (first != 'a' && first != 'p'))
                return false;
            parts.pm = first == 'p';
            parts.am = first == 'a';
            at += 2;
        }
        }
        if (value < 0)
            return false;
    }
    return at == column.size();
}

bool ClockFormat::readIso(QByteArrayView column, ClockParts& parts) const
{
    qsizetype at = 0;
    const auto take = [&](char c) {
        if (at < column.size() && column[at] == c) {
            ++at;
            return true;
        }
        return false;
    };
    // The date: yyyy-MM-dd.
    if (column.size() >= 10 && column[4] == '-') {
        parts.year = digits(column, at, 4, 4);
        if (!take('-') || (parts.month = digits(column, at, 2, 2)) < 0 || !take('-') ||
            (parts.day = digits(column, at, 2, 2)) < 0)
            return false;
        if (at == column.size())
            return true;
        if (!take('T') && !take(' '))
            return false;
    }
    // The time: HH:mm[:ss[.fff]], then Z or an offset.
    if ((parts.hour = digits(column, at, 2, 2)) < 0 || !take(':') ||
        (parts.minute = digits(column, at, 2, 2)) < 0)
        return false;
    if (take(':')) {
        if ((parts.second = digits(column, at, 2, 2)) < 0)
            return false;
        if (take('.') || take(',')) {
            const qsizetype from = at;
            int fraction = digits(column, at, 1, 9);
            if (fraction < 0)
                return false;
            for (qsizetype n = at - from; n > 3; --n)
                fraction /= 10;
            for (qsizetype n = at - from; n < 3; ++n)
                fraction *= 10;
            parts.msec = fraction;
        }
    }
    if (take('Z')) {
        parts.offsetSeconds = 0;
    } else if (at < column.size() && (column[at] == '+' || column[at] == '-')) {
        const int sign = column[at++] == '-' ? -1 : 1;
        const int hours = digits(column, at, 2, 2);
        take(':');
        const int minutes = at < column.size() ? digits(column, at, 2, 2) : 0;
        if (hours < 0 || minutes < 0 || hours > 14 || minutes > 59)
            return false;
        parts.offsetSeconds = sign * (hours * 3600 + minutes * 60);
    }
    return at == column.size();
}

bool ClockFormat::readThroughQt(QByteArrayView column, ClockParts& parts) const
{
    const QString text = QString::fromUtf8(column);
    const QDateTime read = QDateTime::fromString(text, m_format);
    if (read.isValid()) {
        const QDate date = read.date();
        const QTime time = read.time();
        parts.year = date.year() < 1970 && m_format.contains(QLatin1String("yy")) &&
                             !m_format.contains(QLatin1String("yyyy"))
                         ? date.year() + 100
                         : date.year();
        parts.month = date.month();
        parts.day = date.day();
        if (m_format.contains(QLatin1Char('H')) || m_format.contains(QLatin1Char('h'))) {
            parts.hour = time.hour();
            parts.minute = time.minute();
            parts.second = time.second();
            parts.msec = time.msec();
        }
        return true;
    }
    const QTime time = QTime::fromString(text, m_format);
    if (!time.isValid())
        return false;
    parts.hour = time.hour();
    parts.minute = time.minute();
    parts.second = time.second();
    parts.msec = time.msec();
    return true;
}

std::optional<QDateTime> ClockMaker::make(const ClockParts& parts)
{
    int hour = parts.hour;
    if (parts.pm || parts.am) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (parts.pm ? 12 : 0);
    }
    if (hour < 0 || hour > 23 || parts.minute < 0 || parts.minute > 59 || parts.second < 0 ||
        parts.second > 59 || parts.msec < 0 || parts.msec > 999)
        return std::nullopt;
    if (parts.year != m_year || parts.month != m_month || parts.day != m_day) {
        const QDate date(parts.year, parts.month, parts.day);
        if (!date.isValid() || parts.year < 1900)
            return std::nullopt;
        m_year = parts.year;
        m_month = parts.month;
        m_day = parts.day;
        m_julianDay = date.toJulianDay();
    }
    constexpr qint64 kEpochDay = 2440588; // 1970-01-01
    const qint64 msecs = (m_julianDay - kEpochDay) * 86400000 +
                         ((hour * 60 + parts.minute) * 60 + parts.second) * 1000LL + parts.msec;
    if (parts.offsetSeconds)
        return QDateTime::fromMSecsSinceEpoch(msecs - *parts.offsetSeconds * 1000LL, Qt::OffsetFromUTC,
                                              *parts.offsetSeconds);
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}

} // namespace pelmor::logs::detail
