// Coverage-guided fuzzing of the reading of the sign's log: end marking,
// header fields and vehicle records, on any bytes at all. Besides crashes
// and the sanitizers' findings, it stops on a broken rule of the reading.
#include "import/LogParser.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

using namespace pelmor;

namespace {

void require(bool rule)
{
    if (!rule)
        std::abort();
}

bool isDirection(char c)
{
    return c == '+' || c == '-' || c == '?';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray buffer(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray received = buffer;

    // Marking turns at most four direction characters into stars, and
    // nothing else.
    import::markEnd(buffer);
    require(buffer.size() == received.size());
    int marks = 0;
    for (qsizetype i = 0; i < buffer.size(); ++i) {
        if (buffer[i] != received[i]) {
            require(buffer[i] == '*' && isDirection(received[i]));
            ++marks;
        }
    }
    require(marks <= 4);

    // Header fields are never longer than their places in the log.
    const import::HeaderFields fields = import::readHeaderFields(buffer);
    require(fields.locationCode.size() <= 5 && fields.month.size() <= 2 && fields.year.size() <= 2 &&
            fields.postedSpeed.size() <= 3 && fields.cutoff.size() <= 3 && fields.alarm.size() <= 3);

    // Every vehicle handed over is three fields without their commas, the
    // offset and direction never empty; the count told is the count handed.
    qint64 handed = 0;
    const import::ParseResult result = import::parseVehicles(
        buffer, [&](QByteArrayView offset, QByteArrayView direction, QByteArrayView speed) {
            require(!offset.isEmpty() && !direction.isEmpty());
            require(!offset.contains(',') && !direction.contains(',') && !speed.contains(','));
            ++handed;
        });
    require(result.vehicles == handed);
    require(result.ok || handed == 0);
    // Reading never changes the buffer.
    const QByteArray again = buffer;
    import::parseVehicles(buffer, [](QByteArrayView, QByteArrayView, QByteArrayView){});
    require(buffer == again);
    return 0;
}
