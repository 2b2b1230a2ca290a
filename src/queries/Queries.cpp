#include "queries/Queries.h"

#include "csv/TableExport.h"
#include "reports/Documents.h"
#include "session/DocumentPreparation.h"
#include "sites/SiteExport.h"
#include "sites/SitePlacement.h"
#include "store/NameLists.h"
#include "store/SurveyStore.h"
#include "survey/SiteKey.h"
#include "text/Formats.h"
#include "text/MessageText.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <future>
#include <limits>
#include <map>
#include <mutex>

namespace pelmor::queries {
namespace {

bool sameText(const QString& a, const QString& b)
{
    return QString::compare(a.trimmed(), b.trimmed(), Qt::CaseInsensitive) == 0;
}

bool matches(const survey::HeaderRow& header, const SurveyFilter& filter, const QString& direction)
{
    if (!filter.text.isEmpty()) {
        const QString text = filter.text.trimmed();
        if (!header.batchNumber.contains(text, Qt::CaseInsensitive) &&
            !header.location.contains(text, Qt::CaseInsensitive) &&
            !header.locationCode.contains(text, Qt::CaseInsensitive))
            return false;
    }
    if (!filter.zone.isEmpty() && !sameText(header.zone, filter.zone))
        return false;
    if (!filter.direction.isEmpty() && survey::siteKey(QString(), header.direction) != direction)
        return false;
    if (filter.since || filter.until) {
        const std::optional<QDate> day = text::parseDate(header.date);
        if (!day || (filter.since && *day < *filter.since) || (filter.until && *day > *filter.until))
            return false;
    }
    return true;
}

// The first name of a list: the one the window chooses when it opens.
// Empty when the list has none, or only the placeholder of a name.
QString firstName(store::SurveyStore& store, store::NameList list)
{
    const std::vector<store::NamedEntry> names = store.names(list);
    return names.empty() ? QString() : store::printedName(list, names.front().name);
}

} // namespace

QByteArray jsonText(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QByteArray jsonText(const QJsonArray& array)
{
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

Answer<std::optional<QDate>> readFilterDate(const QString& field, const QString& text)
{
    if (text.isEmpty())
        return Answer<std::optional<QDate>>::of(std::nullopt);
    const QDate date = QDate::fromString(text, QStringLiteral("MM/dd/yyyy"));
    if (!date.isValid())
        return Answer<std::optional<QDate>>::refused(
            Refusal::BadRequest, QStringLiteral("%1 takes a date as MM/DD/YYYY, such as 03/15/2026, not %2.")
                                     .arg(field, text::quotedValue(text)));
    return Answer<std::optional<QDate>>::of(date);
}

Answer<std::optional<qint64>> readThreshold(const QString& field, const QString& given)
{
    using Result = Answer<std::optional<qint64>>;
    if (given.isEmpty())
        return Result::of(std::nullopt);
    const QString digits = given.trimmed();
    bool number = false;
    const qint64 speed = digits.toLongLong(&number);
    if (number && speed >= 1)
        return Result::of(speed);
    static const QRegularExpression whole(QStringLiteral("^[+-]?[0-9]+$"));
    const QString what = QStringLiteral("The threshold %1 ").arg(text::quotedValue(given));
    const QString instead = QStringLiteral(": give %1 a whole speed above 0, such as 45.").arg(field);
    if (!whole.match(digits).hasMatch())
        return Result::refused(Refusal::BadRequest, what + QStringLiteral("is not a whole number") + instead);
    if (number || digits.startsWith(QLatin1Char('-')))
        return Result::refused(Refusal::BadRequest, what + QStringLiteral("is not above 0") + instead);
    return Result::refused(Refusal::BadRequest,
                           what + QStringLiteral("is above the largest allowed, %1: give %2 a smaller "
                                                 "whole speed.")
                                      .arg(text::formatCount(std::numeric_limits<qint64>::max()), field));
}

Answer<std::vector<survey::ListedSurvey>> listSurveys(const db::Database& database,
                                                      const SurveyFilter& filter)
{
    using Result = Answer<std::vector<survey::ListedSurvey>>;
    try {
        std::vector<survey::ListedSurvey> all = store::openStore(database)->listSurveys();
        const QString direction = survey::siteKey(QString(), filter.direction);
        all.erase(std::remove_if(all.begin(), all.end(),
                                 [&](const survey::ListedSurvey& listed) {
                                     return !matches(listed.header, filter, direction);
                                 }),
                  all.end());
        return Result::of(std::move(all));
    } catch (const db::DbError& error) {
        return Result::failed(error);
    }
}

QJsonArray surveysJson(const std::vector<survey::ListedSurvey>& surveys)
{
    QJsonArray array;
    for (const survey::ListedSurvey& listed : surveys) {
        QJsonObject object;
        for (const auto& [field, text] : listed.header.storedFields())
            object.insert(field, text);
        object.insert(QStringLiteral("Vehicles"), listed.vehicles);
        array.append(object);
    }
    return array;
}

Answer<survey::SurveyRecord> storedSurvey(const db::Database& database, const QString& batchNumber)
{
    using Result = Answer<survey::SurveyRecord>;
    try {
        survey::SurveyRecord survey = store::openStore(database)->loadSurvey(batchNumber);
        if (!survey.hasSummary)
            return Result::refused(
                Refusal::NotFound,
                QStringLiteral("No statistics of a survey %1 are stored.").arg(batchNumber));
        return Result::of(std::move(survey));
    } catch (const db::DbError& error) {
        return Result::failed(error);
    }
}

QJsonObject summaryJson(const survey::SummaryRow& summary)
{
    QJsonObject object;
    for (const auto& [field, text] : summary.storedFields())
        object.insert(field, text);
    return object;
}

Answer<study::SpeedStudy> speedStudy(const db::Database& database, const QString& batchNumber,
                                     std::optional<qint64> threshold)
{
    using Result = Answer<study::SpeedStudy>;
    survey::SurveyRecord survey;
    try {
        survey = store::openStore(database)->loadSurvey(batchNumber);
    } catch (const db::DbError& error) {
        return Result::failed(error);
    }
    if (!survey.hasHeader)
        return Result::refused(Refusal::NotFound,
                               QStringLiteral("The database holds no survey %1.").arg(batchNumber));
    return speedStudy(database, survey, threshold);
}

Answer<study::SpeedStudy> speedStudy(const db::Database& database, const survey::SurveyRecord& survey,
                                     std::optional<qint64> threshold)
{
    using Result = Answer<study::SpeedStudy>;
    // A survey of statistics alone, as storedSurvey may give it.
    if (!survey.hasHeader)
        return Result::refused(
            Refusal::NotFound,
            QStringLiteral("The database holds no survey %1.").arg(survey.summary.batchNumber));
    study::StudyResult result = study::runStudy(database, study::StudyInputs::of(survey, threshold));
    if (!result.ok())
        return Result::refused(Refusal::BadRequest, result.message);
    return Result::of(std::move(*result.study));
}

Answer<compare::Comparison> comparison(const db::Database& database, const QString& batchA,
                                       const QString& batchB)
{
    compare::ComparisonResult result = compare::compareSurveys(database, batchA, batchB);
    if (!result.ok())
        return Answer<compare::Comparison>::refused(result.surveyMissing    ? Refusal::NotFound
                                                    : result.databaseFailed ? Refusal::DatabaseFailure
                                                                            : Refusal::BadRequest,
                                                    result.message);
    return Answer<compare::Comparison>::of(std::move(*result.comparison));
}

namespace {

// The sites read last from each database, with when they go stale.
struct KeptSites {
    using Sites = std::shared_ptr<const std::vector<sites::SiteSurveys>>;
    struct Entry {
        // Until when they are given; halfway there they are read again off
        // the requests' threads, so that a steady stream of requests never
        // waits for a reading.
        QDeadlineTimer fresh;
        QDeadlineTimer renew;
        // Ready once they are read; until then the requests that ask wait
        // for the first one's reading rather than all read them at once.
        std::shared_future<Sites> sites;
        bool rereading = false;
    };
    std::mutex mutex;
    int milliseconds = 0;
    std::map<std::pair<QString, QString>, Entry> read;
    // Last, so that it waits for a reading still running before the rest goes.
    QThreadPool rereading;

    Entry entry(std::shared_future<Sites> sites) const
    {
        return {QDeadlineTimer(milliseconds), QDeadlineTimer(milliseconds / 2), std::move(sites), false};
    }

    // A session that signed out leaves its entry behind: entries long stale
    // are swept out.
    void sweep()
    {
        for (auto entry = read.begin(); entry != read.end();) {
            const bool done =
                !entry->second.rereading &&
                entry->second.sites.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
            entry = done && entry->second.fresh.hasExpired() ? read.erase(entry) : std::next(entry);
        }
    }
};

KeptSites& keptSites()
{
    static KeptSites kept;
    return kept;
}

std::vector<sites::SiteSurveys> readAllSites(const db::Database& database)
{
    const std::unique_ptr<store::SurveyStore> store = store::openStore(database);
    sites::placeSurveysWithoutSiteFigures(*store);
    return sites::readSites(*store);
}

// Reads the sites of `database` again for the entry of `key`: the entry
// takes them when they are read, and goes when they cannot be, so that the
// next request reads them and tells the failure.
void rereadSites(const db::Database& database, const std::pair<QString, QString>& key)
{
    KeptSites& kept = keptSites();
    std::optional<std::vector<sites::SiteSurveys>> all;
    try {
        all = readAllSites(database);
    } catch (const db::DbError&) {
    }
    const std::lock_guard<std::mutex> lock(kept.mutex);
    const auto entry = kept.read.find(key);
    if (entry == kept.read.end() || !entry->second.rereading)
        return; // forgotten meanwhile: a change made here is read anew
    if (!all) {
        kept.read.erase(entry);
        return;
    }
    std::promise<KeptSites::Sites> ready;
    ready.set_value(std::make_shared<const std::vector<sites::SiteSurveys>>(std::move(*all)));
    entry->second = kept.entry(ready.get_future().share());
}

} // namespace

void keepSitesFor(int milliseconds)
{
    KeptSites& kept = keptSites();
    const std::lock_guard<std::mutex> lock(kept.mutex);
    kept.milliseconds = milliseconds;
    kept.read.clear();
}

void forgetSites()
{
    KeptSites& kept = keptSites();
    const std::lock_guard<std::mutex> lock(kept.mutex);
    kept.read.clear();
}

Answer<std::vector<sites::SiteSurveys>> allSites(const db::Database& database)
{
    using Result = Answer<std::vector<sites::SiteSurveys>>;
    KeptSites& kept = keptSites();
    const std::pair<QString, QString> key{database.path, database.server};
    std::shared_future<KeptSites::Sites> keptOnes;
    std::promise<KeptSites::Sites> reading;
    bool readingHere = false;
    {
        const std::lock_guard<std::mutex> lock(kept.mutex);
        if (kept.milliseconds <= 0) {
            kept.read.clear();
        } else if (const auto found = kept.read.find(key);
                   found != kept.read.end() && !found->second.fresh.hasExpired()) {
            KeptSites::Entry& entry = found->second;
            keptOnes = entry.sites;
            if (entry.renew.hasExpired() && !entry.rereading &&
                keptOnes.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
                entry.rereading = true;
                kept.rereading.start([database, key] { rereadSites(database, key); });
            }
        } else {
            kept.sweep();
            kept.read[key] = kept.entry(reading.get_future().share());
            readingHere = true;
        }
    }
    try {
        if (keptOnes.valid())
            return Result::of(*keptOnes.get());
        if (!readingHere)
            return Result::of(readAllSites(database));
        try {
            auto all = std::make_shared<const std::vector<sites::SiteSurveys>>(readAllSites(database));
            reading.set_value(all);
            return Result::of(*all);
        } catch (...) {
            // The requests waiting for this reading are told its failure,
            // and the next one reads again.
            reading.set_exception(std::current_exception());
            const std::lock_guard<std::mutex> lock(kept.mutex);
            const auto entry = kept.read.find(key);
            if (entry != kept.read.end() &&
                entry->second.sites.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
                kept.read.erase(entry);
            throw;
        }
    } catch (const db::DbError& error) {
        return Result::failed(error);
    }
}

Answer<const sites::SiteSurveys*> findSite(const std::vector<sites::SiteSurveys>& all, const QString& named)
{
    using Result = Answer<const sites::SiteSurveys*>;
    bool number = false;
    const qint64 id = named.toLongLong(&number);
    std::vector<const sites::SiteSurveys*> found;
    for (const sites::SiteSurveys& site : all) {
        if (number ? site.site.id == id
                   : survey::siteKey(site.site.name, QString()) == survey::siteKey(named, QString()))
            found.push_back(&site);
    }
    if (found.size() == 1)
        return Result::of(found.front());
    if (found.empty())
        return Result::refused(Refusal::NotFound,
                               QStringLiteral("No site holds surveys under %1: 'pelmor-cli sites' lists the "
                                              "sites with their numbers.")
                                   .arg(text::quotedValue(named)));
    QStringList titles;
    for (const sites::SiteSurveys* site : found)
        titles << sites::siteTitle(site->site);
    return Result::refused(Refusal::BadRequest,
                           QStringLiteral("%1 sites are named %2: %3. Name the site by its number.")
                               .arg(found.size())
                               .arg(text::quotedValue(named), titles.join(QStringLiteral("; "))));
}

Answer<sites::SiteHistory> siteHistory(const db::Database& database, const QString& named)
{
    using Result = Answer<sites::SiteHistory>;
    const auto all = allSites(database);
    if (!all.ok())
        return Result::from(all);
    const auto site = findSite(*all.value, named);
    if (!site.ok())
        return Result::from(site);
    return Result::of(sites::historyOf(**site.value));
}

Answer<std::vector<sites::Priority>> priorities(const db::Database& database,
                                                const sites::PriorityFilter& filter)
{
    using Result = Answer<std::vector<sites::Priority>>;
    const auto all = allSites(database);
    if (!all.ok())
        return Result::from(all);
    return Result::of(sites::priorities(*all.value, filter));
}

QJsonObject sitesGeoJson(const std::vector<sites::SiteSurveys>& all)
{
    const QJsonArray listed = sites::sitesJson(all);
    QJsonArray features;
    for (size_t i = 0; i < all.size(); ++i) {
        const store::Site& site = all[i].site;
        if (!site.latitude || !site.longitude)
            continue;
        QJsonObject geometry{{QStringLiteral("type"), QStringLiteral("Point")},
                             {QStringLiteral("coordinates"), QJsonArray{*site.longitude, *site.latitude}}};
        // The properties are the site as the sites' JSON gives it, with its
        // latest figures; the coordinates stand in the geometry.
        QJsonObject properties = listed.at(qsizetype(i)).toObject();
        features.append(QJsonObject{{QStringLiteral("type"), QStringLiteral("Feature")},
                                    {QStringLiteral("id"), site.id},
                                    {QStringLiteral("geometry"), geometry},
                                    {QStringLiteral("properties"), properties}});
    }
    return QJsonObject{{QStringLiteral("type"), QStringLiteral("FeatureCollection")},
                       {QStringLiteral("features"), features}};
}

Answer<QByteArray> vehiclesCsv(const db::Database& database, const QString& batchNumber)
{
    using Result = Answer<QByteArray>;
    std::unique_ptr<store::SurveyStore> store;
    try {
        store = store::openStore(database);
        if (!store->loadSurvey(batchNumber).hasHeader)
            return Result::refused(Refusal::NotFound,
                                   QStringLiteral("The database holds no survey %1.").arg(batchNumber));
    } catch (const db::DbError& error) {
        return Result::failed(error);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QString failure = csv::writeTable(*store, csv::Table::Vehicles, batchNumber, buffer);
    if (!failure.isEmpty())
        return Result::refused(Refusal::DatabaseFailure, failure);
    return Result::of(std::move(bytes));
}

Answer<Document> document(const db::Database& database, const DocumentRequest& request)
{
    using Result = Answer<Document>;
    const reports::DocumentKind* kind =
        reports::documentKind(reports::reportChoiceFromNumber(request.number));
    if (!kind)
        return Result::refused(Refusal::NotFound,
                               QStringLiteral("There is no document %1; the documents are %2.")
                                   .arg(request.number)
                                   .arg(reports::documentList()));
    if (request.threshold && kind->preparation != reports::Preparation::SpeedStudy)
        return Result::refused(Refusal::BadRequest,
                               QStringLiteral("Document %1 counts no vehicles over an enforcement threshold: "
                                              "leave out the threshold.")
                                   .arg(request.number));
    reports::DocumentInputs inputs;
    inputs.today = request.today.isValid() ? request.today : QDate::currentDate();
    inputs.blackAndWhite = request.blackAndWhite;
    inputs.fieldSheet = request.fieldSheet;
    try {
        {
            const std::unique_ptr<store::SurveyStore> store = store::openStore(database);
            inputs.agency = request.agency ? *request.agency : firstName(*store, store::NameList::Agencies);
            inputs.officer =
                request.officer ? *request.officer : firstName(*store, store::NameList::Officers);
            if (kind->forSurvey)
                inputs.survey = store->loadSurvey(request.batchNumber);
        }
        if (kind->forSurvey && (!inputs.survey.hasHeader || !inputs.survey.hasSummary))
            return Result::refused(Refusal::NotFound,
                                   QStringLiteral("The database holds no survey %1 with its statistics.")
                                       .arg(request.batchNumber));
        session::PreparationChoices choices{request.threshold, request.secondBatch, request.site};
        choices.priorityFilter = request.priorityFilter;
        const session::Preparation preparation =
            session::prepareDocumentInputs(*kind, database, inputs, {}, choices);
        if (!preparation.ok())
            return Result::refused(preparation.databaseFailure ? Refusal::DatabaseFailure
                                                               : Refusal::BadRequest,
                                   preparation.refusal);
        std::optional<reports::PagedDocument> pages = kind->build(inputs);
        if (!pages)
            return Result::refused(Refusal::BadRequest,
                                   QStringLiteral("The document cannot be laid out on the paper."));
        return Result::of(
            Document{std::move(*pages), reports::documentName(kind->choice), preparation.warning});
    } catch (const db::DbError& error) {
        return Result::failed(error);
    }
}

Answer<QByteArray> documentPdf(const Document& document)
{
    using Result = Answer<QByteArray>;
    const QTemporaryDir folder;
    if (!folder.isValid())
        return Result::refused(
            Refusal::DatabaseFailure,
            QStringLiteral("No temporary folder can be made for the PDF: %1").arg(folder.errorString()));
    const QString path = folder.filePath(QStringLiteral("document.pdf"));
    const QString failure = reports::writePdf(document.pages, path, document.name);
    if (!failure.isEmpty())
        return Result::refused(Refusal::DatabaseFailure, failure);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result::refused(
            Refusal::DatabaseFailure,
            QStringLiteral("The PDF %1 cannot be read back: %2").arg(path, file.errorString()));
    return Result::of(file.readAll());
}

} // namespace pelmor::queries
