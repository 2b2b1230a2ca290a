#include "store/PgSurveyStore.h"

namespace pelmor::store {
namespace {

// Dates travel as days after this one: the same whatever date style the
// server is set to show.
const QDate kDayZero(2000, 1, 1);
constexpr const char* kDayNumber = "\"Date\" - DATE '2000-01-01'";

// While it lasts, the server plans the connection's queries without a sort,
// within the transaction open on it or one of its own.
class PlannedWithoutSort {
public:
    explicit PlannedWithoutSort(PgConnection& connection)
        : m_connection(connection)
    {
        if (!connection.inTransaction())
            m_ownTransaction.emplace(connection);
        connection.exec("SET LOCAL enable_sort = off");
    }
    ~PlannedWithoutSort()
    {
        // Only read in its own transaction: committing it or rolling it back
        // is the same. In the caller's, sorting is planned again.
        try {
            if (m_ownTransaction)
                m_ownTransaction->commit();
            else
                m_connection.exec("SET LOCAL enable_sort = DEFAULT");
        } catch (const db::DbError&) {
            // The connection failed or the caller's transaction already did;
            // the caller hears of it from its next statement.
        }
    }
    PlannedWithoutSort(const PlannedWithoutSort&) = delete;
    PlannedWithoutSort& operator=(const PlannedWithoutSort&) = delete;

private:
    PgConnection& m_connection;
    std::optional<PgTransaction> m_ownTransaction;
};

} // namespace

void PgSurveyStore::scanVehicles(const QString& batchNumber, VehicleOrder order,
                                 const std::function<bool(const VehicleRow&)>& visit)
{
    // Clock order is the order of the survey's clock index, as on the file:
    // vehicles of one second come in no set order, which spares the server
    // a sort of a million rows. The server is told not to sort: a survey
    // stored a moment ago is not yet in its statistics, and it would plan
    // for a few rows, sorted on disk. The rows are read as the server sends
    // them, a third quicker than fetched in blocks through a cursor.
    std::optional<PlannedWithoutSort> unsorted;
    if (order == VehicleOrder::Clock)
        unsorted.emplace(m_connection);
    PgRows rows(m_connection,
                QByteArray("SELECT ") + kDayNumber +
                    ", \"Time\", \"Veh_Direction\", \"Speed\", \"Offset\", " +
                    "\"Length\" FROM \"Veh_Data\" WHERE \"Batch_Number\" = $1 ORDER BY " +
                    (order == VehicleOrder::Clock ? "\"Date\", \"Time\"" : "\"Id\""),
                {batchNumber.toUtf8()});
    VehicleRow vehicle;
    qint64 lastDay = -1;
    while (rows.next()) {
        const PgResult& block = rows.row();
        const int row = 0;
        const qint64 day = block.integer(row, 0);
        if (day != lastDay) {
            vehicle.date = kDayZero.addDays(day);
            lastDay = day;
        }
        vehicle.secondOfDay = int(block.integer(row, 1));
        const QByteArrayView direction = block.bytes(row, 2);
        vehicle.direction = QLatin1Char(direction.isEmpty() ? '?' : direction[0]);
        vehicle.speed = block.integer(row, 3);
        vehicle.offset = block.integer(row, 4);
        vehicle.length = block.real(row, 5);
        if (!visit(vehicle))
            return;
    }
}

std::vector<SpeedCount> PgSurveyStore::speedCounts(const QString& batchNumber)
{
    const PgResult rows =
        m_connection.exec("SELECT \"Speed\", count(*) FROM \"Veh_Data\" WHERE \"Batch_Number\" = "
                          "$1 GROUP BY \"Speed\" ORDER BY \"Speed\"",
                          {batchNumber.toUtf8()});
    std::vector<SpeedCount> counts;
    for (int row = 0; row < rows.rows(); ++row)
        counts.push_back({rows.integer(row, 0), rows.integer(row, 1)});
    return counts;
}

std::vector<TimeCount> PgSurveyStore::timeCounts(const QString& batchNumber)
{
    const PgResult rows =
        m_connection.exec(QByteArray("SELECT ") + kDayNumber +
                              ", \"Time\", count(*) FROM \"Veh_Data\" WHERE \"Batch_Number\" "
                              "= $1 GROUP BY \"Date\", \"Time\" ORDER BY \"Date\", \"Time\"",
                          {batchNumber.toUtf8()});
    std::vector<TimeCount> counts;
    for (int row = 0; row < rows.rows(); ++row)
        counts.push_back(
            {kDayZero.addDays(rows.integer(row, 0)), int(rows.integer(row, 1)), rows.integer(row, 2)});
    return counts;
}

void PgSurveyStore::writeBreakdownRows(const std::vector<BreakdownRow>&)
{
    // A server shared by many officers keeps no breakdown of anyone's: the
    // breakdown shown is always computed for the survey shown.
}

} // namespace pelmor::store
