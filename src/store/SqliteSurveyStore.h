#pragma once

#include "db/Connection.h"
#include "store/SurveyStore.h"

// The survey store of one SQLite file: the default database, beside the
// program or in the user's data folder. Its implementation is split by
// concern: the surveys themselves, the vehicle reads, the name lists.
namespace pelmor::store {

class SqliteSurveyStore : public SurveyStore {
public:
    explicit SqliteSurveyStore(const db::Database& database); // throws DbError

    // What every store of a file can do.
    static Capabilities describedCapabilities();
    Capabilities capabilities() const override;

    // SqliteSurveys.cpp
    std::vector<survey::ListedSurvey> listSurveys() override;
    std::vector<survey::HeaderRow> listHeaders() override;
    survey::SurveyRecord loadSurvey(const QString& batchNumber) override;
    DeletedSurvey deleteSurvey(const QString& batchNumber) override;
    // SqliteDeletion.cpp
    SurveyContents surveyContents(const QString& batchNumber) override;
    bool deleteAllSurveys() override;
    QStringList duplicatedBatches() const override;
    std::unique_ptr<SurveyWriter> beginSurvey(const survey::HeaderRow& header,
                                              const QString& source) override;
    std::unique_ptr<SpeedTally> tally(const QString& batchNumber) override;
    QString surveyHoldingDownload(const QByteArray& fingerprint) override;
    std::unique_ptr<WrittenVehicles> readWrittenVehicles(const QString& batchNumber) override;

    // SqliteVehicleReads.cpp
    void scanVehicles(const QString& batchNumber, VehicleOrder order,
                      const std::function<bool(const VehicleRow&)>& visit) override;
    std::vector<SpeedCount> speedCounts(const QString& batchNumber) override;
    std::vector<TimeCount> timeCounts(const QString& batchNumber) override;
    void writeBreakdownRows(const std::vector<BreakdownRow>& rows) override;

    // SqliteSites.cpp
    std::vector<Site> sites() override;
    std::vector<SiteSurvey> siteSurveys() override;
    qint64 placeStoredSurvey(const QString& batchNumber, const SitePlacement& placement) override;
    bool mergeSites(qint64 from, qint64 into) override;
    qint64 splitSurvey(const QString& batchNumber) override;
    bool setSiteCoordinates(qint64 siteId, double latitude, double longitude) override;

    // SqliteNameLists.cpp
    std::vector<NamedEntry> names(NameList list) override;
    NamedEntry addName(NameList list, const QString& name) override;
    bool renameName(NameList list, qint64 id, const QString& name) override;
    bool deleteName(NameList list, qint64 id) override;

    // The connection, for the file's own maintenance.
    db::Connection& connection() { return m_connection; }

    // Whether the file holds `name`, a table a later layout added. Tables
    // are only ever added, by the upgrade when the store opened or by
    // another program since, so a table found is not looked for again while
    // the connection keeps the same file open; one missing is looked for
    // each time.
    bool hasAddedTable(const char* name);

private:
    db::Connection m_connection;
    std::vector<QByteArray> m_tablesFound;
    int m_tablesOpening = 0; // the connection's opening they were found in
    // The batch numbers held twice that kept an older file from being
    // brought up to date when the store opened it.
    QStringList m_duplicatedBatches;
};

// The site a location key leads to on the file, made (named `name` and
// `direction`) when there is none, and a survey's entry at its site in
// place of what it had: within the transaction open on the connection, the
// writer's or the store's own (SqliteSites.cpp).
qint64 siteOfKey(db::Connection& connection, const QString& key, const QString& name,
                 const QString& direction);
void putSurveyAtSite(db::Connection& connection, const SiteSurvey& entry);

// A stored REAL; none for a null (SqliteVehicleReads.cpp).
std::optional<double> realOrNone(const QVariant& value);

} // namespace pelmor::store
