#pragma once

#include "sites/SiteFigures.h"
#include "store/SurveyStore.h"
#include "survey/SurveyRecord.h"

#include <QString>

#include <functional>

// Which site a survey belongs to, and putting it there with its figures:
// when it is stored, and for the surveys stored before (or by an earlier
// way of working the figures out) when the sites are next read.
namespace pelmor::sites {

// The figures of a stored survey from its rows and its vehicles counted.
SiteFigures siteFiguresOf(const survey::HeaderRow& header, const survey::SummaryRow& statistics,
                          store::SpeedTally& vehicles);

// Where a new survey goes among the sites: the site of its location and
// direction, with its figures; the writer that stores it puts it there in
// the survey's own transaction.
store::SitePlacement placementOf(const survey::HeaderRow& header, const survey::SummaryRow& statistics,
                                 store::SpeedTally& vehicles);

// Places every stored survey that has no figures, or figures of an earlier
// method, reading its vehicles counted per speed. A survey the database
// refuses to place (a header row it no longer takes, stored before it
// checked them) is left out of the sites rather than keeping every other
// from them. `progress` is told (surveys done, surveys to do) before each
// and stops the work by returning false. Returns the surveys placed.
// Throws db::DbError.
int placeSurveysWithoutSiteFigures(store::SurveyStore& store,
                                   const std::function<bool(int, int)>& progress = {});

} // namespace pelmor::sites
