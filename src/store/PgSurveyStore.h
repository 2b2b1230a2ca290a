#pragma once

#include "store/PgConnection.h"
#include "store/PgConnectionPool.h"
#include "store/SurveyStore.h"

// The survey store of an agency's PostgreSQL server, shared by every officer
// of the agency. The server keeps each batch number once with its own key
// and decides with its own grants who may delete surveys and edit the name
// lists. Its implementation is split like the file's: the surveys, the
// vehicle reads, the name lists.
namespace pelmor::store {

class PgSurveyStore : public SurveyStore {
public:
    explicit PgSurveyStore(const db::Database& database); // throws DbError

    // What every store of a server can do, before the user's role is known.
    static Capabilities describedCapabilities();
    Capabilities capabilities() const override;

    // PgSurveys.cpp
    std::vector<survey::ListedSurvey> listSurveys() override;
    std::vector<survey::HeaderRow> listHeaders() override;
    survey::SurveyRecord loadSurvey(const QString& batchNumber) override;
    DeletedSurvey deleteSurvey(const QString& batchNumber) override;
    SurveyContents surveyContents(const QString& batchNumber) override;
    bool deleteAllSurveys() override;
    QStringList duplicatedBatches() const override;
    std::unique_ptr<SurveyWriter> beginSurvey(const survey::HeaderRow& header,
                                              const QString& source) override;
    std::unique_ptr<SpeedTally> tally(const QString& batchNumber) override;
    QString surveyHoldingDownload(const QByteArray& fingerprint) override;
    std::unique_ptr<WrittenVehicles> readWrittenVehicles(const QString& batchNumber) override;

    // PgVehicleReads.cpp
    void scanVehicles(const QString& batchNumber, VehicleOrder order,
                      const std::function<bool(const VehicleRow&)>& visit) override;
    std::vector<SpeedCount> speedCounts(const QString& batchNumber) override;
    std::vector<TimeCount> timeCounts(const QString& batchNumber) override;
    void writeBreakdownRows(const std::vector<BreakdownRow>& rows) override;

    // PgSites.cpp
    std::vector<Site> sites() override;
    std::vector<SiteSurvey> siteSurveys() override;
    qint64 placeStoredSurvey(const QString& batchNumber, const SitePlacement& placement) override;
    bool mergeSites(qint64 from, qint64 into) override;
    qint64 splitSurvey(const QString& batchNumber) override;
    bool setSiteCoordinates(qint64 siteId, double latitude, double longitude) override;

    // PgNameLists.cpp
    std::vector<NamedEntry> names(NameList list) override;
    NamedEntry addName(NameList list, const QString& name) override;
    bool renameName(NameList list, qint64 id, const QString& name) override;
    bool deleteName(NameList list, qint64 id) override;

private:
    PooledConnection m_pooled;
    PgConnection& m_connection;
    bool m_administrator = false;
};

} // namespace pelmor::store
