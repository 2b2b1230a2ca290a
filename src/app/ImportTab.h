#pragma once

#include <QWidget>

#include <memory>

class QLabel;
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
namespace pelmor::import {
class CorrectionPanel;
class HeaderPanel;
class RawTextView;
} // namespace pelmor::import

namespace pelmor::app {

struct AppState;
class BoundViews;

// The tab "Import Remote Sign Data": the download from the sign or from a
// saved file, the survey header, and the panels that lead the user from one
// step to the next.
class ImportTab : public QWidget {
    Q_OBJECT
public:
    ImportTab(AppState& state, BoundViews& views, ui::Messages& messages, QWidget* parent = nullptr);
    ~ImportTab() override;

    // Port choice "OK": empties the buffer and opens the chosen port.
    void openPortForDownload();
    // "Process The Imported Data": ends the download and prepares it.
    void processImportedData();
    // "R E S E T" and "<< Download Another File": back to the port choice
    // with the port open again.
    void reset();
    void downloadAnother();
    // "Process This Radar Data to The Database>>": stores the survey and its
    // statistics.
    void importSurvey();
    // "Load Radar Log File" and "Save this raw data file as...".
    void openLoadWindow();
    void openSaveWindow();
    // "R E S E T" is held off while a flow breakdown runs.
    void setResetEnabled(bool enabled);

    acquisition::SerialDownload& serial() const { return *m_serial; }
    acquisition::LoadDataFile& fileWindow() const { return *m_fileWindow; }
    pelmor::import::HeaderPanel& headerPanel() const { return *m_header; }

Q_SIGNALS:
    // The saved-file window asks for the main window to be disabled while it
    // is up, and enabled again on every way out.
    void mainWindowEnabled(bool enabled);

private:
    void returnToPortChoice(bool showSavedFilePanel);
    void showProcessedDownload();
    void blockReceived();
    void portLost(const QString& reason);
    void leaveDownloadForLoad();
    void setPortStatusOpen();

    AppState& m_state;
    BoundViews& m_views;
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
};

} // namespace pelmor::app
