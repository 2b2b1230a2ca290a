#include "reports/widgets/ReportWindow.h"

#include "db/Files.h"
#include "reports/Documents.h"
#include "reports/PagePainter.h"
#include "session/BackgroundTask.h"
#include "session/widgets/ProgressStrip.h"
#include "ui/BusyCursor.h"
#include "ui/Messages.h"
#include "ui/Style.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace pelmor::reports {
namespace {

// The zoom modes of the navigation bar, "&" before each access key.
const char* const kZoomModes = "Whole &Page|Page &Width|&Two Pages|Thumb&nail";

// The printer's default paper, portrait; US Letter when there is no
// printer or it names no paper.
QPageSize defaultPaper()
{
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (!printer.isNull() && printer.defaultPageSize().isValid())
        return printer.defaultPageSize();
    return QPageSize(QPageSize::Letter);
}

// Pages are painted from the paper's corner: no margins of the printer's own.
void useWholePaper(QPrinter& printer)
{
    printer.setFullPage(true);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

QToolButton* makeToolButton(const QString& objectName, const QString& toolTip, QStyle::StandardPixmap icon,
                            QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setToolTip(toolTip);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setAutoRaise(true);
    return button;
}

QToolButton* makeTextButton(const QString& objectName, const QString& text, const QString& toolTip,
                            QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setText(text);
    button->setToolTip(toolTip);
    button->setAutoRaise(true);
    button->setMinimumWidth(28);
    return button;
}

} // namespace

ReportWindow::ReportWindow(ui::Messages& messages, ChoiceSource choice, InputSource inputs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint)
    , m_messages(messages)
    , m_choice(std::move(choice))
    , m_inputs(std::move(inputs))
    , m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setObjectName(QStringLiteral("VSPrint"));
    setWindowTitle(caption());
    m_printer->setPageSize(defaultPaper());
    useWholePaper(*m_printer);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(6);

    auto* hintLabel = new QLabel(hint(), this);
    hintLabel->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(hintLabel);
    layout->addWidget(buildNavigationBar());

    m_preview = new QPrintPreviewWidget(m_printer.get(), this);
    m_preview->setObjectName(QStringLiteral("vp"));
    m_preview->setZoomMode(QPrintPreviewWidget::FitToWidth);
    layout->addWidget(m_preview, 1);
    m_task = new session::BackgroundTask(this);
    m_progress = new session::ProgressStrip(this);
    m_progress->follow(m_task);
    // The strip keeps its room while hidden, so the preview, laid out to
    // its width, keeps its size whether work runs or not.
    QSizePolicy keepRoom = m_progress->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_progress->setSizePolicy(keepRoom);
    layout->addWidget(m_progress);
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this, &ReportWindow::paintDocument);
    connect(m_preview, &QPrintPreviewWidget::previewChanged, this, &ReportWindow::showPageCount);
    // The preview draws on a view of its own: a double click zooms in (out
    // with the right button) and dragging pans.
    m_previewView = m_preview->findChild<QGraphicsView*>();
    if (m_previewView) {
        m_previewView->setDragMode(QGraphicsView::ScrollHandDrag);
        m_previewView->viewport()->installEventFilter(this);
        // Scrolling brings another page into view.
        connect(m_previewView->verticalScrollBar(), &QScrollBar::valueChanged, this,
                &ReportWindow::showPageCount);
    }

    auto* buttons = new QHBoxLayout;
    m_printButton = ui::makeButton(QStringLiteral("Print..."), QStringLiteral("PrintDocument"), this);
    m_printButton->setToolTip(QStringLiteral("Print the document on a printer"));
    m_saveButton = ui::makeButton(QStringLiteral("Save as PDF..."), QStringLiteral("SavePdf"), this);
    m_saveButton->setToolTip(
        QStringLiteral("Save the document as a PDF file, for example to send by e-mail"));
    auto* close = ui::makeButton(QStringLiteral("Close"), QStringLiteral("Command2"), this);
    for (QPushButton* button : {m_printButton, m_saveButton, close})
        button->setMinimumWidth(120);
    buttons->addWidget(m_printButton);
    buttons->addWidget(m_saveButton);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    m_printButton->setEnabled(false);
    m_saveButton->setEnabled(false);
    // No second build, print or save while one runs.
    connect(m_progress, &session::ProgressStrip::busyChanged, this, [this](bool busy) {
        m_printButton->setEnabled(!busy && m_document);
        m_saveButton->setEnabled(!busy && m_document);
    });

    connect(m_printButton, &QPushButton::clicked, this, &ReportWindow::printWithDialog);
    connect(m_saveButton, &QPushButton::clicked, this, &ReportWindow::saveWithDialog);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);

    // A fixed size that leaves room around it on the screen.
    QSize size(1000, 900);
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.94);
    setFixedSize(size);
}

