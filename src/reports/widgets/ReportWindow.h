#pragma once

#include "reports/DocumentInputs.h"
#include "reports/Documents.h"
#include "reports/PageItems.h"
#include "reports/ReportChoice.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QGraphicsView;
class QLabel;
class QMenu;
class QPrinter;
class QPrintPreviewWidget;
class QPushButton;
class QToolButton;

namespace pelmor::worker {
class BackgroundTask;
class ProgressStrip;
} // namespace pelmor::worker
namespace pelmor::ui {
class Messages;
}

namespace pelmor::reports {

class DocumentOutput;

// The report window ("VSPrint", caption "Pelmor Printer"): a print preview
// of the chosen document that the user zooms, pans and pages through, and
// prints or saves as a PDF file. Every time the window becomes the active
// window it builds the document anew from the current data: the choice
// and the inputs are asked for then. A document that cannot be started on
// the paper gives a beep and leaves the preview as it was; no choice
// builds nothing.
//
// The document is prepared and laid out on a worker, under the window's
// progress strip with "Cancel"; a cancelled build leaves the preview as it
// was. Only the pages laid out are handed to the preview, which paints
// them on the window's thread.
//
// The window has a fixed size and is centred on the screen at each
// activation. "Close" hides it with its document; however it is hidden,
// closed() tells the main window.
class ReportWindow : public QWidget {
    Q_OBJECT
public:
    using ChoiceSource = std::function<ReportChoice()>;
    // The inputs of a document for paper of the given size (twips); nothing
    // when they cannot be gathered (the source has told the user why).
    using InputSource = std::function<std::optional<DocumentInputs>(ReportChoice choice, QSizeF pageSize)>;

    // Brings the inputs up to date on the worker before the document is
    // built (its graph, its breakdown rows): an empty text, or why the
    // document cannot be built. It must touch nothing but its inputs,
    // what it holds and the connections it opens itself.
    using Preparer = std::function<QString(DocumentInputs& inputs)>;
    // Called on the window's thread right after the inputs were gathered:
    // the preparation of this build's inputs, or none.
    using PreparerSource = std::function<Preparer(const DocumentKind& kind)>;
    // Back on the window's thread once preparation has ended: takes the
    // inputs as prepared and the failure, tells the user what there is to
    // tell, and returns whether the document is to be built and shown.
    using Receiver = std::function<bool(const DocumentInputs& inputs, const QString& failure)>;

    ReportWindow(ui::Messages& messages, ChoiceSource choice, InputSource inputs, QWidget* parent = nullptr);
    ~ReportWindow() override;

    void setPreparation(PreparerSource prepare, Receiver receive);

    static QString caption();
    static QString hint();

    // Builds the document that the choice names, as an activation does,
    // on the worker; documentBuilt() follows once it is on show. Another
    // document than the one on show opens on page 1 at the default zoom;
    // the same one again stays where the user left it.
    void rebuild();
    // Whether a document is being built now.
    bool isBuilding() const;
    // Waits until the document being built is on show (or given up).
    void waitUntilBuilt();
    worker::BackgroundTask* task() const { return m_task; }
    worker::ProgressStrip* progressStrip() const { return m_progress; }

    // The document on show, and which one it is; nullptr and None before
    // the first build.
    const PagedDocument* document() const { return m_document ? &*m_document : nullptr; }
    ReportChoice documentChoice() const { return m_documentChoice; }
    QString documentTitle() const;

    // The document on show sent out as DocumentOutput does it: printed on
    // `printer`, returning once it has ended whether every page went out;
    // or saved as a PDF file, pdfSaved() following. False, and nothing
    // done, without a document or while other work runs.
    bool printTo(QPrinter& printer);
    bool saveAsPdf(const QString& path);
    // The file name "Save as PDF..." offers: batch number and document name.
    QString defaultPdfName() const;

    QPrintPreviewWidget* preview() const { return m_preview; }
    QPrinter& printer() const { return *m_printer; }
    // The preview's page size in twips: the paper documents are laid out on.
    QSizeF pageSize() const;
    QMenu* zoomMenu() const { return m_zoomMenu; }
    QLabel* pageCountLabel() const { return m_pageCount; }

Q_SIGNALS:
    // A document was built and is on show.
    void documentBuilt();
    // The window was hidden, by "Close" or otherwise.
    void closed();
    // A save as PDF has ended: whether the file was written.
    void pdfSaved(bool written);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildNavigationBar();
    // Builds the document; `openedAnew` when the window was just shown,
    // which shows it from page 1 as another document would be.
    void build(bool openedAnew);
    struct Build;
    void showBuilt(Build& built, bool openedAnew);
    void showFromTheStart();
    void paintDocument(QPrinter* printer);
    void showPageCount();
    void centreOnScreen();
    void printWithDialog();
    void saveWithDialog();

    ui::Messages& m_messages;
    ChoiceSource m_choice;
    InputSource m_inputs;
    std::unique_ptr<QPrinter> m_printer;
    PreparerSource m_prepare;
    Receiver m_receive;
    worker::BackgroundTask* m_task = nullptr;
    worker::ProgressStrip* m_progress = nullptr;
    DocumentOutput* m_output = nullptr;
    // "Print..." was accepted: the document is printed once built anew.
    bool m_printWhenBuilt = false;
    // A build was asked for while another ran: it follows, from page 1
    // when `m_buildAgainAnew`.
    bool m_buildAgain = false;
    bool m_buildAgainAnew = false;
    std::optional<PagedDocument> m_document;
    ReportChoice m_documentChoice = ReportChoice::None;
    QString m_documentBatch;
    QString m_saveFolder;
    // The next activation builds nothing: it is the return from the
    // message that a failed build showed.
    bool m_skipActivation = false;
    // The document was built as the window was shown and the window has not
    // been active since: the activation that follows the showing finds it
    // built already.
    bool m_builtOnShow = false;

    QPrintPreviewWidget* m_preview = nullptr;
    QGraphicsView* m_previewView = nullptr;
    QMenu* m_zoomMenu = nullptr;
    QLabel* m_pageCount = nullptr;
    QPushButton* m_printButton = nullptr;
    QPushButton* m_saveButton = nullptr;
};

} // namespace pelmor::reports
