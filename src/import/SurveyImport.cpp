#include "import/SurveyImport.h"

#include "db/DbError.h"
#include "db/DownloadFingerprint.h"
#include "db/FieldValues.h"
#include "db/Files.h"
#include "import/LogParser.h"
#include "import/UnitPreference.h"
#include "sites/SitePlacement.h"
#include "stats/Pace.h"
#include "stats/Summary.h"
#include "store/SqliteSchema.h"
#include "store/SurveyStore.h"
#include "survey/FieldLimits.h"
#include "text/Formats.h"
#include "text/MessageText.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QVariant>

#include <algorithm>
#include <array>
#include <memory>

namespace pelmor::import {
namespace {

// An error in the log's own data: the download cannot be stored as it is.
class DataError : public std::runtime_error {
public:
    explicit DataError(const QString& message)
        : std::runtime_error(message.toStdString())
    {
    }
};

// A field's text as the whole number the field stores: plain digits at
// once, anything else through the field's own conversion, which refuses a
// text that is no number (an empty speed, a word).
qint64 wholeNumber(const db::FieldInfo& field, QByteArrayView text)
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
        throw DataError(refused.message());
    }
}

// The user stopped the import while its vehicles were written.
struct Cancelled {};

// A refusal found while the transaction is open: told once the transaction
// has ended, so that no message waits on the user while the database is
// locked.
struct LateRefusal {
    QString message;
    QString reason;
    ImportResult::Outcome outcome;
    HeaderField field;
    QString storedAs;
};

const db::FieldInfo& vehicleField(const char* name)
{
    const store::TableInfo* vehicles = store::findTable(QStringLiteral("Veh_Data"));
    return vehicles->fields[size_t(vehicles->fieldIndex(QLatin1String(name)))];
}

// Vehicle rows of one import, handed to the store's writer with each
// vehicle's clock time and date worked out from its offset and the survey
// start; the progress is told and a cancel looked for every few thousand
// rows.
class VehicleWriter {
public:
    VehicleWriter(store::SurveyWriter& writer, sites::FiguresTally& tally, const SurveyHeader& header,
                  const QDateTime& start, ImportReport& report, qint64 expected)
        : m_writer(writer)
        , m_tally(tally)
        , m_offsetField(vehicleField("Offset"))
        , m_speedField(vehicleField("Speed"))
        , m_timeField(vehicleField("Time"))
        , m_header(header)
        , m_startDate(start.date())
        , m_startHour(start.time().hour())
        , m_startMinute(start.time().minute())
        , m_report(report)
        , m_expected(expected)
    {
    }

    void write(QByteArrayView offsetText, QByteArrayView direction, QByteArrayView speed)
    {
        const qint64 seconds = wholeNumber(m_offsetField, offsetText);
        const VehicleClock clock = vehicleClock(seconds, m_startHour, m_startMinute);
        const qint64 speedValue = wholeNumber(m_speedField, speed);
        const int second = secondOfDay(clock);
        m_writer.addVehicle(seconds, direction, speedValue, second, dateOf(clock.days));
        m_tally.add(seconds, speedValue);
        if (++m_count % 4096 == 0) {
            if (m_report.cancelled())
                throw Cancelled();
            m_report.progress(m_count, m_expected);
        }
    }

    qint64 count() const { return m_count; }

private:
    // The clock time as seconds of the day. An hour or minute out of range
    // goes to the time field as "hh:mm AMPM", which refuses it.
    int secondOfDay(const VehicleClock& clock) const
    {
        if (clock.hour >= 0 && clock.hour < 24 && clock.minute >= 0 && clock.minute < 60)
            return clock.hour * 3600 + clock.minute * 60;
        try {
            const QVariant time = db::toStored(
                m_timeField, text::formatTextAsTimeAmPm(text::format00(clock.hour) + QLatin1Char(':') +
                                                        text::format00(clock.minute)));
            return QTime::fromString(time.toString(), QStringLiteral("HH:mm:ss")).msecsSinceStartOfDay() /
                   1000;
        } catch (const db::DbError& refused) {
            throw DataError(refused.message());
        }
    }

