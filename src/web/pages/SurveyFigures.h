#pragma once

#include "charts/GraphResult.h"
#include "db/Database.h"
#include "flow/FlowBreakdown.h"
#include "queries/Queries.h"
#include "study/SpeedStudy.h"
#include "survey/SurveyRecord.h"

#include <QtGlobal>

#include <memory>
#include <optional>

// What a survey's page and its four graphs show that is worked out from the
// survey's vehicles. A browser asks for the page and then for each graph; on
// a survey of a million vehicles each of those would read the vehicles
// again, so the figures are worked out once for the page and kept a while
// for the graphs that follow.
namespace pelmor::web::pages {

struct SurveyFigures {
    queries::Answer<study::SpeedStudy> study;
    flow::BreakdownResult quarterHours;
    flow::BreakdownResult hours;
    charts::GraphResult speedDistribution;
    charts::GraphResult trafficVolume;
};

// The figures of `survey`, as loaded for this request (storedSurvey), with
// the enforcement threshold given or the default. Kept figures are given
// only to the same login of the same database, for the survey as it is
// stored now: a survey deleted and stored anew under its batch number, with
// other statistics, is worked out anew.
std::shared_ptr<const SurveyFigures> surveyFigures(const db::Database& database,
                                                   const survey::SurveyRecord& survey,
                                                   std::optional<qint64> threshold);
// The same when they are kept and ready; none otherwise, and nothing is
// worked out.
std::shared_ptr<const SurveyFigures> keptSurveyFigures(const db::Database& database,
                                                       const survey::SurveyRecord& survey,
                                                       std::optional<qint64> threshold);

// Keeps the figures of the last few surveys for `milliseconds`; 0, the
// default, keeps none.
void keepSurveyFiguresFor(int milliseconds);
// Forgets every figure kept, so that a change made here shows at once.
void forgetSurveyFigures();

} // namespace pelmor::web::pages
