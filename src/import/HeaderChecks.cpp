#include "import/HeaderChecks.h"

#include "survey/FieldLimits.h"
#include "text/Formats.h"
#include "text/MessageText.h"

#include <algorithm>

namespace pelmor::import {
namespace {

// A character that has no place in a header text: a control character, or
// a mark that changes the direction of the text around it, so that it shows
// as something it is not ("051026-A" reversed).
struct HiddenCharacter {
    char32_t code;
    bool changesDirection;
};

std::optional<HiddenCharacter> hiddenCharacter(const QString& text)
{
    for (const char32_t c : text.toUcs4()) {
        if (c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
            (c >= 0x2066 && c <= 0x2069))
            return HiddenCharacter{c, true};
        if (QChar::category(c) == QChar::Other_Control || c == 0x2028 || c == 0x2029)
            return HiddenCharacter{c, false};
    }
    return std::nullopt;
}

bool isDigits(QStringView text)
{
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

std::optional<HeaderProblem> checkPostedLimit(const QString& posted)
{
    const QStringView limit = QStringView(posted).trimmed();
    const auto problem = [&posted](const char* what) {
        return HeaderProblem{
            HeaderField::PostedSpeed,
            QStringLiteral("The posted limit %1 %2").arg(text::quotedValue(posted), QLatin1String(what))};
    };
    if (limit.startsWith(u'-') && isDigits(limit.mid(1)))
        return problem("is not a positive whole number. Type the limit the signs show, for example 035.");
    if (!isDigits(limit))
        return problem("is not a whole number. Type it in digits alone, for example 035.");
    QStringView significant = limit;
    while (significant.startsWith(u'0'))
        significant = significant.mid(1);
    if (significant.isEmpty())
        return problem("is not a positive whole number. Type the limit the signs show, for example 035.");
    if (significant.size() > 3)
        return problem("is too high for a speed limit. Type the limit the signs show, for example 035.");
    return std::nullopt;
}

// Each field of the header: the panel's field, the stored field that keeps
// it, its name in messages, and where the panel's and the stored header
// hold it. The sign's set-up name is stored but not on the panel.
struct HeaderFieldInfo {
    HeaderField field;
    const char* stored;
    const char* name;
    QString SurveyHeader::*panel;
    QString survey::HeaderRow::*row;
};
constexpr HeaderFieldInfo kHeaderFields[] = {
    {HeaderField::BatchNumber, "Batch_Number", "batch number", &SurveyHeader::batchNumber,
     &survey::HeaderRow::batchNumber},
    {HeaderField::LocationCode, "Location_Code", "location code", &SurveyHeader::locationCode,
     &survey::HeaderRow::locationCode},
    {HeaderField::Location, "Location", "survey location", &SurveyHeader::location,
     &survey::HeaderRow::location},
    {HeaderField::StartDate, "Date", "start date", &SurveyHeader::startDate, &survey::HeaderRow::date},
    {HeaderField::StartTime, "Time", "start time", &SurveyHeader::startTime, &survey::HeaderRow::time},
    {HeaderField::PostedSpeed, "Violation_Alert", "posted limit", &SurveyHeader::postedSpeed,
     &survey::HeaderRow::violationAlert},
    {HeaderField::Cutoff, "Blank_Speed", "high speed cut-off", &SurveyHeader::cutoff,
     &survey::HeaderRow::blankSpeed},
    {HeaderField::Alarm, "Alarm_Speed", "high speed alarm", &SurveyHeader::alarm,
     &survey::HeaderRow::alarmSpeed},
    {HeaderField::Unit, "Radar_Mode", "unit", &SurveyHeader::unit, &survey::HeaderRow::radarMode},
    {HeaderField::Direction, "Direction", "direction of travel", &SurveyHeader::direction,
     &survey::HeaderRow::direction},
    {HeaderField::Zone, "Zone", "zone", &SurveyHeader::zone, &survey::HeaderRow::zone},
    {HeaderField::None, "Field_Setup", "name of who set the sign up", nullptr,
     &survey::HeaderRow::fieldSetup},
};

} // namespace

std::optional<QString> normalStartTime(const QString& text)
{
    const auto time = text::parseTime(text);
    if (!time)
        return std::nullopt;
    return time->toString(QStringLiteral("HH:mm"));
}

qint64 postedLimitOf(const SurveyHeader& header)
{
    return header.postedSpeed.trimmed().toLongLong();
}

std::optional<HeaderProblem> checkHeader(const SurveyHeader& header)
{
    if (header.location.isEmpty())
        return HeaderProblem{HeaderField::Location, messages::kNoLocation};
    if (header.direction.isEmpty())
        return HeaderProblem{HeaderField::Direction, messages::kNoDirection};
    if (header.zone.isEmpty())
        return HeaderProblem{HeaderField::Zone, messages::kNoZone};
    if (header.postedSpeed.isEmpty())
        return HeaderProblem{HeaderField::PostedSpeed, messages::kNoPostedSpeed};

    for (const HeaderFieldInfo& info : kHeaderFields) {
        if (!info.panel)
            continue;
        const QString& text = header.*info.panel;
        const QString name = QLatin1String(info.name);
        if (QString tooLong = survey::lengthRefusal(info.stored, name, text); !tooLong.isEmpty())
            return HeaderProblem{info.field, std::move(tooLong)};
        const auto hidden = hiddenCharacter(text);
        if (!hidden)
            continue;
        const QString code =
            QStringLiteral("U+%1").arg(uint(hidden->code), 4, 16, QLatin1Char('0')).toUpper();
        return HeaderProblem{
            info.field,
            hidden->changesDirection
                ? QStringLiteral("The %1 holds a hidden direction mark (%2) that makes it show as "
                                 "other text than it is. Type the %1 again.")
                      .arg(name, code)
                : QStringLiteral("The %1 holds a control character (%2). Type the %1 again without it.")
                      .arg(name, code)};
    }
    if (header.batchNumber.trimmed().isEmpty())
        return HeaderProblem{HeaderField::BatchNumber,
                             QStringLiteral("The batch number is blank. Type it as mmddyy-A, for example "
                                            "050326-A.")};
    if (auto problem = checkPostedLimit(header.postedSpeed))
        return problem;
    if (!text::parseDate(header.startDate))
        return HeaderProblem{HeaderField::StartDate,
                             QStringLiteral("The start date %1 is not a date. Type it as mm/dd/yyyy, for "
                                            "example 05/03/2026.")
                                 .arg(text::quotedValue(header.startDate))};
    if (!normalStartTime(header.startTime))
        return HeaderProblem{HeaderField::StartTime,
                             QStringLiteral("The start time %1 is not a time of day. Type it as hh:mm, for "
                                            "example 08:30.")
                                 .arg(text::quotedValue(header.startTime))};
    if (header.unit != QLatin1String("MPH") && header.unit != QLatin1String("KPH"))
        return HeaderProblem{HeaderField::Unit,
                             QStringLiteral("The unit %1 is neither MPH nor KPH. Choose MPH or KPH.")
                                 .arg(text::quotedValue(header.unit))};
    return std::nullopt;
}

survey::HeaderRow headerRow(const SurveyHeader& header)
{
    survey::HeaderRow row;
    for (const HeaderFieldInfo& info : kHeaderFields) {
        if (info.panel)
            row.*info.row = header.*info.panel;
    }
    return row;
}

SurveyHeader surveyHeader(const survey::HeaderRow& row)
{
    SurveyHeader header;
    for (const HeaderFieldInfo& info : kHeaderFields) {
        if (info.panel)
            header.*info.panel = row.*info.row;
    }
    return header;
}

QString storedFieldName(const QString& stored)
{
    for (const HeaderFieldInfo& info : kHeaderFields) {
        if (stored == QLatin1String(info.stored))
            return QLatin1String(info.name);
    }
    return stored;
}

} // namespace pelmor::import
