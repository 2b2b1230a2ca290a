#include "reports/widgets/ReportWindow.h"

#include "db/Files.h"
#include "reports/Documents.h"
#include "reports/PagePainter.h"
#include "reports/widgets/DocumentOutput.h"
#include "ui/Messages.h"
#include "ui/Style.h"
#include "worker/Run.h"
#include "worker/widgets/ProgressStrip.h"

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
    DocumentOutput::useWholePaper(*m_printer);

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
    m_task = new worker::BackgroundTask(this);
    m_progress = new worker::ProgressStrip(this);
    m_progress->follow(m_task);
    m_output = new DocumentOutput(messages, *m_task, this);
    connect(m_output, &DocumentOutput::pdfSaved, this, &ReportWindow::pdfSaved);
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
    connect(m_progress, &worker::ProgressStrip::busyChanged, this, [this](bool busy) {
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
    Build wanted;
    wanted.kind = kind;
    wanted.inputs = std::move(*inputs);
    // Laying out pages writes nothing: the build can stop at any time.
    worker::run(
        *m_task, this,
        [built = std::move(wanted),
         prepare = m_prepare ? m_prepare(*kind) : Preparer()](worker::BackgroundTask& task) mutable {
            if (prepare)
                built.failure = prepare(built.inputs);
            if (built.failure.isEmpty() && !task.isCancelled()) {
                built.document = built.kind->build(built.inputs);
                if (built.document)
                    built.batch = documentBatches(*built.kind, built.inputs);
            }
            return std::move(built);
        },
        [this, openedAnew](worker::Done<Build> done) { showBuilt(done.value, openedAnew); },
        QStringLiteral("Building the %1").arg(documentName(kind->choice)), true);
}

void ReportWindow::showBuilt(Build& built, bool openedAnew)
{
    if (std::exchange(m_buildAgain, false)) {
        build(openedAnew || std::exchange(m_buildAgainAnew, false));
        return;
    }
    const bool print = std::exchange(m_printWhenBuilt, false);
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
    if (print)
        printTo(*m_printer);
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

bool ReportWindow::printTo(QPrinter& printer)
{
    return m_document && m_output->print(printer, *m_document, documentTitle());
}

bool ReportWindow::saveAsPdf(const QString& path)
{
    return m_document && m_output->saveAsPdf(*m_document, path, documentTitle());
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
    // The paper may have changed: the document is laid out on it again,
    // and printed once it is on show. The outcome is told by printTo().
    m_printWhenBuilt = true;
    rebuild();
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
