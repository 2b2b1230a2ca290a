#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QCommandLineParser;

namespace pelmor::db {
struct ServerChoice;
}
namespace pelmor::ui {
class Messages;
}
namespace pelmor::store {
struct Capabilities;
}
namespace pelmor::worker {
class BackgroundTask;
}
namespace pelmor::maintenance {
class Backdrop;
class DeletionWindow;
class MaintenanceWindow;
} // namespace pelmor::maintenance

namespace pelmor::app {

struct AppState;
class DatabaseChoiceWindow;
class MainWindow;

// The program's top windows, owned here: the main window, or, while the
// database is maintained, the backdrop with the maintenance or the deletion
// window in front of it. Opening "Database Management" closes the main
// window and with it every connection the program holds to the database;
// "Return To Pelmor Program" opens a new main window, as at start-up. The
// program-wide values (the download buffer among them) live in the state
// that main() owns and survive the change.
class ProgramWindows : public QObject {
    Q_OBJECT
public:
    ProgramWindows(AppState& state, ui::Messages& messages);
    ~ProgramWindows() override;

    // Asks for the password of the agency server, saying why; none when
    // the user cancels.
    using PasswordPrompt = std::function<std::optional<QString>(const QString& text)>;
    // Tests answer for the user; the program asks with a small dialog.
    void setPasswordPrompt(PasswordPrompt prompt) { m_askPassword = std::move(prompt); }

    // At start-up, from the arguments `parser` read (with
    // store::databaseFolderOption()): the folder --db names is the database,
    // its file, as pelmor-cli takes it, whatever server is remembered;
    // without --db, the folder chosen as store::openDatabaseFolder() chooses it
    // and the database remembered for this user. False, the user told why,
    // when the folder cannot be used.
    bool startFromArguments(const QCommandLineParser& parser);
    // At start-up: connects to the database remembered for this user (the
    // agency server asks for a password it needs; one that cannot be
    // reached is told, and the session works on this computer's file),
    // then opens the main window; a server is connected to on the worker,
    // and the window opens once it has answered.
    void startOnRememberedDatabase();
    // Opens the main window on the database chosen.
    void start();

    // The window shown now; each is null while it is closed.
    MainWindow* mainWindow() const { return m_main.get(); }
    maintenance::MaintenanceWindow* maintenanceWindow() const { return m_maintenance.get(); }
    maintenance::DeletionWindow* deletionWindow() const { return m_deletion.get(); }
    maintenance::Backdrop* backdrop() const { return m_backdrop.get(); }
    // "Database...": null until first opened.
    DatabaseChoiceWindow* databaseChoiceWindow() const { return m_databaseChoice.get(); }

    // "Database...": the window that chooses the database.
    void openDatabaseChoice();
    // The program works on `choice` from now on: a new main window shows
    // that database, and nothing of the other one stays on show.
    void switchDatabase(const db::ServerChoice& choice, const QString& password);

    // "Database Management": backdrop and maintenance window up, main window
    // closed; on the agency server, once it has said what the user may do.
    void openMaintenance();
    // "Delete Individual Survey or Complete Database": the deletion window
    // replaces the maintenance window in front of the backdrop.
    void openDeletion();
    // "Return To Pelmor Program": a new main window, the others closed.
    void returnToProgram();

Q_SIGNALS:
    // A "Close" button of the main window was pressed: the program ends.
    void endRequested();

private:
    void bringForward();
    void connectRemembered(const db::ServerChoice& remembered, const QString& password);
    void showMaintenance(const store::Capabilities& capabilities);
    // Sets the state to work on `choice`.
    void useDatabase(const db::ServerChoice& choice, const QString& password);

    AppState& m_state;
    ui::Messages& m_messages;
    // The maintenance and deletion windows stand in front of the backdrop
    // (their parent), so it goes last.
    std::unique_ptr<maintenance::Backdrop> m_backdrop;
    std::unique_ptr<MainWindow> m_main;
    std::unique_ptr<maintenance::MaintenanceWindow> m_maintenance;
    std::unique_ptr<maintenance::DeletionWindow> m_deletion;
    std::unique_ptr<DatabaseChoiceWindow> m_databaseChoice;
    PasswordPrompt m_askPassword;
    // Opens the connections to the agency server off the window's thread.
    worker::BackgroundTask* m_connecting;
};

} // namespace pelmor::app
