#include "reports/widgets/DocumentOutput.h"

#include "db/Files.h"
#include "reports/PagePainter.h"
#include "ui/Messages.h"
#include "worker/Run.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>

#include <algorithm>

namespace pelmor::reports {

DocumentOutput::DocumentOutput(ui::Messages& messages, worker::BackgroundTask& task, QWidget* window)
    : QObject(window)
    , m_messages(messages)
    , m_task(task)
    , m_window(window)
{
}

void DocumentOutput::useWholePaper(QPrinter& printer)
{
    printer.setFullPage(true);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

QString DocumentOutput::progressText(int page, const QString& document, const QString& device,
                                     const QString& place)
{
    QString pageLine = QStringLiteral("Now printing Page %d of");
    pageLine.replace(QLatin1String("%d"), QString::number(page));
    QString deviceLine = QStringLiteral("on the %s on %s");
    const qsizetype first = deviceLine.indexOf(QLatin1String("%s"));
    deviceLine.replace(first, 2, device);
    deviceLine.replace(deviceLine.indexOf(QLatin1String("%s"), first + device.size()), 2, place);
    return pageLine + QLatin1Char('\n') + document + QLatin1Char('\n') + deviceLine;
}

QString DocumentOutput::savedMessage(const QString& title, const QString& path)
{
    return QStringLiteral("%1 was saved as %2")
        .arg(title, db::displayPath(QFileInfo(path).absoluteFilePath()));
}

bool DocumentOutput::print(QPrinter& printer, const PagedDocument& document, const QString& title)
{
    if (m_task.isRunning())
        return false;
    useWholePaper(printer);
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    const QString device = toFile ? QStringLiteral("PDF file") : printer.printerName();
    QString place =
        toFile ? printer.outputFileName() : QPrinterInfo::printerInfo(printer.printerName()).location();
    if (place.isEmpty())
        place = printer.printerName();
    printer.setDocName(title);
    // The pages asked for: all, or a range of them.
    PagedDocument pages = document;
    const int count = static_cast<int>(pages.pages.size());
    int first = 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::min(printer.fromPage(), count);
        const int last = std::clamp(printer.toPage() > 0 ? printer.toPage() : count, first, count);
        pages.pages.erase(pages.pages.begin() + last, pages.pages.end());
        pages.pages.erase(pages.pages.begin(), pages.pages.begin() + (first - 1));
    }

    QProgressDialog progress(m_window);
    progress.setObjectName(QStringLiteral("PrintProgress"));
    progress.setWindowTitle(QStringLiteral("Printing..."));
    progress.setCancelButtonText(QStringLiteral("Cancel"));
    progress.setRange(0, static_cast<int>(pages.pages.size()));
    progress.setMinimumDuration(0);
    progress.setWindowModality(Qt::WindowModal);
    progress.setLabelText(progressText(first, title, device, place));
    progress.setValue(0);
    // The window answers while the worker paints: the progress window
    // follows the pages, and its "Cancel" stops after the page on the way.
    connect(&m_task, &worker::BackgroundTask::progressed, &progress, [&](qint64 done, qint64) {
        progress.setLabelText(progressText(first + static_cast<int>(done), title, device, place));
        progress.setValue(static_cast<int>(done));
    });
    connect(&progress, &QProgressDialog::canceled, &m_task, [this] { m_task.cancel(); });
    QCoreApplication::processEvents();
    if (progress.wasCanceled())
        return false;

    // What the worker comes back with: the failure, and whether the printer
    // could be opened at all.
    struct Printed {
        QString failure;
        bool opened = true;
    };
    Printed printed;
    QEventLoop waiting;
    worker::run(
        m_task, this,
        [&printer, pages = std::move(pages), toFile, title, device](worker::BackgroundTask& task) {
            const auto total = static_cast<qint64>(pages.pages.size());
            const auto beforePage = [&task, total](int page) {
                task.setProgress(page - 1, total);
                return !task.isCancelled();
            };
            Printed out;
            if (toFile) {
                // A PDF file is written as every file the program saves:
                // whole, or not at all with the reason.
                out.failure = writePdf(pages, printer.outputFileName(), title, beforePage);
                return out;
            }
            QPainter painter;
            if (!painter.begin(&printer)) {
                out.opened = false;
                return out;
            }
            const bool complete = paintDocument(painter, printer, pages, printer.resolution(), beforePage);
            if (!complete)
                printer.abort();
            const bool ended = painter.end();
            if (complete && (!ended || printer.printerState() == QPrinter::Error))
                out.failure =
                    QStringLiteral("The printer %1 reported an error: %2 may not have been printed. "
                                   "Check the printer, then print again.")
                        .arg(device, title);
            return out;
        },
        [&](worker::Done<Printed> done) {
            printed = std::move(done.value);
            waiting.quit();
        },
        QStringLiteral("Printing %1").arg(title), true);
    waiting.exec();
    progress.setValue(progress.maximum());
    if (!printed.opened) {
        m_messages.tell(QStringLiteral("The document cannot be printed on %1. Check that the printer is "
                                       "switched on and connected, then print again.")
                            .arg(device),
                        ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
        return false;
    }
    // Cancelling is the user's own doing and needs no word.
    if (progress.wasCanceled())
        return false;
    if (!printed.failure.isEmpty()) {
        m_messages.tell(printed.failure, ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
        return false;
    }
    m_messages.tell(toFile ? savedMessage(title, printer.outputFileName())
                           : QStringLiteral("%1 was sent to the printer %2.").arg(title, device),
                    ui::Messages::defaultTitle(), ui::Messages::Icon::Information);
    return true;
}

bool DocumentOutput::saveAsPdf(const PagedDocument& document, const QString& path, const QString& title)
{
    // The file is written whole or not at all, so stopping before the last
    // page leaves none.
    return worker::run(
        m_task, this,
        [document, path, title](worker::BackgroundTask& task) {
            const auto pages = static_cast<qint64>(document.pages.size());
            const QString failure = writePdf(document, path, title, [&task, pages](int page) {
                task.setProgress(page - 1, pages);
                return !task.isCancelled();
            });
            task.setProgress(pages, pages);
            return failure;
        },
        [this, path, title](worker::Done<QString> done) {
            const QString& failure = done.value;
            // A cancel needs no word: no file was written.
            if (m_task.isCancelled()) {
                Q_EMIT pdfSaved(false);
                return;
            }
            if (!failure.isEmpty())
                m_messages.tell(failure, ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
            else
                m_messages.tell(savedMessage(title, path), ui::Messages::defaultTitle(),
                                ui::Messages::Icon::Information);
            Q_EMIT pdfSaved(failure.isEmpty());
        },
        QStringLiteral("Saving %1 as a PDF file").arg(title), true);
}

} // namespace pelmor::reports
