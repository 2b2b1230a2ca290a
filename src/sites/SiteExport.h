#pragma once

#include "sites/SiteTrends.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <vector>

// The sites, a site's history and the ranking of sites as JSON (numbers
// unrounded, a figure a survey cannot have as null), as CSV, and as the
// rows of the tables the tab, the documents and the headless tool show.
namespace pelmor::sites {

// One object per site: "site" (its id), "name", "direction", "latitude",
// "longitude", "unit", "surveys", "first_date", "last_date".
QJsonArray sitesJson(const std::vector<SiteSurveys>& sites);

// The site and its surveys in time order, each with the change from the
// one before.
QJsonObject historyJson(const SiteHistory& history);

// The ranking, the most speeders per day first.
QJsonArray prioritiesJson(const std::vector<Priority>& list);
// The ranking as CSV, a header line first.
QByteArray prioritiesCsv(const std::vector<Priority>& list);

// The tables: column titles, then one row of texts per entry.
QStringList sitesColumns();
std::vector<QStringList> sitesRows(const std::vector<SiteSurveys>& sites);
QStringList historyColumns(const SiteHistory& history);
std::vector<QStringList> historyRows(const SiteHistory& history);
QStringList prioritiesColumns();
std::vector<QStringList> prioritiesRows(const std::vector<Priority>& list);

// "Elm Street, Northbound (site 3)".
QString siteTitle(const store::Site& site);

} // namespace pelmor::sites
