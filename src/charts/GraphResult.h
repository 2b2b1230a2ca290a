#pragma once

#include "charts/BarGraph.h"

#include <QString>

#include <optional>

namespace pelmor::charts {

// What a graph procedure gives back: the graph to draw, or, when there is
// nothing to draw, the message to show the user instead.
struct GraphResult {
    std::optional<BarGraph> graph;
    QString message;

    bool drawn() const { return graph.has_value(); }
};

} // namespace pelmor::charts
