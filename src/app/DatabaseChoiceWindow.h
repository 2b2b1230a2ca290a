#pragma once

#include "db/ServerChoice.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;

namespace pelmor::worker {
class BackgroundTask;
}
namespace pelmor::upload {
class ServerFields;
}

namespace pelmor::app {

struct AppState;

// "Database...": chooses the database the program works on, the file on
// this computer or the agency's PostgreSQL server. OK tries the server on a
// worker (a host that does not answer is given up after a few seconds,
// and the window stays responsive meanwhile); only a server that answered
// is remembered for this user and announced by chosen(). A failure is told
// in the window, and the program stays on the database it had. The
// password box is for a server whose password libpq finds nowhere else; it
// is handed on in memory and never written.
class DatabaseChoiceWindow : public QDialog {
    Q_OBJECT
public:
    explicit DatabaseChoiceWindow(const AppState& state, QWidget* parent = nullptr);
    ~DatabaseChoiceWindow() override;

    // Fills the window from the database the program works on now, and
    // shows it.
    void present();
    // OK: tries the choice and, when it works, remembers and announces it.
    void tryChoice();
    bool isTrying() const;
    // What the window says about the last try; empty before one.
    QString status() const;

Q_SIGNALS:
    // The chosen database answered and is remembered; `password` is the one
    // typed, empty when none was.
    void chosen(const pelmor::db::ServerChoice& choice, const QString& password);

private:
    db::ServerChoice choiceShown() const;
    void showServerFields();
    struct TryOutcome;
    void finishTry(const db::ServerChoice& choice, const QString& password, const TryOutcome& outcome);

    const AppState& m_state;
    worker::BackgroundTask* m_task;
    QRadioButton* m_thisComputer;
    QRadioButton* m_server;
    QLabel* m_filePath;
    upload::ServerFields* m_fields;
    QPushButton* m_ok;
    // Cancel was pressed while a server was tried: its answer is dropped.
    bool m_dropAnswer = false;
};

} // namespace pelmor::app
