// The surveys on a PostgreSQL server: listing, loading, deleting and writing
// them, and the figures their statistics are worked out from.
#include "store/PgSurveyStore.h"

#include "store/CountedFigures.h"
#include "store/PgServerSchema.h"
#include "store/RowColumns.h"

#include <QtEndian>

#include <limits>

namespace pelmor::store {
namespace {

// The fields of `row` from a result row, read from column `first` on in
// table order; a NULL reads as an empty text.
template <typename Row> int readRow(const PgResult& result, int at, int first, Row& row)
{
    int column = first;
    Row::forEachField(row, [&](const char*, QString& text) { text = result.text(at, column++); });
    return column;
}

PgParameters textsOf(const std::vector<std::pair<QString, QString>>& fields)
{
    PgParameters values;
    for (const auto& field : fields)
        values.push_back(field.second.isNull() ? QByteArray() : field.second.toUtf8());
    return values;
}

// INSERT INTO "table" ("a", "b") VALUES ($1, $2)
QByteArray insertOf(const char* table, const std::vector<std::pair<QString, QString>>& fields)
{
    QByteArrayList columns, places;
    for (const auto& field : fields) {
        columns << '"' + field.first.toUtf8() + '"';
        places << '$' + QByteArray::number(places.size() + 1);
    }
    return QByteArray("INSERT INTO \"") + table + "\" (" + columns.join(", ") + ") VALUES (" +
           places.join(", ") + ')';
}

// The figures of one stored batch number's vehicles, counted by one query
// per speed and direction: a few hundred rows where the survey has a
// million vehicles.
class PgSurveyFigures : public CountedFigures {
public:
    PgSurveyFigures(PgConnection& connection, const QString& batchNumber)
        : m_connection(connection)
        , m_batch(batchNumber.toUtf8())
    {
    }

protected:
    void count() override
    {
        if (m_counted)
            return;
        const PgResult rows = m_connection.exec(
            "SELECT \"Speed\", \"Veh_Direction\", count(*), max(\"Offset\") FROM \"Veh_Data\" "
            "WHERE \"Batch_Number\" = $1 GROUP BY \"Speed\", \"Veh_Direction\"",
            {m_batch});
        m_counted = true;
        for (int row = 0; row < rows.rows(); ++row)
            add(rows.integer(row, 0), rows.bytes(row, 1), rows.integer(row, 3), rows.integer(row, 2));
    }

private:
    PgConnection& m_connection;
    const QByteArray m_batch;
    bool m_counted = false;
};

// A number in network byte order, as COPY's binary form has it.
template <typename Number> void appendBig(QByteArray& row, Number number)
{
    char bytes[sizeof(Number)];
    qToBigEndian(number, bytes);
    row.append(bytes, sizeof bytes);
}

// A text field of COPY's binary form: its length, then its bytes.
QByteArray binaryField(const QByteArray& text)
{
    QByteArray field;
    appendBig<qint32>(field, qint32(text.size()));
    return field + text;
}

// The lock that survey writers of one database take in turn, as the file's
// write lock: what a writer checks before it writes (is this download
// stored already?) stays true until it commits. Readers never wait for it.
constexpr const char* kWritersLock = "7041969";
// How long a writer waits for the writer before it; a month-long survey
// takes a few seconds to store.
constexpr const char* kWritersWait = "SET LOCAL lock_timeout = '60s'";

// A new survey written in one transaction: the writers' lock, the header
// row that claims the batch number under the server's key, the vehicles
// streamed in through COPY, then the statistics row and the commit.
class PgSurveyWriter : public SurveyWriter {
public:
    PgSurveyWriter(PgConnection& connection, const survey::HeaderRow& header)
        : m_connection(connection)
        , m_transaction(connection)
        , m_batchNumber(header.batchNumber)
        , m_batch(binaryField(header.batchNumber.toUtf8()))
    {
        try {
            connection.exec(kWritersWait);
            connection.exec("SELECT pg_advisory_xact_lock($1)", {kWritersLock});
        } catch (const db::DbError& waited) {
            if (waited.failure() == db::Failure::InUse)
                throw db::DbError(QStringLiteral("Another survey is being stored on the database %1; try "
                                                 "again when it is done.")
                                      .arg(connection.name()),
                                  db::Failure::InUse);
            throw;
        }
        const auto fields = header.storedFields();
        try {
            connection.exec(insertOf("Header", fields).constData(), textsOf(fields));
        } catch (const db::DbError& refused) {
            if (connection.lastFailureState() == "23505")
                throw DuplicateBatch(QStringLiteral("The database %1 holds the batch number %2 already.")
                                         .arg(connection.name(), m_batchNumber),
                                     db::Failure::Refused);
            throw;
        }
    }

