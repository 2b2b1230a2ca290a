#include "store/SqliteSurveyStore.h"

#include "db/SqliteStatement.h"

#include <optional>

// The sites of the SQLite file: a table of sites, a table of the location
// keys that lead to each, and one row per survey with its site and stored
// figures. Every change runs under the file's write lock, so two programs
// that meet a new location at once make one site.
namespace pelmor::store {
namespace {

bool siteExists(db::Connection& connection, qint64 siteId)
{
    db::SqliteStatement query(connection, QStringLiteral("SELECT 1 FROM \"Site\" WHERE \"Site_Id\" = ?"));
    query.bindInteger(0, siteId);
    const bool found = query.nextRow();
    query.reset();
    return found;
}

qint64 addSite(db::Connection& connection, const QString& name, const QString& direction)
{
    db::SqliteStatement insert(
        connection, QStringLiteral("INSERT INTO \"Site\" (\"Name\", \"Direction\") VALUES (?, ?)"));
    insert.bind(0, name);
    insert.bind(1, direction);
    insert.run();
    return insert.lastInsertRowId();
}

} // namespace

std::vector<Site> SqliteSurveyStore::sites()
{
    db::SqliteStatement rows(m_connection,
                             QStringLiteral("SELECT \"Site_Id\", \"Name\", \"Direction\", \"Latitude\", "
                                            "\"Longitude\" FROM \"Site\" ORDER BY \"Site_Id\""));
    std::vector<Site> sites;
    while (rows.nextRow())
        sites.push_back({rows.integerAt(0), rows.valueAt(1).toString(), rows.valueAt(2).toString(),
                         realOrNone(rows.valueAt(3)), realOrNone(rows.valueAt(4))});
    return sites;
}

std::vector<SiteSurvey> SqliteSurveyStore::siteSurveys()
{
    db::SqliteStatement rows(m_connection,
                             QStringLiteral("SELECT \"Batch_Number\", \"Site_Id\", \"Method\", \"Figures\" "
                                            "FROM \"Site_Survey\" ORDER BY rowid"));
    std::vector<SiteSurvey> surveys;
    while (rows.nextRow())
        surveys.push_back({rows.valueAt(0).toString(), rows.integerAt(1), int(rows.integerAt(2)),
                           QString::fromUtf8(rows.textAt(3))});
    return surveys;
}

qint64 siteOfKey(db::Connection& connection, const QString& key, const QString& name,
                 const QString& direction)
{
    db::SqliteStatement find(connection,
                             QStringLiteral("SELECT \"Site_Id\" FROM \"Site_Name\" WHERE \"Key\" = ?"));
    find.bind(0, key);
    if (find.nextRow()) {
        const qint64 id = find.integerAt(0);
        find.reset();
        return id;
    }
    const qint64 id = addSite(connection, name, direction);
    db::SqliteStatement insert(
        connection, QStringLiteral("INSERT INTO \"Site_Name\" (\"Key\", \"Site_Id\") VALUES (?, ?)"));
    insert.bind(0, key);
    insert.bindInteger(1, id);
    insert.run();
    return id;
}

void putSurveyAtSite(db::Connection& connection, const SiteSurvey& entry)
{
    db::SqliteStatement upsert(
        connection,
        QStringLiteral("INSERT INTO \"Site_Survey\" (\"Batch_Number\", \"Site_Id\", \"Method\", \"Figures\") "
                       "VALUES (?, ?, ?, ?) ON CONFLICT (\"Batch_Number\") DO UPDATE SET "
                       "\"Site_Id\" = excluded.\"Site_Id\", \"Method\" = excluded.\"Method\", "
                       "\"Figures\" = excluded.\"Figures\""));
    upsert.bind(0, entry.batchNumber);
    upsert.bindInteger(1, entry.siteId);
    upsert.bindInteger(2, entry.method);
    upsert.bind(3, entry.figuresText);
    upsert.run();
}

namespace {

// A stored survey's location and direction, and its entry at a site when it
// has one.
struct StoredSurveyPlace {
    QString location;
    QString direction;
    std::optional<qint64> site;
    int method = 0;
};

std::optional<StoredSurveyPlace> placeOf(db::Connection& connection, const QString& batchNumber)
{
    db::SqliteStatement find(
        connection, QStringLiteral("SELECT h.\"Location\", h.\"Direction\", s.\"Site_Id\", s.\"Method\" FROM "
                                   "\"Header\" h LEFT JOIN \"Site_Survey\" s ON s.\"Batch_Number\" = "
                                   "h.\"Batch_Number\" WHERE h.\"Batch_Number\" = ?"));
    find.bind(0, batchNumber);
    if (!find.nextRow())
        return std::nullopt;
    StoredSurveyPlace place{find.valueAt(0).toString(), find.valueAt(1).toString(), std::nullopt, 0};
    if (!find.valueAt(2).isNull()) {
        place.site = find.integerAt(2);
        place.method = int(find.integerAt(3));
    }
    find.reset();
    return place;
}

} // namespace

qint64 SqliteSurveyStore::placeStoredSurvey(const QString& batchNumber, const SitePlacement& placement)
{
    db::Transaction transaction(m_connection);
    const std::optional<StoredSurveyPlace> place = placeOf(m_connection, batchNumber);
    if (!place)
        return 0;
    // A survey placed before keeps its site: it may have been merged or
    // split off. Figures of this method are kept as they are.
    if (place->site && place->method == placement.method)
        return *place->site;
    const qint64 site = place->site
                            ? *place->site
                            : siteOfKey(m_connection, placement.key, place->location, place->direction);
    putSurveyAtSite(m_connection, {batchNumber, site, placement.method, placement.figuresText});
    transaction.commit();
    return site;
}

bool SqliteSurveyStore::mergeSites(qint64 from, qint64 into)
{
    if (from == into)
        return siteExists(m_connection, into);
    db::Transaction transaction(m_connection);
    if (!siteExists(m_connection, from) || !siteExists(m_connection, into))
        return false;
    for (const char* table : {"Site_Survey", "Site_Name"}) {
        db::SqliteStatement move(m_connection,
                                 QStringLiteral("UPDATE \"%1\" SET \"Site_Id\" = ? WHERE \"Site_Id\" = ?")
                                     .arg(QLatin1String(table)));
        move.bindInteger(0, into);
        move.bindInteger(1, from);
        move.run();
    }
    db::SqliteStatement remove(m_connection, QStringLiteral("DELETE FROM \"Site\" WHERE \"Site_Id\" = ?"));
    remove.bindInteger(0, from);
    remove.run();
    transaction.commit();
    return true;
}

qint64 SqliteSurveyStore::splitSurvey(const QString& batchNumber)
{
    db::Transaction transaction(m_connection);
    const std::optional<StoredSurveyPlace> place = placeOf(m_connection, batchNumber);
    if (!place || !place->site)
        return 0;
    const qint64 id = addSite(m_connection, place->location, place->direction);
    db::SqliteStatement move(
        m_connection,
        QStringLiteral("UPDATE \"Site_Survey\" SET \"Site_Id\" = ? WHERE \"Batch_Number\" = ?"));
    move.bindInteger(0, id);
    move.bind(1, batchNumber);
    move.run();
    transaction.commit();
    return id;
}

bool SqliteSurveyStore::setSiteCoordinates(qint64 siteId, double latitude, double longitude)
{
    db::SqliteStatement update(
        m_connection,
        QStringLiteral("UPDATE \"Site\" SET \"Latitude\" = ?, \"Longitude\" = ? WHERE \"Site_Id\" = ?"));
    update.bind(0, latitude);
    update.bind(1, longitude);
    update.bindInteger(2, siteId);
    return update.run() > 0;
}

} // namespace pelmor::store
