#include "Command.h"
#include "MaintenanceOutput.h"
#include "acquisition/SavedDownloads.h"
#include "db/DbError.h"
#include "import/LogParser.h"
#include "import/SurveyImport.h"
#include "import/SurveyLists.h"
#include "import/UnitPreference.h"
#include "logs/LogLayout.h"
#include "logs/LogReading.h"
#include "logs/LogSurvey.h"
#include "text/Formats.h"
#include "text/MessageText.h"

#include <QDir>
#include <QFile>
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

// The options of the survey header, shared by the imports.
void addHeaderOptions(QCommandLineParser& parser)
{
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

// What refuses the trailer, direction and zone options; empty when none.
QString headerOptionsRefusal(const QCommandLineParser& parser)
{
    const QString trailer = parser.isSet(QStringLiteral("trailer")) ? parser.value(QStringLiteral("trailer"))
                                                                    : QStringLiteral("A");
    if (trailer.size() != 1 || trailer[0] < QLatin1Char('A') || trailer[0] > QLatin1Char('Z'))
        return QStringLiteral("The trailer ID must be one capital letter A to Z, not %1.")
            .arg(text::quotedValue(trailer));
    const QString direction = parser.value(QStringLiteral("direction"));
    if (!direction.isEmpty() && !import::directionsOfTravel().contains(direction))
        return QStringLiteral("The direction of travel must be one of: %1.")
            .arg(import::directionsOfTravel().join(QStringLiteral(", ")));
    const QString zone = parser.value(QStringLiteral("zone"));
    if (!zone.isEmpty() && !import::surveyZones().contains(zone))
        return QStringLiteral("The zone must be one of: %1.")
            .arg(import::surveyZones().join(QStringLiteral(", ")));
    return QString();
}

// The unit of --unit, else the one the log states, else the one of the last
// import; empty, with the failure printed, when none of them is MPH or KPH.
QString importUnit(const QCommandLineParser& parser, Context& context, const QString& stated)
{
    QString unitFailure;
    QString unit = parser.value(QStringLiteral("unit"));
    if (!parser.isSet(QStringLiteral("unit")))
        unit = stated.isEmpty() ? import::preferredUnit(unitFailure) : stated;
    if (!unitFailure.isEmpty()) {
        fail(context, QStringLiteral("The unit of the last import cannot be read: %1 Give the unit "
                                     "with --unit MPH or --unit KPH.")
                          .arg(unitFailure));
        return QString();
    }
    if (unit != QLatin1String("MPH") && unit != QLatin1String("KPH")) {
        fail(context, QStringLiteral("The unit must be MPH or KPH, not %1.").arg(text::quotedValue(unit)));
        return QString();
    }
    return unit;
}

// Corrections replace the fields taken from the log, as the correction
// panel does: exactly as given.
void applyCorrections(const QCommandLineParser& parser, import::SurveyHeader& header)
{
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
}

int exitCode(const import::ImportResult& result)
{
    switch (result.outcome) {
    case import::ImportResult::Outcome::Imported:
        return 0;
    case import::ImportResult::Outcome::MaybeStored:
        return kExitMaybeStored;
    default:
        return 1;
    }
}

} // namespace

void addImportOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("The saved download (.rsx) to import."));
    addHeaderOptions(parser);
}

int runImport(const QCommandLineParser& parser, Context& context)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 2)
        return fail(context,
                    QStringLiteral("Name one saved download to import: pelmor-cli import FILE.rsx ..."));
    const QString file = arguments[1];
    const QString refusal = headerOptionsRefusal(parser);
    if (!refusal.isEmpty())
        return fail(context, refusal);
    const QString trailer = parser.isSet(QStringLiteral("trailer")) ? parser.value(QStringLiteral("trailer"))
                                                                    : QStringLiteral("A");
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
    const QString unit = importUnit(parser, context, fields.unit);
    if (unit.isEmpty())
        return 1;
    import::SurveyHeader header{fields.batchNumber(trailer),
                                fields.locationCode,
                                parser.value(QStringLiteral("location")),
                                fields.startDate(),
                                fields.startTime(),
                                fields.postedSpeed,
                                fields.cutoff,
                                fields.alarm,
                                unit,
                                parser.value(QStringLiteral("direction")),
                                parser.value(QStringLiteral("zone"))};
    applyCorrections(parser, header);

    ConsoleReport report(parser, context);
    const import::ImportResult result = import::importSurvey(context.database, header, buffer, report);
    return exitCode(result);
}

void addImportLogOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("Another device's per-vehicle speed log to import."));
    parser.addOptions({
        {QStringLiteral("layout"),
         QStringLiteral("The layout to read the log with: the name of a known layout ('pelmor-cli layouts' "
                        "lists them) or a layout file."),
         QStringLiteral("NAME|FILE")},
        {QStringLiteral("guess"),
         QStringLiteral("Print the layout that fits the log best, and store nothing.")},
    });
    addHeaderOptions(parser);
}

