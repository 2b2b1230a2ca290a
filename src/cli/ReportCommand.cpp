#include "Command.h"
#include "SharedOptions.h"
#include "queries/Queries.h"
#include "reports/Documents.h"
#include "reports/PagePainter.h"
#include "text/MessageText.h"

#include <QDir>

namespace pelmor::cli {
namespace {

// Resolution of the page images: sharp enough to read every line.
constexpr double kImageResolution = 150;

QCommandLineOption option(const char* name, const char* description, const char* valueName = nullptr,
                          const QString& defaultValue = QString())
{
    if (!valueName)
        return QCommandLineOption(QLatin1String(name), QLatin1String(description));
    return QCommandLineOption(QLatin1String(name), QLatin1String(description), QLatin1String(valueName),
                              defaultValue);
}

// The field sheet's inputs, with the options that set them and their
// defaults (the inputs' contents when the program starts).
struct SheetOption {
    const char* name;
    const char* description;
    QString reports::FieldSheetInputs::*field;
};

const std::vector<SheetOption>& sheetOptions()
{
    using Inputs = reports::FieldSheetInputs;
    static const std::vector<SheetOption> all = {
        {"trailer-id", "Document 6: the trailer ID (default A).", &Inputs::trailerId},
        {"batch-number", "Document 6: the batch number.", &Inputs::batchNumber},
        {"start-time", "Document 6: the survey start time.", &Inputs::startTime},
        {"start-date", "Document 6: the survey start date.", &Inputs::startDate},
        {"location", "Document 6: the survey location.", &Inputs::location},
        {"direction", "Document 6: the direction of travel.", &Inputs::direction},
        {"zone", "Document 6: the zone.", &Inputs::zone},
        {"posted-limit", "Document 6: the posted speed limit.", &Inputs::postedLimit},
        {"minimum-radar", "Document 6: the minimum radar setting (default 5).", &Inputs::minimumRadar},
        {"maximum-radar", "Document 6: the maximum radar setting (default 200).", &Inputs::maximumRadar},
        {"alarm", "Document 6: the high speed alarm.", &Inputs::highSpeedAlarm},
        {"cutoff", "Document 6: the high speed cut off.", &Inputs::highSpeedCutOff},
        {"performed-by", "Document 6: who performed the field setup.", &Inputs::performedBy},
    };
    return all;
}

QCommandLineOption sheetOption(const SheetOption& sheet)
{
    const reports::FieldSheetInputs defaults;
    return option(sheet.name, sheet.description, "TEXT", defaults.*sheet.field);
}

// The documents printed for a survey, by number: "1, 2, 3".
QString surveyDocumentNumbers()
{
    QStringList numbers;
    for (const reports::DocumentKind& kind : reports::documentKinds()) {
        if (kind.forSurvey)
            numbers << QString::number(static_cast<int>(kind.choice));
    }
    return numbers.join(QStringLiteral(", "));
}

int writeImages(Context& context, const reports::PagedDocument& document, const QString& folder)
{
    if (!QDir().mkpath(folder))
        return fail(context, QStringLiteral("The folder %1 cannot be made.").arg(folder));
    const int width = QString::number(document.pages.size()).size() < 3 ? 3 : 4;
    for (int page = 0; page < static_cast<int>(document.pages.size()); ++page) {
        const QString file =
            QDir(folder).filePath(QStringLiteral("page-%1.png").arg(page + 1, width, 10, QLatin1Char('0')));
        const QString failure = writePng(file, reports::renderPage(document, page, kImageResolution));
        if (!failure.isEmpty())
            return fail(context, failure);
    }
    return 0;
}

} // namespace

void addReportOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("N"),
                                 QStringLiteral("The document: ") + reports::documentList() + '.');
    parser.addPositionalArgument(QStringLiteral("BATCH"),
                                 QStringLiteral("The batch number of the survey "
                                                "(documents %1), or the site's number "
                                                "(document 10).")
                                     .arg(surveyDocumentNumbers()));
    parser.addOption(option("pdf", "Write the document as a PDF file to FILE.", "FILE"));
    parser.addOption(option("png", "Write one PNG image per page, at 150 dpi, into the folder DIR.", "DIR"));
    parser.addOption(option(
        "agency", "The agency the report is prepared for (default: the first agency stored).", "TEXT"));
    parser.addOption(option(
        "officer", "The officer who prepares the report (default: the first officer stored).", "TEXT"));
    parser.addOption(option("bw", "Draw for a black-and-white laser printer (default: colour)."));
    parser.addOption(thresholdOption());
    parser.addOption(option("with",
                            "Document 9: the batch number of the survey to set beside BATCH, usually the one "
                            "after.",
                            "BATCH_B"));
    for (const SheetOption& sheet : sheetOptions())
        parser.addOption(sheetOption(sheet));
}

