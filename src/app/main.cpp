#include "app/AppState.h"
#include "app/ProgramWindows.h"
#include "store/DatabaseFolder.h"
#include "ui/MessageBoxes.h"
#include "ui/Style.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    pelmor::store::setProgramNames();
    QApplication::setApplicationVersion(QStringLiteral(PELMOR_VERSION));
    application.setStyleSheet(pelmor::ui::styleSheet());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Pelmor Traffic Analysis System"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(pelmor::store::databaseFolderOption());
    parser.process(application);

    // Message boxes stand over the window the user works in.
    pelmor::ui::MessageBoxes messages;
    pelmor::app::AppState state;
    pelmor::app::ProgramWindows windows(state, messages);
    QObject::connect(&windows, &pelmor::app::ProgramWindows::endRequested, &application, &QApplication::quit,
                     Qt::QueuedConnection);
    if (!windows.startFromArguments(parser))
        return 1;
    return application.exec();
}
