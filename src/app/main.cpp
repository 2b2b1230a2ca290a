#include "app/AppState.h"
#include "app/MainWindow.h"
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

    pelmor::ui::MessageBoxes messages;
    pelmor::app::MainWindow window(state, messages);
    messages.setParent(&window);
    QObject::connect(&window, &pelmor::app::MainWindow::endRequested, &application, &QApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return application.exec();
}
