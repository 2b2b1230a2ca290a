#include "app/ImportTab.h"

#include "acquisition/SerialDownload.h"
#include "acquisition/widgets/DownloadPanels.h"
#include "acquisition/widgets/LoadDataFile.h"
#include "acquisition/widgets/PortChoicePanel.h"
#include "app/AppState.h"
#include "db/DbError.h"
#include "import/DownloadVehicles.h"
#include "import/LogParser.h"
#include "import/SurveyImport.h"
#include "import/widgets/CorrectionPanel.h"
#include "import/widgets/HeaderPanel.h"
#include "import/widgets/ImportProgressReport.h"
#include "import/widgets/RawTextView.h"
#include "logs/LogSurvey.h"
#include "logs/widgets/OtherLogDialog.h"
#include "text/Formats.h"
#include "ui/BusyCursor.h"
#include "ui/Messages.h"
#include "ui/Style.h"
#include "worker/Run.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace pelmor::app {

ImportTab::ImportTab(AppState& state, ui::Messages& messages, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_messages(messages)
    , m_serial(std::make_unique<acquisition::SerialDownload>(state.downloadBuffer, state.portDevice))
    , m_fileWindow(
          std::make_unique<acquisition::LoadDataFile>(state.databaseFolder, state.downloadBuffer, messages))
    , m_importTask(new worker::BackgroundTask(this))
{
    setObjectName(QStringLiteral("ImportTab"));

    m_portChoice = new acquisition::PortChoicePanel(this);
    m_savedFile = new acquisition::SavedFilePanel(this);
    m_processing = new acquisition::ProcessingPanel(this);
    m_progress = new acquisition::ProgressPanel(this);
    m_rawText = new import::RawTextView(this);
    m_rawText->setObjectName(QStringLiteral("RawText"));
    m_header = new import::HeaderPanel(this);
    m_header->setFixedWidth(400);
    m_correction = new import::CorrectionPanel(*m_header, this);
    m_saveRawData = ui::makeButton(tr("Save this raw data file as..."), QStringLiteral("SaveRawData"), this);
    m_logFindings = new QListWidget(this);
    m_logFindings->setObjectName(QStringLiteral("OtherLogFindings"));
    m_logFindings->setWordWrap(true);
    // Room for a few findings; more scroll.
    m_logFindings->setFixedHeight(6 * m_logFindings->fontMetrics().lineSpacing() +
                                  2 * m_logFindings->frameWidth());

    QLabel* revision = ui::makeCaption(QStringLiteral(" Rev 2.0.1"), this, QStringLiteral("Revision"));
    QLabel* title = ui::makeHeading(tr("Sign Data Import and Pre-Process to Database"), this,
                                    QStringLiteral("ImportTitle"));
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(title);
    titleRow->addStretch(1);
    titleRow->addWidget(revision);

    // The panels come and go as the user moves through a download; the ones
    // that start a download stay a readable width, centred.
    constexpr int kPanelWidth = 640;
    m_portChoice->setMaximumWidth(kPanelWidth);
    m_savedFile->setMaximumWidth(kPanelWidth);
    auto* downloadRow = new QHBoxLayout;
    downloadRow->addWidget(m_processing, 4);
    downloadRow->addWidget(m_progress, 1);

    auto centred = [](QWidget* panel) {
        auto* row = new QHBoxLayout;
        row->addStretch(1);
        row->addWidget(panel, 3);
        row->addStretch(1);
        return row;
    };
    auto* left = new QVBoxLayout;
    left->addLayout(centred(m_portChoice));
    left->addLayout(centred(m_savedFile));
    left->addLayout(downloadRow);
    left->addWidget(m_correction);
    left->addWidget(m_logFindings);
    left->addWidget(m_rawText, 100);
    left->addWidget(m_saveRawData, 0, Qt::AlignLeft);
    left->addStretch(1);

    auto* body = new QHBoxLayout;
    body->addLayout(left, 1);
    body->addWidget(m_header);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(titleRow);
    layout->addLayout(body, 1);

    const ImportStep stepLeft = m_state.importStep;
    showStep(ImportStep::ChoosingPort);

    connect(m_portChoice->okButton(), &QPushButton::clicked, this, &ImportTab::openPortForDownload);
    connect(m_processing->processButton(), &QPushButton::clicked, this, &ImportTab::processImportedData);
    connect(m_progress->resetButton(), &QPushButton::clicked, this, &ImportTab::reset);
    connect(m_header->downloadAnotherButton(), &QPushButton::clicked, this, &ImportTab::downloadAnother);
    connect(m_header->processButton(), &QPushButton::clicked, this, &ImportTab::importSurvey);
    connect(m_header->modifyButton(), &QPushButton::clicked, m_correction, &import::CorrectionPanel::open);
    connect(m_savedFile->loadButton(), &QPushButton::clicked, this, &ImportTab::openLoadWindow);
    connect(m_savedFile->otherLogButton(), &QPushButton::clicked, this, &ImportTab::openOtherLog);
    connect(m_saveRawData, &QPushButton::clicked, this, &ImportTab::openSaveWindow);
    connect(m_serial.get(), &acquisition::SerialDownload::blockReceived, this, &ImportTab::blockReceived);
    connect(m_serial.get(), &acquisition::SerialDownload::portLost, this, &ImportTab::portLost);
    connect(m_serial.get(), &acquisition::SerialDownload::tooLarge, this, &ImportTab::downloadTooLarge);
    connect(m_fileWindow.get(), &acquisition::LoadDataFile::aboutToLoad, this,
            &ImportTab::leaveDownloadForLoad);
    connect(m_fileWindow.get(), &acquisition::LoadDataFile::loaded, this, [this] {
        // A file is prepared like a download, but a buffer too short to mark
        // is passed over (the marks found stay): its header shows whatever the
        // buffer holds.
        import::markEnd(m_state.downloadBuffer);
        m_state.downloadKept = true;
        showProcessedDownload(ImportStep::FileLoaded);
    });
    connect(m_fileWindow.get(), &acquisition::LoadDataFile::saved, this,
            [this] { m_state.downloadKept = true; });
    connect(m_fileWindow.get(), &acquisition::LoadDataFile::mainWindowReleased, this,
            [this] { Q_EMIT mainWindowEnabled(true); });
    showUnkeptDownloadAgain(stepLeft);
}

ImportTab::~ImportTab()
{
    // A window opened anew shows a download not yet kept with the header
    // as the user left it.
    if (!m_state.downloadKept &&
        (m_state.importStep == ImportStep::Processed || m_state.importStep == ImportStep::FileLoaded))
        m_state.typedHeader = m_header->header();
    else
        m_state.typedHeader.reset();
}

ImportStep ImportTab::step() const
{
    return m_state.importStep;
}

void ImportTab::showStep(ImportStep step)
{
    m_state.importStep = step;
    const bool choosing = step == ImportStep::ChoosingPort;
    const bool downloading = step == ImportStep::Downloading || step == ImportStep::ProcessingFailed;
    const bool logRead = step == ImportStep::LogRead;
    const bool prepared = step == ImportStep::Processed || step == ImportStep::FileLoaded || logRead;
    m_portChoice->setVisible(choosing);
    // A saved file can be loaded from every step: after a port that cannot
    // be opened, during a download and after one alike.
    m_savedFile->setVisible(true);
    m_processing->setVisible(downloading);
    m_progress->setVisible(downloading);
    m_rawText->setVisible(prepared);
    m_header->setVisible(prepared);
    m_header->modifyButton()->setVisible(prepared);
    m_header->setHighlightVisible(prepared);
    // A log is a file already; only the sign's download is saved as one.
    m_saveRawData->setVisible((prepared && !logRead) || step == ImportStep::ProcessingFailed);
    m_logFindings->setVisible(logRead);
    m_correction->hide();
}

void ImportTab::setPortStatusOpen()
{
    m_processing->setStatus(
        QStringLiteral("Communication Port %1 Open For Download").arg(m_serial->portLabel()));
}

void ImportTab::setPortStatusClosed()
{
    m_processing->setStatus(QStringLiteral("Communication Port %1 Closed").arg(m_serial->portLabel()));
}

void ImportTab::openPortForDownload()
{
    m_serial->close();
    m_state.downloadBuffer.clear();
    // The port choice stays up until the port is open.
    showStep(ImportStep::ChoosingPort);

    const auto choice = m_portChoice->choice();
    if (!choice || !m_serial->open(*choice)) {
        const QString unavailable = QStringLiteral("Port locked or unavailable, select another port");
        m_messages.tell(choice ? portRefusal(unavailable) : unavailable);
        return;
    }
    setPortStatusOpen();
    showStep(ImportStep::Downloading);
}

void ImportTab::blockReceived()
{
    m_state.downloadKept = false;
    // Data that comes in at the port choice (the port is open again after
    // "R E S E T") shows as a download, with "Process The Imported Data".
    if (m_state.importStep != ImportStep::Downloading)
        showStep(ImportStep::Downloading);
    m_progress->countBlock();
}

void ImportTab::portLost(const QString& reason)
{
    m_processing->setStatus(
        QStringLiteral("Communication Port %1 Closed: the connection was lost").arg(m_serial->portLabel()));
    // At the port choice nothing has come in since the port was opened again.
    const QString next =
        m_state.importStep == ImportStep::Downloading
            ? QStringLiteral("The data received so far is kept. Press \"Process The Imported Data\" to use "
                             "it, or check the cable and start the download again.")
            : QStringLiteral("Check the cable, then choose the port and press \"OK\" to start a download.");
    m_messages.tell(QStringLiteral("The connection to the sign on port %1 was lost (%2).\n\n%3")
                        .arg(m_serial->portLabel(), reason, next),
                    ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
}

void ImportTab::downloadTooLarge()
{
    m_processing->setStatus(QStringLiteral("Communication Port %1 Closed: more came than a download holds")
                                .arg(m_serial->portLabel()));
    m_messages.tell(
        QStringLiteral("The download from the sign on port %1 was stopped: %2. The sign or its "
                       "cable may be sending without end. The port is closed and the data "
                       "received so far is kept.\n\nCheck the sign and its cable, then press "
                       "\"R E S E T\" to start the download again.")
            .arg(m_serial->portLabel(), acquisition::tooLargeReason(-1, m_serial->largestDownload())),
        ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
}

void ImportTab::processImportedData()
{
    bool marked = false;
    {
        const ui::BusyCursor busy;
        m_progress->setCounterText(QStringLiteral("0"));
        m_serial->close();
        setPortStatusClosed();
        marked = import::markEnd(m_state.downloadBuffer);
        if (marked)
            showProcessedDownload(ImportStep::Processed);
    }
    if (marked)
        return;
    // Nothing, or too little, came in: the user gets the reason, then the
    // way back to the port choice ("R E S E T") and the raw data to save.
    if (m_state.downloadBuffer.isEmpty())
        m_messages.tell(
            QStringLiteral("Nothing was received from the sign on port %1.\n\nCheck that the serial "
                           "cable is plugged into the sign and into this port, and that the "
                           "keyboard is connected to the sign. Press \"R E S E T\", then press "
                           "7 on the sign's keyboard in program mode, and press \"Process The "
                           "Imported Data\" once the block counter stops.")
                .arg(m_serial->portLabel()));
    else
        m_messages.tell(
            QStringLiteral("The downloaded file is corrupt or there is insufficient data to process"));
    showStep(ImportStep::ProcessingFailed);
}

void ImportTab::showProcessedDownload(ImportStep step)
{
    m_rawText->setText(m_state.downloadBuffer);
    const import::HeaderFields fields = import::readHeaderFields(m_state.downloadBuffer);
    m_header->fill(fields);
    showStep(step);
    offerPreferredUnit(fields.unit, QStringLiteral("download"));
}

void ImportTab::offerPreferredUnit(const QString& stated, const QString& what)
{
    if (!stated.isEmpty())
        return;
    const QString unitFailure = m_header->showPreferredUnit();
    if (!unitFailure.isEmpty())
        m_messages.tell(QStringLiteral("The unit you last used cannot be read back: %1\n\nThis %2 does "
                                       "not state its unit: choose MPH or KPH before storing the survey.")
                            .arg(unitFailure, what),
                        ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
}

void ImportTab::openOtherLog()
{
    if (!mayLeaveDownload(QStringLiteral("reading another device's log replaces it"),
                          QStringLiteral("Read another log anyway?")))
        return;
    QFileDialog files(this, QStringLiteral("Import Other Log"));
    files.setObjectName(QStringLiteral("OtherLogFileDialog"));
    files.setFileMode(QFileDialog::ExistingFile);
    files.setNameFilters(
        {QStringLiteral("Vehicle logs (*.txt *.csv *.log)"), QStringLiteral("All files (*)")});
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
        return;
    // The window reads the file on a worker of its own; the tab takes the
    // read log once the officer continues.
    auto* window = new logs::OtherLogDialog(logs::LayoutFolders::standard(), m_messages, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &QDialog::accepted, this, [this, window] { showReadLog(*window); });
    window->openFile(files.selectedFiles().constFirst());
    window->open();
}

logs::OtherLogDialog* ImportTab::otherLogWindow() const
{
    return findChild<logs::OtherLogDialog*>(QStringLiteral("OtherLogDialog"), Qt::FindDirectChildrenOnly);
}

void ImportTab::showReadLog(const logs::OtherLogDialog& window)
{
    const logs::LogLayout layout = window.layout();
    logs::LogSurvey survey = logs::logSurvey(window.readLog());
    // The header of a sign's download, made from the log: its first
    // vehicle's date and minute and the unit the layout states; the fields
    // only a sign has stay empty.
    import::HeaderFields fields;
    const QDate date = survey.start.date();
    const QTime time = survey.start.time();
    fields.month = text::format00(date.month());
    fields.day = text::format00(date.day());
    fields.year = text::format00(date.year() % 100);
    fields.hour = text::format00(time.hour());
    fields.minute = text::format00(time.minute());
    fields.unit = layout.speedUnit;
    m_logVehicles = std::make_shared<const import::DownloadVehicles>(std::move(survey.vehicles));
    m_logOrigin.statedUnit = layout.speedUnit;
    m_logOrigin.source = layout.device.isEmpty() || layout.device == layout.name
                             ? layout.name
                             : QStringLiteral("%1, layout %2").arg(layout.device, layout.name);

    m_rawText->setText(window.bytes());
    m_logFindings->clear();
    const logs::ReadLog& read = window.readLog();
    const QString fileName = QFileInfo(window.path()).fileName();
    m_logFindings->addItem(
        QStringLiteral("%1: %2 lines read, %3 refused")
            .arg(fileName, text::formatCount(read.lines), text::formatCount(read.refused)));
    m_logFindings->addItems(read.findings(fileName));
    m_header->fill(fields);
    showStep(ImportStep::LogRead);
    offerPreferredUnit(fields.unit, QStringLiteral("log"));
}

void ImportTab::reset()
{
    returnToPortChoice(ImportStep::ChoosingPort);
}

void ImportTab::downloadAnother()
{
    returnToPortChoice(ImportStep::ChoosingPort);
}

void ImportTab::showUnkeptDownloadAgain(ImportStep left)
{
    // A log read is not kept with the window: it is a file the officer
    // reads again.
    if (m_state.downloadKept || m_state.downloadBuffer.isEmpty() || left == ImportStep::ChoosingPort ||
        left == ImportStep::LogRead)
        return;
    if (left == ImportStep::Processed || left == ImportStep::FileLoaded) {
        showProcessedDownload(left);
        if (m_state.typedHeader)
            m_header->showHeader(*m_state.typedHeader);
        return;
    }
    m_processing->setStatus(QStringLiteral("Communication Port Closed"));
    showStep(left);
}

QString ImportTab::portRefusal(const QString& otherwise) const
{
    // A port this user may not open says how to get the right; any other
    // failure says what the caller gives.
    return m_serial->lacksRight() ? acquisition::noRightToPortMessage(m_serial->deviceName()) : otherwise;
}

void ImportTab::returnToPortChoice(ImportStep step)
{
    if (!mayLeaveDownload(QStringLiteral("going back to the port choice drops it"),
                          QStringLiteral("Go back to the port choice anyway?")))
        return;
    m_progress->setCounterText(QStringLiteral("0"));
    showStep(step);
    if (m_serial->reopen()) {
        setPortStatusOpen();
    } else {
        m_processing->setStatus(
            QStringLiteral("Communication Port %1 Not Available").arg(m_serial->portLabel()));
        m_messages.tell(
            portRefusal(QStringLiteral("The serial port %1 (%2) could not be opened again: %3\n\n"
                                       "Choose a port and press OK to start a download.")
                            .arg(m_serial->portLabel(), m_serial->deviceName(), m_serial->errorString())),
            ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
    }
    m_rawText->clear();
    m_header->clearFields();
}

void ImportTab::importSurvey()
{
    if (m_importTask->isRunning())
        return;
    const import::SurveyHeader header = m_header->header();
    // The import runs on a worker with a connection of its own, on copies
    // of the download and the header: the window stays free meanwhile.
    auto report = std::make_shared<import::ImportProgressReport>(m_messages, *m_importTask);
    m_header->processButton()->setEnabled(false);
    // Cancelling stops the import before its transaction commits, so
    // nothing of the survey is stored; once every vehicle is written the
    // report takes "Cancel" away. A log's vehicles go in as the download's
    // would.
    const auto vehicles = m_state.importStep == ImportStep::LogRead ? m_logVehicles : nullptr;
    worker::run(
        *m_importTask, this,
        [database = m_state.database, header, buffer = m_state.downloadBuffer, vehicles, origin = m_logOrigin,
         report](worker::BackgroundTask&) {
            return vehicles ? import::importVehicles(database, header, *vehicles, origin, *report)
                            : import::importSurvey(database, header, buffer, *report);
        },
        [this, report, header](worker::Done<import::ImportResult> done) {
            report->deliver();
            finishImport(header, done.value);
        },
        QStringLiteral("Storing survey %1 in the database").arg(header.batchNumber), true);
}

bool ImportTab::isImporting() const
{
    return m_importTask->isRunning();
}

void ImportTab::finishImport(const import::SurveyHeader& header, const import::ImportResult& result)
{
    m_header->processButton()->setEnabled(true);
    switch (result.outcome) {
    case import::ImportResult::Outcome::Imported:
        m_state.downloadKept = true;
        m_header->showStored(header.batchNumber);
        break;
    case import::ImportResult::Outcome::Refused:
        goToField(result.field);
        break;
    case import::ImportResult::Outcome::DataError:
    case import::ImportResult::Outcome::Failed:
    case import::ImportResult::Outcome::MaybeStored:
    case import::ImportResult::Outcome::Cancelled:
        // Said so, or stopped by the user; the download stays as it is, to
        // be stored again or saved.
        break;
    }
    // Whatever the outcome, the header keeps what the user chose: a survey
    // refused for a typo is stored in the chosen unit once the typo is mended.
    Q_EMIT importFinished();
}

void ImportTab::goToField(import::HeaderField field)
{
    if (field == import::HeaderField::None || m_header->focusField(field))
        return;
    m_correction->openAt(field);
}

bool ImportTab::holdsUnkeptDownload() const
{
    // At the port choice the data is no longer on show: the user let it go.
    return !m_state.downloadKept && !m_state.downloadBuffer.isEmpty() &&
           m_state.importStep != ImportStep::ChoosingPort && m_state.importStep != ImportStep::LogRead;
}

bool ImportTab::mayLeaveDownload(const QString& leaving, const QString& question)
{
    if (!holdsUnkeptDownload())
        return true;
    // The way to keep it, with the buttons the step shows.
    const QString keep =
        m_state.importStep == ImportStep::Downloading
            ? QStringLiteral("Choose No to keep it, then press \"Process The Imported Data\" once the block "
                             "counter stops, and save or store it.")
        : m_state.importStep == ImportStep::ProcessingFailed
            ? QStringLiteral("Choose No to keep it, then save it with \"Save this raw data file as...\".")
            : QStringLiteral("Choose No to keep it, then save it with \"Save this raw data file as...\" or "
                             "store it with \"Process This Radar Data to The Database>>\".");
    return m_messages.ask(QStringLiteral("The download from the sign is neither saved as a file nor stored "
                                         "as a survey: %1.\n\n%2 %3")
                              .arg(leaving, question, keep),
                          ui::Messages::defaultTitle(), ui::Messages::Buttons::YesNoDefaultNo,
                          ui::Messages::Icon::Warning) == ui::Messages::Answer::Yes;
}

void ImportTab::leaveDownloadForLoad()
{
    m_serial->close();
}

void ImportTab::openLoadWindow()
{
    if (!mayLeaveDownload(QStringLiteral("loading a saved file replaces it"),
                          QStringLiteral("Load a saved file anyway?")))
        return;
    m_fileWindow->openForLoad();
    Q_EMIT mainWindowEnabled(false);
}

void ImportTab::setResetEnabled(bool enabled)
{
    m_progress->resetButton()->setEnabled(enabled);
}

void ImportTab::openSaveWindow()
{
    m_fileWindow->openForSave();
    Q_EMIT mainWindowEnabled(false);
}

} // namespace pelmor::app