int runReport(const QCommandLineParser& parser, Context& context)
{
    const QStringList arguments = parser.positionalArguments();
    const QString usage = QStringLiteral("Usage: pelmor-cli report N BATCH --pdf FILE | --png DIR (a field "
                                         "setup sheet without BATCH; document 9 "
                                         "with --with BATCH_B)");
    if (arguments.size() < 2 || arguments.size() > 3)
        return fail(context, usage);
    bool isNumber = false;
    const int number = arguments.at(1).toInt(&isNumber);
    const reports::DocumentKind* kind =
        isNumber ? reports::documentKind(reports::reportChoiceFromNumber(number)) : nullptr;
    if (!kind)
        return fail(context, QStringLiteral("There is no document %1; the documents are %2.")
                                 .arg(text::quotedValue(arguments.at(1)), reports::documentList()));
    const bool forSite = kind->choice == reports::ReportChoice::SiteHistoryReport;
    qint64 site = 0;
    if (forSite) {
        bool siteNumber = false;
        site = arguments.value(2).toLongLong(&siteNumber);
        if (arguments.size() != 3 || !siteNumber)
            return fail(context, QStringLiteral("Document %1 is printed for a site: give its number, as "
                                                "'pelmor-cli sites' lists it.")
                                     .arg(number));
    }
    if (kind->forSurvey && arguments.size() != 3)
        return fail(context, QStringLiteral("Document %1 is printed for a survey: give its batch number. %2")
                                 .arg(number)
                                 .arg(usage));
    if (!kind->forSurvey && !forSite && arguments.size() != 2)
        return fail(context,
                    QStringLiteral("Document %1 is not printed for a survey: give no batch number (the "
                                   "filled-in sheet takes its values from the options).")
                        .arg(number));
    std::optional<qint64> threshold;
    if (!readThreshold(parser, context, threshold))
        return 1;
    if (threshold && kind->preparation != reports::Preparation::SpeedStudy)
        return fail(context,
                    QStringLiteral("Document %1 counts no vehicles over an enforcement threshold: leave out "
                                   "--threshold.")
                        .arg(number));
    const bool comparison = kind->preparation == reports::Preparation::Comparison;
    const QString secondBatch = parser.value(QStringLiteral("with"));
    if (comparison && secondBatch.isEmpty())
        return fail(context, QStringLiteral("Document %1 sets two surveys side by side: give the second with "
                                            "--with BATCH_B.")
                                 .arg(number));
    if (!comparison && parser.isSet(QStringLiteral("with")))
        return fail(context,
                    QStringLiteral("Document %1 sets no second survey beside the first: leave out --with.")
                        .arg(number));
    const QString pdf = parser.value(QStringLiteral("pdf"));
    const QString images = parser.value(QStringLiteral("png"));
    if (pdf.isEmpty() && images.isEmpty())
        return fail(context,
                    QStringLiteral("Give the PDF file with --pdf FILE or the image folder with --png DIR."));

    queries::DocumentRequest request;
    request.number = number;
    request.batchNumber = kind->forSurvey ? arguments.at(2) : QString();
    request.secondBatch = secondBatch;
    request.site = site;
    request.threshold = threshold;
    request.today = QDate::currentDate();
    request.blackAndWhite = parser.isSet(QStringLiteral("bw"));
    if (parser.isSet(QStringLiteral("agency")))
        request.agency = parser.value(QStringLiteral("agency"));
    if (parser.isSet(QStringLiteral("officer")))
        request.officer = parser.value(QStringLiteral("officer"));
    for (const SheetOption& sheet : sheetOptions())
        request.fieldSheet.*sheet.field = parser.value(QLatin1String(sheet.name));
    const auto built = queries::document(context.database, request);
    if (built.ok() && !built.value->warning.isEmpty())
        context.err << built.value->warning << Qt::endl;
    if (!built.ok())
        return failed(context, built);
    const reports::PagedDocument* document = &built.value->pages;
    if (!pdf.isEmpty()) {
        const QString failure = reports::writePdf(*document, pdf, reports::documentName(kind->choice));
        if (!failure.isEmpty())
            return fail(context, failure);
    }
    if (!images.isEmpty()) {
        if (const int status = writeImages(context, *document, images))
            return status;
    }
    context.out << QStringLiteral("%1: %2 page(s)\n")
                       .arg(reports::documentName(kind->choice))
                       .arg(document->pages.size());
    context.out.flush();
    return 0;
}

} // namespace pelmor::cli