    void addVehicle(qint64 offset, QByteArrayView direction, qint64 speed, int secondOfDay,
                    const QDate& date) override
    {
        if (secondOfDay < 0 || secondOfDay >= 24 * 3600)
            throw db::DbError(QStringLiteral("The second %1 of a day is no time of day.").arg(secondOfDay));
        if (speed < std::numeric_limits<qint32>::min() || speed > std::numeric_limits<qint32>::max())
            throw db::DbError(QStringLiteral("The speed %1 of a vehicle of survey %2 is out of range.")
                                  .arg(speed)
                                  .arg(m_batchNumber));
        if (!m_connection.copying()) {
            // COPY's binary form: the server reads the numbers and the date
            // as they are, with nothing to parse or escape.
            m_connection.beginCopy("COPY \"Veh_Data\" (\"Batch_Number\", \"Offset\", \"Veh_Direction\", "
                                   "\"Speed\", \"Time\", \"Date\") FROM STDIN (FORMAT binary)",
                                   QByteArray("\xff\xff", 2));
            m_connection.copyBuffer().append("PGCOPY\n\xff\r\n\0\0\0\0\0\0\0\0\0", 19);
        }
        QByteArray& row = m_connection.copyBuffer();
        appendBig<qint16>(row, 6);
        row += m_batch;
        appendBig<qint32>(row, 8);
        appendBig<qint64>(row, offset);
        appendBig<qint32>(row, qint32(direction.size()));
        row.append(direction.data(), direction.size());
        appendBig<qint32>(row, 4);
        appendBig<qint32>(row, qint32(speed));
        appendBig<qint32>(row, 4);
        appendBig<qint32>(row, secondOfDay);
        appendBig<qint32>(row, 4);
        appendBig<qint32>(row, dayNumber(date));
        m_connection.sendCopyBuffer(true);
        m_figures.add(speed, direction, offset);
    }

    SurveyFigures& figures() override
    {
        m_connection.endCopy();
        return m_figures;
    }

    void commit(const survey::SummaryRow& statistics) override
    {
        const auto fields = statistics.storedFields();
        m_connection.exec(insertOf("Summary", fields).constData(), textsOf(fields));
        m_transaction.commit();
    }

private:
    // The date as COPY's binary form has it: days after 2000-01-01.
    qint32 dayNumber(const QDate& date)
    {
        if (date != m_lastDate) {
            if (!date.isValid())
                throw db::DbError(
                    QStringLiteral("A vehicle of survey %1 has no valid date.").arg(m_batchNumber));
            m_lastDate = date;
            m_lastDay = qint32(QDate(2000, 1, 1).daysTo(date));
        }
        return m_lastDay;
    }

