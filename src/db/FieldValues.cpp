#include "db/FieldValues.h"

#include "db/DbError.h"
#include "text/Formats.h"
#include "text/MessageText.h"

namespace pelmor::db {
namespace {

DbError conversionError(const FieldInfo& field, const QString& text, const char* what)
{
    return DbError(QStringLiteral("The value %1 cannot be stored in the field %2: %3.")
                       .arg(text::quotedValue(text), field.name, QLatin1String(what)));
}

qint64 toInteger(const FieldInfo& field, const QVariant& value)
{
    if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong ||
        value.typeId() == QMetaType::UInt)
        return value.toLongLong();
    const QString text = value.toString();
    if (text.trimmed().isEmpty())
        throw conversionError(field, text, "a number is required");
    const auto whole = text::toWholeNumber(text);
    if (!whole)
        throw conversionError(field, text, "it is not a number");
    return *whole;
}

} // namespace

namespace {

// Writes `value` as `width` digits at `out`; the stored forms are written by
// hand because the vehicles of a survey need millions of them.
void putDigits(QChar* out, int value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = QLatin1Char(char('0' + value % 10));
        value /= 10;
    }
}

} // namespace

QString storedDate(const QDate& date)
{
    if (date.year() < 0 || date.year() > 9999)
        return date.toString(Qt::ISODate);
    QString text(10, QLatin1Char('-'));
    putDigits(text.data(), date.year(), 4);
    putDigits(text.data() + 5, date.month(), 2);
    putDigits(text.data() + 8, date.day(), 2);
    return text;
}

QString storedTime(const QTime& time)
{
    QString text(8, QLatin1Char(':'));
    putDigits(text.data(), time.hour(), 2);
    putDigits(text.data() + 3, time.minute(), 2);
    putDigits(text.data() + 6, time.second(), 2);
    return text;
}

QVariant toStored(const FieldInfo& field, const QVariant& value)
{
    switch (field.kind) {
    case FieldKind::Text:
        return value.isNull() ? QString() : value.toString();
    case FieldKind::Integer:
        return toInteger(field, value);
    case FieldKind::Date: {
        if (value.typeId() == QMetaType::QDate && value.toDate().isValid())
            return storedDate(value.toDate());
        const auto parsed = text::parseDateTime(value.toString());
        if (!parsed)
            throw conversionError(field, value.toString(), "it is not a date");
        return storedDate(parsed->date());
    }
    case FieldKind::Time: {
        if (value.typeId() == QMetaType::QTime && value.toTime().isValid())
            return storedTime(value.toTime());
        const auto parsed = text::parseDateTime(value.toString());
        if (!parsed)
            throw conversionError(field, value.toString(), "it is not a time");
        return storedTime(parsed->time());
    }
    }
    return value;
}

} // namespace pelmor::db
