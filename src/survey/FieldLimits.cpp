#include "survey/FieldLimits.h"

#include "text/Formats.h"
#include "text/MessageText.h"

#include <cstring>

namespace pelmor::survey {
namespace {

struct Limit {
    const char* field;
    int characters;
};

// A batch number is "mmddyy-A" as the import makes it; corrected by hand it
// may be longer, but it stays a key that fits in a list's column. A location
// is a street and a stretch of it; the sign's settings are a few digits.
constexpr Limit kLimits[] = {
    {"Batch_Number", 32},  {"Location_Code", 32},   {"Location", 200},   {"Date", 32},
    {"Time", 32},          {"Violation_Alert", 16}, {"Blank_Speed", 16}, {"Alarm_Speed", 16},
    {"Radar_Mode", 16},    {"Direction", 32},       {"Zone", 32},        {"Field_Setup", 100},
    {"Admin_Agency", 100}, {"Admin_Officer", 100},
};

} // namespace

int maximumLength(const char* field)
{
    for (const Limit& limit : kLimits) {
        if (std::strcmp(limit.field, field) == 0)
            return limit.characters;
    }
    return 0;
}

QString lengthRefusal(const char* field, const QString& described, const QString& text)
{
    const int most = maximumLength(field);
    // Each character takes at least one code unit: a text no longer than the
    // limit in code units is not counted.
    if (most <= 0 || text.size() <= most)
        return QString();
    const qsizetype length = text::characterCount(text);
    if (length <= most)
        return QString();
    return QStringLiteral(
               "The %1 is %2 characters long, more than the %3 it may hold. Shorten it to at most %3 "
               "characters.")
        .arg(described, text::formatCount(length), text::formatCount(most));
}

} // namespace pelmor::survey
