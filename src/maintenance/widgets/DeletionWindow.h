#pragma once

#include "db/Database.h"

#include <QWidget>

class QLineEdit;
class QListWidget;

namespace pelmor::ui {
class Messages;
}
namespace pelmor::worker {
class BackgroundTask;
}

namespace pelmor::maintenance {

// The deletion window "Delete Database": the stored surveys listed by
// batch number, a click choosing one, "Delete Selected" deleting the
// chosen survey, "Delete Complete Database" deleting every survey after
// its question. Like the maintenance window it runs while the main window
// is closed.
class DeletionWindow : public QWidget {
    Q_OBJECT
public:
    DeletionWindow(const db::Database& database, ui::Messages& messages, QWidget* parent = nullptr);

    // Shows the window in the middle of the screen with the list filled.
    void present();

    QListWidget* surveyList() const { return m_surveys; }
    QLineEdit* choiceBox() const { return m_choice; }

    // Fills the list with the stored batch numbers, in the order the
    // database gives them, then those of vehicle rows left without a header;
    // read on the worker, the list fills once it has ended.
    void fillList();
    worker::BackgroundTask* task() const { return m_task; }
    // A click on a listed batch number: it becomes the choice.
    void choose(const QString& batch);
    // Asks, naming the chosen survey, then deletes it and says what was
    // deleted; refills the list and empties the choice. Without a choice
    // it says how to make one.
    void deleteSelected();
    // Asks, saying how many surveys and vehicles go, then deletes every
    // survey and empties the list.
    void deleteComplete();

Q_SIGNALS:
    // "Return To Pelmor Program", or the window closed.
    void returnRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    db::Database m_database;
    ui::Messages& m_messages;
    QListWidget* m_surveys;
    QLineEdit* m_choice;
    worker::BackgroundTask* m_task;
};

} // namespace pelmor::maintenance
