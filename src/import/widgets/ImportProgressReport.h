#pragma once

#include "import/SurveyImport.h"

#include <QObject>

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace pelmor::worker {
class BackgroundTask;
}
namespace pelmor::ui {
class Messages;
}

namespace pelmor::import {

// Tells the user how an import that runs on a worker goes: the vehicles
// written go to the task's progress, which the window's progress strip
// shows with "Cancel" until every vehicle is written; its questions in message boxes on the window's thread,
// asked before the database is locked; its messages once the import has ended, so none waits on the user
// while the database is locked. The import calls the ImportReport side from the worker; the window calls
// deliver().
class ImportProgressReport : public QObject, public ImportReport {
    Q_OBJECT
public:
    ImportProgressReport(ui::Messages& messages, worker::BackgroundTask& task);
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
    ui::Messages& m_messages;
    worker::BackgroundTask& m_task;
    std::mutex m_heldLock;
    std::vector<std::pair<QString, QString>> m_held;
};

} // namespace pelmor::import
