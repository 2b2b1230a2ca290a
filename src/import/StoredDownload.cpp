#include "import/StoredDownload.h"

#include "db/DownloadFingerprint.h"

namespace pelmor::import {

std::optional<QByteArray> fingerprintOf(const DownloadVehicles& download)
{
    if (download.firstBad() < qsizetype(download.vehicles().size()))
        return std::nullopt;
    db::DownloadFingerprint fingerprint;
    for (const DownloadVehicle& vehicle : download.vehicles())
        fingerprint.add(vehicle.offset, download.direction(vehicle), vehicle.speed);
    return fingerprint.result();
}

std::optional<QString> surveyHolding(store::SurveyStore& store, const std::optional<QByteArray>& fingerprint)
{
    if (!fingerprint)
        return std::nullopt;
    const QString holder = store.surveyHoldingDownload(*fingerprint);
    return holder.isEmpty() ? std::nullopt : std::optional(holder);
}

} // namespace pelmor::import
