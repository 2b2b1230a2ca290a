#pragma once

#include "compare/Comparison.h"
#include "db/Database.h"
#include "db/DbError.h"
#include "reports/DocumentInputs.h"
#include "reports/PagePainter.h"
#include "sites/SiteTrends.h"
#include "study/SpeedStudy.h"
#include "survey/SurveyRecord.h"

#include <QByteArray>
#include <QDate>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

// The questions the headless tool and the web view answer from a database:
// each reads through the survey store and works out its answer with the
// same functions the windows use, so that every way of asking gets the same
// figures and the same texts, byte for byte.
namespace pelmor::queries {

// Why a question got no answer.
enum class Refusal {
    None,
    BadRequest,     // a value given is not one the question takes
    NotFound,       // no survey or site of that name
    DatabaseFailure // the database failed; `failure` says how
};

// An answer, or why there is none.
template <typename T> struct Answer {
    std::optional<T> value;
    Refusal refusal = Refusal::None;
    // What the user is told when there is no answer, as it stands.
    QString message;
    // The database's kind of failure, for Refusal::DatabaseFailure.
    db::Failure failure = db::Failure::Other;

    bool ok() const { return value.has_value(); }
    static Answer of(T value) { return Answer{std::move(value), Refusal::None, QString()}; }
    static Answer refused(Refusal refusal, QString message)
    {
        return Answer{std::nullopt, refusal, std::move(message)};
    }
    static Answer failed(const db::DbError& error)
    {
        return Answer{std::nullopt, Refusal::DatabaseFailure, error.message(), error.failure()};
    }
    // The refusal of another answer, carried over.
    template <typename U> static Answer from(const Answer<U>& other)
    {
        return Answer{std::nullopt, other.refusal, other.message, other.failure};
    }
};

// A JSON document as every JSON answer is printed and served: indented.
QByteArray jsonText(const QJsonObject& object);
QByteArray jsonText(const QJsonArray& array);

// A date a filter is given in, MM/DD/YYYY; refused (BadRequest) naming
// `field` and quoting the text when it is no such date. An empty text is
// no date.
Answer<std::optional<QDate>> readFilterDate(const QString& field, const QString& text);

// An enforcement threshold given as text: a whole speed from 1 up; none for
// an empty text; refused (BadRequest) naming `field` otherwise.
Answer<std::optional<qint64>> readThreshold(const QString& field, const QString& text);

// --- Surveys ---------------------------------------------------------------

// Which surveys a list shows; every part left empty matches all.
struct SurveyFilter {
    QString text;               // found in the batch number, location or location code, any case
    QString zone;               // the zone, as stored, any case
    QString direction;          // the direction of travel, as site keys read it
    std::optional<QDate> since; // began on or after
    std::optional<QDate> until; // began on or before
};

// The stored surveys the filter matches, in the order the lists show them.
Answer<std::vector<survey::ListedSurvey>> listSurveys(const db::Database& database,
                                                      const SurveyFilter& filter = {});
// The list as JSON: one object per survey with its batch number, location,
// direction, start date and time, posted limit, unit, zone and vehicles.
QJsonArray surveysJson(const std::vector<survey::ListedSurvey>& surveys);

// One stored survey with its statistics; NotFound when the database holds
// no statistics under the batch number.
Answer<survey::SurveyRecord> storedSurvey(const db::Database& database, const QString& batchNumber);
// The statistics row as JSON, field by field, as stored.
QJsonObject summaryJson(const survey::SummaryRow& summary);

// The speed study of a stored survey, with the threshold given or the
// default.
Answer<study::SpeedStudy> speedStudy(const db::Database& database, const QString& batchNumber,
                                     std::optional<qint64> threshold = std::nullopt);
// The same of a survey already loaded (by storedSurvey), which is not read
// again.
Answer<study::SpeedStudy> speedStudy(const db::Database& database, const survey::SurveyRecord& survey,
                                     std::optional<qint64> threshold = std::nullopt);

// Two stored surveys compared, the one before first.
Answer<compare::Comparison> comparison(const db::Database& database, const QString& batchA,
                                       const QString& batchB);

// --- Sites -----------------------------------------------------------------

// Every site with its surveys; the surveys stored without figures are placed
// first.
Answer<std::vector<sites::SiteSurveys>> allSites(const db::Database& database);
// Lets allSites() answer from what it read of the same database (under the
// same login) less than `milliseconds` ago, instead of reading every site
// again: for a server of pages, where the ranking and the sites are asked
// for many times a second. 0, the default, reads every time.
void keepSitesFor(int milliseconds);
// Forgets the sites read before, so that a change made here shows at once.
void forgetSites();
// The site `named` names among `all`: its number, or its name when one site
// bears it; NotFound or BadRequest (several of that name) otherwise.
Answer<const sites::SiteSurveys*> findSite(const std::vector<sites::SiteSurveys>& all, const QString& named);
// The history of the site `named` names.
Answer<sites::SiteHistory> siteHistory(const db::Database& database, const QString& named);
// The ranking of the sites the filter matches.
Answer<std::vector<sites::Priority>> priorities(const db::Database& database,
                                                const sites::PriorityFilter& filter);
// The sites with coordinates and their latest figures, as a GeoJSON
// FeatureCollection.
QJsonObject sitesGeoJson(const std::vector<sites::SiteSurveys>& all);

// --- Exports and documents -------------------------------------------------

// A survey's vehicles as the CSV export writes them.
Answer<QByteArray> vehiclesCsv(const db::Database& database, const QString& batchNumber);

// What a printed document is asked for with.
struct DocumentRequest {
    int number = 0;                       // the document's number, 1 to 11
    QString batchNumber;                  // for the survey documents and the comparison's first survey
    QString secondBatch;                  // the comparison's second survey
    qint64 site = 0;                      // the site history's site
    std::optional<qint64> threshold;      // the speed study's threshold
    sites::PriorityFilter priorityFilter; // the ranking's filter
    std::optional<QString> agency;        // none: the first agency stored
    std::optional<QString> officer;       // none: the first officer stored
    bool blackAndWhite = false;
    QDate today;
    reports::FieldSheetInputs fieldSheet; // the field setup sheet's values
};

// A document laid out on its pages, with its name (the PDF's title) and a
// warning to tell once (what its graph lacks); refused as the report
// command refuses.
struct Document {
    reports::PagedDocument pages;
    QString name;
    QString warning;
};
Answer<Document> document(const db::Database& database, const DocumentRequest& request);
// The document as the bytes of a PDF file.
Answer<QByteArray> documentPdf(const Document& document);

} // namespace pelmor::queries