int runImportLog(const QCommandLineParser& parser, Context& context)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 2)
        return fail(context,
                    QStringLiteral("Name one log to import: pelmor-cli import-log FILE --layout NAME ..."));
    const QString file = QFileInfo(arguments[1]).absoluteFilePath();
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return fail(context,
                    QStringLiteral("The file %1 cannot be read: %2.").arg(file, input.errorString()));
    const QByteArray bytes = input.readAll();
    if (parser.isSet(QStringLiteral("guess"))) {
        context.out << logs::guessLayout(bytes).toText();
        return 0;
    }

    // A layout file, else a known layout of that name.
    const QString name = parser.value(QStringLiteral("layout"));
    if (name.isEmpty())
        return fail(context,
                    QStringLiteral("Give the log's layout with --layout NAME or FILE, or print a guess "
                                   "with --guess."));
    logs::LogLayout layout;
    if (QFileInfo(name).isFile()) {
        QFile layoutFile(name);
        if (!layoutFile.open(QIODevice::ReadOnly))
            return fail(
                context,
                QStringLiteral("The layout file %1 cannot be read: %2.").arg(name, layoutFile.errorString()));
        try {
            layout = logs::LogLayout::fromText(QString::fromUtf8(layoutFile.readAll()));
        } catch (const logs::LayoutError& error) {
            return fail(context, QStringLiteral("The layout file %1: %2.").arg(name, error.message()));
        }
    } else if (const std::optional<logs::LogLayout> known =
                   logs::findLayout(logs::LayoutFolders::standard(), name)) {
        layout = *known;
    } else {
        return fail(context, QStringLiteral("There is no layout %1: 'pelmor-cli layouts' lists them.")
                                 .arg(text::quotedValue(name)));
    }

    const QString refusal = headerOptionsRefusal(parser);
    if (!refusal.isEmpty())
        return fail(context, refusal);
    const QString unit = importUnit(parser, context, layout.speedUnit);
    if (unit.isEmpty())
        return 1;
    logs::ReadLog log;
    logs::ReadOptions options;
    options.unit = unit;
    try {
        log = logs::readLog(bytes, layout, QDir::toNativeSeparators(file), options);
    } catch (const logs::LogError& error) {
        return fail(context, error.message());
    }
    for (const QString& finding : log.findings(QFileInfo(file).fileName()))
        context.out << finding << Qt::endl;

    // The start is the first vehicle's minute unless given; a given one is
    // on the log's clock.
    logs::LogSurvey survey = logs::logSurvey(log);
    if (parser.isSet(QStringLiteral("start-date")) || parser.isSet(QStringLiteral("start-time"))) {
        const QString date = parser.isSet(QStringLiteral("start-date"))
                                 ? parser.value(QStringLiteral("start-date"))
                                 : survey.startDate();
        const QString time = parser.isSet(QStringLiteral("start-time"))
                                 ? parser.value(QStringLiteral("start-time"))
                                 : survey.startTime();
        const std::optional<QDateTime> start = text::parseStart(date, time);
        if (!start)
            return fail(
                context,
                QStringLiteral("The start %1 %2 is no date (mm/dd/yyyy) and time (hh:mm).").arg(date, time));
        const QDateTime first = log.vehicles.front().time;
        survey = logs::logSurvey(
            log, first.timeSpec() == Qt::OffsetFromUTC
                     ? QDateTime(start->date(), start->time(), Qt::OffsetFromUTC, first.offsetFromUtc())
                     : *start);
    }
    const QString trailer = parser.isSet(QStringLiteral("trailer")) ? parser.value(QStringLiteral("trailer"))
                                                                    : QStringLiteral("A");
    import::SurveyHeader header{survey.start.toString(QStringLiteral("MMddyy-")) + trailer,
                                QString(),
                                parser.value(QStringLiteral("location")),
                                survey.startDate(),
                                survey.startTime(),
                                QString(),
                                QString(),
                                QString(),
                                unit,
                                parser.value(QStringLiteral("direction")),
                                parser.value(QStringLiteral("zone"))};
    applyCorrections(parser, header);
    header.startDate = survey.startDate();
    header.startTime = survey.startTime();

    ConsoleReport report(parser, context);
    const import::DownloadVehicles vehicles(std::move(survey.vehicles));
    const QString source = layout.device.isEmpty()
                               ? QStringLiteral("layout %1").arg(layout.name)
                               : QStringLiteral("%1, layout %2").arg(layout.device, layout.name);
    return exitCode(
        import::importVehicles(context.database, header, vehicles, {layout.speedUnit, source}, report));
}

int runLayouts(const QCommandLineParser&, Context& context)
{
    QStringList unread;
    for (const logs::LogLayout& layout : logs::knownLayouts(logs::LayoutFolders::standard(), &unread))
        context.out << layout.name << '\t' << layout.origin << Qt::endl;
    for (const QString& each : unread)
        context.err << each << Qt::endl;
    return 0;
}

} // namespace pelmor::cli