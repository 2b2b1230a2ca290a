#include "app/ProgramWindows.h"

#include "app/AdminTab.h"
#include "app/AppState.h"
#include "app/DatabaseChoiceWindow.h"
#include "app/MainWindow.h"
#include "db/DbError.h"
#include "db/Files.h"
#include "maintenance/widgets/Backdrop.h"
#include "maintenance/widgets/DeletionWindow.h"
#include "maintenance/widgets/MaintenanceWindow.h"
#include "store/DatabaseFolder.h"
#include "store/SurveyStore.h"
#include "ui/Messages.h"
#include "worker/Run.h"
#include "worker/widgets/ProgressStrip.h"

#include <QCommandLineParser>
#include <QInputDialog>
#include <QLineEdit>

namespace pelmor::app {

ProgramWindows::ProgramWindows(AppState& state, ui::Messages& messages)
    : m_state(state)
    , m_messages(messages)
    , m_backdrop(std::make_unique<maintenance::Backdrop>())
    , m_connecting(new worker::BackgroundTask(this))
{
    connect(m_backdrop.get(), &maintenance::Backdrop::clicked, this, &ProgramWindows::bringForward);
    m_askPassword = [](const QString& text) -> std::optional<QString> {
        bool ok = false;
        const QString password = QInputDialog::getText(nullptr, ui::Messages::defaultTitle(), text,
                                                       QLineEdit::Password, QString(), &ok);
        if (!ok)
            return std::nullopt;
        return password;
    };
}

ProgramWindows::~ProgramWindows() = default;

// The windows are closed from their own buttons' signals: the change waits
// until the click has been handled (queued), so no window is destroyed
// while one of its own handlers runs.
void ProgramWindows::start()
{
    m_main = std::make_unique<MainWindow>(m_state, m_messages);
    connect(m_main.get(), &MainWindow::endRequested, this, &ProgramWindows::endRequested);
    connect(m_main->adminTab(), &AdminTab::databaseManagementRequested, this,
            &ProgramWindows::openMaintenance, Qt::QueuedConnection);
    connect(m_main->adminTab(), &AdminTab::databaseChoiceRequested, this,
            &ProgramWindows::openDatabaseChoice);
    m_main->show();
}

bool ProgramWindows::startFromArguments(const QCommandLineParser& parser)
{
    try {
        m_state.databaseFolder = store::openDatabaseFolder(parser).path;
    } catch (const db::DbError& error) {
        m_messages.tell(error.message(), ui::Messages::defaultTitle(), ui::Messages::Icon::Critical);
        return false;
    }
    if (parser.isSet(store::databaseFolderOption().names().constFirst()))
        start();
    else
        startOnRememberedDatabase();
    return true;
}

void ProgramWindows::startOnRememberedDatabase()
{
    const db::ServerChoice remembered = db::rememberedServerChoice();
    if (!remembered.useServer) {
        start();
        return;
    }
    connectRemembered(remembered, m_state.serverPassword);
}

// Before any window opens, so nothing of the file's surveys shows
// meanwhile; the connection is tried on the worker, its wait bounded by its
// own timeout, and the main window opens once it has answered.
void ProgramWindows::connectRemembered(const db::ServerChoice& remembered, const QString& password)
{
    worker::run(
        *m_connecting, this,
        [server = db::connectionString(remembered, password)](worker::BackgroundTask&) {
            return store::openStore(db::Database::ofServer(server))->capabilities();
        },
        [this, remembered, password](worker::Done<store::Capabilities> done) {
            const QString name = db::serverName(remembered);
            QString failure = done.failure;
            if (!done.failed()) {
                useDatabase(remembered, password);
                start();
                return;
            }
            if (done.kind == db::Failure::PasswordNeeded) {
                const std::optional<QString> typed = m_askPassword(
                    QStringLiteral("The agency server %1 wants the password of your user.\n\nType it "
                                   "(it is kept only while the program runs), or Cancel to work on this "
                                   "computer's database for this session.")
                        .arg(name));
                if (typed && !typed->isEmpty()) {
                    connectRemembered(remembered, *typed);
                    return;
                }
                failure = QStringLiteral("No password was given for the agency server %1.").arg(name);
            }
            useDatabase(db::ServerChoice{}, QString());
            m_messages.tell(
                QStringLiteral("%1\n\nThis session works on the database on this computer (%2). To "
                               "work on the agency server, make sure it can be reached, then "
                               "choose it again with Administration / Setup, \"Database...\".")
                    .arg(failure, db::displayPath(db::databasePath(m_state.databaseFolder))),
                ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
            start();
        },
        QStringLiteral("Connecting to the agency server"), false);
}

void ProgramWindows::openDatabaseChoice()
{
    if (!m_main)
        return;
    if (!m_databaseChoice) {
        m_databaseChoice = std::make_unique<DatabaseChoiceWindow>(m_state);
        // The switch waits until the window's own handler has returned.
        connect(m_databaseChoice.get(), &DatabaseChoiceWindow::chosen, this, &ProgramWindows::switchDatabase,
                Qt::QueuedConnection);
    }
    m_databaseChoice->present();
}

void ProgramWindows::useDatabase(const db::ServerChoice& choice, const QString& password)
{
    m_state.serverChoice = choice;
    m_state.serverPassword = choice.useServer ? password : QString();
    m_state.database.server = choice.useServer ? db::connectionString(choice, password) : QString();
}

void ProgramWindows::switchDatabase(const db::ServerChoice& choice, const QString& password)
{
    useDatabase(choice, password);
    // The survey on show, its breakdown and graph belong to the other
    // database; the new main window reads the lists from this one.
    m_state.current.choose({});
    m_main.reset();
    start();
}

void ProgramWindows::openMaintenance()
{
    if (!m_main || m_connecting->isRunning())
        return; // a second click on the way out
    // What the user may do on the server is the server's to say; it is
    // asked on the worker while the main window shows the wait.
    const store::Capabilities known = store::capabilitiesOf(m_state.database);
    if (!known.deleteSurveys.has_value()) {
        m_main->progressStrip()->follow(m_connecting);
        worker::run(
            *m_connecting, this,
            [database = m_state.database](worker::BackgroundTask&) {
                return store::openStore(database)->capabilities();
            },
            [this](worker::Done<store::Capabilities> done) {
                if (done.failed()) {
                    m_messages.tell(done.failure, ui::Messages::defaultTitle(), ui::Messages::Icon::Critical);
                    return;
                }
                showMaintenance(done.value);
            },
            QStringLiteral("Connecting to the agency server"), false);
        return;
    }
    showMaintenance(known);
}

void ProgramWindows::showMaintenance(const store::Capabilities& capabilities)
{
    if (!m_main)
        return;
    m_backdrop->cover();
    m_maintenance = std::make_unique<maintenance::MaintenanceWindow>(m_state.databaseFolder, m_messages,
                                                                     m_backdrop.get());
    if (!capabilities.fileMaintenance)
        m_maintenance->showServerMaintenance(capabilities.deleteSurveys.value_or(false));
    connect(m_maintenance.get(), &maintenance::MaintenanceWindow::deletionRequested, this,
            &ProgramWindows::openDeletion, Qt::QueuedConnection);
    connect(m_maintenance.get(), &maintenance::MaintenanceWindow::returnRequested, this,
            &ProgramWindows::returnToProgram, Qt::QueuedConnection);
    m_maintenance->present();
    m_main.reset();
}

void ProgramWindows::openDeletion()
{
    if (!m_maintenance)
        return;
    m_deletion =
        std::make_unique<maintenance::DeletionWindow>(m_state.database, m_messages, m_backdrop.get());
    connect(m_deletion.get(), &maintenance::DeletionWindow::returnRequested, this,
            &ProgramWindows::returnToProgram, Qt::QueuedConnection);
    m_deletion->present();
    m_maintenance.reset();
}

void ProgramWindows::returnToProgram()
{
    if (m_main)
        return;
    start();
    m_maintenance.reset();
    m_deletion.reset();
    m_backdrop->hide();
}

void ProgramWindows::bringForward()
{
    for (QWidget* window :
         {static_cast<QWidget*>(m_maintenance.get()), static_cast<QWidget*>(m_deletion.get())}) {
        if (window) {
            window->raise();
            window->activateWindow();
        }
    }
}

} // namespace pelmor::app
