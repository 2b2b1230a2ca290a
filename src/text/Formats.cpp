#include "text/Formats.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <string>

namespace pelmor::text {
namespace {

// A number as sign, integer digits and fraction digits of its shortest
// round-trip decimal form.
struct DecimalDigits {
    bool negative = false;
    std::string integer;  // at least one digit
    std::string fraction; // possibly empty
};

DecimalDigits decimalDigits(double value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    std::string text(buffer, result.ptr);
    DecimalDigits digits;
    if (!text.empty() && text.front() == '-') {
        digits.negative = true;
        text.erase(0, 1);
    }
    const auto point = text.find('.');
    digits.integer = text.substr(0, point);
    if (point != std::string::npos)
        digits.fraction = text.substr(point + 1);
    return digits;
}

// Adds one unit in the last place of a digit string ("199" -> "200", "9" -> "10").
void incrementDigits(std::string& digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

// Rounds the digits to `decimals` fraction digits, halves away from zero.
DecimalDigits roundedDigits(double value, int decimals)
{
    DecimalDigits d = decimalDigits(value);
    if (static_cast<int>(d.fraction.size()) > decimals) {
        const bool up = d.fraction[decimals] >= '5';
        d.fraction.resize(decimals);
        if (up) {
            std::string all = d.integer + d.fraction;
            incrementDigits(all);
            d.integer = all.substr(0, all.size() - decimals);
            d.fraction = all.substr(all.size() - decimals);
        }
    }
    d.fraction.resize(decimals, '0');
    const bool zero = d.integer.find_first_not_of('0') == std::string::npos &&
                      d.fraction.find_first_not_of('0') == std::string::npos;
    if (zero)
        d.negative = false;
    return d;
}

QString stripLeadingZeros(const std::string& digits)
{
    const auto first = digits.find_first_not_of('0');
    return first == std::string::npos ? QString() : QString::fromStdString(digits.substr(first));
}

bool readNumber(QStringView text, qsizetype& pos, int maxDigits, int& value, int& digitCount)
{
    value = 0;
    digitCount = 0;
    while (pos < text.size() && text[pos].isDigit() && digitCount < maxDigits) {
        value = value * 10 + text[pos].digitValue();
        ++pos;
        ++digitCount;
    }
    return digitCount > 0;
}

void skipBlanks(QStringView text, qsizetype& pos)
{
    while (pos < text.size() && text[pos] == QLatin1Char(' '))
        ++pos;
}

} // namespace

double roundHalfAwayFromZero(double value, int decimals)
{
    if (!std::isfinite(value))
        return value;
    const DecimalDigits d = roundedDigits(value, decimals);
    std::string text = d.integer;
    if (decimals > 0)
        text += '.' + d.fraction;
    const double magnitude = std::stod(text);
    return d.negative ? -magnitude : magnitude;
}

double roundHalfToEven(double value)
{
    return std::nearbyint(value); // the default rounding mode rounds ties to even
}

std::optional<qint64> toWholeNumber(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 whole = trimmed.toLongLong(&ok);
    if (ok)
        return whole;
    const double number = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    const double rounded = roundHalfToEven(number);
    if (std::fabs(rounded) >= 9.2e18)
        return std::nullopt;
    return static_cast<qint64>(rounded);
}

QString format00(qint64 value)
{
    const QString digits = QString::number(value < 0 ? -value : value).rightJustified(2, QLatin1Char('0'));
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

QString formatWhole(double value)
{
    if (!std::isfinite(value))
        return {};
    const DecimalDigits d = roundedDigits(value, 0);
    const QString digits = stripLeadingZeros(d.integer);
    if (digits.isEmpty())
        return {};
    return d.negative ? QLatin1Char('-') + digits : digits;
}

QString formatOneDecimal(double value)
{
    if (!std::isfinite(value))
        return {};
    const DecimalDigits d = roundedDigits(value, 1);
    QString text = stripLeadingZeros(d.integer) + QLatin1Char('.') + QString::fromStdString(d.fraction);
    return d.negative ? QLatin1Char('-') + text : text;
}

QString shortestDecimal(double value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString formatCount(qint64 count)
{
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(qlonglong(count));
}

QString formatDataSize(qint64 bytes)
{
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

QString formatDateMdy(const QDate& date)
{
    return QStringLiteral("%1/%2/%3")
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(date.year() % 100, 2, 10, QLatin1Char('0'));
}

QString formatTime24(const QTime& time)
{
    return QStringLiteral("%1:%2")
        .arg(time.hour(), 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'));
}

QString formatMinuteOfDay(int minuteOfDay)
{
    return formatTime24(QTime(minuteOfDay / 60, minuteOfDay % 60));
}

QString formatTimeAmPm(const QTime& time)
{
    int hour = time.hour() % 12;
    if (hour == 0)
        hour = 12;
    return QStringLiteral("%1:%2 %3")
        .arg(hour, 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.hour() < 12 ? QLatin1String("AM") : QLatin1String("PM"));
}

QString formatLongDate(const QDate& date)
{
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return QStringLiteral("%1 %2 , %3")
        .arg(QLatin1String(months[date.month() - 1]))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(date.year(), 4, 10, QLatin1Char('0'));
}

QString formatTextAsDateMdy(const QString& text)
{
    const auto value = parseDateTime(text);
    return value ? formatDateMdy(value->date()) : text;
}

QString formatTextAsTimeAmPm(const QString& text)
{
    const auto value = parseDateTime(text);
    return value ? formatTimeAmPm(value->time()) : text;
}

QString formatTextAsTime24(const QString& text)
{
    const auto value = parseDateTime(text);
    return value ? formatTime24(value->time()) : text;
}

int expandTwoDigitYear(int year)
{
    return 2000 + year;
}

bool fitsTwoDigitYear(const QDate& date)
{
    return date.isValid() && date.year() >= 2000 && date.year() <= 2099;
}

std::optional<QDate> parseDate(QStringView text)
{
    text = text.trimmed();
    int numbers[3];
    int digitCounts[3];
    qsizetype pos = 0;
    QChar separator;
    for (int i = 0; i < 3; ++i) {
        if (!readNumber(text, pos, 4, numbers[i], digitCounts[i]))
            return std::nullopt;
        if (i == 2)
            break;
        if (pos >= text.size())
            return std::nullopt;
        const QChar c = text[pos];
        if (c != QLatin1Char('/') && c != QLatin1Char('-'))
            return std::nullopt;
        if (i == 1 && c != separator)
            return std::nullopt;
        separator = c;
        ++pos;
    }
    if (pos != text.size())
        return std::nullopt;

    int year, month, day;
    if (digitCounts[0] == 4) { // stored form: year first
        if (digitCounts[1] > 2 || digitCounts[2] > 2)
            return std::nullopt;
        year = numbers[0];
        month = numbers[1];
        day = numbers[2];
    } else {
        if (digitCounts[0] > 2 || digitCounts[1] > 2 || digitCounts[2] == 3)
            return std::nullopt;
        month = numbers[0];
        day = numbers[1];
        year = digitCounts[2] <= 2 ? expandTwoDigitYear(numbers[2]) : numbers[2];
        // A month over 12 with a day that could be a month is read day first,
        // as the original date reader did.
        if (month > 12 && day <= 12)
            std::swap(month, day);
    }
    const QDate date(year, month, day);
    if (!date.isValid() || year < 100)
        return std::nullopt;
    return date;
}

bool isDate(QStringView text)
{
    return parseDate(text).has_value();
}

std::optional<QTime> parseTime(QStringView text)
{
    text = text.trimmed();
    qsizetype pos = 0;
    int hour = 0, minute = 0, second = 0, count = 0;
    if (!readNumber(text, pos, 2, hour, count))
        return std::nullopt;
    bool hasColon = false;
    if (pos < text.size() && text[pos] == QLatin1Char(':')) {
        hasColon = true;
        ++pos;
        if (!readNumber(text, pos, 2, minute, count))
            return std::nullopt;
        if (pos < text.size() && text[pos] == QLatin1Char(':')) {
            ++pos;
            if (!readNumber(text, pos, 2, second, count))
                return std::nullopt;
        }
    }
    skipBlanks(text, pos);
    int meridiem = 0; // 0 none, 1 AM, 2 PM
    if (pos < text.size()) {
        const QChar c = text[pos].toUpper();
        if (c == QLatin1Char('A'))
            meridiem = 1;
        else if (c == QLatin1Char('P'))
            meridiem = 2;
        else
            return std::nullopt;
        ++pos;
        if (pos < text.size() && text[pos].toUpper() == QLatin1Char('M'))
            ++pos;
        if (pos != text.size())
            return std::nullopt;
    }
    if (!hasColon && meridiem == 0)
        return std::nullopt;
    if (minute > 59 || second > 59)
        return std::nullopt;
    if (meridiem != 0) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (meridiem == 2 ? 12 : 0);
    } else if (hour > 23) {
        return std::nullopt;
    }
    return QTime(hour, minute, second);
}

std::optional<QDateTime> parseStart(QStringView date, QStringView time)
{
    const auto day = parseDate(date);
    const auto clock = parseTime(time);
    if (!day || !clock)
        return std::nullopt;
    return QDateTime(*day, QTime(clock->hour(), clock->minute()), Qt::UTC);
}

QDate zeroDate()
{
    return QDate(1899, 12, 30);
}

std::optional<QDateTime> parseDateTime(QStringView text)
{
    text = text.trimmed();
    if (const auto date = parseDate(text))
        return QDateTime(*date, QTime(0, 0), Qt::UTC);
    if (const auto time = parseTime(text))
        return QDateTime(zeroDate(), *time, Qt::UTC);
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return std::nullopt;
    const auto date = parseDate(text.left(blank));
    const auto time = parseTime(text.mid(blank + 1));
    if (!date || !time)
        return std::nullopt;
    return QDateTime(*date, *time, Qt::UTC);
}

} // namespace pelmor::text
