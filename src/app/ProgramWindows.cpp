#include "app/ProgramWindows.h"

#include "app/AdminTab.h"
#include "app/AppState.h"
#include "app/MainWindow.h"
#include "maintenance/widgets/Backdrop.h"
#include "maintenance/widgets/DeletionWindow.h"
#include "maintenance/widgets/MaintenanceWindow.h"

#include <QPushButton>

namespace pelmor::app {

ProgramWindows::ProgramWindows(AppState& state, ui::Messages& messages)
    : m_state(state)
    , m_messages(messages)
    , m_backdrop(std::make_unique<maintenance::Backdrop>())
{
    connect(m_backdrop.get(), &maintenance::Backdrop::clicked, this, &ProgramWindows::bringForward);
}

ProgramWindows::~ProgramWindows() = default;

// The windows are closed from their own buttons' signals: the change waits
// until the click has been handled (queued), so no window is destroyed
// while one of its own handlers runs.
void ProgramWindows::start()
{
    m_main = std::make_unique<MainWindow>(m_state, m_messages);
    connect(m_main.get(), &MainWindow::endRequested, this, &ProgramWindows::endRequested);
    connect(m_main->adminTab()->databaseManagementButton(), &QPushButton::clicked, this,
            &ProgramWindows::openMaintenance, Qt::QueuedConnection);
    m_main->show();
}

void ProgramWindows::openMaintenance()
{
    if (!m_main)
        return; // a second click on the way out
    m_backdrop->cover();
    m_maintenance = std::make_unique<maintenance::MaintenanceWindow>(m_state.databaseFolder, m_messages,
                                                                     m_backdrop.get());
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
