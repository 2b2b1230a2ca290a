#include "Command.h"
#include "MaintenanceOutput.h"
#include "acquisition/SavedDownloads.h"
#include "db/DbError.h"
#include "import/LogParser.h"
#include "import/SurveyImport.h"
#include "import/SurveyLists.h"
#include "import/UnitPreference.h"
#include "text/MessageText.h"

#include <QFileInfo>

namespace pelmor::cli {
namespace {

// The import's messages on the console, each exactly as the window shows it:
// the count on the output, refusals and errors on the error stream. The
// window's question is answered by --yes; without it the question is
// printed and the import stops.
class ConsoleReport : public import::ImportReport {
public:
    ConsoleReport(const QCommandLineParser& parser, Context& context)
        : m_parser(parser)
        , m_context(context)
    {
    }
    void message(const QString& text, const QString& reason) override
    {
        m_context.err << text << Qt::endl;
        if (!reason.isEmpty())
            m_context.err << reason << Qt::endl;
    }
    void recordsAdded(qint64 count) override
    {
        m_context.out << import::messages::recordsAdded(count) << Qt::endl;
    }
    void progress(qint64, qint64) override {}
    bool confirm(const QString& question) override { return confirmed(m_parser, m_context, question); }

private:
    const QCommandLineParser& m_parser;
    Context& m_context;
};

} // namespace

void addImportOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("The saved download (.rsx) to import."));
    parser.addOptions({
        {QStringLiteral("trailer"), QStringLiteral("Trailer ID, a letter A to Z (default A)."),
         QStringLiteral("A")},
        {QStringLiteral("location"), QStringLiteral("Survey location (required)."), QStringLiteral("TEXT")},
        {QStringLiteral("direction"),
         QStringLiteral("Direction of travel: ") + import::directionsOfTravel().join(QStringLiteral(", ")),
         QStringLiteral("DIR")},
        {QStringLiteral("zone"), QStringLiteral("Zone: ") + import::surveyZones().join(QStringLiteral(", ")),
         QStringLiteral("ZONE")},
        {QStringLiteral("unit"),
         QStringLiteral("MPH or KPH (default: the unit the download states, else the unit of the last "
                        "import)."),
         QStringLiteral("UNIT")},
        {QStringLiteral("start-date"), QStringLiteral("Correct the start date (mm/dd/yyyy)."),
         QStringLiteral("DATE")},
        {QStringLiteral("start-time"), QStringLiteral("Correct the start time (hh:mm)."),
         QStringLiteral("TIME")},
        {QStringLiteral("batch"), QStringLiteral("Correct the batch number (mmddyy-A)."),
         QStringLiteral("BATCH")},
        {QStringLiteral("location-code"), QStringLiteral("Correct the location code."),
         QStringLiteral("CODE")},
        {QStringLiteral("posted"), QStringLiteral("Correct the posted speed limit (e.g. 035)."),
         QStringLiteral("SPEED")},
        {QStringLiteral("cutoff"), QStringLiteral("Correct the high speed cut-off."),
         QStringLiteral("SPEED")},
        {QStringLiteral("alarm"), QStringLiteral("Correct the high speed alarm."), QStringLiteral("SPEED")},
        {QStringLiteral("yes"),
         QStringLiteral("Store the survey even in another unit than the download states, or when its "
                        "speeds do not fit the unit and the posted limit (the window asks first).")},
    });
}

int runImport(const QCommandLineParser& parser, Context& context)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 2)
        return fail(context,
                    QStringLiteral("Name one saved download to import: pelmor-cli import FILE.rsx ..."));
    const QString file = arguments[1];
    const QString trailer = parser.isSet(QStringLiteral("trailer")) ? parser.value(QStringLiteral("trailer"))
                                                                    : QStringLiteral("A");
    if (trailer.size() != 1 || trailer[0] < QLatin1Char('A') || trailer[0] > QLatin1Char('Z'))
        return fail(context, QStringLiteral("The trailer ID must be one capital letter A to Z, not %1.")
                                 .arg(text::quotedValue(trailer)));
    const QString direction = parser.value(QStringLiteral("direction"));
    if (!direction.isEmpty() && !import::directionsOfTravel().contains(direction))
        return fail(context, QStringLiteral("The direction of travel must be one of: %1.")
                                 .arg(import::directionsOfTravel().join(QStringLiteral(", "))));
    const QString zone = parser.value(QStringLiteral("zone"));
    if (!zone.isEmpty() && !import::surveyZones().contains(zone))
        return fail(context, QStringLiteral("The zone must be one of: %1.")
                                 .arg(import::surveyZones().join(QStringLiteral(", "))));
    // The file is prepared as loading it in the window prepares it.
    QByteArray buffer;
    QString unread;
    if (!acquisition::readSavedDownload(file, buffer, &unread))
        return fail(context,
                    QStringLiteral("The file %1 cannot be read: %2. Name a saved download (.rsx) of a "
                                   "survey.")
                        .arg(QFileInfo(file).absoluteFilePath(), unread));
    import::markEnd(buffer);
    const import::HeaderFields fields = import::readHeaderFields(buffer);

    // Without --unit the unit the download states is taken, else the unit
    // of the last import; one that cannot be read is never guessed.
    QString unitFailure;
    QString unit = parser.value(QStringLiteral("unit"));
    if (!parser.isSet(QStringLiteral("unit")))
        unit = fields.unit.isEmpty() ? import::preferredUnit(unitFailure) : fields.unit;
    if (!unitFailure.isEmpty())
        return fail(context, QStringLiteral("The unit of the last import cannot be read: %1 Give the unit "
                                            "with --unit MPH or --unit KPH.")
                                 .arg(unitFailure));
    if (unit != QLatin1String("MPH") && unit != QLatin1String("KPH"))
        return fail(context,
                    QStringLiteral("The unit must be MPH or KPH, not %1.").arg(text::quotedValue(unit)));
    import::SurveyHeader header{fields.batchNumber(trailer),
                                fields.locationCode,
                                parser.value(QStringLiteral("location")),
                                fields.startDate(),
                                fields.startTime(),
                                fields.postedSpeed,
                                fields.cutoff,
                                fields.alarm,
                                unit,
                                direction,
                                zone};
    // Corrections replace the fields taken from the sign, as the correction
    // panel does: exactly as given.
    const std::pair<const char*, QString*> corrections[] = {
        {"start-date", &header.startDate}, {"start-time", &header.startTime},
        {"batch", &header.batchNumber},    {"location-code", &header.locationCode},
        {"posted", &header.postedSpeed},   {"cutoff", &header.cutoff},
        {"alarm", &header.alarm}};
    for (const auto& [option, field] : corrections) {
        const QString value = parser.value(QLatin1String(option));
        if (!value.isEmpty())
            *field = value;
    }

    ConsoleReport report(parser, context);
    const import::ImportResult result = import::importSurvey(context.database, header, buffer, report);
    switch (result.outcome) {
    case import::ImportResult::Outcome::Imported:
        return 0;
    case import::ImportResult::Outcome::MaybeStored:
        return kExitMaybeStored;
    default:
        return 1;
    }
}

} // namespace pelmor::cli
