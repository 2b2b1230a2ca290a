// Coverage-guided fuzzing of the whole import: any bytes, taken as a
// download and prepared as a loaded file is, are imported into a fresh
// database. The import must store the survey whole, with a statistics row
// that counts its vehicles, or leave the database exactly as it was.
#include "db/Connection.h"
#include "db/Files.h"
#include "import/LogParser.h"
#include "import/SurveyImport.h"
#include "import/UnitPreference.h"
#include "store/SqliteSchema.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <memory>

using namespace pelmor;

namespace {

void require(bool rule)
{
    if (!rule)
        std::abort();
}

class SilentReport : public import::ImportReport {
public:
    void message(const QString&, const QString&) override {}
    void recordsAdded(qint64) override {}
    void progress(qint64, qint64) override {}
    bool confirm(const QString&) override { return true; }
};

// What the fuzzer works in for its whole run: a folder with an empty
// database to copy for every input.
struct Workplace {
    std::unique_ptr<QCoreApplication> application;
    QTemporaryDir folder;
    QString templatePath;
    QString databasePath;
};

Workplace& workplace()
{
    static Workplace place;
    return place;
}

qint64 count(db::Connection& connection, const char* table)
{
    return connection
        .scalar(QStringLiteral("select count(*) as n from ") + QLatin1String(table), QStringLiteral("n"))
        .toLongLong();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    Workplace& place = workplace();
    place.application = std::make_unique<QCoreApplication>(*argc, *argv);
    store::initDatabaseFolder(place.folder.path());
    // The unit remembered by each import goes to settings of the fuzzer's own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, place.folder.filePath("settings"));
    place.templatePath = place.folder.filePath(QLatin1String(db::kTemplateFileName));
    place.databasePath = db::databasePath(place.folder.path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Workplace& place = workplace();
    QFile::remove(place.databasePath);
    require(QFile::copy(place.templatePath, place.databasePath));
    QSettings().setValue(QLatin1String(import::kUnitSetting), QStringLiteral("MPH"));

    QByteArray buffer(reinterpret_cast<const char*>(data), qsizetype(size));
    import::markEnd(buffer);
    const import::HeaderFields fields = import::readHeaderFields(buffer);
    const bool kph = size > 0 && (data[0] & 1);
    const import::SurveyHeader header{fields.batchNumber(QStringLiteral("A")),
                                      fields.locationCode,
                                      QStringLiteral("Fuzz Street"),
                                      fields.startDate(),
                                      fields.startTime(),
                                      fields.postedSpeed,
                                      fields.cutoff,
                                      fields.alarm,
                                      kph ? QStringLiteral("KPH") : QStringLiteral("MPH"),
                                      QStringLiteral("North"),
                                      QStringLiteral("School")};
    SilentReport report;
    const import::ImportResult result = import::importSurvey({place.databasePath}, header, buffer, report);

    db::Connection connection({place.databasePath});
    const QString unit = QSettings().value(QLatin1String(import::kUnitSetting)).toString();
    if (result.outcome == import::ImportResult::Outcome::Imported) {
        require(count(connection, "Header") == 1 && count(connection, "Summary") == 1);
        require(count(connection, "Veh_Data") == result.vehicles);
        require(result.summary && result.summary->totalVehicles == QString::number(result.vehicles));
        require(unit == header.unit);
    } else {
        // All or nothing: not a row, and the unit last used unchanged.
        require(count(connection, "Header") == 0 && count(connection, "Summary") == 0 &&
                count(connection, "Veh_Data") == 0);
        require(unit == QLatin1String("MPH"));
    }
    return 0;
}
