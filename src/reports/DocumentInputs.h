#pragma once

#include "compare/Comparison.h"
#include "flow/FlowBreakdown.h"
#include "reports/PageItems.h"
#include "sites/SiteTrends.h"
#include "study/SpeedStudy.h"
#include "survey/SurveyRecord.h"

#include <QDate>
#include <QImage>
#include <QString>

#include <optional>
#include <vector>

namespace pelmor::reports {

// What the field setup sheet is filled in with: the texts of the setup
// inputs on the administration tab, printed as they read. The defaults are
// the inputs' contents when the program starts.
struct FieldSheetInputs {
    QString trailerId = QStringLiteral("A");
    QString batchNumber;
    QString startTime;
    QString startDate;
    QString location;
    QString direction;
    QString zone;
    QString postedLimit;
    QString minimumRadar = survey::minimumRadarSetting();
    QString maximumRadar = survey::maximumRadarSetting();
    QString highSpeedAlarm;
    QString highSpeedCutOff;
    QString performedBy;
};

// Everything a document is built from. The report window, the headless
// tool and the tests fill it from the same sources, so they build the same
// pages.
struct DocumentInputs {
    // The chosen survey, texts as stored.
    survey::SurveyRecord survey;
    // The current agency and officer names.
    QString agency;
    QString officer;
    // The rows of the last breakdown, in table order (the flow reports).
    std::vector<flow::BreakdownRow> breakdown;
    FieldSheetInputs fieldSheet;
    // The last graph drawn (the graph reports); null when there is none.
    QImage graph;
    // The speed study of the survey (the speed study report), with the
    // enforcement threshold the user set; none when it was not worked out.
    std::optional<study::SpeedStudy> study;
    // The chosen survey set beside a second one (the comparison of two
    // surveys); none when no second survey was given.
    std::optional<compare::Comparison> comparison;
    // The history of the chosen site (its document); none when no site
    // was chosen.
    std::optional<sites::SiteHistory> siteHistory;
    // The ranking of the sites with the filter it was made with.
    std::vector<sites::Priority> priorities;
    sites::PriorityFilter priorityFilter;
    // The printer mode: "Laser (B&W)" when true, "Color Printer" otherwise.
    bool blackAndWhite = false;
    // The date of issue printed on every page.
    QDate today;
    // The paper the document is laid out on.
    QSizeF pageSize = letterPageSize();
};

} // namespace pelmor::reports
