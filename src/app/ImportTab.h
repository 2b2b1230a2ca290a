#pragma once

#include "import/SurveyImport.h"

#include <QWidget>

#include <memory>

class QLabel;
class QListWidget;
class QPushButton;

namespace pelmor::ui {
class Messages;
}
namespace pelmor::acquisition {
class LoadDataFile;
class PortChoicePanel;
class ProcessingPanel;
class ProgressPanel;
class SavedFilePanel;
class SerialDownload;
} // namespace pelmor::acquisition
namespace pelmor::worker {
class BackgroundTask;
}
namespace pelmor::import {
class CorrectionPanel;
class HeaderPanel;
class RawTextView;
} // namespace pelmor::import

namespace pelmor::logs {
class OtherLogDialog;
}

namespace pelmor::app {

struct AppState;

// The steps of getting a survey into the database, each with the panels the
// import tab shows for it.
enum class ImportStep {
    // The port choice: at start, after "R E S E T" and "<< Download Another
    // File", and after a port that could not be opened.
    ChoosingPort,
    // The port is open (or was closed with the window before this one): the
    // instructions with the status line and the block counter with
    // "R E S E T".
    Downloading,
    // The download could not be processed (nothing, or too little, came in):
    // the instructions and the counter with "R E S E T" again.
    ProcessingFailed,
    // A download from the sign, processed: its raw text, the survey header
    // and "Save this raw data file as...".
    Processed,
    // A saved download, loaded: the same.
    FileLoaded,
    // Another device's log, read with a layout: its text, what its reading
    // found and the survey header.
    LogRead,
};

// The tab "Import Remote Sign Data": the download from the sign or from a
// saved file, the survey header, and the panels that lead the user from one
// step to the next. Which panels show is a function of the step alone
// (showStep); the correction panel comes and goes within a step. The way to
// a saved file is open in every step, and so is the way back to the port
// choice.
class ImportTab : public QWidget {
    Q_OBJECT
public:
    ImportTab(AppState& state, ui::Messages& messages, QWidget* parent = nullptr);
    ~ImportTab() override;

    ImportStep step() const;

    // Port choice "OK": empties the buffer and opens the chosen port.
    void openPortForDownload();
    // "Process The Imported Data": ends the download and prepares it.
    void processImportedData();
    // "R E S E T" and "<< Download Another File": back to the port choice
    // with the port open again.
    void reset();
    void downloadAnother();
    // "Process This Radar Data to The Database>>": stores the survey and its
    // statistics, on a worker; importFinished() follows once it has ended
    // and its messages were told.
    void importSurvey();
    bool isImporting() const;
    // The worker the import runs on.
    worker::BackgroundTask* task() const { return m_importTask; }
    // "Load Radar Log File" and "Save this raw data file as...".
    void openLoadWindow();
    void openSaveWindow();
    // "Import Other Log...": asks for the file and opens the window that
    // reads it; once the officer continues, the tab shows its survey header.
    void openOtherLog();
    // The window of openOtherLog while it is open.
    logs::OtherLogDialog* otherLogWindow() const;
    // "R E S E T" is held off while a flow breakdown runs.
    void setResetEnabled(bool enabled);
    // Whether the tab shows data from the sign that is neither saved as a
    // file nor stored as a survey, so that leaving it would lose it.
    bool holdsUnkeptDownload() const;
    // Before a step that would drop such data: asks whether to go on anyway
    // (No the default), saying what `leaving` does to it and how to keep it.
    // True when nothing would be lost or the user says Yes.
    bool mayLeaveDownload(const QString& leaving, const QString& question);

    acquisition::SerialDownload& serial() const { return *m_serial; }
    acquisition::LoadDataFile& fileWindow() const { return *m_fileWindow; }
    pelmor::import::HeaderPanel& headerPanel() const { return *m_header; }

Q_SIGNALS:
    // The saved-file window asks for the main window to be disabled while it
    // is up, and enabled again on every way out.
    void mainWindowEnabled(bool enabled);
    // An import has ended, stored or not, and its messages were told.
    void importFinished();

private:
    // Shows exactly the panels of `step` and hides the others.
    void showStep(ImportStep step);
    void returnToPortChoice(ImportStep step);
    QString portRefusal(const QString& otherwise) const;
    // Goes to the header field a refusal was about: the panel's own field,
    // or the correction panel's box for a field taken from the sign.
    void goToField(pelmor::import::HeaderField field);
    void showProcessedDownload(ImportStep step);
    // The header of a log the officer read and continued with.
    void showReadLog(const logs::OtherLogDialog& window);
    // A download or log that states no unit is offered in the unit this
    // user last stored a survey in.
    void offerPreferredUnit(const QString& stated, const QString& what);
    // A new tab shows a download that the tab before it left unkept at
    // `left`, with the port closed.
    void showUnkeptDownloadAgain(ImportStep left);
    void blockReceived();
    void portLost(const QString& reason);
    void downloadTooLarge();
    void leaveDownloadForLoad();
    void setPortStatusOpen();
    void setPortStatusClosed();
    void finishImport(const pelmor::import::SurveyHeader& header, const pelmor::import::ImportResult& result);

    AppState& m_state;
    ui::Messages& m_messages;
    std::unique_ptr<acquisition::SerialDownload> m_serial;
    std::unique_ptr<acquisition::LoadDataFile> m_fileWindow;
    acquisition::PortChoicePanel* m_portChoice;
    acquisition::SavedFilePanel* m_savedFile;
    acquisition::ProcessingPanel* m_processing;
    acquisition::ProgressPanel* m_progress;
    pelmor::import::RawTextView* m_rawText;
    pelmor::import::HeaderPanel* m_header;
    pelmor::import::CorrectionPanel* m_correction;
    QPushButton* m_saveRawData;
    QListWidget* m_logFindings;
    worker::BackgroundTask* m_importTask;
    // The vehicles of the log read last and what they came from; stored in
    // place of the download in the LogRead step.
    std::shared_ptr<const pelmor::import::DownloadVehicles> m_logVehicles;
    pelmor::import::VehicleOrigin m_logOrigin;
};

} // namespace pelmor::app
