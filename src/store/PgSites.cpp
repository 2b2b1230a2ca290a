#include "store/PgSurveyStore.h"

#include <optional>

// The sites on the server: the same three tables as the file's, with the
// server's keys binding a survey's entry to its Header row and its site.
// A new location key is claimed under a lock of its own, so two officers
// storing surveys of one new street at once make one site.
namespace pelmor::store {
namespace {

std::optional<double> realOrNone(const PgResult& result, int row, int column)
{
    if (result.isNull(row, column))
        return std::nullopt;
    return result.text(row, column).toDouble();
}

QByteArray realText(double value)
{
    return QByteArray::number(value, 'g', 17);
}

bool siteExists(PgConnection& connection, qint64 siteId)
{
    return connection
               .exec("SELECT 1 FROM \"Site\" WHERE \"Site_Id\" = $1 FOR UPDATE", {QByteArray::number(siteId)})
               .rows() > 0;
}

qint64 addSite(PgConnection& connection, const QString& name, const QString& direction)
{
    return connection
        .exec("INSERT INTO \"Site\" (\"Name\", \"Direction\") VALUES ($1, $2) RETURNING \"Site_Id\"",
              {name.toUtf8(), direction.toUtf8()})
        .integer(0, 0);
}

} // namespace

std::vector<Site> PgSurveyStore::sites()
{
    const PgResult rows = m_connection.exec("SELECT \"Site_Id\", \"Name\", \"Direction\", \"Latitude\", "
                                            "\"Longitude\" FROM \"Site\" ORDER BY \"Site_Id\"");
    std::vector<Site> sites;
    for (int row = 0; row < rows.rows(); ++row)
        sites.push_back({rows.integer(row, 0), rows.text(row, 1), rows.text(row, 2), realOrNone(rows, row, 3),
                         realOrNone(rows, row, 4)});
    return sites;
}

std::vector<SiteSurvey> PgSurveyStore::siteSurveys()
{
    const PgResult rows = m_connection.exec(
        "SELECT \"Batch_Number\", \"Site_Id\", \"Method\", \"Figures\" FROM \"Site_Survey\" ORDER BY \"Id\"");
    std::vector<SiteSurvey> surveys;
    for (int row = 0; row < rows.rows(); ++row)
        surveys.push_back(
            {rows.text(row, 0), rows.integer(row, 1), int(rows.integer(row, 2)), rows.text(row, 3)});
    return surveys;
}

qint64 PgSurveyStore::siteFor(const QString& key, const QString& name, const QString& direction)
{
    std::optional<PgTransaction> transaction;
    if (!m_connection.inTransaction())
        transaction.emplace(m_connection);
    const QByteArray keyText = key.toUtf8();
    m_connection.exec("SELECT pg_advisory_xact_lock(7041969, hashtext($1))", {keyText});
    const PgResult found =
        m_connection.exec("SELECT \"Site_Id\" FROM \"Site_Name\" WHERE \"Key\" = $1", {keyText});
    if (found.rows() > 0)
        return found.integer(0, 0);
    const qint64 id = addSite(m_connection, name, direction);
    m_connection.exec("INSERT INTO \"Site_Name\" (\"Key\", \"Site_Id\") VALUES ($1, $2)",
                      {keyText, QByteArray::number(id)});
    if (transaction)
        transaction->commit();
    return id;
}

void PgSurveyStore::putSurveyAtSite(const SiteSurvey& entry)
{
    m_connection.exec("INSERT INTO \"Site_Survey\" (\"Batch_Number\", \"Site_Id\", \"Method\", \"Figures\") "
                      "VALUES ($1, $2, $3, $4) ON CONFLICT (\"Batch_Number\") DO UPDATE SET "
                      "\"Site_Id\" = EXCLUDED.\"Site_Id\", \"Method\" = EXCLUDED.\"Method\", "
                      "\"Figures\" = EXCLUDED.\"Figures\"",
                      {entry.batchNumber.toUtf8(), QByteArray::number(entry.siteId),
                       QByteArray::number(entry.method), entry.figures.toUtf8()});
}

bool PgSurveyStore::mergeSites(qint64 from, qint64 into)
{
    PgTransaction transaction(m_connection);
    if (!siteExists(m_connection, from) || !siteExists(m_connection, into))
        return false;
    if (from == into)
        return true;
    const PgParameters sites{QByteArray::number(into), QByteArray::number(from)};
    m_connection.exec("UPDATE \"Site_Survey\" SET \"Site_Id\" = $1 WHERE \"Site_Id\" = $2", sites);
    m_connection.exec("UPDATE \"Site_Name\" SET \"Site_Id\" = $1 WHERE \"Site_Id\" = $2", sites);
    m_connection.exec("DELETE FROM \"Site\" WHERE \"Site_Id\" = $1", {QByteArray::number(from)});
    transaction.commit();
    return true;
}

qint64 PgSurveyStore::splitSurvey(const QString& batchNumber, const QString& name, const QString& direction)
{
    PgTransaction transaction(m_connection);
    const QByteArray batch = batchNumber.toUtf8();
    if (m_connection.exec("SELECT 1 FROM \"Site_Survey\" WHERE \"Batch_Number\" = $1 FOR UPDATE", {batch})
            .rows() == 0)
        return 0;
    const qint64 id = addSite(m_connection, name, direction);
    m_connection.exec("UPDATE \"Site_Survey\" SET \"Site_Id\" = $1 WHERE \"Batch_Number\" = $2",
                      {QByteArray::number(id), batch});
    transaction.commit();
    return id;
}

bool PgSurveyStore::setSiteCoordinates(qint64 siteId, double latitude, double longitude)
{
    return m_connection
               .exec("UPDATE \"Site\" SET \"Latitude\" = $1, \"Longitude\" = $2 WHERE \"Site_Id\" = $3",
                     {realText(latitude), realText(longitude), QByteArray::number(siteId)})
               .rowsChanged() > 0;
}

} // namespace pelmor::store
