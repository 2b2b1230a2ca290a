#pragma once

#include "study/SpeedStudy.h"

#include <QJsonObject>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

class QIODevice;

// The study for other programs: one JSON object, or CSV rows. Both name the
// figures by the same keys ("p85", "pace_low", "pct_over_limit") and write
// numbers unrounded; a figure a direction cannot have is null (JSON) or an
// empty field (CSV).
namespace pelmor::study {

// The figures of a direction by key, in a fixed order.
std::vector<std::pair<QString, std::optional<double>>> directionValues(const DirectionFigures& figures);

QJsonObject studyJson(const SpeedStudy& study);

// Writes the study as CSV: a header row, then one row per figure with the
// section, direction, day, hour and speed bin it belongs to. Returns what
// went wrong while writing, or an empty text.
QString writeStudyCsv(const SpeedStudy& study, QIODevice& device);

// The CSV columns.
QStringList studyCsvColumns();

} // namespace pelmor::study
