// The surveys of a SQLite file: listing, loading, deleting and writing them,
// and the figures their statistics are worked out from.
#include "store/SqliteSurveyStore.h"

#include "store/CountedSpeeds.h"
#include "store/RowColumns.h"
#include "store/SqliteSchema.h"

#include "db/DownloadFingerprint.h"
#include "db/FieldValues.h"
#include "db/Files.h"
#include "db/SqliteStatement.h"

#include <QTime>
#include <QVariant>

#include <array>

namespace pelmor::store {
namespace {

// The fields of `row` from the current row of `statement`, read from
// column `first` on in table order; a null value reads as an empty text.
template <typename Row> int readRow(const db::SqliteStatement& statement, int first, Row& row)
{
    int column = first;
    Row::forEachField(
        row, [&](const char*, QString& text) { text = QString::fromUtf8(statement.textAt(column++)); });
    return column;
}

// The first row of `table` stored under the batch number, in table order;
// false when there is none.
template <typename Row>
bool readFirstRow(db::Connection& connection, const char* table, const QString& batchNumber, Row& row)
{
    db::SqliteStatement query(connection,
                              QStringLiteral("SELECT %1 FROM \"%2\" WHERE \"Batch_Number\" = ? "
                                             "ORDER BY rowid LIMIT 1")
                                  .arg(QString::fromUtf8(columnsOf<Row>("")), QLatin1String(table)));
    query.bind(0, batchNumber);
    if (!query.nextRow())
        return false;
    readRow(query, 0, row);
    return true;
}

// Whether anything is stored under the batch number: a Header row, or
// vehicles or statistics a repair left without their header.
bool batchIsHeld(db::Connection& connection, const QString& batchNumber)
{
    db::SqliteStatement held(
        connection, QStringLiteral("SELECT EXISTS (SELECT 1 FROM \"Header\" WHERE \"Batch_Number\" = ?1) "
                                   "OR EXISTS (SELECT 1 FROM \"Veh_Data\" WHERE \"Batch_Number\" = ?1) "
                                   "OR EXISTS (SELECT 1 FROM \"Summary\" WHERE \"Batch_Number\" = ?1)"));
    held.bind(0, batchNumber);
    return held.nextRow() && held.integerAt(0) != 0;
}

// The survey that holds the download of `fingerprint`, found through the
// key on the fingerprints; empty when none does. Of
// copies an older program stored under different starts, the first.
QString holderOf(db::Connection& connection, const QByteArray& fingerprint)
{
    db::SqliteStatement query(connection,
                              QStringLiteral("SELECT \"Batch_Number\" FROM \"Survey_Download\" "
                                             "WHERE \"Fingerprint\" = ? ORDER BY \"Copy\" LIMIT 1"));
    query.bind(0, fingerprint);
    if (!query.nextRow())
        return QString();
    const QString batch = QString::fromUtf8(query.textAt(0));
    query.reset();
    return batch;
}

// The figures of one stored batch number's vehicles, counted by one query
// per speed and direction, which reads the survey's part of the index once.
// A vehicle without a speed counts by its direction and offset only.
class SqliteStoredTally : public CountedSpeeds {
public:
    SqliteStoredTally(db::Connection& connection, const QString& batchNumber)
        : m_connection(connection)
        , m_batchNumber(batchNumber)
    {
    }

protected:
    void count() override
    {
        if (m_counted)
            return;
        db::SqliteStatement rows(
            m_connection, QStringLiteral("SELECT \"Speed\", \"Veh_Direction\", count(*), max(\"Offset\") "
                                         "FROM \"Veh_Data\" WHERE \"Batch_Number\" = ? "
                                         "GROUP BY \"Speed\", \"Veh_Direction\""));
        rows.bind(0, m_batchNumber);
        m_counted = true;
        while (rows.nextRow()) {
            if (rows.valueAt(0).isNull())
                addTravel(rows.textAt(1), rows.integerAt(3), rows.integerAt(2));
            else
                add(rows.integerAt(0), rows.textAt(1), rows.integerAt(3), rows.integerAt(2));
        }
    }

private:
    db::Connection& m_connection;
    const QString m_batchNumber;
    bool m_counted = false;
};

// A new survey written in one write transaction of the store's
// connection. The texts that repeat row after row (the batch number, a
// day's date, a minute's time, the direction) are made once and bound again
// only when they change: a month-long survey is a million rows.
// Keeps a writer's changed pages in memory until its commit instead of
// writing them into the file as the page cache fills: a spill takes the
// file's exclusive lock, which would shut every reader out for the rest of
// a long import, where now they wait only for the commit itself.
class PagesKeptUntilCommit {
public:
    explicit PagesKeptUntilCommit(db::Connection& connection)
        : m_connection(connection)
    {
        m_connection.executeUnlogged(QStringLiteral("PRAGMA cache_spill = OFF"));
    }
    ~PagesKeptUntilCommit()
    {
        try {
            m_connection.executeUnlogged(QStringLiteral("PRAGMA cache_spill = ON"));
        } catch (const db::DbError&) {
            // The connection is going away with the failure that ended the
            // writer; the setting goes with it.
        }
    }
    PagesKeptUntilCommit(const PagesKeptUntilCommit&) = delete;
    PagesKeptUntilCommit& operator=(const PagesKeptUntilCommit&) = delete;

private:
    db::Connection& m_connection;
};

class SqliteSurveyWriter : public SurveyWriter {
public:
    SqliteSurveyWriter(SqliteSurveyStore& store, const survey::HeaderRow& header, const QString& source)
        : m_store(store)
        , m_connection(store.connection())
        , m_pagesKept(m_connection)
        , m_transaction(m_connection)
        , m_batchNumber(header.batchNumber)
        , m_batch(header.batchNumber.toUtf8())
        , m_location(header.location)
        , m_direction(header.direction)
        , m_source(source)
        , m_lengths(hasVehicleLengths(m_connection))
    {
        if (batchIsHeld(m_connection, header.batchNumber))
            throw duplicate();
        insertHeader(header);
        // A file not yet brought up to date keeps no lengths.
        m_insert = std::make_unique<db::SqliteStatement>(
            m_connection,
            m_lengths ? QStringLiteral("INSERT INTO \"Veh_Data\" (\"Batch_Number\", \"Offset\", "
                                       "\"Veh_Direction\", \"Speed\", \"Time\", \"Date\", \"Length\") "
                                       "VALUES (?, ?, ?, ?, ?, ?, ?)")
                      : QStringLiteral("INSERT INTO \"Veh_Data\" (\"Batch_Number\", \"Offset\", "
                                       "\"Veh_Direction\", \"Speed\", \"Time\", \"Date\") "
                                       "VALUES (?, ?, ?, ?, ?, ?)"));
    }