    // The vehicle's date. A date is stored as its "mm/dd/yy" text reads
    // back, and a two-digit year names 2000-2099 alone, so a date outside
    // those years cannot be stored: the survey is refused. Vehicles come in
    // time order, so the last date is worth keeping.
    const QDate& dateOf(qint64 days)
    {
        if (days != m_lastDays || m_lastDate.isNull()) {
            const QDate date = m_startDate.addDays(days);
            if (!text::fitsTwoDigitYear(date))
                throw DataError(QStringLiteral("A vehicle of %1 would be dated %2, outside the years 2000 "
                                               "to 2099 that a two-digit year can name.")
                                    .arg(m_header.batchNumber, date.toString(Qt::ISODate)));
            m_lastDays = days;
            m_lastDate = date;
        }
        return m_lastDate;
    }

    store::SurveyWriter& m_writer;
    sites::FiguresTally& m_tally;
    const db::FieldInfo& m_offsetField;
    const db::FieldInfo& m_speedField;
    const db::FieldInfo& m_timeField;
    const SurveyHeader& m_header;
    QDate m_startDate;
    int m_startHour;
    int m_startMinute;
    ImportReport& m_report;
    qint64 m_expected;
    qint64 m_count = 0;
    qint64 m_lastDays = -1;
    QDate m_lastDate;
};

// Whether no new file can be made in the folder: SQLite needs one for the
// journal of every write.
bool folderRefusesNewFiles(const QString& folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("write-probe-XXXXXX")));
    return !probe.open();
}

const QString kKept = QStringLiteral("Nothing was stored; the download is kept.");

QString outOfMemoryMessage()
{
    return QStringLiteral("The survey could not be stored: the computer ran out of memory. %1 Close other "
                          "programs, then store the survey again.")
        .arg(kKept);
}

QString replacedMessage(const QString& databasePath)
{
    return QStringLiteral("The survey database %1 was replaced by another program (a backup or a restore) "
                          "while the survey was being stored. %2 Store the survey again.")
        .arg(db::displayPath(databasePath), kKept);
}

// What the user is told when the database, not the download, failed: what
// happened, that the download is kept, and what to do before storing the
// survey again.
QString databaseFailure(const db::DbError& error, const QString& databasePath)
{
    const QString file = db::displayPath(databasePath);
    const QString folder = db::displayPath(QFileInfo(databasePath).absolutePath());
    switch (error.failure()) {
    case db::Failure::InUse:
        return QStringLiteral("The survey database %1 is in use by another program. %2 Close that program, "
                              "then store the survey again.")
            .arg(file, kKept);
    case db::Failure::DiskFull:
        return QStringLiteral("The survey could not be stored: No space left on device (the disk that holds "
                              "%1 is full). %2 Free some disk space, then store the survey again.")
            .arg(file, kKept);
    case db::Failure::OutOfMemory:
        return outOfMemoryMessage();
    case db::Failure::Damaged:
        return QStringLiteral("The survey could not be stored: the survey database %1 is damaged. %2 "
                              "Repair the database, then store the survey again.")
            .arg(file, kKept);
    case db::Failure::Replaced:
        return replacedMessage(databasePath);
    case db::Failure::ReadOnly:
        if (folderRefusesNewFiles(QFileInfo(databasePath).absolutePath()))
            return QStringLiteral("The survey could not be stored: the folder %1 is read-only, so the survey "
                                  "database in it cannot be changed. %2 Make the folder writable, then store "
                                  "the survey again.")
                .arg(folder, kKept);
        if (QFileInfo::exists(databasePath) && !QFileInfo(databasePath).isWritable())
            return QStringLiteral("The survey could not be stored: the survey database %1 is read-only. %2 "
                                  "Make the file writable, then store the survey again.")
                .arg(file, kKept);
        break;
    default:
        break;
    }
    if (!QFileInfo::exists(databasePath))
        return QStringLiteral("The survey could not be stored: the survey database %1 was not found. %2 Make "
                              "a new blank database, then store the survey again.")
            .arg(file, kKept);
    return QStringLiteral("The survey could not be stored in the survey database %1. %2 The reason is given "
                          "below; once it is mended, store the survey again.")
        .arg(file, kKept);
}

