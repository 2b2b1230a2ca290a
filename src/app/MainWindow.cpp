#include "app/MainWindow.h"

#include "app/AdminTab.h"
#include "app/AppState.h"
#include "app/FlowBreakdowns.h"
#include "app/GraphDrawer.h"
#include "app/GraphsTab.h"
#include "app/ImportTab.h"
#include "app/PrintControls.h"
#include "app/ReportNames.h"
#include "app/ReportsTab.h"
#include "app/SitesTab.h"
#include "app/StudyTab.h"
#include "app/TableExporter.h"
#include "db/Files.h"
#include "stats/Pace.h"
#include "stats/widgets/HelpWindow.h"
#include "store/SurveyStore.h"
#include "ui/Messages.h"
#include "upload/widgets/UploadWindow.h"
#include "worker/BackgroundTask.h"
#include "worker/widgets/ProgressStrip.h"

#include <QCloseEvent>
#include <QPainter>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

// The pictures are compiled into a static library, so they are registered
// by hand; this must stand outside any namespace.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace pelmor::app {

MainWindow::MainWindow(AppState& state, ui::Messages& messages, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_messages(messages)
    , m_reportNames(new ReportNames(this))
    , m_work(new worker::BackgroundTask(this))
{
    initResources();
    m_background.load(QStringLiteral(":/pelmor/background.png"));
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(caption());
    setWindowIcon(QIcon(QStringLiteral(":/pelmor/icon.png")));

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_importTab = new ImportTab(state, messages, m_tabs);
    m_reportsTab = new ReportsTab(*m_reportNames, state.current, m_tabs);
    m_graphsTab = new GraphsTab(m_tabs);
    m_adminTab = new AdminTab(state.database, *m_reportNames, m_tabs);
    m_studyTab = new StudyTab(m_tabs);
    m_sitesTab = new SitesTab(m_tabs);
    m_tabs->addTab(m_importTab, tr("Import Remote Sign Data"));
    m_tabs->addTab(m_reportsTab, tr("View / Print Reports"));
    m_tabs->addTab(m_graphsTab, tr("View Graphs"));
    m_tabs->addTab(m_adminTab, tr("Administration / Setup"));
    m_tabs->addTab(m_studyTab, tr("Speed Study"));
    m_tabs->addTab(m_sitesTab, tr("Sites"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_tabs);
    // One strip for all the window's long work. It stands over the foot of
    // the tabs rather than below them, so a window that just fits a small
    // screen does not grow off it while work runs.
    m_progress = new worker::ProgressStrip(this);

    connect(m_reportsTab, &ReportsTab::closeRequested, this, &MainWindow::requestEnd);
    connect(m_graphsTab, &GraphsTab::closeRequested, this, &MainWindow::requestEnd);
    connect(m_adminTab, &AdminTab::closeRequested, this, &MainWindow::requestEnd);
    connect(m_studyTab, &StudyTab::closeRequested, this, &MainWindow::requestEnd);
    connect(m_sitesTab, &SitesTab::closeRequested, this, &MainWindow::requestEnd);
    connect(m_importTab, &ImportTab::mainWindowEnabled, this, &QWidget::setEnabled);
    connect(m_adminTab, &AdminTab::sendSurveysRequested, this, &MainWindow::openUpload);

    resize(1200, 780);
    centreOnScreen();
    load();
    connectReportsAndFlow();
    connectGraphs();
    connectPrinting();
    connectStudyAndExports();
    followWork();
}

MainWindow::~MainWindow()
{
    // The workers end before the tabs whose results they would deliver.
    m_progress->cancelAndWait();
}

void MainWindow::openUpload()
{
    // A window of its own, owned by this one: it stops its work when the
    // main window goes.
    if (!m_upload)
        m_upload =
            new upload::UploadWindow(m_state.database, m_state.serverChoice, m_state.serverPassword, this);
    m_upload->show();
    m_upload->raise();
    m_upload->activateWindow();
}

bool MainWindow::isBusy() const
{
    return m_progress->isBusy();
}

std::vector<worker::BackgroundTask*> MainWindow::workers() const
{
    return {m_work,
            m_reportsTab->task(),
            m_importTab->task(),
            m_studyTab->task(),
            m_sitesTab->task(),
            m_graphDrawer->task()};
}

// Every worker of the window shows on the strip. While one runs, the
// controls that would start other long work, or change what it works on,
// are disabled; each gets back the state it had.
void MainWindow::followWork()
{
    for (worker::BackgroundTask* task : workers())
        m_progress->follow(task);
    std::vector<QWidget*> starters;
    for (const char* name :
         {"PercentileGraph", "TrafficVolume", "TimeVolume", "QuarterHourFlow", "HourFlow", "PrinterBW",
          "PrinterColor", "Command12", "ExportCsv", "cmdPrint", "CompareWith", "EndComparison", "Command19",
          "Command20", "DatabaseManagement", "DatabaseChoice", "MergeSite", "PlaceSite"}) {
        if (auto* control = findChild<QWidget*>(QLatin1String(name)))
            starters.push_back(control);
    }
    m_progress->holdWhileBusy(starters);
    connect(m_progress, &worker::ProgressStrip::busyChanged, this, [this](bool busy) {
        if (busy)
            placeProgressStrip();
        if (!busy && std::exchange(m_closeWhenIdle, false))
            close();
    });
}

QString MainWindow::caption()
{
    return QStringLiteral("Pelmor Traffic Analysis System       ");
}

void MainWindow::centreOnScreen()
{
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // Fit a small screen, then centre; a window larger than the screen
    // would start above or left of it.
    resize(std::min(width(), area.width()), std::min(height(), area.height()));
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void MainWindow::load()
{
    m_state.database.path = db::databasePath(m_state.databaseFolder);
    m_adminTab->showDatabaseInUse(m_state.database, m_state.serverChoice);
    const QString failure = m_reportNames->load(m_state.database);
    if (failure.isEmpty())
        return;
    // The server is mended by the agency's IT; the file can be replaced here.
    const QString advice =
        store::capabilitiesOf(m_state.database).fileMaintenance
            ? QStringLiteral("Use Administration / Setup, Database Management, to replace it with a new "
                             "blank database.")
            : QStringLiteral("Check that the agency server runs and can be reached, or choose the database "
                             "on this computer with Administration / Setup, \"Database...\".");
    m_messages.tell(
        failure + QStringLiteral("\n\nSurveys cannot be stored or shown until the database is available. ") +
            advice,
        ui::Messages::defaultTitle(), ui::Messages::Icon::Critical);
}

// Wiring between the tabs for the survey choice, the name lists and the
// flow grid: failures become message boxes; a flow button breaks down the
// survey chosen on the reports tab, sets the report that "Print Graph
// /Chart" prints and keeps "R E S E T" disabled while the walk runs.
void MainWindow::connectReportsAndFlow()
{
    m_reportsTab->setDatabase(m_state.database);
    const auto showFailure = [this](const QString& message) {
        m_messages.tell(message, ui::Messages::defaultTitle(), ui::Messages::Icon::Critical);
    };
    connect(m_reportsTab, &ReportsTab::failed, this, showFailure);
    connect(m_adminTab, &AdminTab::failed, this, showFailure);

    m_flowBreakdowns = new FlowBreakdowns(m_state, m_messages, *m_work, *m_graphsTab, *m_importTab, this);
    connect(m_graphsTab, &GraphsTab::flowRequested, m_flowBreakdowns, &FlowBreakdowns::breakDown);
}

// The graph buttons and printer modes of the graphs tab draw for the survey
// that the reports tab shows. Each graph button enables "R E S E T" again,
// moves the arrow beside itself and sets the report that "Print Graph
// /Chart" prints: the 85th percentile report, the traffic flow report or
// the survey summary. The help buttons of the reports tab open the two help
// windows.
void MainWindow::connectGraphs()
{
    using reports::ReportChoice;
    m_graphDrawer = new GraphDrawer(m_state, m_messages, this);
    session::CurrentSurvey& current = m_state.current;
    // The graph area shows the current survey's graph.
    connect(&current, &session::CurrentSurvey::graphChanged, this, [this] {
        const QImage& image = m_state.current.graph().image;
        m_graphsTab->setGraphImage(image);
        if (!image.isNull())
            m_graphsTab->graphArea()->show();
    });
    connect(m_graphsTab, &GraphsTab::graphRequested, this, [this](ReportChoice report) {
        m_importTab->setResetEnabled(true);
        m_state.current.setReportChoice(report);
        if (report == ReportChoice::PercentileReport) {
            m_graphsTab->markGraphType(1);
            m_graphsTab->showGraphFrame();
            m_graphDrawer->drawSpeedDistribution();
        } else if (report == ReportChoice::TrafficFlowGraphReport) {
            m_graphsTab->markGraphType(2);
            m_graphsTab->showGraphFrame();
            m_graphDrawer->drawTrafficVolume();
        } else {
            // The summary report has no graph: the tab says so instead of
            // leaving another graph on show.
            m_graphsTab->markGraphType(3);
            m_graphsTab->showSummaryNote();
        }
    });
    current.setBlackAndWhite(m_graphsTab->isBlackAndWhite());
    connect(m_graphsTab, &GraphsTab::printerModeChosen, this, [this](bool blackAndWhite) {
        m_state.current.setBlackAndWhite(blackAndWhite);
        m_graphDrawer->redrawForPrinterMode();
    });
    connect(&current, &session::CurrentSurvey::surveyChanged, m_graphDrawer,
            &GraphDrawer::followSurveyChoice);

    stats::HelpWindow* paceHelp = stats::HelpWindow::makePaceHelp(this);
    stats::HelpWindow* percentileHelp = stats::HelpWindow::makePercentileHelp(this);
    // Each help window says what the number beside its button is, for the
    // survey on show: an estimate, where the Speed Study tab measures.
    const auto explainNumbers = [this, paceHelp, percentileHelp] {
        paceHelp->setNote(stats::estimatedPaceNote(m_state.current.record()));
        percentileHelp->setNote(stats::estimatedPercentileNote(m_state.current.record()));
    };
    explainNumbers();
    connect(&current, &session::CurrentSurvey::surveyChanged, this, explainNumbers);
    connect(m_reportsTab, &ReportsTab::paceHelpRequested, paceHelp, &stats::HelpWindow::present);
    connect(m_reportsTab, &ReportsTab::percentileHelpRequested, percentileHelp, &stats::HelpWindow::present);
}

// The print buttons of the tabs, and the graph a graph document draws:
// shown on the graphs tab as its button shows it.
void MainWindow::connectPrinting()
{
    AdminTab* admin = m_adminTab;
    m_printControls = new PrintControls(
        m_state, m_messages, *m_reportNames, [admin] { return admin->fieldSheetInputs(); }, *this);
    connect(m_reportsTab, &ReportsTab::printRequested, m_printControls, &PrintControls::printSelectedReport);
    connect(m_graphsTab, &GraphsTab::printRequested, m_printControls, &PrintControls::printChosenDocument);
    connect(m_adminTab, &AdminTab::fieldSheetPrintRequested, m_printControls,
            &PrintControls::printFieldSheet);
    connect(m_sitesTab, &SitesTab::printRequested, m_printControls, &PrintControls::printSiteDocument);
    connect(m_printControls, &PrintControls::graphWanted, this, [this](reports::ReportChoice document) {
        const bool speeds = document == reports::ReportChoice::PercentileReport;
        m_graphsTab->showGraphFrame();
        m_graphsTab->markGraphType(speeds ? 1 : 2);
        if (speeds)
            m_graphDrawer->drawSpeedDistribution();
        else
            m_graphDrawer->drawTrafficVolume();
    });
}

// The speed study follows the survey chosen on the reports tab. "Export
// CSV..." on the graphs tab writes the chosen survey's vehicles or
// statistics row, or the breakdown in the grid, where the user says, and
// says where it went, as the study's export does.
void MainWindow::connectStudyAndExports()
{
    m_studyTab->setDatabase(m_state.database);
    m_sitesTab->setDatabase(m_state.database);
    connect(&m_state.current, &session::CurrentSurvey::surveyChanged, this,
            [this] { m_studyTab->setSurvey(m_state.current.record()); });
    connect(m_studyTab, &StudyTab::choicesChanged, this,
            [this] { m_state.current.setStudyChoices(m_studyTab->study(), m_studyTab->comparison()); });
    const auto showFailure = [this](const QString& message) {
        m_messages.tell(message, ui::Messages::defaultTitle(), ui::Messages::Icon::Critical);
    };
    connect(m_studyTab, &StudyTab::failed, this, showFailure);
    connect(m_sitesTab, &SitesTab::failed, this, showFailure);
    m_tableExporter = new TableExporter(m_state, m_messages, *m_work, *m_graphsTab, this);
    connect(m_graphsTab, &GraphsTab::csvExportRequested, m_tableExporter, &TableExporter::exportTable);
    const auto tellExported = [this](const QString& message) {
        m_messages.tell(message, ui::Messages::defaultTitle(), ui::Messages::Icon::Information);
    };
    connect(m_studyTab, &StudyTab::exported, this, tellExported);
    connect(m_sitesTab, &SitesTab::exported, this, tellExported);
}

void MainWindow::placeProgressStrip()
{
    // Tall enough to hide whole the buttons it stands over, rather than
    // leave their edges peeking out above it.
    const int height = std::max(m_progress->sizeHint().height(), 38);
    m_progress->setGeometry(10, this->height() - 10 - height, width() - 20, height);
    m_progress->raise();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeProgressStrip();
}

void MainWindow::paintEvent(QPaintEvent*)
{
    // Tile the background over the client area. A missing picture leaves
    // the plain window colour.
    const auto tileWidth = static_cast<qint16>(m_background.width());
    const auto tileHeight = static_cast<qint16>(m_background.height());
    if (tileWidth <= 0 || tileHeight <= 0)
        return;
    const auto innerWidth = static_cast<qint16>(std::min(width(), 32767));
    const auto innerHeight = static_cast<qint16>(std::min(height(), 32767));
    QPainter painter(this);
    for (int x = 0; x <= innerWidth; x += tileWidth) {
        for (int y = 0; y <= innerHeight; y += tileHeight)
            painter.drawPixmap(x, y, m_background);
    }
}

bool MainWindow::mayEnd()
{
    if (m_importTab->mayLeaveDownload(QStringLiteral("it is lost when the program ends"),
                                      QStringLiteral("End the program anyway?")))
        return true;
    // Back to the download, to save or store it.
    m_tabs->setCurrentWidget(m_importTab);
    return false;
}

void MainWindow::requestEnd()
{
    if (mayEnd())
        Q_EMIT endRequested();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Work still running is stopped first, where that is safe, and the
    // window closes once it has ended: nothing is left half-written.
    if (isBusy()) {
        event->ignore();
        m_closeWhenIdle = true;
        for (worker::BackgroundTask* task : workers())
            task->cancel();
        return;
    }
    if (!mayEnd()) {
        event->ignore();
        return;
    }
    event->accept();
    Q_EMIT endRequested();
}

} // namespace pelmor::app
