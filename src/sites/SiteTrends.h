#pragma once

#include "sites/SiteFigures.h"
#include "store/SurveyStore.h"
#include "study/SpeedStudy.h"
#include "survey/SurveyRecord.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// The surveys of each site over the years, and the sites ranked by how
// many drivers speed there: read from the figures kept with each survey,
// never from its vehicles.
namespace pelmor::sites {

// One survey of a site, with its figures in its own unit.
struct SurveyAtSite {
    survey::HeaderRow header;
    SiteFigures figures;
    QDateTime start; // from its statistics; invalid when they cannot be read
};

// A site and its surveys, the earliest first.
struct SiteSurveys {
    store::Site site;
    std::vector<SurveyAtSite> surveys;

    // The unit the site's history is shown in: that of its first survey.
    QString unit() const;
};

// Every site that holds a survey, by id. Surveys not yet placed, or placed
// by an earlier method, are left out: see placeSurveysWithoutSiteFigures().
// Throws db::DbError.
std::vector<SiteSurveys> readSites(store::SurveyStore& store);

// The change of a survey from the one before it at its site.
struct ChangeFromPrevious {
    std::optional<double> vehiclesPerDay;
    double mean = 0;
    double percentile85 = 0;
    double percentOverLimit = 0; // percentage points
    double percentSpeeders = 0;
    // Whether the mean changed by more than chance (Welch's t-test, as the
    // comparison of two surveys tests it): "significant at 95 % (p = 0.003)".
    QString verdict;
    bool significant = false;
};

// One survey of a site's history, in the site's unit.
struct HistoryRow {
    QString batchNumber;
    QString startDate; // as its statistics give them
    QString stopDate;
    QString unit;     // the survey's own unit
    double limit = 0; // its posted limit, in the site's unit
    qint64 vehicles = 0;
    std::optional<double> vehiclesPerDay;
    double mean = 0;
    double percentile85 = 0;
    double percentOverLimit = 0;
    double percentSpeeders = 0; // over the limit + study::kSpeedingMargin of the site's unit
    bool converted = false;     // measured in the other unit
    std::optional<ChangeFromPrevious> change;
};

struct SiteHistory {
    store::Site site;
    QString unit; // "MPH" or "KPH"
    std::vector<HistoryRow> rows;
    // Says which surveys were converted, and at which factor; empty when
    // none was.
    QString conversionNote;
};

SiteHistory historyOf(const SiteSurveys& site);

// Which sites the ranking looks at.
struct PriorityFilter {
    QString zone;               // the zone of the survey; empty for any
    QString direction;          // of travel, read as site keys read it; empty for any
    std::optional<QDate> since; // surveys that began on or after it
    std::optional<QDate> until; // surveys that began on or before it
};

// A site where drivers speed, from its latest survey within the filter, in
// that survey's unit.
struct Priority {
    qint64 siteId = 0;
    QString name; // the site's name
    QString location;
    QString direction;
    QString zone;
    QString latestBatch;
    QString startDate;
    QString unit;
    int postedLimit = 0;
    std::optional<double> vehiclesPerDay;
    double percentile85 = 0;
    double percentile85OverLimit = 0;
    double percentSpeeders = 0;
    std::optional<double> speedersPerDay;
};

// The sites by speeders per day, the most first; sites whose latest survey
// has no time to count days in, or no posted limit, come last. Ties go by
// the higher 85th percentile over the limit, then by the site's name and
// direction in alphabetical order, then by its number.
std::vector<Priority> priorities(const std::vector<SiteSurveys>& sites, const PriorityFilter& filter);

// A survey as the speed study would see it, worked out from its kept
// figures: the figures of all its vehicles, without the hours and days.
study::SpeedStudy studyOf(const QString& batchNumber, const SiteFigures& figures);

} // namespace pelmor::sites
