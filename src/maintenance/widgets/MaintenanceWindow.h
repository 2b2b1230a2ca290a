#pragma once

#include "maintenance/Outcome.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QPushButton;

namespace pelmor::worker {
class BackgroundTask;
class ProgressStrip;
} // namespace pelmor::worker
namespace pelmor::ui {
class BusyCursor;
class Messages;
} // namespace pelmor::ui

namespace pelmor::maintenance {

// The maintenance window "Database Management": backup with compaction,
// repair, replacement by the empty database and restore from the backup
// of the survey database in the program folder, and the way on to the
// deletion window. It runs while the main window is closed, so the program
// holds no connection to the database meanwhile. Each operation runs on a
// worker, shown on a progress strip with its buttons held off until it has
// ended; it cannot be stopped half way, so closing the window meanwhile
// leads back to the program only once it has ended.
class MaintenanceWindow : public QWidget {
    Q_OBJECT
public:
    MaintenanceWindow(const QString& folder, ui::Messages& messages, QWidget* parent = nullptr);
    ~MaintenanceWindow() override;

    // Shows the window in the middle of the screen.
    void present();
    // The program works on the agency server, which its IT backs up: the
    // file's operations are not offered, and deleting a survey only to a
    // user who may (`mayDelete`); the window says why.
    void showServerMaintenance(bool mayDelete);

    void backup();
    void repair();
    // Each asks first, saying what will be lost; Cancel, the default,
    // changes nothing.
    void replace();
    void restore();
    // Whether an operation runs now.
    bool isWorking() const;
    const worker::ProgressStrip* progressStrip() const { return m_progress; }

Q_SIGNALS:
    // An operation has ended and what it tells was shown.
    void operationFinished();
    // "Delete Individual Survey or Complete Database".
    void deletionRequested();
    // "Return To Pelmor Program", or the window closed.
    void returnRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPushButton* addButton(const QString& text, const QString& objectName, const QString& hint);
    // Runs the operation on the worker, saying on the strip what runs,
    // then shows what it tells.
    void runInBackground(const QString& what, std::function<Outcome()> operation);

    QString m_folder;
    ui::Messages& m_messages;
    worker::BackgroundTask* m_task;
    worker::ProgressStrip* m_progress = nullptr;
    std::vector<QWidget*> m_buttons;
    // The operations on the database file, and the caution about them.
    std::vector<QWidget*> m_fileOperations;
    QPushButton* m_deleteSurveys = nullptr;
    std::unique_ptr<ui::BusyCursor> m_busy;
    // The window was closed while an operation ran.
    bool m_returnWhenDone = false;
};

} // namespace pelmor::maintenance