// What the user is told when the agency server failed the import.
QString serverFailure(const db::DbError& error)
{
    switch (error.failure()) {
    case db::Failure::ConnectionLost:
        return QStringLiteral("The connection to the agency server was lost while the survey was being "
                              "stored: the survey was not stored on the server. %1 Check the network and "
                              "that the server runs, then store the survey again.")
            .arg(kKept);
    case db::Failure::MaybeSaved:
        return QStringLiteral("The connection to the agency server was lost at the moment the survey was "
                              "being saved: it may have been stored or not. The download is kept. Once the "
                              "server can be reached, look for the survey in the list of surveys (View / "
                              "Print Reports, or pelmor-cli surveys) and store it again only if it is not "
                              "there.");
    case db::Failure::NotAllowed:
        return QStringLiteral("The agency server refused to store the survey: your user lacks the right to "
                              "add surveys (the rights of the pelmor_officer role). %1 Ask the agency's IT "
                              "for that right, then store the survey again.")
            .arg(kKept);
    case db::Failure::InUse:
        return QStringLiteral("The survey could not be stored now: another user of the agency server is "
                              "storing or changing the same survey, download or site. %1 Try again in a "
                              "minute; the server's words are given below.")
            .arg(kKept);
    case db::Failure::Refused:
        return QStringLiteral("The agency server refused the survey as it is. %1 The server's reason is "
                              "given below.")
            .arg(kKept);
    default:
        return QStringLiteral(
                   "The survey could not be stored on the agency server. %1 The server's reason is "
                   "given below; once it is mended, store the survey again.")
            .arg(kKept);
    }
}

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

// The posted limit as a number, once checkHeader has passed it.
qint64 postedLimitOf(const SurveyHeader& header)
{
    return header.postedSpeed.trimmed().toLongLong();
}

// What the import needs to know of a download before it writes: how many
// vehicles it holds, and the middle speed of those, the one at rank n / 2
// rounded up with the speeds in ascending order (speeds that are no whole
// number left out; none when no speed is left); and its fingerprint, by
// which the database finds the survey that holds it already (none when an
// offset or speed is no whole number: such a download is refused as it is
// written).
struct DownloadFigures {
    qint64 vehicles = 0;
    std::optional<qint64> medianSpeed;
    std::optional<QByteArray> fingerprint;
};

DownloadFigures downloadFigures(const QByteArray& buffer)
{
    // Speeds are counted by value up to a bound that every road speed lies
    // under; the few beyond it are kept aside and sorted.
    constexpr qint64 kCounted = 1024;
    std::vector<qint64> counts(kCounted, 0);
    std::vector<qint64> beyond;
    qint64 total = 0;
    DownloadFigures figures;
    const db::FieldInfo& offsetField = vehicleField("Offset");
    const db::FieldInfo& speedField = vehicleField("Speed");
    // Made in the same pass, from the values the vehicles are written with.
    db::DownloadFingerprint fingerprint;
    bool fingerprinted = true;
    parseVehicles(buffer, [&](QByteArrayView offset, QByteArrayView direction, QByteArrayView speed) {
        ++figures.vehicles;
        qint64 value = 0;
        try {
            value = wholeNumber(speedField, speed);
        } catch (const DataError&) {
            fingerprinted = false;
            return;
        }
        if (fingerprinted) {
            try {
                fingerprint.add(wholeNumber(offsetField, offset), direction, value);
            } catch (const DataError&) {
                fingerprinted = false;
            }
        }
        if (value >= 0 && value < kCounted)
            ++counts[size_t(value)];
        else
            beyond.push_back(value);
        ++total;
    });
    if (fingerprinted)
        figures.fingerprint = fingerprint.result();
    if (total == 0)
        return figures;
    std::sort(beyond.begin(), beyond.end());
    const qint64 rank = (total + 1) / 2; // n / 2 rounded up, counted from 1
    qint64 seen = 0;
    // Negative speeds come first, then the counted ones, then the rest.
    const auto firstCounted = std::lower_bound(beyond.begin(), beyond.end(), 0);
    const qint64 negatives = firstCounted - beyond.begin();
    if (rank <= negatives) {
        figures.medianSpeed = beyond[size_t(rank - 1)];
        return figures;
    }
    seen = negatives;
    for (qint64 value = 0; value < kCounted; ++value) {
        seen += counts[size_t(value)];
        if (seen >= rank) {
            figures.medianSpeed = value;
            return figures;
        }
    }
    figures.medianSpeed = *(firstCounted + (rank - seen - 1));
    return figures;
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

// The start time as the import stores it, "hh:mm", from any time of day
// the user may type ("8:30", "08:30", "8:30 PM"); none when it is not one.
std::optional<QString> normalStartTime(const QString& text)
{
    const auto time = text::parseTime(text);
    if (!time)
        return std::nullopt;
    return time->toString(QStringLiteral("HH:mm"));
}

// The question to ask before a download is stored in `unit`: when the
// download states another unit, or when its speeds do not fit the posted
// limit in that unit (a median above 1.5 times the limit in MPH looks like
// km/h, one below half the limit in KPH looks like mph). Empty when the unit
// is the one stated and the speeds fit, or there are none.
QString unitQuestion(const QString& unit, const QString& stated, qint64 postedLimit,
                     std::optional<qint64> median)
{
    if (!stated.isEmpty() && stated != unit)
        return QStringLiteral("The download states its speeds in %1, but the survey is to be stored in %2: "
                              "every speed of it would be read as %2. Store this survey in %2 anyway?")
            .arg(stated, unit);
    if (!median || postedLimit <= 0)
        return QString();
    const double ratio = double(*median) / double(postedLimit);
    QString looksLike;
    if (unit == QLatin1String("MPH") && ratio > 1.5)
        looksLike = QStringLiteral("km/h");
    else if (unit == QLatin1String("KPH") && ratio < 0.5)
        looksLike = QStringLiteral("mph");
    else
        return QString();
    return QStringLiteral(
               "The speeds look like %1 (median %2 against a posted limit of %3). Store this survey "
               "in %4 anyway?")
        .arg(looksLike)
        .arg(*median)
        .arg(postedLimit)
        .arg(unit);
}

} // namespace

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

