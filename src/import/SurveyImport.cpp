#include "import/SurveyImport.h"

#include "db/DbError.h"
#include "db/FieldValues.h"
#include "import/DownloadVehicles.h"
#include "import/ImportFailures.h"
#include "import/LogParser.h"
#include "import/NewSurvey.h"
#include "import/StoredDownload.h"
#include "import/UnitPreference.h"
#include "stats/Pace.h"
#include "store/SurveyStore.h"
#include "text/Formats.h"

#include <QVariant>

#include <charconv>
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

// A vehicle's length as stored: the number its log wrote, which the float
// it was read into stands for by its shortest decimal text (a log's 4.6
// is stored as 4.6, not as the float's 4.599999904...); none when the log
// gave none.
std::optional<double> storedLength(float length)
{
    if (!(length >= 0))
        return std::nullopt;
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, length);
    double stored = 0;
    std::from_chars(text, written.ptr, stored);
    return stored;
}

// Writes a download's vehicles into the new survey, each with its clock
// time and date worked out from its offset and the survey start; the
// progress is told and a cancel looked for every few thousand rows. The
// first vehicle whose offset or speed is no whole number stops the writing
// with that field's refusal.
class VehicleWriter {
public:
    VehicleWriter(NewSurvey& survey, const SurveyHeader& header, const QDateTime& start, ImportReport& report)
        : m_survey(survey)
        , m_timeField(vehicleField("Time"))
        , m_header(header)
        , m_startDate(start.date())
        , m_startHour(start.time().hour())
        , m_startMinute(start.time().minute())
        , m_report(report)
    {
    }

    // Writes the vehicles; the count written.
    qint64 write(const DownloadVehicles& download)
    {
        const std::vector<DownloadVehicle>& vehicles = download.vehicles();
        const qint64 expected = qint64(vehicles.size());
        const qsizetype firstBad = download.firstBad();
        for (qsizetype index = 0; index < firstBad; ++index) {
            const DownloadVehicle& vehicle = vehicles[size_t(index)];
            const VehicleClock clock = vehicleClock(vehicle.offset, m_startHour, m_startMinute);
            const int second = secondOfDay(clock);
            m_survey.addVehicle(vehicle.offset, download.direction(vehicle), vehicle.speed, second,
                                dateOf(clock.days), storedLength(vehicle.length));
            if ((index + 1) % 4096 == 0) {
                if (m_report.cancelled())
                    throw Cancelled();
                m_report.progress(index + 1, expected);
            }
        }
        if (firstBad < expected) // the offset is refused before the speed
            throw DataError(vehicles[size_t(firstBad)].badOffset ? download.offsetRefusal()
                                                                 : download.speedRefusal());
        return expected;
    }

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

    NewSurvey& m_survey;
    const db::FieldInfo& m_timeField;
    const SurveyHeader& m_header;
    QDate m_startDate;
    int m_startHour;
    int m_startMinute;
    ImportReport& m_report;
    qint64 m_lastDays = -1;
    QDate m_lastDate;
};

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

namespace {

// Stores the vehicles `readVehicles` gives (read once the header has passed
// its checks and the store is open) as importSurvey describes.
ImportResult storeSurvey(const db::Database& database, const SurveyHeader& typed,
                         const std::function<const DownloadVehicles&()>& readVehicles,
                         const VehicleOrigin& origin, ImportReport& report)
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
        // The download's vehicles, read once for every step below.
        const DownloadVehicles& download = readVehicles();
        const std::optional<QByteArray> fingerprint = fingerprintOf(download);
        // Looked for first without the lock, so that no question is asked
        // about a download that is refused.
        if (const auto batch = surveyHolding(*store, fingerprint)) {
            result.storedAs = *batch;
            return refuse(messages::alreadyStored(*batch), HeaderField::None);
        }
        // Asked before the survey is begun: no question waits on the user
        // while the database is locked.
        const QString question =
            unitQuestion(header.unit, origin.statedUnit, postedLimitOf(header), download.medianSpeed());
        if (!question.isEmpty() && !report.confirm(question)) {
            result.field = HeaderField::Unit;
            return result;
        }

        // Everything from here lands together or not at all, and no other
        // program stores the same download or batch number between the
        // checks and the writes: the writer holds the database's write lock
        // and has claimed the batch number (or thrown DuplicateBatch).
        NewSurvey survey(*store, headerRow(header), origin.source);
        using Outcome = ImportResult::Outcome;
        if (const auto batch = surveyHolding(*store, fingerprint))
            throw LateRefusal{messages::alreadyStored(*batch), QString(), Outcome::Refused, HeaderField::None,
                              *batch};
        if (!download.ended())
            throw DataError(QStringLiteral("The download has no end mark after its vehicle data."));
        result.vehicles = VehicleWriter(survey, header, start, report).write(download);
        report.progress(result.vehicles, result.vehicles);
        result.summary = survey.commit();
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
        if (store::capabilitiesOf(database).keeper == store::Keeper::AgencyServer) {
            failed(serverFailure(error), error.message());
            if (error.failure() == db::Failure::MaybeSaved)
                result.outcome = ImportResult::Outcome::MaybeStored;
            return result;
        }
        return failed(databaseFailure(error, database.path), error.message());
    } catch (const std::bad_alloc&) {
        return failed(outOfMemoryMessage(), QString());
    } catch (const std::exception& error) {
        return failed(programFailure(), QString::fromUtf8(error.what()));
    }
    result.outcome = ImportResult::Outcome::Imported;
    report.recordsAdded(result.vehicles);
    // This user's next download is offered in the unit just used.
    if (report.remembersUnit()) {
        const QString notRemembered = rememberUnit(header.unit);
        if (!notRemembered.isEmpty())
            report.message(notRemembered);
    }
    return result;
}

} // namespace

ImportResult importSurvey(const db::Database& database, const SurveyHeader& header, const QByteArray& buffer,
                          ImportReport& report)
{
    std::optional<DownloadVehicles> download;
    const auto read = [&]() -> const DownloadVehicles& {
        download.emplace(buffer);
        return *download;
    };
    return storeSurvey(database, header, read, VehicleOrigin{statedUnit(buffer), QString()}, report);
}

ImportResult importVehicles(const db::Database& database, const SurveyHeader& header,
                            const DownloadVehicles& vehicles, const VehicleOrigin& origin,
                            ImportReport& report)
{
    return storeSurvey(
        database, header, [&]() -> const DownloadVehicles& { return vehicles; }, origin, report);
}

} // namespace pelmor::import
