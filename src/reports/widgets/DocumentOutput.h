#pragma once

#include "reports/PageItems.h"

#include <QObject>
#include <QString>

class QPrinter;
class QWidget;

namespace pelmor::worker {
class BackgroundTask;
}
namespace pelmor::ui {
class Messages;
}

namespace pelmor::reports {

// Sends a laid-out document out of the program: to a printer, or to a PDF
// file. The pages are painted on the worker, so the window stays free;
// the user is told where they went or what failed (a cancel needs no word).
class DocumentOutput : public QObject {
    Q_OBJECT
public:
    // `window` holds the progress window of a printing.
    DocumentOutput(ui::Messages& messages, worker::BackgroundTask& task, QWidget* window);

    // Prints `document` (or the range of pages the printer is set to) on
    // `printer` under the progress window, which can cancel it; a printer
    // set to a PDF file gets the file saved as every file is. Returns once
    // it has ended, whether every page went out; false, and nothing done,
    // while other work runs.
    bool print(QPrinter& printer, const PagedDocument& document, const QString& title);
    // Writes `document` as a PDF file, page by page under the progress
    // strip; pdfSaved() follows. A cancel leaves no file. False, and
    // nothing started, while other work runs.
    bool saveAsPdf(const PagedDocument& document, const QString& path, const QString& title);

    // The progress window's texts for a page of a printer.
    static QString progressText(int page, const QString& document, const QString& device,
                                const QString& place);
    // "<document> was saved as <file>".
    static QString savedMessage(const QString& title, const QString& path);
    // Pages are painted from the paper's corner: no margins of the printer's own.
    static void useWholePaper(QPrinter& printer);

Q_SIGNALS:
    // A save as PDF has ended: whether the file was written.
    void pdfSaved(bool written);

private:
    ui::Messages& m_messages;
    worker::BackgroundTask& m_task;
    QWidget* m_window;
};

} // namespace pelmor::reports
