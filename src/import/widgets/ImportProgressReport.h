#pragma once

#include "import/SurveyImport.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class QProgressDialog;
class QWidget;

namespace pelmor::session {
class BackgroundTask;
}
namespace pelmor::ui {
class Messages;
}

namespace pelmor::import {

// Tells the user how an import that runs on a worker goes: for a survey
// large enough to take a while a progress bar of the vehicles written, with
// "Cancel", so a month-long survey is seen to be moving and can be stopped;
// its questions in message boxes on the window's thread, asked before the
// database is locked; its messages once the import has ended, so none waits
// on the user while the database is locked. The import calls the
// ImportReport side from the worker; the window calls deliver().
class ImportProgressReport : public QObject, public ImportReport {
    Q_OBJECT
public:
    ImportProgressReport(ui::Messages& messages, session::BackgroundTask& task, QWidget* parent);
    ~ImportProgressReport() override;

    void message(const QString& text, const QString& reason) override;
    void progress(qint64 written, qint64 expected) override;
    // Asked with No as the default answer.
    bool confirm(const QString& question) override;
    bool cancelled() const override;

    // The import has ended: the bar goes, then the messages come, in the
    // order they were told.
    void deliver();

private:
    void showProgress(qint64 written, qint64 expected);

    ui::Messages& m_messages;
    session::BackgroundTask& m_task;
    QPointer<QWidget> m_parent;
    std::unique_ptr<QProgressDialog> m_dialog;
    std::mutex m_heldLock;
    std::vector<std::pair<QString, QString>> m_held;
};

} // namespace pelmor::import
