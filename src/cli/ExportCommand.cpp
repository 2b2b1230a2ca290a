#include "Command.h"
#include "SharedOptions.h"
#include "csv/TableExport.h"
#include "db/SafeFileWriter.h"
#include "study/StudyExport.h"
#include "text/MessageText.h"

#include <QFile>

#include <cstdio>

namespace pelmor::cli {
namespace {

const QCommandLineOption& outputOption()
{
    static const QCommandLineOption option(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                           QStringLiteral("Write the CSV into FILE instead of printing it."),
                                           QStringLiteral("FILE"));
    return option;
}

} // namespace

void addExportOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(
        QStringLiteral("TABLE"),
        QStringLiteral("vehicles, breakdown (worked out anew, as the breakdown command "
                       "does), summary or study."));
    parser.addPositionalArgument(QStringLiteral("BATCH"), QStringLiteral("The batch number of the survey."));
    parser.addOption(outputOption());
    parser.addOption(binsOption());
    parser.addOption(thresholdOption());
}

int runExport(const QCommandLineParser& parser, Context& context)
{
    const QStringList arguments = parser.positionalArguments();
    const QString usage =
        QStringLiteral("Usage: pelmor-cli export vehicles|breakdown|summary|study BATCH [-o FILE]");
    if (arguments.size() != 3)
        return fail(context, usage);
    const QString table = arguments.at(1);
    const QString batch = arguments.at(2);

    // What writes the CSV, once the data is ready.
    std::function<QString(QIODevice&)> write;
    std::optional<study::SpeedStudy> found;
    std::vector<flow::BreakdownRow> breakdown;
    if (table == QLatin1String("study")) {
        found = studyOf(parser, context, batch);
        if (!found)
            return 1;
        write = [&found](QIODevice& device) {
            return study::writeStudyCsv(*found, device);
        };
    } else if (table == QLatin1String("vehicles") || table == QLatin1String("summary") ||
               table == QLatin1String("breakdown")) {
        csv::Table chosen = csv::Table::Vehicles;
        if (table == QLatin1String("summary"))
            chosen = csv::Table::Summary;
        if (table == QLatin1String("breakdown")) {
            chosen = csv::Table::Breakdown;
            const QString failure = breakDown(parser, context, batch, breakdown);
            if (!failure.isEmpty())
                return fail(context, failure);
        }
        write = [&context, chosen, batch, &breakdown](QIODevice& device) {
            return csv::writeTable(context.database, chosen, batch, device, breakdown);
        };
    } else {
        return fail(context, QStringLiteral("Unknown table %1. %2").arg(text::quotedValue(table), usage));
    }

    QString failure;
    if (parser.isSet(outputOption())) {
        failure = db::saveFile(parser.value(outputOption()), write);
    } else {
        context.out.flush();
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly))
            return fail(context, QStringLiteral("The output cannot be written: %1").arg(out.errorString()));
        failure = write(out);
        // A full disk may show only when the last of the output is handed on.
        if (!out.flush() && failure.isEmpty())
            failure = QStringLiteral("The output cannot be written: %1").arg(out.errorString());
    }
    return failure.isEmpty() ? 0 : fail(context, failure);
}

} // namespace pelmor::cli
