// The surveys on a PostgreSQL server: listing, loading, deleting and writing
// them, and the figures their statistics are worked out from.
#include "store/PgSurveyStore.h"

#include "store/CountedSpeeds.h"
#include "store/PgServerSchema.h"
#include "store/RowColumns.h"

#include "db/DownloadFingerprint.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <cstring>

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

// The figures of one stored batch number's vehicles, counted by one query
// per speed and direction: a few hundred rows where the survey has a
// million vehicles.
class PgStoredTally : public CountedSpeeds {
public:
    PgStoredTally(PgConnection& connection, const QString& batchNumber)
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

// The header or statistics row as a JSON object of its fields, as the
// server's functions take them: a field without a text is null.
template <typename Row> QByteArray jsonOf(const Row& row)
{
    QJsonObject object;
    Row::forEachField(row, [&object](const char* name, const QString& text) {
        object.insert(QLatin1String(name), text.isNull() ? QJsonValue() : QJsonValue(text));
    });
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// Bytes as the server reads a bytea's text.
QByteArray byteaText(const QByteArray& bytes)
{
    return "\\x" + bytes.toHex();
}

// The survey that holds the download of `fingerprint`, found through the
// key on the fingerprints; empty when none does. Of surveys stored twice
// before the server told downloads apart by their vehicles alone, the
// first.
QString holderOf(PgConnection& connection, const QByteArray& fingerprint)
{
    const PgResult found = connection.exec("SELECT \"Batch_Number\" FROM \"Survey_Download\" WHERE "
                                           "\"Fingerprint\" = $1::bytea ORDER BY \"Copy\" LIMIT 1",
                                           {byteaText(fingerprint)});
    return found.rows() > 0 ? found.text(0, 0) : QString();
}

// A new survey written in one transaction: the server opens it, the
// vehicles stream in through COPY, and the server finishes it with its
// header, statistics and site, claiming the batch number and the download
// under its keys only then, a moment before the commit. So writers of
// different surveys never wait for each other, and one that stops half way
// holds nothing another needs.
class PgSurveyWriter : public SurveyWriter {
public:
    PgSurveyWriter(PgConnection& connection, const survey::HeaderRow& header, const QString& source)
        : m_connection(connection)
        , m_transaction(connection)
        , m_header(header)
        , m_source(source)
        , m_batch(binaryField(header.batchNumber.toUtf8()))
    {
        try {
            connection.exec("SELECT \"Begin_Survey\"($1)", {header.batchNumber.toUtf8()});
        } catch (const db::DbError&) {
            if (connection.lastFailureState() == "23505")
                throw duplicateBatch();
            throw;
        }
    }

    void addVehicle(qint64 offset, QByteArrayView direction, qint64 speed, int secondOfDay, const QDate& date,
                    std::optional<double> length) override
    {
        if (secondOfDay < 0 || secondOfDay >= 24 * 3600)
            throw db::DbError(QStringLiteral("The second %1 of a day is no time of day.").arg(secondOfDay));
        if (!m_connection.copying()) {
            // COPY's binary form: the server reads the numbers and the date
            // as they are, with nothing to parse or escape.
            m_connection.beginCopy("COPY \"Veh_Data\" (\"Batch_Number\", \"Offset\", \"Speed\", "
                                   "\"Veh_Direction\", \"Time\", \"Date\", \"Length\") FROM STDIN "
                                   "(FORMAT binary)",
                                   QByteArray("\xff\xff", 2));
            m_connection.copyBuffer().append("PGCOPY\n\xff\r\n\0\0\0\0\0\0\0\0\0", 19);
        }
        QByteArray& row = m_connection.copyBuffer();
        appendBig<qint16>(row, 7);
        row += m_batch;
        appendBig<qint32>(row, 8);
        appendBig<qint64>(row, offset);
        appendBig<qint32>(row, 8);
        appendBig<qint64>(row, speed);
        appendBig<qint32>(row, qint32(direction.size()));
        row.append(direction.data(), direction.size());
        appendBig<qint32>(row, 4);
        appendBig<qint32>(row, secondOfDay);
        appendBig<qint32>(row, 4);
        appendBig<qint32>(row, dayNumber(date));
        if (length) {
            // A float8 travels as the bits of the number, in network order.
            quint64 bits = 0;
            std::memcpy(&bits, &*length, sizeof bits);
            appendBig<qint32>(row, 8);
            appendBig<quint64>(row, bits);
        } else {
            appendBig<qint32>(row, -1); // NULL
        }
        m_download.add(offset, direction, speed);
        m_connection.sendCopyBuffer(true);
        m_figures.add(speed, direction, offset);
    }

    SpeedTally& tally() override
    {
        m_connection.endCopy();
        return m_figures;
    }

    void commit(const survey::SummaryRow& statistics, const std::optional<SitePlacement>& placement) override
    {
        const QByteArray fingerprint = m_download.result();
        try {
            m_connection.exec("SELECT \"Finish_Survey\"($1, $2, $3, $4, $5, $6)",
                              {jsonOf(m_header), jsonOf(statistics), byteaText(fingerprint),
                               placement ? placement->key.toUtf8() : QByteArray(),
                               placement ? placement->figuresText.toUtf8() : QByteArray(),
                               m_source.isEmpty() ? QByteArray() : m_source.toUtf8()});
        } catch (const db::DbError& failed) {
            const QByteArray state = m_connection.lastFailureState();
            const QByteArray key = m_connection.lastFailureConstraint();
            if (state == "23505" && key == "Header_Batch_Number_key")
                throw duplicateBatch();
            if (state == "23505" && key == "Survey_Download_Once") {
                m_transaction.rollBack();
                const QString storedAs = holderOf(m_connection, fingerprint);
                throw DuplicateDownload(QStringLiteral("The database %1 holds this download already, as "
                                                       "survey %2.")
                                            .arg(m_connection.name(), storedAs),
                                        storedAs);
            }
            if (state == "55P03") {
                m_transaction.rollBack();
                throw held(failed);
            }
            throw;
        }
        m_transaction.commit();
    }

private:
    DuplicateBatch duplicateBatch() const
    {
        return DuplicateBatch(QStringLiteral("The database %1 holds the batch number %2 already.")
                                  .arg(m_connection.name(), m_header.batchNumber),
                              db::Failure::Refused);
    }

    // What the survey waited for in vain, and who holds it, as far as the
    // server tells: the users whose sessions are storing or deleting a
    // survey right now.
    db::DbError held(const db::DbError& failed)
    {
        QString users;
        try {
            users = m_connection
                        .exec("SELECT string_agg(DISTINCT a.usename::text, ', ') FROM pg_locks l JOIN "
                              "pg_stat_activity a ON a.pid = l.pid WHERE l.locktype = 'relation' AND "
                              "l.relation = '\"Header\"'::regclass AND l.mode = 'RowExclusiveLock' AND "
                              "l.granted AND l.pid <> pg_backend_pid()")
                        .text(0, 0);
        } catch (const db::DbError&) {
            // Who holds it is only told when the server says.
        }
        const QString holder = users.isEmpty() ? QStringLiteral("another session")
                                               : QStringLiteral("another session (of %1)").arg(users);
        return db::DbError(
            QStringLiteral("The survey %1 cannot be stored on the database %2 now: %3 is storing or deleting "
                           "a survey with the same batch number, download or site and has not finished in "
                           "time. Try again in a minute; the server ends a session that stopped half way "
                           "within a minute or two.")
                .arg(m_header.batchNumber, m_connection.name(), holder),
            failed.failure());
    }

    // The date as COPY's binary form has it: days after 2000-01-01.
    qint32 dayNumber(const QDate& date)
    {
        if (date != m_lastDate) {
            if (!date.isValid())
                throw db::DbError(
                    QStringLiteral("A vehicle of survey %1 has no valid date.").arg(m_header.batchNumber));
            m_lastDate = date;
            m_lastDay = qint32(QDate(2000, 1, 1).daysTo(date));
        }
        return m_lastDay;
    }

    PgConnection& m_connection;
    PgTransaction m_transaction;
    const survey::HeaderRow m_header;
    const QString m_source;   // where the vehicles came from; empty for the sign's own
    const QByteArray m_batch; // as a field of COPY's binary form
    // The download's fingerprint, made as its vehicles go by.
    db::DownloadFingerprint m_download;
    // The vehicles written so far, counted as they go by: the statistics
    // need no query over them.
    CountedSpeeds m_figures;
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
    : m_pooled(database.server)
    , m_connection(m_pooled.connection())
{
    // A connection of the pool was checked when it was new.
    if (const std::optional<bool> administrator = m_pooled.adminRole()) {
        m_administrator = *administrator;
        return;
    }
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
    m_pooled.setAdminRole(m_administrator);
}

Capabilities PgSurveyStore::describedCapabilities()
{
    // The agency's IT keeps the server; nothing here erases every
    // officer's surveys at once.
    Capabilities capabilities;
    capabilities.keeper = Keeper::AgencyServer;
    capabilities.fileMaintenance = false;
    capabilities.deleteAll = false;
    return capabilities;
}

Capabilities PgSurveyStore::capabilities() const
{
    Capabilities capabilities = describedCapabilities();
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
    orderByStart(surveys);
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
    const PgResult source =
        m_connection.exec("SELECT \"Source\" FROM \"Survey_Source\" WHERE \"Batch_Number\" = $1", batch);
    if (source.rows() > 0)
        record.source = source.text(0, 0);
    return record;
}

DeletedSurvey PgSurveyStore::deleteSurvey(const QString& batchNumber)
{
    DeletedSurvey deleted;
    try {
        const PgResult removed =
            m_connection.exec("SELECT * FROM \"Delete_Survey\"($1)", {batchNumber.toUtf8()});
        deleted.header = removed.bytes(0, 0) == "t";
        deleted.statistics = removed.bytes(0, 1) == "t";
        deleted.vehicles = removed.integer(0, 2);
    } catch (const db::DbError&) {
        if (m_connection.lastFailureState() == "42501")
            throw db::DbError(deletionRefused(), db::Failure::NotAllowed);
        throw;
    }
    return deleted;
}

SurveyContents PgSurveyStore::surveyContents(const QString& batchNumber)
{
    const survey::SurveyRecord survey = loadSurvey(batchNumber);
    SurveyContents contents;
    contents.header = survey.hasHeader;
    if (survey.hasHeader)
        contents.about = QStringList{survey.header.location, survey.header.direction, survey.header.date};
    qint64 vehicles = 0;
    for (const SpeedCount& speed : speedCounts(batchNumber))
        vehicles += speed.count;
    contents.vehicles = vehicles;
    return contents;
}

bool PgSurveyStore::deleteAllSurveys()
{
    throw db::DbError(QStringLiteral("Every survey of the agency server cannot be deleted at once."),
                      db::Failure::Refused);
}

QStringList PgSurveyStore::duplicatedBatches() const
{
    return {}; // the server's key keeps each batch number once
}

std::unique_ptr<SurveyWriter> PgSurveyStore::beginSurvey(const survey::HeaderRow& header,
                                                         const QString& source)
{
    return std::make_unique<PgSurveyWriter>(m_connection, header, source);
}

std::unique_ptr<SpeedTally> PgSurveyStore::tally(const QString& batchNumber)
{
    return std::make_unique<PgStoredTally>(m_connection, batchNumber);
}

QString PgSurveyStore::surveyHoldingDownload(const QByteArray& fingerprint)
{
    return holderOf(m_connection, fingerprint);
}

std::unique_ptr<WrittenVehicles> PgSurveyStore::readWrittenVehicles(const QString& batchNumber)
{
    return std::make_unique<PgWrittenVehicles>(m_connection, batchNumber);
}

} // namespace pelmor::store
