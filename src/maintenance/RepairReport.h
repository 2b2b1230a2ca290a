#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace pelmor::maintenance {

// A survey whose statistics row counts more vehicles than a repair kept.
struct SurveyShortfall {
    QString batchNumber;
    qint64 kept = 0;
    qint64 stated = 0; // Total_Vehicles of its statistics row
};

// A site whose row a repair could not save, made again from its surveys.
struct RemadeSite {
    qint64 id = 0;
    QString name;
    QString direction;
};

// What a repair could not save. A count that cannot be told is none.
struct RepairFindings {
    // Rows of each survey table that could not be saved.
    std::vector<std::pair<QString, std::optional<qint64>>> lostRows;
    // The surveys that keep fewer vehicles than their statistics count.
    std::vector<SurveyShortfall> shortfalls;
    // The batch numbers with vehicles or statistics but no Header row.
    QStringList headerless;

    std::vector<RemadeSite> remadeSites;
    // Sites lost that no saved survey was at.
    std::optional<qint64> lostSitesWithoutSurveys = 0;
    // The location names that led surveys to a site, lost or leading to a
    // site that was lost.
    std::optional<qint64> lostSiteNames = 0;
    // The stored surveys that were at a site and lost their place there.
    QStringList surveysWithoutSite;
};

// The lines that follow "Repair of the database is complete.", CR LF
// between them: what was lost and what the user should do about it, or
// that nothing was lost.
QString repairReport(const RepairFindings& findings);

} // namespace pelmor::maintenance
