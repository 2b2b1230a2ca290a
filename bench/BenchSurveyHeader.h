#pragma once

#include "import/LogParser.h"
#include "import/SurveyImport.h"

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
