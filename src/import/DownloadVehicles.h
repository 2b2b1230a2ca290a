#pragma once

#include "store/SqliteSchema.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

namespace pelmor::import {

// A field of the stored vehicle rows, by name ("Offset", "Speed", "Time").
const db::FieldInfo& vehicleField(const char* name);

// One vehicle of a download, as compact as a million of them want: its
// offset and speed as whole numbers, and its direction text as a code
// (a one-character text is its character, a longer one is kept aside).
struct DownloadVehicle {
    qint64 offset = 0;
    qint64 speed = 0;
    quint32 direction = 0;
    // The vehicle's length as another device's log gives it; negative when
    // the log gives none (the sign's own never does).
    float length = -1.0f;
    // Set when the offset or the speed text is no whole number; the number
    // is then 0.
    bool badOffset = false;
    bool badSpeed = false;
};

// A download's vehicles, read from its log once (see parseVehicles) and
// then used by every step of the import: the unit check, the look-up of a
// download stored already and the writing of the rows.
class DownloadVehicles {
public:
    // Reads the vehicle records of a marked buffer. A text that is no whole
    // number does not stop the reading: the vehicle is kept with its mark,
    // and the refusal of the first such vehicle is kept for the import to
    // tell when it reaches that vehicle.
    explicit DownloadVehicles(QByteArrayView buffer);
    // Vehicles read from another device's log, whole numbers all, each
    // with a one-character direction ("+", "-" or "?") as its code.
    explicit DownloadVehicles(std::vector<DownloadVehicle> vehicles);

    // False when the log has no end mark to walk back from; there are then
    // no vehicles.
    bool ended() const { return m_ended; }
    const std::vector<DownloadVehicle>& vehicles() const { return m_vehicles; }
    QByteArrayView direction(const DownloadVehicle& vehicle) const;

    // The first vehicle with a text that is no whole number (the count of
    // vehicles when none has), and what refuses its offset and its speed
    // texts (empty for the one that is a whole number).
    qsizetype firstBad() const { return m_firstBad; }
    const QString& offsetRefusal() const { return m_offsetRefusal; }
    const QString& speedRefusal() const { return m_speedRefusal; }

    // The middle speed, the one at rank n / 2 rounded up with the speeds in
    // ascending order; speeds that are no whole number are left out, and
    // there is none when no speed is left.
    std::optional<qint64> medianSpeed() const;

private:
    bool m_ended = false;
    std::vector<DownloadVehicle> m_vehicles;
    // The direction texts longer than one character, by code - 256.
    std::vector<QByteArray> m_longDirections;
    qsizetype m_firstBad = 0;
    QString m_offsetRefusal;
    QString m_speedRefusal;
};

} // namespace pelmor::import
