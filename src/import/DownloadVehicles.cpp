#include "import/DownloadVehicles.h"

#include "db/DbError.h"
#include "db/FieldValues.h"
#include "import/LogParser.h"

#include <algorithm>
#include <array>

namespace pelmor::import {
namespace {

// A field's text as the whole number the field stores: plain digits at
// once, anything else through the field's own conversion, which refuses a
// text that is no number (an empty speed, a word). Empty when refused, with
// the refusal in `refusal`.
std::optional<qint64> wholeNumber(const db::FieldInfo& field, QByteArrayView text, QString& refusal)
{
    if (!text.isEmpty() && text.size() <= 18) {
        // At most 18 digits: the value cannot overflow. The first other
        // character ends the quick path before it is added in.
        qint64 value = 0;
        bool digits = true;
        for (const char c : text) {
            if (c < '0' || c > '9') {
                digits = false;
                break;
            }
            value = value * 10 + (c - '0');
        }
        if (digits)
            return value;
    }
    try {
        return db::toStored(field, QString::fromLatin1(text)).toLongLong();
    } catch (const db::DbError& refused) {
        refusal = refused.message();
        return std::nullopt;
    }
}

// Each character once, for the one-character directions to point into.
const std::array<char, 256> kCharacters = [] {
    std::array<char, 256> all{};
    for (size_t c = 0; c < all.size(); ++c)
        all[c] = char(c);
    return all;
}();

} // namespace

const db::FieldInfo& vehicleField(const char* name)
{
    const store::TableInfo* vehicles = store::findTable(QStringLiteral("Veh_Data"));
    return vehicles->fields[size_t(vehicles->fieldIndex(QLatin1String(name)))];
}

DownloadVehicles::DownloadVehicles(std::vector<DownloadVehicle> vehicles)
    : m_ended(true)
    , m_vehicles(std::move(vehicles))
    , m_firstBad(qsizetype(m_vehicles.size()))
{
}

DownloadVehicles::DownloadVehicles(QByteArrayView buffer)
{
    const db::FieldInfo& offsetField = vehicleField("Offset");
    const db::FieldInfo& speedField = vehicleField("Speed");
    m_vehicles.reserve(size_t(buffer.count(',') / 3));
    bool bad = false;
    const ParseResult parsed =
        parseVehicles(buffer, [&](QByteArrayView offset, QByteArrayView direction, QByteArrayView speed) {
            DownloadVehicle& vehicle = m_vehicles.emplace_back();
            QString offsetRefusal, speedRefusal;
            const std::optional<qint64> offsetValue = wholeNumber(offsetField, offset, offsetRefusal);
            const std::optional<qint64> speedValue = wholeNumber(speedField, speed, speedRefusal);
            vehicle.offset = offsetValue.value_or(0);
            vehicle.speed = speedValue.value_or(0);
            vehicle.badOffset = !offsetValue;
            vehicle.badSpeed = !speedValue;
            if ((vehicle.badOffset || vehicle.badSpeed) && !bad) {
                bad = true;
                m_firstBad = qsizetype(m_vehicles.size()) - 1;
                m_offsetRefusal = offsetRefusal;
                m_speedRefusal = speedRefusal;
            }
            if (direction.size() == 1) {
                vehicle.direction = quint8(direction[0]);
            } else {
                vehicle.direction = quint32(kCharacters.size() + m_longDirections.size());
                m_longDirections.push_back(direction.toByteArray());
            }
        });
    m_ended = parsed.ok;
    if (!bad)
        m_firstBad = qsizetype(m_vehicles.size());
}

QByteArrayView DownloadVehicles::direction(const DownloadVehicle& vehicle) const
{
    if (vehicle.direction < kCharacters.size())
        return QByteArrayView(&kCharacters[vehicle.direction], 1);
    return m_longDirections[vehicle.direction - kCharacters.size()];
}

std::optional<qint64> DownloadVehicles::medianSpeed() const
{
    // Speeds are counted by value up to a bound that every road speed lies
    // under; the few beyond it are kept aside and sorted.
    constexpr qint64 kCounted = 1024;
    std::vector<qint64> counts(kCounted, 0);
    std::vector<qint64> beyond;
    qint64 total = 0;
    for (const DownloadVehicle& vehicle : m_vehicles) {
        if (vehicle.badSpeed)
            continue;
        if (vehicle.speed >= 0 && vehicle.speed < kCounted)
            ++counts[size_t(vehicle.speed)];
        else
            beyond.push_back(vehicle.speed);
        ++total;
    }
    if (total == 0)
        return std::nullopt;
    std::sort(beyond.begin(), beyond.end());
    const qint64 rank = (total + 1) / 2; // n / 2 rounded up, counted from 1
    // Negative speeds come first, then the counted ones, then the rest.
    const auto firstCounted = std::lower_bound(beyond.begin(), beyond.end(), 0);
    const qint64 negatives = firstCounted - beyond.begin();
    if (rank <= negatives)
        return beyond[size_t(rank - 1)];
    qint64 seen = negatives;
    for (qint64 value = 0; value < kCounted; ++value) {
        seen += counts[size_t(value)];
        if (seen >= rank)
            return value;
    }
    return *(firstCounted + (rank - seen - 1));
}

} // namespace pelmor::import
