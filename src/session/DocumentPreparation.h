#pragma once

#include "db/Database.h"
#include "reports/Documents.h"

#include <QImage>
#include <QString>

#include <optional>
#include <vector>

namespace pelmor::session {

// What the caller has already worked out for the survey of the document,
// used as it is; whatever is missing is worked out anew.
struct HeldResults {
    std::optional<QImage> graph;
    std::optional<std::vector<flow::BreakdownRow>> breakdown;
    std::optional<study::SpeedStudy> study;
    std::optional<compare::Comparison> comparison;
};

// What the caller chose for the document beyond the survey.
struct PreparationChoices {
    // The speed study's enforcement threshold; the default when none.
    std::optional<qint64> threshold;
    // The comparison: the batch number of the survey set beside the first.
    QString secondBatch;
    // The site history: the site's id; the ranking: its filter.
    qint64 site = 0;
    sites::PriorityFilter priorityFilter = {};
};

struct Preparation {
    // Empty when the inputs are ready; otherwise why the document cannot
    // be built, to show as it stands.
    QString refusal;
    // What the drawn graph lacks, to tell once.
    QString warning;
    // Whether the refusal came from the database rather than the choices.
    bool databaseFailure = false;

    bool ok() const { return refusal.isEmpty(); }
};

// Brings the inputs of a document up to date, for the window and the
// headless tool alike. `inputs` holds the survey, the names, the field
// sheet, the printer mode, the date and the paper; this adds what the
// document draws on: its graph, its breakdown rows, its speed study (with
// the threshold chosen, which replaces a held study's) or its comparison,
// taken from `held` where given and worked out otherwise.
Preparation prepareDocumentInputs(const reports::DocumentKind& kind, const db::Database& database,
                                  reports::DocumentInputs& inputs, HeldResults held,
                                  const PreparationChoices& choices);

} // namespace pelmor::session
