#pragma once

#include "db/Database.h"
#include "db/ServerChoice.h"
#include "upload/SurveyUpload.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace pelmor::session {
class BackgroundTask;
class ProgressStrip;
} // namespace pelmor::session

namespace pelmor::upload {

// "Send Surveys to the Agency Server...": the server the surveys go to (the
// one chosen for this user), the surveys of the file on this computer with
// a check box each, and "Send", which sends the checked ones on a worker
// while the bar shows how far it got and "Cancel" stops it between
// surveys. The outcome of each survey is listed at the end. A password is
// asked for only when the server wants one; it is kept in `password`, in
// memory, and never written.
class UploadWindow : public QWidget {
    Q_OBJECT
public:
    UploadWindow(const db::Database& local, QString& password, QWidget* parent = nullptr);
    ~UploadWindow() override;

    QListWidget* surveyList() const { return m_surveys; }
    QPushButton* sendButton() const { return m_send; }
    QListWidget* outcomeList() const { return m_outcomes; }
    QLabel* serverLabel() const { return m_server; }
    QLineEdit* passwordBox() const { return m_password; }
    bool isSending() const;

    // Reads the file's surveys again, all checked.
    void listSurveys();
    // "Send": sends the checked surveys.
    void send();

Q_SIGNALS:
    // The outcome of a "Send" is shown.
    void sent();

private:
    void showResult();
    QStringList checkedBatches() const;

    const db::Database m_local;
    QString& m_passwordKept;
    const db::ServerChoice m_choice;
    UploadResult m_result;
    QLabel* m_server = nullptr;
    QListWidget* m_surveys = nullptr;
    QLabel* m_passwordCaption = nullptr;
    QLineEdit* m_password = nullptr;
    QPushButton* m_send = nullptr;
    QListWidget* m_outcomes = nullptr;
    QLabel* m_summary = nullptr;
    session::BackgroundTask* m_task = nullptr;
    session::ProgressStrip* m_progress = nullptr;
};

} // namespace pelmor::upload
