#include "app/AppState.h"
#include "app/ProgramWindows.h"
#include "db/Files.h"
#include "ui/MessageBoxes.h"
#include "ui/Style.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelmor"));
    QApplication::setApplicationVersion(QStringLiteral(PELMOR_VERSION));
    application.setStyleSheet(pelmor::ui::styleSheet());

    pelmor::app::AppState state;
    state.programFolder = pelmor::db::programFolder();

    // Message boxes stand over the window the user works in.
    pelmor::ui::MessageBoxes messages;
    pelmor::app::ProgramWindows windows(state, messages);
    QObject::connect(&windows, &pelmor::app::ProgramWindows::endRequested, &application, &QApplication::quit,
                     Qt::QueuedConnection);
    windows.start();
    return application.exec();
}
