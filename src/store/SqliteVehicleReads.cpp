#include "store/SqliteSurveyStore.h"

#include "db/DbError.h"
#include "db/Files.h"
#include "db/SqliteStatement.h"
#include "store/SqliteSchema.h"
#include "text/Formats.h"

#include <cstring>
#include <map>

namespace pelmor::store {
namespace {

constexpr int kSecondsPerDay = 24 * 3600;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int twoDigits(const char* text)
{
    return (text[0] - '0') * 10 + (text[1] - '0');
}

// The stored dates and clock times of a survey's vehicles, read as the
// rows come. A survey's vehicles share a few dates, so the last date read
// is kept and its text compared first.
class StoredClock {
public:
    StoredClock(const db::Connection& connection, const QString& batchNumber)
        : m_connection(connection)
        , m_batchNumber(batchNumber)
    {
    }

    // A stored date ("2002-05-03").
    QDate date(QByteArrayView text)
    {
        if (m_dateValid && text.size() == m_dateText.size() &&
            std::memcmp(text.data(), m_dateText.constData(), size_t(text.size())) == 0)
            return m_date;
        std::optional<QDate> date;
        const char* t = text.data();
        if (text.size() == 10 && t[4] == '-' && t[7] == '-' && isDigit(t[0]) && isDigit(t[1]) &&
            isDigit(t[2]) && isDigit(t[3]) && isDigit(t[5]) && isDigit(t[6]) && isDigit(t[8]) &&
            isDigit(t[9])) {
            const QDate read(twoDigits(t) * 100 + twoDigits(t + 2), twoDigits(t + 5), twoDigits(t + 8));
            if (read.isValid())
                date = read;
        }
        if (!date)
            date = text::parseDate(QString::fromUtf8(text));
        if (!date)
            unreadable("date", text);
        m_dateText = QByteArray(text.data(), text.size());
        m_date = *date;
        m_dateValid = true;
        return m_date;
    }

    // A stored clock time ("08:12:00", or "08:12"), as seconds since midnight.
    int secondOfDay(QByteArrayView text) const
    {
        const char* t = text.data();
        const bool minutes = text.size() >= 5 && isDigit(t[0]) && isDigit(t[1]) && t[2] == ':' &&
                             isDigit(t[3]) && isDigit(t[4]);
        const bool seconds = text.size() == 8 && t[5] == ':' && isDigit(t[6]) && isDigit(t[7]);
        if (!minutes || (text.size() != 5 && !seconds))
            unreadable("clock time", text);
        const int second = twoDigits(t) * 3600 + twoDigits(t + 3) * 60 + (seconds ? twoDigits(t + 6) : 0);
        if (twoDigits(t + 3) > 59 || (seconds && twoDigits(t + 6) > 59) || second >= kSecondsPerDay)
            unreadable("clock time", text);
        return second;
    }

private:
    [[noreturn]] void unreadable(const char* what, QByteArrayView text) const
    {
        throw db::DbError(QStringLiteral("The database %1 holds a vehicle of survey %2 with the %3 \"%4\", "
                                         "which cannot be read. Repair the database or delete the survey.")
                              .arg(db::displayPath(m_connection.path()), m_batchNumber, QLatin1String(what),
                                   QString::fromUtf8(text)));
    }

