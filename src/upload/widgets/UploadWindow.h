#pragma once

#include "db/Database.h"
#include "db/ServerChoice.h"
#include "upload/SurveyUpload.h"

#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

namespace pelmor::worker {
class BackgroundTask;
class ProgressStrip;
} // namespace pelmor::worker

namespace pelmor::upload {

class ServerFields;

// "Send Surveys to the Agency Server...": sends surveys of a database file
// on this computer to the agency server named in the window, whatever
// database the program works on; the program stays on it. The file is the
// one of the program's database folder, or of a folder chosen here (the
// way to send a laptop's surveys while the program works on a server). The
// surveys of the file are listed with a check box each, and "Send" sends
// the checked ones on a worker while the bar shows how far it got and
// "Cancel" stops it between surveys; the outcome of each survey is listed
// at the end. The server named is remembered for this user, never its
// password: that is asked for when the server wants one and kept in the
// window's box, in memory.
class UploadWindow : public QWidget {
    Q_OBJECT
public:
    // `working` is the database the program works on (its `path` is the
    // file of the program's database folder, also when it works on a
    // server), `workingChoice` and `workingPassword` the server it works
    // on, when it does.
    UploadWindow(const db::Database& working, const db::ServerChoice& workingChoice,
                 const QString& workingPassword, QWidget* parent = nullptr);
    ~UploadWindow() override;

    QListWidget* surveyList() const { return m_surveys; }
    QPushButton* sendButton() const { return m_send; }
    QListWidget* outcomeList() const { return m_outcomes; }
    ServerFields* serverFields() const { return m_target; }
    bool isSending() const;

    // The file the surveys are sent from: the database of `folder`. Lists
    // its surveys, all checked, or says that the folder holds none.
    void sendFrom(const QString& folder);
    // "Choose Folder...": asks for the folder to send from.
    void chooseFolder();
    // Reads the file's surveys again, all checked.
    void listSurveys();
    // "Send": sends the checked surveys.
    void send();

Q_SIGNALS:
    // The outcome of a "Send" is shown.
    void sent();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showResult();
    QStringList checkedBatches() const;

    db::Database m_local;
    const db::ServerChoice m_working;
    db::ServerChoice m_sentTo;
    UploadResult m_result;
    QLabel* m_from = nullptr;
    QListWidget* m_surveys = nullptr;
    ServerFields* m_target = nullptr;
    QPushButton* m_send = nullptr;
    QListWidget* m_outcomes = nullptr;
    QLabel* m_summary = nullptr;
    worker::BackgroundTask* m_task = nullptr;
    // Lists the surveys of the file sent from.
    worker::BackgroundTask* m_listTask = nullptr;
    worker::ProgressStrip* m_progress = nullptr;
    bool m_placed = false;
};

} // namespace pelmor::upload
