#pragma once

#include <QDate>
#include <QString>

namespace pelmor::loggen {

// The survey settings the sign writes at the top of its log. The numeric
// fields are kept as text, the way the sign prints them: the writer pads them
// with zeros on the left to their width (5 for the location code, 3 for the
// speeds) and cuts longer texts to that width. `unit` is "MPH" or "KPH".
struct LogHeader {
    QString locationCode = QStringLiteral("00415");
    QDate startDate;
    int startHour = 8;
    int startMinute = 0;
    QString postedLimit = QStringLiteral("035");
    QString cutoff = QStringLiteral("080");
    QString alarm = QStringLiteral("045");
    QString unit = QStringLiteral("MPH");
};

} // namespace pelmor::loggen
