// Coverage-guided fuzzing of the reading of other devices' logs: the guess
// of a layout, the reading with it and the layout files, on any bytes at
// all. Besides crashes and the sanitizers' findings, it stops on a broken
// rule of the reading.
#include "logs/LogLayout.h"
#include "logs/LogReading.h"

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

using namespace pelmor;

namespace {

void require(bool rule)
{
    if (!rule)
        std::abort();
}

// What a reading gives, whatever the bytes: every line looked at is a
// vehicle or refused, at most ten refusals kept, the vehicles in time order.
void checkReading(const QByteArray& bytes, const logs::LogLayout& layout)
{
    try {
        const logs::ReadLog log = logs::readLog(bytes, layout, QStringLiteral("fuzz.log"), {});
        require(!log.vehicles.empty());
        require(log.refused + qint64(log.vehicles.size()) == log.lines);
        require(qint64(log.firstRefused.size()) == std::min<qint64>(log.refused, 10));
        require(std::is_sorted(log.vehicles.begin(), log.vehicles.end(),
                               [](const auto& a, const auto& b) { return a.time < b.time; }));
        for (const logs::LoggedVehicle& vehicle : log.vehicles)
            require(vehicle.time.isValid() && vehicle.speed >= 0 && vehicle.line > layout.skipLines);
        require(!log.findings(QStringLiteral("fuzz.log")).isEmpty());
    } catch (const logs::LogError& error) {
        require(error.message().contains(QStringLiteral("fuzz.log")));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    // A guessed layout is a layout file that reads back as itself.
    const logs::LogLayout guessed = logs::guessLayout(bytes);
    require(logs::LogLayout::fromText(guessed.toText()) == guessed);
    checkReading(bytes, guessed);
    for (const QStringList& row : logs::firstRows(bytes, guessed, 5))
        require(!row.isEmpty());

    // The bytes as a layout file: refused, or read back as written.
    try {
        const logs::LogLayout layout = logs::LogLayout::fromText(QString::fromUtf8(bytes));
        require(logs::LogLayout::fromText(layout.toText()) == layout);
        checkReading(bytes, layout);
    } catch (const logs::LayoutError& error) {
        require(error.message().startsWith(QStringLiteral("line ")));
    }
    return 0;
}
