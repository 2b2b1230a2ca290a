#pragma once

#include "survey/SurveyRecord.h"

#include <QString>

#include <optional>

// The survey header the user completes for an import, and the checks it
// passes before anything is stored.
namespace pelmor::import {

// The survey header as the import reads it from the header panel.
struct SurveyHeader {
    QString batchNumber;
    QString locationCode;
    QString location;
    QString startDate; // "05/03/2002"
    QString startTime; // "hh:mm"
    QString postedSpeed;
    QString cutoff;
    QString alarm;
    QString unit; // "MPH" or "KPH"
    QString direction;
    QString zone;
};

// The header as the database stores it, and a stored header as the header
// panel holds it (the sign's set-up name, which the panel has not, aside).
survey::HeaderRow headerRow(const SurveyHeader& header);
SurveyHeader surveyHeader(const survey::HeaderRow& row);
// A stored header field as messages name it ("Violation_Alert": "posted
// limit"); the stored name itself for a field that is no header field.
QString storedFieldName(const QString& stored);

// The fields of the survey header, to say which one a refusal is about.
enum class HeaderField {
    None,
    BatchNumber,
    LocationCode,
    Location,
    StartDate,
    StartTime,
    PostedSpeed,
    Cutoff,
    Alarm,
    Unit,
    Direction,
    Zone,
};

// The messages of the header checks, as the user sees them.
namespace messages {
inline const QString kNoLocation = QStringLiteral("You must input a valid location!");
inline const QString kNoDirection = QStringLiteral("You must select the direction of traffic in the survey!");
inline const QString kNoZone = QStringLiteral("You must select the survey zone!");
inline const QString kNoPostedSpeed = QStringLiteral("You must input the posted speed limit of the survey!");
} // namespace messages

// A header value the import refuses, and the field it stands in.
struct HeaderProblem {
    HeaderField field = HeaderField::None;
    QString message;
};

// The header checks, in order; the first that fails. The four fields the
// user fills in must not be empty; no text may be longer than its stored
// field holds (survey::maximumLength) nor hold a control character or a
// hidden direction override; the batch number must not be blank; the
// posted limit must be a positive whole number of at most three digits; the
// start date must be a date and the start time a time of day ("8:30" is read
// as 08:30); the unit is MPH or KPH.
std::optional<HeaderProblem> checkHeader(const SurveyHeader& header);

// The start time as the import stores it, "hh:mm", from any time of day
// the user may type ("8:30", "08:30", "8:30 PM"); none when it is not one.
std::optional<QString> normalStartTime(const QString& text);

// The posted limit as a number, once checkHeader has passed it.
qint64 postedLimitOf(const SurveyHeader& header);

} // namespace pelmor::import
