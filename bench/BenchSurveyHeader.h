#pragma once

#include "import/LogParser.h"
#include "import/SurveyImport.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"

#include <vector>

namespace pelmor::bench {

// The header the import benchmarks store a generated log under, as an
// officer completes it: the sign's own fields and a street of the bench.
inline import::SurveyHeader benchSurveyHeader(const import::HeaderFields& fields)
{
    return {fields.batchNumber(QStringLiteral("A")),
            fields.locationCode,
            QStringLiteral("Bench Street"),
            fields.startDate(),
            fields.startTime(),
            fields.postedSpeed,
            fields.cutoff,
            fields.alarm,
            QStringLiteral("MPH"),
            QStringLiteral("North"),
            QStringLiteral("Residential")};
}

// The month of traffic the import benchmarks store: exactly `count`
// vehicles, spread by the sign log generator's daily profile over 31 days
// from 08:00 on 2 March 2026, the start `header` is given.
inline std::vector<loggen::Vehicle> monthOfVehicles(loggen::LogHeader& header, qint64 count)
{
    header.startDate = QDate(2026, 3, 2);
    loggen::SurveyProfile profile = loggen::profileForHeader(header);
    profile.durationSeconds = 31LL * 24 * 3600;
    profile.exactCount = count;
    profile.seed = 7;
    return loggen::generateVehicles(profile);
}

// An import report that keeps the messages and answers every question
// with yes, for imports that run unattended.
class QuietReport : public import::ImportReport {
public:
    void message(const QString& text, const QString& reason) override { messages << text + reason; }
    void recordsAdded(qint64) override {}
    void progress(qint64, qint64) override {}
    bool confirm(const QString&) override { return true; }
    QStringList messages;
};

} // namespace pelmor::bench
