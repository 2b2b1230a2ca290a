#include "Command.h"
#include "db/SafeFileWriter.h"
#include "maintenance/MaintenanceTexts.h"
#include "store/SurveyStore.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

namespace pelmor::cli {

int runInit(const QCommandLineParser& parser, Context& context);
void addImportOptions(QCommandLineParser& parser);
int runImport(const QCommandLineParser& parser, Context& context);
void addImportLogOptions(QCommandLineParser& parser);
int runImportLog(const QCommandLineParser& parser, Context& context);
int runLayouts(const QCommandLineParser& parser, Context& context);
void addSurveysOptions(QCommandLineParser& parser);
int runSurveys(const QCommandLineParser& parser, Context& context);
void addSummaryOptions(QCommandLineParser& parser);
int runSummary(const QCommandLineParser& parser, Context& context);
void addBreakdownOptions(QCommandLineParser& parser);
int runBreakdown(const QCommandLineParser& parser, Context& context);
void addGraphOptions(QCommandLineParser& parser);
int runGraph(const QCommandLineParser& parser, Context& context);
void addReportOptions(QCommandLineParser& parser);
int runReport(const QCommandLineParser& parser, Context& context);
void addStudyOptions(QCommandLineParser& parser);
int runStudy(const QCommandLineParser& parser, Context& context);
void addExportOptions(QCommandLineParser& parser);
int runExport(const QCommandLineParser& parser, Context& context);
int runBackup(const QCommandLineParser& parser, Context& context);
int runRepair(const QCommandLineParser& parser, Context& context);
void addConfirmationOption(QCommandLineParser& parser);
int runReplace(const QCommandLineParser& parser, Context& context);
int runRestore(const QCommandLineParser& parser, Context& context);
void addDeleteOptions(QCommandLineParser& parser);
int runDelete(const QCommandLineParser& parser, Context& context);
void addCompareOptions(QCommandLineParser& parser);
int runCompare(const QCommandLineParser& parser, Context& context);
void addFolderOptions(QCommandLineParser& parser);
int runFolder(const QCommandLineParser& parser, Context& context);
void addServerOptions(QCommandLineParser& parser);
int runServer(const QCommandLineParser& parser, Context& context);
void addUploadOptions(QCommandLineParser& parser);
int runUpload(const QCommandLineParser& parser, Context& context);
void addSitesOptions(QCommandLineParser& parser);
int runSites(const QCommandLineParser& parser, Context& context);
void addSiteOptions(QCommandLineParser& parser);
int runSite(const QCommandLineParser& parser, Context& context);
void addPrioritiesOptions(QCommandLineParser& parser);
int runPriorities(const QCommandLineParser& parser, Context& context);
void addSiteChangeOptions(QCommandLineParser& parser);
int runSiteChange(const QCommandLineParser& parser, Context& context);

namespace {

void noOptions(QCommandLineParser&) {}

} // namespace

const std::vector<Command>& commands()
{
    static const std::vector<Command> all = {
        {"init", "",
         "create the template pelmor.emp (written anew: it never holds data) and the survey "
         "database pelmor.mdb when there is none",
         noOptions, runInit, kFolderOnly},
        {"import",
         "FILE.rsx --trailer A --location TEXT --direction North --zone School --unit MPH "
         "[--start-date D] [--start-time T] [--batch B] [--location-code C] [--posted S] [--cutoff S] "
         "[--alarm S]",
         "process a saved download as loading it in the window does, complete its header from the "
         "options (the --start-date ... --alarm options correct the fields taken from the sign) and "
         "store the survey with its statistics",
         addImportOptions, runImport},
        {"import-log",
         "FILE --layout NAME|FILE [--guess] --trailer A --location TEXT --direction North --zone School "
         "[--unit U] [--start-date D] [--start-time T] [--batch B] [--location-code C] [--posted S] "
         "[--cutoff S] [--alarm S]",
         "read another device's per-vehicle speed log with a layout, print what the officer should know "
         "of it (refused lines, lines out of order, vehicles maybe seen twice, gaps, clock changes) and "
         "store it as a survey starting at its first vehicle's minute; --guess prints the layout that "
         "fits the log best instead",
         addImportLogOptions, runImportLog},
        {"layouts", "",
         "list the known log layouts (shipped, the agency's folder, this user's) with where each comes from",
         noOptions, runLayouts},
        {"surveys",
         "[--text T] [--zone Z] [--direction D] [--since MM/DD/YYYY] [--until MM/DD/YYYY] [--json]",
         "list the batch numbers of the stored surveys, or the surveys with their headers as JSON",
         addSurveysOptions, runSurveys},
        {"summary", "BATCH [--json]", "print the stored statistics of a survey, field by field",
         addSummaryOptions, runSummary},
        {"breakdown", "BATCH [--bins 15|60] [--csv]",
         "break a survey's traffic down into quarter-hour or hourly bins (stored as the last "
         "breakdown) and print the rows, fields separated by tabs",
         addBreakdownOptions, runBreakdown},
        {"graph", "percent85|volume BATCH --png FILE [--bw]",
         "draw a survey's speed distribution (pace and 85th percentile) or its vehicles per speed "
         "against the limit, for a colour or a black-and-white printer, into a PNG image",
         addGraphOptions, runGraph, kDrawsWithFonts},
        {"report",
         "N BATCH --pdf FILE | --png DIR [--agency TEXT] [--officer TEXT] [--bw] [--threshold N] "
         "[--with BATCH_B]",
         "write document N of a survey as a PDF file or as one PNG image per page (150 dpi), drawing its "
         "graph, breaking its traffic down, working out its speed study or comparing it with BATCH_B "
         "first as the window does (the speed study report takes the enforcement threshold, the "
         "before-and-after comparison needs --with); the field setup sheets take no BATCH "
         "and the filled-in sheet takes its values as options ('pelmor-cli report --help' lists the "
         "documents and the options)",
         addReportOptions, runReport, kDrawsWithFonts},
        {"study", "BATCH [--json] [--threshold N]",
         "print a survey's measured speed study: percentiles, pace, shares over the limit by direction, "
         "the hourly profile and the data-quality warnings",
         addStudyOptions, runStudy},
        {"export", "vehicles|breakdown|summary|study BATCH [-o FILE] [--bins 15|60] [--threshold N]",
         "write a survey's vehicles, its breakdown (worked out anew), its statistics row or its speed "
         "study as CSV, on the output or into FILE",
         addExportOptions, runExport},
        {"backup", "",
         "keep the database as it is in pelmor.bak (an earlier backup goes) and compact pelmor.mdb",
         noOptions, runBackup, kFileUpkeep},
        {"repair", "", "check pelmor.mdb and, when damaged, rebuild it from every row that can still be read",
         noOptions, runRepair, kFileUpkeep},
        {"replace", "--yes", "replace pelmor.mdb by a copy of the empty database pelmor.emp",
         addConfirmationOption, runReplace, kFileUpkeep},
        {"restore", "--yes", "replace pelmor.mdb by a copy of the backup pelmor.bak", addConfirmationOption,
         runRestore, kFileUpkeep},
        {"delete", "BATCH | --all --yes", "delete one survey, or every survey, with all their vehicles",
         addDeleteOptions, runDelete, kDeletesAllWithAll},
        {"compare", "BATCH_A BATCH_B [--json]",
         "set two surveys of one street side by side (usually before and after a change), in the first "
         "one's unit: their speeds, the changes, whether each change is significant at 95 % and why the "
         "two may not compare fairly",
         addCompareOptions, runCompare},
        {"folder", "[--set DIR | --forget]",
         "print the database folder and what chose it; --set remembers DIR as this user's database "
         "folder, --forget forgets it",
         addFolderOptions, runFolder, kFolderOnly},
        {"server", "init",
         "set the agency's PostgreSQL server --server names up for the program: its tables and the group "
         "roles pelmor_officer and pelmor_admin, or bring them to this program's version (run as a role "
         "that may create roles; run again, it changes nothing)",
         addServerOptions, runServer},
        {"upload", "--server URL [BATCH ...]",
         "send the surveys of the file on this computer (all, or the batch numbers named) to the agency "
         "server --server (or PELMOR_SERVER) names, each whole with its vehicles and statistics; one line a "
         "survey (sent, already there, refused with the reason), then the counts",
         addUploadOptions, runUpload, kSendsToServer},
        {"sites", "[--json]",
         "list the sites the surveys were taken at (a location and a direction of travel), each with its "
         "number, its surveys and their first and latest dates",
         addSitesOptions, runSites},
        {"site", "SITE [--json]",
         "print the history of one site (its number or its name): every survey in time order with its "
         "vehicles per day, mean, 85th percentile and shares over the limit, in the site's first unit, and "
         "the change from the survey before with whether it is significant at 95 %",
         addSiteOptions, runSite},
        {"priorities",
         "[--zone Z] [--direction D] [--since MM/DD/YYYY] [--until MM/DD/YYYY] [--json | --csv]",
         "rank the sites by the drivers per day more than 10 over the limit (10 mph, or 10 km/h) in their "
         "latest survey, the most first; on a tie the higher 85th percentile over the limit, then the name",
         addPrioritiesOptions, runPriorities},
        {"site-change", "merge SITE INTO_SITE | split BATCH | place SITE LATITUDE LONGITUDE",
         "merge a site into another (its surveys and its name go with it), give a survey a site of its "
         "own, or set a site's coordinates in degrees",
         addSiteChangeOptions, runSiteChange},
    };
    return all;
}

const Command* findCommand(const QString& name)
{
    for (const Command& command : commands()) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

QString refusalOn(const db::Database& database, const Command& command, const QCommandLineParser& parser)
{
    const store::Capabilities capabilities = store::capabilitiesOf(database);
    const QString name = QLatin1String(command.name);
    const bool deletesAll = command.has(kDeletesAllWithAll) && parser.isSet(QStringLiteral("all"));
    if ((command.has(kFileUpkeep) && !capabilities.fileMaintenance) ||
        (deletesAll && !capabilities.deleteAll))
        return QStringLiteral("'pelmor-cli %1' is for the database file on this computer. %2")
            .arg(name + (deletesAll ? QStringLiteral(" --all") : QString()),
                 maintenance::texts::kServerKeptByIt);
    if (command.has(kFolderOnly) && capabilities.keeper != store::Keeper::ThisComputer)
        return QStringLiteral("'pelmor-cli %1' works on the database folder of this computer, not on the "
                              "agency server: drop --server (or unset PELMOR_SERVER). To set a server up, "
                              "run 'pelmor-cli --server URL server init'.")
            .arg(name);
    return QString();
}

int fail(Context& context, const QString& message)
{
    context.err << message << Qt::endl;
    return 1;
}

QString writePng(const QString& path, const QImage& image)
{
    // The image is encoded in memory first: the PNG encoder stops half way
    // on a failed write and leaves its buffers behind, so the file gets the
    // finished bytes in one write and its failure is told like any other.
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return QStringLiteral("The image for %1 cannot be made: %2").arg(path, writer.errorString());
    return db::saveFile(path, [&encoded](QIODevice& file) {
        if (file.write(encoded) == encoded.size())
            return QString();
        return file.errorString();
    });
}

} // namespace pelmor::cli