    void addVehicle(qint64 offset, QByteArrayView direction, qint64 speed, int secondOfDay, const QDate& date,
                    std::optional<double> length) override
    {
        if (m_lengths)
            m_insert->bind(6, length ? QVariant(*length) : QVariant());
        m_insert->bindText(0, m_batch);
        m_insert->bindInteger(1, offset);
        m_insert->bindText(2, directionText(direction));
        m_insert->bindInteger(3, speed);
        m_insert->bindText(4, timeText(secondOfDay));
        m_insert->bindText(5, dateText(date));
        m_insert->run();
        m_download.add(offset, direction, speed);
        m_figures.add(speed, direction, offset);
    }

    SpeedTally& tally() override { return m_figures; }

    void commit(const survey::SummaryRow& statistics, const std::optional<SitePlacement>& placement) override
    {
        m_insert.reset();
        insertDownload();
        insertVehicleCount();
        insertSource();
        insertRow("Summary", statistics.storedFields());
        if (placement) {
            const qint64 site = siteOfKey(m_connection, placement->key, m_location, m_direction);
            putSurveyAtSite(m_connection, {m_batchNumber, site, placement->method, placement->figuresText});
        }
        // A file renamed over the database meanwhile would take the commit
        // into the old file, which no one can open any more.
        if (m_connection.fileReplaced())
            throw replaced();
        m_transaction.commit();
        // Replaced just after the commit: the survey counts as stored only
        // if the file now in place holds it.
        if (m_connection.fileReplaced()) {
            db::Connection current(m_connection.location());
            if (!batchIsHeld(current, m_batchNumber))
                throw replaced();
        }
    }

private:
    DuplicateBatch duplicate() const
    {
        return DuplicateBatch(QStringLiteral("The database %1 holds the batch number %2 already.")
                                  .arg(db::displayPath(m_connection.path()), m_batchNumber),
                              db::Failure::Refused);
    }
    DatabaseReplaced replaced() const
    {
        return DatabaseReplaced(
            QStringLiteral("The database %1 was replaced by another file while the survey %2 was written.")
                .arg(db::displayPath(m_connection.path()), m_batchNumber),
            db::Failure::Replaced);
    }

