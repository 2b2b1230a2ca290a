#pragma once

#include "loggen/LogHeader.h"
#include "loggen/Vehicle.h"

#include <QByteArray>

#include <vector>

namespace pelmor::loggen {

struct WriteOptions {
    // Vehicle records on one line of the data block; values below 1 count as 1.
    int recordsPerLine = 8;
    // The closing line of twelve '+' that the sign writes after the last vehicle.
    bool terminator = true;
};

// The sign's log for a survey: header lines, the "*" and "DATA:" lines, the
// vehicle records "offset,direction,speed," and the terminator line, every
// line ended by CR LF. Vehicles are written as given, in the given order.
// A header field that holds a byte outside printable ASCII or one of the
// characters the data block uses ('*', '+', '-', '?', ',') gets '0' in its
// place, so the header can never be mistaken for data. An invalid start date
// is written as zeros.
QByteArray writeLog(const LogHeader& header, const std::vector<Vehicle>& vehicles,
                    const WriteOptions& options = {});

} // namespace pelmor::loggen
