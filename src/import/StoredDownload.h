#pragma once

#include "import/DownloadVehicles.h"
#include "store/SurveyStore.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Telling whether a download is stored already, whatever header it was
// stored under.
namespace pelmor::import {

// The fingerprint of a download's vehicles (see db::DownloadFingerprint),
// made of the values the vehicles are written with; none when a vehicle's
// offset or speed is no whole number (such a download is refused as it is
// written).
std::optional<QByteArray> fingerprintOf(const DownloadVehicles& download);

// The survey that holds the download of `fingerprint` already: one look-up
// of the store's key on fingerprints. None when no survey does, or when
// there is no fingerprint.
std::optional<QString> surveyHolding(store::SurveyStore& store, const std::optional<QByteArray>& fingerprint);

} // namespace pelmor::import
