#pragma once

#include "charts/BarGraph.h"

#include <QString>

#include <optional>

namespace pelmor::charts {

// What a graph procedure gives back: the graph to draw, or, when there is
// nothing to draw, the message to show the user instead. A graph drawn with
// less than it should show carries a warning that says what is missing.
struct GraphResult {
    std::optional<BarGraph> graph;
    QString message;
    QString warning;

    bool drawn() const { return graph.has_value(); }
};

} // namespace pelmor::charts
