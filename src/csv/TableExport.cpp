#include "csv/TableExport.h"

#include "csv/CsvWriter.h"
#include "db/DbError.h"
#include "db/FieldValues.h"
#include "db/Files.h"
#include "db/SafeFileWriter.h"
#include "flow/FlowBreakdown.h"
#include "store/SurveyStore.h"
#include "survey/SurveyRecord.h"
#include "worker/BackgroundTask.h"

#include <QLocale>
#include <QTime>

namespace pelmor::csv {
namespace {

// Two digits of a clock time.
void appendTwoDigits(QByteArray& text, int value)
{
    text.append(char('0' + value / 10)).append(char('0' + value % 10));
}

QString writeVehicles(store::SurveyStore& store, const QString& batchNumber, Writer& writer,
                      worker::BackgroundTask* task)
{
    const QByteArray batch = batchNumber.toUtf8();
    const qint64 total = task ? store.tally(batchNumber)->vehicles() : 0;
    qint64 written = 0;
    bool stopped = false;
    QByteArray date, time, offset, direction, speed, length;
    QDate dateWritten;
    bool any = false;
    store.scanVehicles(batchNumber, store::VehicleOrder::Stored, [&](const store::VehicleRow& vehicle) {
        // Nothing at all is written for a survey without vehicles.
        if (!any)
            writer.write(QStringList{QStringLiteral("Batch_Number"), QStringLiteral("Date"),
                                     QStringLiteral("Time"), QStringLiteral("Offset"),
                                     QStringLiteral("Veh_Direction"), QStringLiteral("Speed"),
                                     QStringLiteral("Length")});
        any = true;
        // Each value in the form it is stored in.
        if (vehicle.date != dateWritten || date.isEmpty()) {
            dateWritten = vehicle.date;
            date = db::storedDate(vehicle.date).toLatin1();
        }
        time.clear();
        appendTwoDigits(time, vehicle.secondOfDay / 3600);
        time.append(':');
        appendTwoDigits(time, vehicle.secondOfDay / 60 % 60);
        time.append(':');
        appendTwoDigits(time, vehicle.secondOfDay % 60);
        offset.setNum(vehicle.offset);
        direction = QString(vehicle.direction).toUtf8();
        speed.setNum(vehicle.speed);
        // Empty for a vehicle whose log gave no length.
        length = vehicle.length ? QByteArray::number(*vehicle.length, 'g', QLocale::FloatingPointShortest)
                                : QByteArray();
        writer.write({batch, date, time, offset, direction, speed, length});
        // Told every 16,384 vehicles: often enough for a bar that moves.
        if (task && (++written & 0x3fff) == 0) {
            task->setProgress(written, total);
            stopped = task->isCancelled();
        }
        return !stopped;
    });
    if (stopped)
        return QStringLiteral("The export of survey %1 was stopped.").arg(batchNumber);
    if (task)
        task->setProgress(written, total);
    return any ? QString() : QStringLiteral("The database holds no vehicles of survey %1.").arg(batchNumber);
}

// Whether a breakdown's bins are hours ("08:00 - 09:00"), so that its
// totals are those of days, rather than quarter hours.
bool binsAreHours(const std::vector<flow::BreakdownRow>& rows)
{
    for (const flow::BreakdownRow& row : rows) {
        const QTime from =
            QTime::fromString(row.cTime.section(QStringLiteral(" - "), 0, 0), QStringLiteral("HH:mm"));
        const QTime to =
            QTime::fromString(row.cTime.section(QStringLiteral(" - "), 1, 1), QStringLiteral("HH:mm"));
        if (from.isValid() && to.isValid())
            return (from.secsTo(to) + 86400) % 86400 == 3600;
    }
    return false;
}

// The breakdown for a spreadsheet: plain column names, and the date on
// every row, where the grid shows it on a day's first row alone. A total
// row carries the date of the bins it adds up.
QString writeBreakdown(const std::vector<flow::BreakdownRow>& rows, Writer& writer)
{
    writer.write({QStringLiteral("Date"), QStringLiteral("Time"), QStringLiteral("Vehicles"),
                  binsAreHours(rows) ? QStringLiteral("Day total") : QStringLiteral("Hour total")});
    QString date;
    for (const flow::BreakdownRow& row : rows) {
        if (!row.cDate.isEmpty())
            date = row.cDate;
        writer.write(QStringList{date, row.cTime, row.cCount, row.cHourTotal});
    }
    return QString();
}

QString writeSummary(store::SurveyStore& store, const QString& batchNumber, Writer& writer)
{
    const survey::SurveyRecord survey = store.loadSurvey(batchNumber);
    if (!survey.hasSummary)
        return QStringLiteral("The database holds no statistics for survey %1.").arg(batchNumber);
    QStringList names, texts;
    for (const auto& [name, text] : survey.summary.storedFields()) {
        names << name;
        texts << text;
    }
    writer.write(names);
    writer.write(texts);
    return QString();
}

// Writes the table, the store got from `open` when the table is read from one.
template <typename Open>
QString write(Open open, Table table, const QString& batchNumber, QIODevice& device,
              const std::vector<flow::BreakdownRow>& breakdown, worker::BackgroundTask* task)
{
    if (table != Table::Breakdown && batchNumber.isEmpty())
        return survey::noSurveyMessage();
    Writer writer(device);
    QString failure;
    try {
        if (table == Table::Breakdown)
            failure = writeBreakdown(breakdown, writer);
        else if (table == Table::Vehicles)
            failure = writeVehicles(open(), batchNumber, writer, task);
        else
            failure = writeSummary(open(), batchNumber, writer);
    } catch (const db::DbError& error) {
        failure = error.message();
    }
    const QString written = writer.finish();
    return failure.isEmpty() ? written : failure;
}

} // namespace

QString suggestedFileName(const QString& batchNumber, const QString& what)
{
    return QStringLiteral("%1 %2.csv").arg(batchNumber, what);
}

QString writeTable(const db::Database& database, Table table, const QString& batchNumber, QIODevice& device,
                   const std::vector<flow::BreakdownRow>& breakdown, worker::BackgroundTask* task)
{
    // A breakdown is written without opening the database.
    std::unique_ptr<store::SurveyStore> store;
    return write([&]() -> store::SurveyStore& { return *(store = store::openStore(database)); }, table,
                 batchNumber, device, breakdown, task);
}

QString writeTable(store::SurveyStore& store, Table table, const QString& batchNumber, QIODevice& device,
                   const std::vector<flow::BreakdownRow>& breakdown, worker::BackgroundTask* task)
{
    return write([&]() -> store::SurveyStore& { return store; }, table, batchNumber, device, breakdown, task);
}

QString saveTable(const db::Database& database, Table table, const QString& batchNumber, const QString& path,
                  const std::vector<flow::BreakdownRow>& breakdown, worker::BackgroundTask* task)
{
    return db::saveFile(path, [&](QIODevice& device) {
        return writeTable(database, table, batchNumber, device, breakdown, task);
    });
}

} // namespace pelmor::csv