    // The header's fields; the sign's setup names only when given.
    void insertHeader(const survey::HeaderRow& header)
    {
        auto fields = header.storedFields();
        if (header.fieldSetup.isNull())
            fields.pop_back();
        try {
            insertRow("Header", fields);
        } catch (const db::DbError& refused) {
            // The key on the batch number: another connection stored it
            // first.
            if (refused.failure() == db::Failure::Refused)
                throw duplicate();
            throw;
        }
    }

    // The download's fingerprint, made as its vehicles went by; refused
    // when another survey holds the download. A file not yet brought up to
    // date gets it from its upgrade.
    void insertDownload()
    {
        if (!m_store.hasAddedTable("Survey_Download"))
            return;
        const QByteArray fingerprint = m_download.result();
        if (const QString holder = holderOf(m_connection, fingerprint); !holder.isEmpty())
            throw DuplicateDownload(
                QStringLiteral("The database %1 holds this download already, as survey %2.")
                    .arg(db::displayPath(m_connection.path()), holder),
                holder);
        insertSurveyValue("Survey_Download", "Fingerprint", fingerprint);
    }

    // The survey's vehicle count, which the list of surveys reads. A file
    // not yet brought up to date gets it from its upgrade.
    void insertVehicleCount()
    {
        if (m_store.hasAddedTable("Survey_Vehicles"))
            insertSurveyValue("Survey_Vehicles", "Vehicles", m_figures.vehicles());
    }

    // Where the vehicles came from, when another device's log gave them. A
    // file not yet brought up to date keeps no source.
    void insertSource()
    {
        if (!m_source.isEmpty() && m_store.hasAddedTable("Survey_Source"))
            insertSurveyValue("Survey_Source", "Source", m_source);
    }

    // The survey's row in a table of one value per survey.
    void insertSurveyValue(const char* table, const char* column, const QVariant& value)
    {
        db::SqliteStatement insert(
            m_connection, QStringLiteral("INSERT INTO \"%1\" (\"Batch_Number\", \"%2\") VALUES (?, ?)")
                              .arg(QLatin1String(table), QLatin1String(column)));
        insert.bind(0, m_batchNumber);
        insert.bind(1, value);
        insert.run();
    }

    void insertRow(const char* table, const std::vector<std::pair<QString, QString>>& fields)
    {
        QStringList columns;
        for (const auto& field : fields)
            columns << QLatin1Char('"') + field.first + QLatin1Char('"');
        db::SqliteStatement insert(m_connection,
                                   QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                                       .arg(QLatin1String(table), columns.join(QStringLiteral(", ")),
                                            QStringList(columns.size(), QStringLiteral("?")).join(", ")));
        for (size_t i = 0; i < fields.size(); ++i)
            insert.bind(int(i), QVariant(fields[i].second));
        insert.run();
    }

