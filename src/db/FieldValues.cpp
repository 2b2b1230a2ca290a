#include "db/FieldValues.h"

#include "db/DbError.h"
#include "text/Formats.h"

#include <cmath>
#include <limits>

namespace pelmor::db {
namespace {

DbError conversionError(const FieldInfo& field, const QString& text, const char* what)
{
    return DbError(QStringLiteral("The value \"%1\" cannot be stored in the field %2: %3.")
                       .arg(text, field.name, QLatin1String(what)));
}

qint64 toInteger(const FieldInfo& field, const QVariant& value)
{
    if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong ||
        value.typeId() == QMetaType::UInt)
        return value.toLongLong();
    const QString text = value.toString();
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        throw conversionError(field, text, "a number is required");
    bool ok = false;
    const qint64 whole = trimmed.toLongLong(&ok);
    if (ok)
        return whole;
    // A decimal number is rounded to a whole number, ties to the even neighbour.
    const double number = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        throw conversionError(field, text, "it is not a number");
    const double rounded = text::roundHalfToEven(number);
    if (std::fabs(rounded) > static_cast<double>(std::numeric_limits<qint64>::max() / 2))
        throw conversionError(field, text, "the number is too large");
    return static_cast<qint64>(rounded);
}

} // namespace

QString storedDate(const QDate& date)
{
    return date.toString(Qt::ISODate);
}

QString storedTime(const QTime& time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
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

QString storedDateTimeLiteral(QStringView literal)
{
    if (const auto date = text::parseDate(literal))
        return storedDate(*date);
    if (const auto time = text::parseTime(literal))
        return storedTime(*time);
    if (const auto both = text::parseDateTime(literal))
        return storedDate(both->date()) + QLatin1Char(' ') + storedTime(both->time());
    throw DbError(QStringLiteral("#%1# is not a date or time.").arg(literal));
}

} // namespace pelmor::db