    const db::Connection& m_connection;
    const QString& m_batchNumber;
    QByteArray m_dateText;
    QDate m_date;
    bool m_dateValid = false;
};

} // namespace

std::optional<double> realOrNone(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toDouble();
}

void SqliteSurveyStore::scanVehicles(const QString& batchNumber, VehicleOrder order,
                                     const std::function<bool(const VehicleRow&)>& visit)
{
    // In clock order the rows come straight from the index on the batch,
    // date and time; in stored order they come by row id. A file not yet
    // brought up to date keeps no lengths.
    const bool lengths = hasVehicleLengths(m_connection);
    db::SqliteStatement rows(
        m_connection,
        QStringLiteral("SELECT \"Date\", \"Time\", \"Veh_Direction\", \"Speed\", \"Offset\", %1 "
                       "FROM \"Veh_Data\" WHERE \"Batch_Number\" = ? ORDER BY %2")
            .arg(lengths ? QStringLiteral("\"Length\"") : QStringLiteral("NULL"),
                 order == VehicleOrder::Clock ? QStringLiteral("\"Date\", \"Time\"")
                                              : QStringLiteral("rowid")));
    rows.bind(0, batchNumber);
    StoredClock clock(m_connection, batchNumber);
    VehicleRow vehicle;
    while (rows.nextRow()) {
        vehicle.date = clock.date(rows.textAt(0));
        vehicle.secondOfDay = clock.secondOfDay(rows.textAt(1));
        const QByteArrayView direction = rows.textAt(2);
        vehicle.direction = QLatin1Char(direction.isEmpty() ? '?' : direction[0]);
        vehicle.speed = rows.integerAt(3);
        vehicle.offset = rows.integerAt(4);
        vehicle.length = lengths ? realOrNone(rows.valueAt(5)) : std::nullopt;
        if (!visit(vehicle))
            return;
    }
}

std::vector<SpeedCount> SqliteSurveyStore::speedCounts(const QString& batchNumber)
{
    // The speeds are counted here as the survey's part of the index goes by:
    // grouping them in SQL sorts a million rows first, four times as slow.
    db::SqliteStatement rows(m_connection,
                             QStringLiteral("SELECT \"Speed\" FROM \"Veh_Data\" WHERE \"Batch_Number\" = ?"));
    rows.bind(0, batchNumber);
    std::map<qint64, qint64> perSpeed;
    // Vehicles without a speed make a group of their own, of no vehicles
    // counted, read as speed 0 and first in order, as grouping in SQL gives.
    bool withoutSpeed = false;
    while (rows.nextRow()) {
        if (rows.isNullAt(0))
            withoutSpeed = true;
        else
            ++perSpeed[rows.integerAt(0)];
    }
    std::vector<SpeedCount> counts;
    counts.reserve(perSpeed.size() + 1);
    if (withoutSpeed)
        counts.push_back({0, 0});
    for (const auto& [speed, count] : perSpeed)
        counts.push_back({speed, count});
    return counts;
}

std::vector<TimeCount> SqliteSurveyStore::timeCounts(const QString& batchNumber)
{
    db::SqliteStatement rows(
        m_connection,
        QStringLiteral("SELECT \"Date\", \"Time\", count(\"Speed\") FROM \"Veh_Data\" "
                       "WHERE \"Batch_Number\" = ? GROUP BY \"Date\", \"Time\" ORDER BY \"Date\", \"Time\""));
    rows.bind(0, batchNumber);
    StoredClock clock(m_connection, batchNumber);
    std::vector<TimeCount> counts;
    while (rows.nextRow())
        counts.push_back({clock.date(rows.textAt(0)), clock.secondOfDay(rows.textAt(1)), rows.integerAt(2)});
    return counts;
}

void SqliteSurveyStore::writeBreakdownRows(const std::vector<BreakdownRow>& rows)
{
    db::Transaction transaction(m_connection);
    m_connection.executeUnlogged(QStringLiteral("DELETE FROM \"Breakdown\""));
    db::SqliteStatement insert(m_connection,
                               QStringLiteral("INSERT INTO \"Breakdown\" (\"cDate\", \"cTime\", \"cCount\", "
                                              "\"cHourTotal\") VALUES (?, ?, ?, ?)"));
    for (const BreakdownRow& row : rows) {
        int field = 0;
        for (const QString* text : {&row.cDate, &row.cTime, &row.cCount, &row.cHourTotal})
            insert.bind(field++, *text);
        insert.run();
    }
    transaction.commit();
}

} // namespace pelmor::store
