#include "app/AppState.h"
#include "app/ProgramWindows.h"
#include "db/DatabaseFolder.h"
#include "db/DbError.h"
#include "ui/MessageBoxes.h"
#include "ui/Style.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    pelmor::db::setProgramNames();
    QApplication::setApplicationVersion(QStringLiteral(PELMOR_VERSION));
    application.setStyleSheet(pelmor::ui::styleSheet());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Pelmor Traffic Analysis System"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dbOption(
        QStringLiteral("db"),
        QStringLiteral("The folder that holds pelmor.mdb (default: the folder remembered with "
                       "'pelmor-cli folder --set DIR', else the program's folder when it holds the "
                       "database, else this user's data folder)."),
        QStringLiteral("DIR"));
    parser.addOption(dbOption);
    parser.process(application);

    // Message boxes stand over the window the user works in.
    pelmor::ui::MessageBoxes messages;
    pelmor::app::AppState state;
    try {
        state.databaseFolder = pelmor::db::openDatabaseFolder(parser.value(dbOption)).path;
    } catch (const pelmor::db::DbError& error) {
        messages.tell(error.message(), pelmor::ui::Messages::defaultTitle(),
                      pelmor::ui::Messages::Icon::Critical);
        return 1;
    }

    pelmor::app::ProgramWindows windows(state, messages);
    QObject::connect(&windows, &pelmor::app::ProgramWindows::endRequested, &application, &QApplication::quit,
                     Qt::QueuedConnection);
    windows.startOnRememberedDatabase();
    return application.exec();
}