VehicleClock vehicleClock(qint64 offset, int startHour, int startMinute)
{
    qint64 days = offset / 3600 / 24;
    qint64 hour = startHour + offset / 3600 % 24;
    qint64 minute = startMinute + offset / 60 % 60;
    if (minute > 59) {
        minute -= 60;
        hour += 1;
    }
    if (hour >= 24) {
        hour -= 24;
        days += 1;
    }
    return {static_cast<int>(hour), static_cast<int>(minute), days};
}

ImportResult importSurvey(const db::Database& database, const SurveyHeader& typed, const QByteArray& buffer,
                          ImportReport& report)
{
    ImportResult result;
    const auto refuse = [&](const QString& message, HeaderField field) {
        report.message(message);
        result.field = field;
        return result;
    };
    if (const auto problem = checkHeader(typed))
        return refuse(problem->message, problem->field);
    // The start time is stored as the import reads it: "8:30" is 08:30.
    SurveyHeader header = typed;
    header.startTime = *normalStartTime(typed.startTime);

    const auto failed = [&](const QString& message, const QString& reason) {
        report.message(message, reason);
        result.summary.reset();
        result.outcome = ImportResult::Outcome::Failed;
        return result;
    };
    try {
        const std::unique_ptr<store::SurveyStore> store = store::openStore(database);
        // A file that holds a batch number twice cannot keep surveys apart:
        // nothing is added to it until those surveys are dealt with.
        if (const QStringList duplicated = store->duplicatedBatches(); !duplicated.isEmpty())
            return failed(store::duplicatedBatchesMessage(database.path, duplicated), QString());
        // The header check has read the start date and time.
        const QDateTime start = *text::parseStart(header.startDate, header.startTime);
        const DownloadFigures figures = downloadFigures(buffer);
        // The survey that already holds the download's vehicles, whatever
        // its header says, if any: one look-up of the fingerprint.
        const auto storedAlready = [&]() -> std::optional<QString> {
            if (!figures.fingerprint)
                return std::nullopt;
            const QString holder = store->surveyHoldingDownload(*figures.fingerprint);
            return holder.isEmpty() ? std::nullopt : std::optional(holder);
        };
        // Looked for first without the lock, so that no question is asked
        // about a download that is refused.
        if (const auto batch = storedAlready()) {
            result.storedAs = *batch;
            return refuse(messages::alreadyStored(*batch), HeaderField::None);
        }
        // Asked before the survey is begun: no question waits on the user
        // while the database is locked.
        const QString question =
            unitQuestion(header.unit, statedUnit(buffer), postedLimitOf(header), figures.medianSpeed);
        if (!question.isEmpty() && !report.confirm(question)) {
            result.field = HeaderField::Unit;
            return result;
        }

        // Everything from here lands together or not at all, and no other
        // program stores the same download or batch number between the
        // checks and the writes: the writer holds the database's write lock
        // and has claimed the batch number (or thrown DuplicateBatch).
        const survey::HeaderRow row = headerRow(header);
        const std::unique_ptr<store::SurveyWriter> writer = store->beginSurvey(row);
        sites::FiguresTally tally;
        using Outcome = ImportResult::Outcome;
        if (const auto batch = storedAlready())
            throw LateRefusal{messages::alreadyStored(*batch), QString(), Outcome::Refused, HeaderField::None,
                              *batch};
        {
            VehicleWriter vehicles(*writer, tally, header, start, report, buffer.count(',') / 3);
            const ParseResult parsed = parseVehicles(
                buffer, [&vehicles](QByteArrayView offset, QByteArrayView direction, QByteArrayView speed) {
                    vehicles.write(offset, direction, speed);
                });
            if (!parsed.ok)
                throw DataError(QStringLiteral("The download has no end mark after its vehicle data."));
            result.vehicles = vehicles.count();
            report.progress(result.vehicles, result.vehicles);
        }

        const stats::SummaryInputs inputs{header.batchNumber, header.postedSpeed, header.unit,
                                          header.startTime, header.startDate};
        survey::SummaryRow summary = stats::computeSummary(writer->figures(), inputs);
        // The survey's site and figures land with it, in its transaction.
        writer->commit(summary, sites::placementOf(row, summary, tally));
        result.summary = std::move(summary);
    } catch (const LateRefusal& refusal) {
        // The transaction has ended: the message may wait on the user.
        if (refusal.outcome == ImportResult::Outcome::Failed)
            return failed(refusal.message, refusal.reason);
        report.message(refusal.message, refusal.reason);
        result.outcome = refusal.outcome;
        result.field = refusal.field;
        result.storedAs = refusal.storedAs;
        return result;
    } catch (const Cancelled&) {
        result.outcome = ImportResult::Outcome::Cancelled;
        result.vehicles = 0;
        return result;
    } catch (const DataError& error) {
        report.message(messages::kDataError, QString::fromUtf8(error.what()));
        result.outcome = ImportResult::Outcome::DataError;
        return result;
    } catch (const stats::StatisticsError& error) {
        report.message(messages::kDataError, QString::fromUtf8(error.what()));
        result.outcome = ImportResult::Outcome::DataError;
        return result;
    } catch (const store::DuplicateBatch&) {
        // Another survey, or rows a repair left, hold the batch number.
        result.summary.reset();
        result.vehicles = 0;
        return refuse(messages::kDuplicate, HeaderField::BatchNumber);
    } catch (const store::DuplicateDownload& stored) {
        // Another user stored the same download at the same moment.
        result.summary.reset();
        result.vehicles = 0;
        result.storedAs = stored.storedAs();
        return refuse(messages::alreadyStored(stored.storedAs()), HeaderField::None);
    } catch (const store::DatabaseReplaced&) {
        return failed(replacedMessage(database.path), QString());
    } catch (const db::DbError& error) {
        if (!database.server.isEmpty()) {
            failed(serverFailure(error), error.message());
            if (error.failure() == db::Failure::MaybeSaved)
                result.outcome = ImportResult::Outcome::MaybeStored;
            return result;
        }
        return failed(databaseFailure(error, database.path), error.message());
    } catch (const std::bad_alloc&) {
        return failed(outOfMemoryMessage(), QString());
    } catch (const std::exception& error) {
        return failed(QStringLiteral("The survey could not be stored because of an error in the program. %1 "
                                     "Save the download, then report the error given below.")
                          .arg(kKept),
                      QString::fromUtf8(error.what()));
    }
    result.outcome = ImportResult::Outcome::Imported;
    report.recordsAdded(result.vehicles);
    // This user's next download is offered in the unit just used.
    const QString notRemembered = rememberUnit(header.unit);
    if (!notRemembered.isEmpty())
        report.message(notRemembered);
    return result;
}

} // namespace pelmor::import
