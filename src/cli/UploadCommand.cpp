#include "Command.h"
#include "upload/SurveyUpload.h"

namespace pelmor::cli {
namespace {

// Prints each survey's outcome as soon as it is known, so that a long
// upload shows how far it got.
class PrintedUpload : public upload::UploadReport {
public:
    explicit PrintedUpload(QTextStream& out)
        : m_out(out)
    {
    }
    void progress(qint64, qint64) override {}
    void surveyDone(const upload::SurveyOutcome& outcome) override
    {
        m_out << upload::outcomeText(outcome) << Qt::endl;
    }

private:
    QTextStream& m_out;
};

} // namespace

void addUploadOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("batch"),
                                 QStringLiteral("The batch numbers of the surveys to send (default: all)."),
                                 QStringLiteral("[BATCH ...]"));
}

int runUpload(const QCommandLineParser& parser, Context& context)
{
    if (context.uploadServer.isEmpty())
        return fail(context,
                    QStringLiteral("Name the agency server to send the surveys to: pelmor-cli --db DIR "
                                   "upload --server URL [BATCH ...], or set PELMOR_SERVER."));
    const db::Database server = db::Database::ofServer(context.uploadServer);
    const QStringList batches = parser.positionalArguments().mid(1);
    PrintedUpload report(context.out);
    const upload::UploadResult result = upload::uploadSurveys(context.database, server, batches, report);
    if (!result.stopped.isEmpty())
        context.err << result.stopped << Qt::endl;
    context.out << result.countsText() << Qt::endl;
    if (result.count(upload::SurveyOutcome::Kind::MaybeSent) > 0)
        return kExitMaybeStored;
    return result.complete() ? 0 : 1;
}

} // namespace pelmor::cli