    const QByteArray& directionText(QByteArrayView direction)
    {
        if (direction.size() == 1 && uchar(direction.front()) < m_oneCharacter.size()) {
            QByteArray& text = m_oneCharacter[uchar(direction.front())];
            if (text.isNull())
                text = QByteArray(direction.data(), 1);
            return text;
        }
        m_otherDirection = direction.toByteArray();
        return m_otherDirection;
    }

    const QByteArray& timeText(int secondOfDay)
    {
        if (secondOfDay < 0 || secondOfDay >= 24 * 3600)
            throw db::DbError(QStringLiteral("The second %1 of a day is no time of day.").arg(secondOfDay));
        if (m_times.empty())
            m_times.resize(24 * 3600);
        QByteArray& text = m_times[size_t(secondOfDay)];
        if (text.isNull())
            text = db::storedTime(QTime(0, 0).addSecs(secondOfDay)).toUtf8();
        return text;
    }

    // Vehicles come in time order, so the last date is worth keeping.
    const QByteArray& dateText(const QDate& date)
    {
        if (date != m_lastDate || m_lastDateText.isNull()) {
            m_lastDate = date;
            m_lastDateText = db::storedDate(date).toUtf8();
        }
        return m_lastDateText;
    }

    SqliteSurveyStore& m_store;
    db::Connection& m_connection;
    PagesKeptUntilCommit m_pagesKept;
    db::Transaction m_transaction;
    const QString m_batchNumber;
    const QByteArray m_batch;
    const QString m_location; // where the survey was taken, for a new site of its own
    const QString m_direction;
    const QString m_source;
    const bool m_lengths; // whether the file keeps vehicle lengths
    std::unique_ptr<db::SqliteStatement> m_insert;
    CountedSpeeds m_figures;
    db::DownloadFingerprint m_download;
    std::array<QByteArray, 128> m_oneCharacter;
    QByteArray m_otherDirection;
    std::vector<QByteArray> m_times;
    QDate m_lastDate;
    QByteArray m_lastDateText;
};

class SqliteWrittenVehicles : public WrittenVehicles {
public:
    SqliteWrittenVehicles(db::Connection& connection, const QString& batchNumber)
        : m_query(connection,
                  QStringLiteral("SELECT \"Offset\", \"Veh_Direction\", \"Speed\" FROM \"Veh_Data\" "
                                 "WHERE \"Batch_Number\" = ? ORDER BY rowid"))
    {
        m_query.bind(0, batchNumber);
    }
    bool next(qint64& offset, QByteArrayView& direction, qint64& speed) override
    {
        if (m_done || !m_query.nextRow()) {
            m_done = true;
            return false;
        }
        offset = m_query.integerAt(0);
        direction = m_query.textAt(1);
        speed = m_query.integerAt(2);
        return true;
    }

private:
    db::SqliteStatement m_query;
    bool m_done = false;
};

} // namespace

std::vector<survey::ListedSurvey> SqliteSurveyStore::listSurveys()
{
    // The first Header row of each batch number in the order the surveys
    // were stored, with its kept vehicle count; a file not brought up to
    // date (it holds a batch number twice, or cannot be written) has its
    // vehicles counted through the index on Veh_Data.
    const QString vehicles =
        hasAddedTable("Survey_Vehicles")
            ? QStringLiteral("coalesce((SELECT c.\"Vehicles\" FROM \"Survey_Vehicles\" c WHERE "
                             "c.\"Batch_Number\" = h.\"Batch_Number\"), 0)")
            : QStringLiteral("(SELECT count(*) FROM \"Veh_Data\" v WHERE v.\"Batch_Number\" = "
                             "h.\"Batch_Number\")");
    db::SqliteStatement query(
        m_connection, QStringLiteral("SELECT %1, %2 FROM \"Header\" h WHERE h.rowid IN (SELECT "
                                     "min(rowid) FROM \"Header\" GROUP BY \"Batch_Number\") ORDER BY h.rowid")
                          .arg(QString::fromUtf8(columnsOf<survey::HeaderRow>("h.")), vehicles));
    std::vector<survey::ListedSurvey> surveys;
    while (query.nextRow()) {
        survey::ListedSurvey survey;
        const int count = readRow(query, 0, survey.header);
        survey.vehicles = query.integerAt(count);
        surveys.push_back(std::move(survey));
    }
    orderByStart(surveys);
    return surveys;
}

std::vector<survey::HeaderRow> SqliteSurveyStore::listHeaders()
{
    db::SqliteStatement query(
        m_connection, QStringLiteral("SELECT %1 FROM \"Header\" h WHERE h.rowid IN (SELECT min(rowid) FROM "
                                     "\"Header\" GROUP BY \"Batch_Number\") ORDER BY h.rowid")
                          .arg(QString::fromUtf8(columnsOf<survey::HeaderRow>("h."))));
    std::vector<survey::HeaderRow> headers;
    while (query.nextRow()) {
        headers.emplace_back();
        readRow(query, 0, headers.back());
    }
    return headers;
}

survey::SurveyRecord SqliteSurveyStore::loadSurvey(const QString& batchNumber)
{
    survey::SurveyRecord record;
    record.batchNumber = batchNumber;
    record.hasHeader = readFirstRow(m_connection, "Header", batchNumber, record.header);
    record.hasSummary = readFirstRow(m_connection, "Summary", batchNumber, record.summary);
    if (hasAddedTable("Survey_Source")) {
        db::SqliteStatement source(
            m_connection,
            QStringLiteral("SELECT \"Source\" FROM \"Survey_Source\" WHERE \"Batch_Number\" = ?"));
        source.bind(0, batchNumber);
        if (source.nextRow())
            record.source = QString::fromUtf8(source.textAt(0));
        source.reset();
    }
    return record;
}

DeletedSurvey SqliteSurveyStore::deleteSurvey(const QString& batchNumber)
{
    DeletedSurvey deleted;
    db::Transaction transaction(m_connection);
    const auto remove = [&](const char* table) {
        db::SqliteStatement statement(
            m_connection,
            QStringLiteral("DELETE FROM \"%1\" WHERE \"Batch_Number\" = ?").arg(QLatin1String(table)));
        statement.bind(0, batchNumber);
        return qint64(statement.run());
    };
    deleted.statistics = remove("Summary") > 0;
    deleted.vehicles = remove("Veh_Data");
    deleted.header = remove("Header") > 0;
    // The survey leaves its site and its download; a file not yet upgraded
    // has neither.
    for (const AddedTable& table : addedTables()) {
        if (table.perSurvey && hasAddedTable(table.name))
            remove(table.name);
    }
    transaction.commit();
    return deleted;
}

QStringList SqliteSurveyStore::duplicatedBatches() const
{
    return m_duplicatedBatches;
}

std::unique_ptr<SurveyWriter> SqliteSurveyStore::beginSurvey(const survey::HeaderRow& header,
                                                             const QString& source)
{
    return std::make_unique<SqliteSurveyWriter>(*this, header, source);
}

std::unique_ptr<SpeedTally> SqliteSurveyStore::tally(const QString& batchNumber)
{
    return std::make_unique<SqliteStoredTally>(m_connection, batchNumber);
}

QString SqliteSurveyStore::surveyHoldingDownload(const QByteArray& fingerprint)
{
    // A file that keeps no fingerprints yet gets them from its upgrade.
    if (!hasAddedTable("Survey_Download"))
        return QString();
    return holderOf(m_connection, fingerprint);
}

std::unique_ptr<WrittenVehicles> SqliteSurveyStore::readWrittenVehicles(const QString& batchNumber)
{
    return std::make_unique<SqliteWrittenVehicles>(m_connection, batchNumber);
}

} // namespace pelmor::store
