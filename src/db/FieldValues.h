#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <QVariant>

// Conversion of the values written to a field into the field's stored form.
// Values arrive as the texts a window shows ("412", "01:05 PM", "01/05/03")
// and are converted the way the original engine converted them; a text that
// does not convert is an error, never a silent zero.
namespace pelmor::db {

// How a field stores its value. Date and Time fields hold text in a sortable
// stored form ("2002-05-03", "13:05:00"); values written to them are read as
// dates or times first.
enum class FieldKind { Text, Integer, Date, Time };

struct FieldInfo {
    QString name;
    FieldKind kind;
};

QString storedDate(const QDate& date); // "2003-01-05"
QString storedTime(const QTime& time); // "13:05:00"

// The stored form of a value for a field of the given kind. Throws DbError
// naming the field when the value does not convert.
QVariant toStored(const FieldInfo& field, const QVariant& value);

} // namespace pelmor::db