ReportWindow::~ReportWindow() = default;

QString ReportWindow::caption()
{
    return QStringLiteral("Pelmor Printer");
}

QString ReportWindow::hint()
{
    return QStringLiteral("Double click to zoom, click and drag to pan / double right click zoom out");
}

QWidget* ReportWindow::buildNavigationBar()
{
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("NavigationBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);

    auto* zoom = new QToolButton(bar);
    zoom->setObjectName(QStringLiteral("ZoomMode"));
    zoom->setText(QStringLiteral("Zoom"));
    zoom->setToolTip(QStringLiteral("How much of the document to show"));
    zoom->setPopupMode(QToolButton::InstantPopup);
    zoom->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_zoomMenu = new QMenu(zoom);
    m_zoomMenu->setObjectName(QStringLiteral("ZoomMenu"));
    const QStringList modes = QString::fromLatin1(kZoomModes).split(QLatin1Char('|'));
    const std::function<void()> actions[] = {
        [this] {
            m_preview->setViewMode(QPrintPreviewWidget::SinglePageView);
            m_preview->fitInView();
        },
        [this] {
            m_preview->setViewMode(QPrintPreviewWidget::SinglePageView);
            m_preview->fitToWidth();
        },
        [this] {
            m_preview->setViewMode(QPrintPreviewWidget::FacingPagesView);
            m_preview->fitInView();
        },
        [this] { m_preview->setViewMode(QPrintPreviewWidget::AllPagesView); },
    };
    for (qsizetype i = 0; i < modes.size(); ++i)
        connect(m_zoomMenu->addAction(modes.at(i)), &QAction::triggered, this, actions[i]);
    zoom->setMenu(m_zoomMenu);
    row->addWidget(zoom);

    QToolButton* zoomIn =
        makeTextButton(QStringLiteral("ZoomIn"), QStringLiteral("+"), QStringLiteral("Zoom in"), bar);
    QToolButton* zoomOut =
        makeTextButton(QStringLiteral("ZoomOut"), QStringLiteral("\u2212"), QStringLiteral("Zoom out"), bar);
    connect(zoomIn, &QToolButton::clicked, this, [this] { m_preview->zoomIn(); });
    connect(zoomOut, &QToolButton::clicked, this, [this] { m_preview->zoomOut(); });
    row->addWidget(zoomIn);
    row->addWidget(zoomOut);
    row->addSpacing(16);

    QToolButton* first = makeToolButton(QStringLiteral("FirstPage"), QStringLiteral("First page"),
                                        QStyle::SP_MediaSkipBackward, bar);
    QToolButton* previous = makeToolButton(QStringLiteral("PreviousPage"), QStringLiteral("Previous page"),
                                           QStyle::SP_MediaSeekBackward, bar);
    QToolButton* next = makeToolButton(QStringLiteral("NextPage"), QStringLiteral("Next page"),
                                       QStyle::SP_MediaSeekForward, bar);
    QToolButton* last = makeToolButton(QStringLiteral("LastPage"), QStringLiteral("Last page"),
                                       QStyle::SP_MediaSkipForward, bar);
    const auto goTo = [this](const std::function<int()>& page) {
        return [this, page] {
            m_preview->setCurrentPage(std::clamp(page(), 1, std::max(1, m_preview->pageCount())));
            showPageCount();
        };
    };
    connect(first, &QToolButton::clicked, this, goTo([] { return 1; }));
    connect(previous, &QToolButton::clicked, this, goTo([this] { return m_preview->currentPage() - 1; }));
    connect(next, &QToolButton::clicked, this, goTo([this] { return m_preview->currentPage() + 1; }));
    connect(last, &QToolButton::clicked, this, goTo([this] { return m_preview->pageCount(); }));
    for (QToolButton* button : {first, previous})
        row->addWidget(button);
    m_pageCount = new QLabel(bar);
    m_pageCount->setObjectName(QStringLiteral("PageCount"));
    m_pageCount->setMinimumWidth(110);
    m_pageCount->setAlignment(Qt::AlignCenter);
    row->addWidget(m_pageCount);
    for (QToolButton* button : {next, last})
        row->addWidget(button);
    row->addStretch(1);
    return bar;
}

QSizeF ReportWindow::pageSize() const
{
    return m_printer->pageLayout().fullRectPoints().size() * kTwipsPerPoint;
}

QString ReportWindow::documentTitle() const
{
    return pdfFileName(m_documentChoice, m_documentBatch).chopped(4);
}

void ReportWindow::setPreparation(PreparerSource prepare, Receiver receive)
{
    m_prepare = std::move(prepare);
    m_receive = std::move(receive);
}

void ReportWindow::rebuild()
{
    build(false);
}

bool ReportWindow::isBuilding() const
{
    return m_task->isRunning() || m_buildAgain;
}

void ReportWindow::waitUntilBuilt()
{
    while (isBuilding()) {
        m_task->waitForFinished();
        QCoreApplication::processEvents();
    }
}

// What the worker hands back: the inputs as prepared, and the document.
struct ReportWindow::Build {
    const DocumentKind* kind = nullptr;
    DocumentInputs inputs;
    QString failure;
    std::optional<PagedDocument> document;
    QString batch;
};

void ReportWindow::build(bool openedAnew)
{
    const DocumentKind* kind = documentKind(m_choice());
    if (!kind)
        return;
    if (m_task->isRunning()) {
        // The one being built is no longer wanted as it stands.
        m_buildAgain = true;
        m_buildAgainAnew = m_buildAgainAnew || openedAnew;
        m_task->cancel();
        return;
    }
    std::optional<DocumentInputs> inputs = m_inputs(kind->choice, pageSize());
    if (!inputs) {
        // The user was told why in a window of its own; closing it
        // makes this window active again, which must not ask again.
        m_skipActivation = true;
        return;
    }
    if (openedAnew && m_document) {
        // The window was just shown: the document shown before is not the
        // one wanted now, whatever comes of this build.
        m_document.reset();
        m_documentChoice = ReportChoice::None;
        m_documentBatch.clear();
        m_preview->updatePreview();
    }
    auto built = std::make_shared<Build>();
    built->kind = kind;
    built->inputs = std::move(*inputs);
    connect(
        m_task, &session::BackgroundTask::finished, this,
        [this, built, openedAnew] { showBuilt(*built, openedAnew); }, Qt::SingleShotConnection);
    // Laying out pages writes nothing: the build can stop at any time.
    m_task->start(
        [built, prepare = m_prepare ? m_prepare(*kind) : Preparer()](session::BackgroundTask& task) {
            if (prepare)
                built->failure = prepare(built->inputs);
            if (!built->failure.isEmpty() || task.isCancelled())
                return;
            built->document = built->kind->build(built->inputs);
            if (built->document)
                built->batch = documentBatches(*built->kind, built->inputs);
        },
        QStringLiteral("Building the %1").arg(documentName(kind->choice)), true);
}

void ReportWindow::showBuilt(Build& built, bool openedAnew)
{
    if (std::exchange(m_buildAgain, false)) {
        build(openedAnew || std::exchange(m_buildAgainAnew, false));
        return;
    }
    if (m_task->isCancelled())
        return;
    if (m_receive) {
        // A message told here makes this window active again on its return.
        m_skipActivation = true;
        if (!m_receive(built.inputs, built.failure)) {
            // A window just opened has nothing to show: it goes.
            if (openedAnew) {
                m_skipActivation = false;
                hide();
            }
            return;
        }
        m_skipActivation = false;
    }
    if (!built.failure.isEmpty())
        return;
    if (!built.document) {
        // The document cannot be started on this paper: the preview
        // keeps what it showed.
        QApplication::beep();
        return;
    }
    const bool another =
        openedAnew || built.kind->choice != m_documentChoice || built.batch != m_documentBatch;
    m_document = std::move(built.document);
    m_documentChoice = built.kind->choice;
    m_documentBatch = built.batch;
    m_preview->updatePreview();
    if (another)
        showFromTheStart();
    m_printButton->setEnabled(true);
    m_saveButton->setEnabled(true);
    Q_EMIT documentBuilt();
}

void ReportWindow::showFromTheStart()
{
    m_preview->setViewMode(QPrintPreviewWidget::SinglePageView);
    m_preview->setZoomMode(QPrintPreviewWidget::FitToWidth);
    m_preview->setCurrentPage(1);
    // Page 1 stands at its top, whatever the last document was scrolled to.
    if (m_previewView) {
        m_previewView->verticalScrollBar()->setValue(m_previewView->verticalScrollBar()->minimum());
        m_previewView->horizontalScrollBar()->setValue(m_previewView->horizontalScrollBar()->minimum());
    }
    showPageCount();
}

void ReportWindow::paintDocument(QPrinter* printer)
{
    if (!m_document)
        return;
    QPainter painter(printer);
    reports::paintDocument(painter, *printer, *m_document, printer->resolution());
}

void ReportWindow::showPageCount()
{
    m_pageCount->setText(
        QStringLiteral("Page %1 of %2").arg(m_preview->currentPage()).arg(m_preview->pageCount()));
}

void ReportWindow::centreOnScreen()
{
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QRect frame = frameGeometry();
    move(area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2);
}

bool ReportWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        centreOnScreen();
        if (m_previewView)
            m_previewView->setBackgroundBrush(Qt::white);
        const bool skip = std::exchange(m_skipActivation, false);
        if (!std::exchange(m_builtOnShow, false) && !skip)
            rebuild();
    } else if (event->type() == QEvent::WindowDeactivate) {
        m_builtOnShow = false;
    }
    return QWidget::event(event);
}

void ReportWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // Built here as well as on activation: a window system may show the
    // window without making it active (focus stealing prevention, or no
    // window manager at all), and the preview must never show the document
    // chosen before.
    centreOnScreen();
    if (m_previewView)
        m_previewView->setBackgroundBrush(Qt::white);
    build(true);
    m_builtOnShow = !m_skipActivation;
}

void ReportWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_builtOnShow = false;
    if (!event->spontaneous())
        Q_EMIT closed();
}

bool ReportWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (m_previewView && watched == m_previewView->viewport() &&
        event->type() == QEvent::MouseButtonDblClick) {
        const auto* click = static_cast<QMouseEvent*>(event);
        if (click->button() == Qt::LeftButton)
            m_preview->zoomIn();
        else if (click->button() == Qt::RightButton)
            m_preview->zoomOut();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QString ReportWindow::progressText(int page, const QString& document, const QString& device,
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

bool ReportWindow::printTo(QPrinter& printer)
{
    if (!m_document)
        return false;
    useWholePaper(printer);
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    const QString device = toFile ? QStringLiteral("PDF file") : printer.printerName();
    QString place =
        toFile ? printer.outputFileName() : QPrinterInfo::printerInfo(printer.printerName()).location();
    if (place.isEmpty())
        place = printer.printerName();
    const QString title = documentTitle();
    printer.setDocName(title);
    // The pages asked for: all, or a range of them.
    PagedDocument pages = *m_document;
    const int count = static_cast<int>(pages.pages.size());
    int first = 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::min(printer.fromPage(), count);
        const int last = std::clamp(printer.toPage() > 0 ? printer.toPage() : count, first, count);
        pages.pages.erase(pages.pages.begin() + last, pages.pages.end());
        pages.pages.erase(pages.pages.begin(), pages.pages.begin() + (first - 1));
    }

    QProgressDialog progress(this);
    progress.setObjectName(QStringLiteral("PrintProgress"));
    progress.setWindowTitle(QStringLiteral("Printing..."));
    progress.setCancelButtonText(QStringLiteral("Cancel"));
    progress.setRange(0, static_cast<int>(pages.pages.size()));
    progress.setMinimumDuration(0);
    progress.setWindowModality(Qt::WindowModal);
    const auto beforePage = [&](int page) {
        progress.setLabelText(progressText(first + page - 1, title, device, place));
        progress.setValue(page - 1);
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    };

    QString failure;
    if (toFile) {
        // A PDF file is written as every file the program saves: whole, or
        // not at all with the reason.
        failure = writePdf(pages, printer.outputFileName(), title, beforePage);
    } else {
        QPainter painter;
        if (!painter.begin(&printer)) {
            m_messages.tell(QStringLiteral("The document cannot be printed on %1. Check that the printer is "
                                           "switched on and connected, then print again.")
                                .arg(device),
                            ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
            return false;
        }
        const bool complete =
            reports::paintDocument(painter, printer, pages, printer.resolution(), beforePage);
        if (!complete)
            printer.abort();
        const bool ended = painter.end();
        if (complete && (!ended || printer.printerState() == QPrinter::Error))
            failure = QStringLiteral("The printer %1 reported an error: %2 may not have been printed. Check "
                                     "the printer, then print again.")
                          .arg(device, title);
    }
    progress.setValue(progress.maximum());
    // Cancelling is the user's own doing and needs no word.
    if (progress.wasCanceled())
        return false;
    if (!failure.isEmpty()) {
        m_messages.tell(failure, ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
        return false;
    }
    m_messages.tell(toFile ? savedMessage(printer.outputFileName())
                           : QStringLiteral("%1 was sent to the printer %2.").arg(title, device),
                    ui::Messages::defaultTitle(), ui::Messages::Icon::Information);
    return true;
}

bool ReportWindow::saveAsPdf(const QString& path)
{
    if (!m_document || m_task->isRunning())
        return false;
    auto failure = std::make_shared<QString>();
    connect(
        m_task, &session::BackgroundTask::finished, this,
        [this, failure, path] {
            // A cancel needs no word: no file was written.
            if (m_task->isCancelled()) {
                Q_EMIT pdfSaved(false);
                return;
            }
            if (!failure->isEmpty())
                m_messages.tell(*failure, ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
            else
                m_messages.tell(savedMessage(path), ui::Messages::defaultTitle(),
                                ui::Messages::Icon::Information);
            Q_EMIT pdfSaved(failure->isEmpty());
        },
        Qt::SingleShotConnection);
    // The file is written whole or not at all, so stopping before the last
    // page leaves none.
    m_task->start(
        [document = *m_document, path, title = documentTitle(), failure](session::BackgroundTask& task) {
            const auto pages = static_cast<qint64>(document.pages.size());
            *failure = writePdf(document, path, title, [&task, pages](int page) {
                task.setProgress(page - 1, pages);
                return !task.isCancelled();
            });
            task.setProgress(pages, pages);
        },
        QStringLiteral("Saving %1 as a PDF file").arg(documentTitle()), true);
    return true;
}

QString ReportWindow::savedMessage(const QString& path) const
{
    return QStringLiteral("%1 was saved as %2")
        .arg(documentTitle(), db::displayPath(QFileInfo(path).absoluteFilePath()));
}

QString ReportWindow::defaultPdfName() const
{
    return pdfFileName(m_documentChoice, m_documentBatch);
}

void ReportWindow::printWithDialog()
{
    QPrintDialog dialog(m_printer.get(), this);
    dialog.setWindowTitle(QStringLiteral("Print ") + documentTitle());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    dialog.setMinMax(1, static_cast<int>(m_document->pages.size()));
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The paper may have changed: lay the document out on it again, and
    // wait for it, since a printer is only driven from the window's thread.
    // The outcome is told by printTo().
    rebuild();
    waitUntilBuilt();
    printTo(*m_printer);
}

void ReportWindow::saveWithDialog()
{
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save as PDF"), QDir(db::saveFolder(m_saveFolder)).filePath(defaultPdfName()),
        QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;
    m_saveFolder = QFileInfo(path).absolutePath();
    saveAsPdf(path);
}

} // namespace pelmor::reports