    PgConnection& m_connection;
    PgTransaction m_transaction;
    const QString m_batchNumber;
    const QByteArray m_batch; // as a field of COPY's binary form
    // The vehicles written so far, counted as they go by: the statistics
    // need no query over them.
    CountedFigures m_figures;
    QDate m_lastDate;
    qint32 m_lastDay = 0;
};

class PgWrittenVehicles : public WrittenVehicles {
public:
    PgWrittenVehicles(PgConnection& connection, const QString& batchNumber)
        : m_rows(connection,
                 "SELECT \"Offset\", \"Veh_Direction\", \"Speed\" FROM \"Veh_Data\" "
                 "WHERE \"Batch_Number\" = $1 ORDER BY \"Id\"",
                 {batchNumber.toUtf8()})
    {
    }
    bool next(qint64& offset, QByteArrayView& direction, qint64& speed) override
    {
        if (!m_rows.next())
            return false;
        const PgResult& block = m_rows.block();
        offset = block.integer(m_rows.row(), 0);
        direction = block.bytes(m_rows.row(), 1);
        speed = block.integer(m_rows.row(), 2);
        return true;
    }

private:
    PgCursor m_rows;
};

} // namespace

PgSurveyStore::PgSurveyStore(const db::Database& database)
    : m_connection(database.server)
{
    int version = 0;
    try {
        version = int(m_connection.exec("SELECT \"Version\" FROM \"Schema_Version\"").integer(0, 0));
    } catch (const db::DbError&) {
        if (m_connection.lastFailureState() != "42P01")
            throw;
    }
    if (version == 0)
        throw db::DbError(
            QStringLiteral("The survey database %1 is not set up for this program: ask the agency's IT "
                           "to set it up (pelmor-cli --server URL server init).")
                .arg(m_connection.name()),
            db::Failure::Other);
    if (version != kServerSchemaVersion)
        throw db::DbError(
            QStringLiteral("The survey database %1 is of version %2, which this program (version %3) "
                           "does not read: update the program, or ask the agency's IT to "
                           "bring the server up to date (pelmor-cli --server URL server init).")
                .arg(m_connection.name())
                .arg(version)
                .arg(kServerSchemaVersion),
            db::Failure::Other);
    m_administrator =
        m_connection.exec("SELECT pg_has_role(current_user, 'pelmor_admin', 'MEMBER')").bytes(0, 0) == "t";
}

Capabilities PgSurveyStore::capabilities() const
{
    Capabilities capabilities;
    capabilities.fileMaintenance = false;
    capabilities.deleteSurveys = m_administrator;
    return capabilities;
}

std::vector<survey::ListedSurvey> PgSurveyStore::listSurveys()
{
    const PgResult rows =
        m_connection.exec("SELECT " + columnsOf<survey::HeaderRow>("h.") +
                          ", coalesce(c.\"Vehicles\", 0) FROM \"Header\" h LEFT JOIN \"Survey_Vehicles\" c "
                          "ON c.\"Batch_Number\" = h.\"Batch_Number\" ORDER BY h.\"Id\"");
    std::vector<survey::ListedSurvey> surveys;
    for (int row = 0; row < rows.rows(); ++row) {
        survey::ListedSurvey survey;
        const int count = readRow(rows, row, 0, survey.header);
        survey.vehicles = rows.integer(row, count);
        surveys.push_back(std::move(survey));
    }
    return surveys;
}

std::vector<survey::HeaderRow> PgSurveyStore::listHeaders()
{
    const PgResult rows =
        m_connection.exec("SELECT " + columnsOf<survey::HeaderRow>("") + " FROM \"Header\" ORDER BY \"Id\"");
    std::vector<survey::HeaderRow> headers(size_t(rows.rows()));
    for (int row = 0; row < rows.rows(); ++row)
        readRow(rows, row, 0, headers[size_t(row)]);
    return headers;
}

survey::SurveyRecord PgSurveyStore::loadSurvey(const QString& batchNumber)
{
    survey::SurveyRecord record;
    record.batchNumber = batchNumber;
    const PgParameters batch{batchNumber.toUtf8()};
    const PgResult header = m_connection.exec(
        "SELECT " + columnsOf<survey::HeaderRow>("") + " FROM \"Header\" WHERE \"Batch_Number\" = $1", batch);
    record.hasHeader = header.rows() > 0;
    if (record.hasHeader)
        readRow(header, 0, 0, record.header);
    const PgResult summary = m_connection.exec("SELECT " + columnsOf<survey::SummaryRow>("") +
                                                   " FROM \"Summary\" WHERE \"Batch_Number\" = $1",
                                               batch);
    record.hasSummary = summary.rows() > 0;
    if (record.hasSummary)
        readRow(summary, 0, 0, record.summary);
    return record;
}

DeletedSurvey PgSurveyStore::deleteSurvey(const QString& batchNumber)
{
    DeletedSurvey deleted;
    const PgParameters batch{batchNumber.toUtf8()};
    try {
        PgTransaction transaction(m_connection);
        m_connection.exec("DELETE FROM \"Site_Survey\" WHERE \"Batch_Number\" = $1", batch);
        deleted.statistics =
            m_connection.exec("DELETE FROM \"Summary\" WHERE \"Batch_Number\" = $1", batch).rowsChanged() > 0;
        deleted.vehicles =
            m_connection.exec("DELETE FROM \"Veh_Data\" WHERE \"Batch_Number\" = $1", batch).rowsChanged();
        deleted.header =
            m_connection.exec("DELETE FROM \"Header\" WHERE \"Batch_Number\" = $1", batch).rowsChanged() > 0;
        transaction.commit();
    } catch (const db::DbError&) {
        if (m_connection.lastFailureState() == "42501")
            throw db::DbError(deletionRefused(), db::Failure::Refused);
        throw;
    }
    return deleted;
}

QStringList PgSurveyStore::duplicatedBatches() const
{
    return {}; // the server's key keeps each batch number once
}

std::unique_ptr<SurveyWriter> PgSurveyStore::beginSurvey(const survey::HeaderRow& header)
{
    return std::make_unique<PgSurveyWriter>(m_connection, header);
}

std::unique_ptr<SurveyFigures> PgSurveyStore::figures(const QString& batchNumber)
{
    return std::make_unique<PgSurveyFigures>(m_connection, batchNumber);
}

std::vector<survey::HeaderRow> PgSurveyStore::surveysCounting(qint64 vehicles)
{
    const PgResult rows = m_connection.exec(
        "SELECT " + columnsOf<survey::HeaderRow>("h.") +
            " FROM \"Header\" h JOIN \"Summary\" s ON s.\"Batch_Number\" = h.\"Batch_Number\" "
            "WHERE trim(s.\"Total_Vehicles\") = $1 ORDER BY h.\"Id\"",
        {QByteArray::number(vehicles)});
    std::vector<survey::HeaderRow> headers;
    for (int row = 0; row < rows.rows(); ++row) {
        survey::HeaderRow header;
        readRow(rows, row, 0, header);
        headers.push_back(std::move(header));
    }
    return headers;
}

std::unique_ptr<WrittenVehicles> PgSurveyStore::readWrittenVehicles(const QString& batchNumber)
{
    return std::make_unique<PgWrittenVehicles>(m_connection, batchNumber);
}

} // namespace pelmor::store
