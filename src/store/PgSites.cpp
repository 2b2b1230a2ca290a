#include "store/PgSurveyStore.h"

#include <optional>

// The sites on the server: the same three tables as the file's, with the
// server's keys binding a survey's entry to its Header row and its site.
// Every change goes through the server's own functions, which check it and
// decide a new location key by its key, so two officers storing surveys of
// one new street at once make one site.
namespace pelmor::store {
namespace {

QByteArray realText(double value)
{
    return QByteArray::number(value, 'g', 17);
}

} // namespace

std::vector<Site> PgSurveyStore::sites()
{
    const PgResult rows = m_connection.exec("SELECT \"Site_Id\", \"Name\", \"Direction\", \"Latitude\", "
                                            "\"Longitude\" FROM \"Site\" ORDER BY \"Site_Id\"");
    std::vector<Site> sites;
    for (int row = 0; row < rows.rows(); ++row)
        sites.push_back({rows.integer(row, 0), rows.text(row, 1), rows.text(row, 2), rows.real(row, 3),
                         rows.real(row, 4)});
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

qint64 PgSurveyStore::placeStoredSurvey(const QString& batchNumber, const SitePlacement& placement)
{
    return m_connection
        .exec("SELECT \"Place_Survey\"($1, $2, $3)",
              {batchNumber.toUtf8(), placement.key.toUtf8(), placement.figuresText.toUtf8()})
        .integer(0, 0);
}

bool PgSurveyStore::mergeSites(qint64 from, qint64 into)
{
    return m_connection
               .exec("SELECT \"Merge_Sites\"($1, $2)", {QByteArray::number(from), QByteArray::number(into)})
               .bytes(0, 0) == "t";
}

qint64 PgSurveyStore::splitSurvey(const QString& batchNumber)
{
    return m_connection.exec("SELECT \"Split_Survey\"($1)", {batchNumber.toUtf8()}).integer(0, 0);
}

bool PgSurveyStore::setSiteCoordinates(qint64 siteId, double latitude, double longitude)
{
    return m_connection
               .exec("SELECT \"Set_Site_Coordinates\"($1, $2, $3)",
                     {QByteArray::number(siteId), realText(latitude), realText(longitude)})
               .bytes(0, 0) == "t";
}

} // namespace pelmor::store
