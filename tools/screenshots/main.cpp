// pelmor-screenshots: the main window in the states a user goes through,
// each saved as a PNG, for looking at the program without clicking through
// it. It works on a program folder of its own made from a saved download;
// with --compare a second download of the same street (a later week) is
// imported too, and the comparison of the two is shown on the Speed Study
// tab and printed.
//
// With --other-log another device's log is read through "Import Other
// Log..." and its window and survey header are shown.
//
//   pelmor-screenshots DOWNLOAD.rsx OUTPUT-FOLDER [--size 1366x768] [--compare LATER.rsx]
//                      [--other-log LOG.txt]

#include "acquisition/widgets/LoadDataFile.h"
#include "app/AppState.h"
#include "app/DatabaseChoiceWindow.h"
#include "app/ImportTab.h"
#include "app/MainWindow.h"
#include "app/PrintControls.h"
#include "app/ProgramWindows.h"
#include "app/ReportsTab.h"
#include "app/StudyTab.h"
#include "db/Files.h"
#include "logs/widgets/OtherLogDialog.h"
#include "maintenance/widgets/MaintenanceWindow.h"
#include "reports/widgets/ReportWindow.h"
#include "store/SqliteSchema.h"
#include "ui/MessageBoxes.h"
#include "ui/Style.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

using namespace pelmor;

namespace {

// Answers every message box at once; the screenshots need no questions.
class SilentMessages : public ui::Messages {
public:
    using Messages::ask;
    Answer ask(const QString& text, const QString&, Buttons buttons, Icon, const QString&) override
    {
        QTextStream(stderr) << "message: " << text << '\n';
        return buttons == Buttons::YesNoDefaultNo ? Answer::Yes : Answer::Ok;
    }
};

// Lets the windows shown last be activated and painted: activation comes
// from the window system, some time after show().
void settle()
{
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
}

void save(QWidget& window, const QString& folder, const QString& name)
{
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (!window.grab().save(path))
        QTextStream(stderr) << "cannot write " << path << '\n';
}

// The whole screen, for windows that stand over others.
void saveScreen(const QString& folder, const QString& name)
{
    settle();
    QGuiApplication::primaryScreen()->grabWindow(0).save(
        QDir(folder).filePath(name + QStringLiteral(".png")));
}

// Lets the work the last click started on a worker end.
void waitWhileBusy(const app::MainWindow& window)
{
    while (window.isBusy())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

} // namespace

int main(int argc, char* argv[])
{
    // Qt's own file windows, which the program can fill in and answer.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    // Settings kept apart from the program's own (a remembered unit), under
    // an organization so that Qt can tell where they go.
    QCoreApplication::setOrganizationName(QStringLiteral("Pelmor"));
    application.setStyleSheet(ui::styleSheet());
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 3) {
        QTextStream(stderr)
            << "usage: pelmor-screenshots DOWNLOAD.rsx OUTPUT-FOLDER [--size WxH] [--compare LATER.rsx]\n";
        return 2;
    }
    QSize size(1366, 768);
    const qsizetype sizeAt = arguments.indexOf(QStringLiteral("--size"));
    if (sizeAt > 0 && sizeAt + 1 < arguments.size()) {
        const QStringList parts = arguments[sizeAt + 1].split(QLatin1Char('x'));
        size = QSize(parts.value(0).toInt(), parts.value(1).toInt());
    }
    const QString output = arguments[2];
    QDir().mkpath(output);

    QTemporaryDir folder;
    store::initDatabaseFolder(folder.path());
    QFile::copy(arguments[1], QDir(folder.path()).filePath(QStringLiteral("survey.rsx")));
    const qsizetype compareAt = arguments.indexOf(QStringLiteral("--compare"));
    const bool comparing = compareAt > 0 && compareAt + 1 < arguments.size();
    if (comparing)
        QFile::copy(arguments[compareAt + 1], QDir(folder.path()).filePath(QStringLiteral("later.rsx")));

    app::AppState state;
    state.databaseFolder = folder.path();
    SilentMessages messages;
    app::ProgramWindows windows(state, messages);
    windows.start();
    app::MainWindow& window = *windows.mainWindow();
    window.resize(size);
    window.show();
    save(window, output, QStringLiteral("1-import-start"));

    acquisition::LoadDataFile& files = window.importTab()->fileWindow();
    window.findChild<QPushButton*>(QStringLiteral("LoadRadarLogFile"))->click();
    files.fileNameBox()->setText(QStringLiteral("survey.rsx"));
    files.act();
    window.findChild<QLineEdit*>(QStringLiteral("Input_Location"))
        ->setText(QStringLiteral("Elm Street between 4th Avenue and 5th Avenue, school entrance"));
    window.findChild<QComboBox*>(QStringLiteral("Input_Direction"))->setCurrentText(QStringLiteral("North"));
    window.findChild<QComboBox*>(QStringLiteral("Input_Zone"))->setCurrentText(QStringLiteral("School"));
    save(window, output, QStringLiteral("2-import-loaded"));
    {
        // An open list with the pointer on its second item, as the screen shows it.
        auto* zone = window.findChild<QComboBox*>(QStringLiteral("Input_Zone"));
        zone->showPopup();
        QApplication::processEvents();
        QAbstractItemView* view = zone->view();
        QCursor::setPos(view->viewport()->mapToGlobal(view->visualRect(view->model()->index(1, 0)).center()));
        for (int i = 0; i < 20; ++i)
            QApplication::processEvents();
        saveScreen(output, QStringLiteral("2b-import-open-list"));
        zone->hidePopup();
    }

    window.findChild<QPushButton*>(QStringLiteral("ProcessToDatabase"))->click();
    waitWhileBusy(window);
    const QString batch =
        window.findChild<QWidget*>(QStringLiteral("Input_Batch_Number"))->property("text").toString();
    QString laterBatch;
    if (comparing) {
        // The later week, loaded and processed the same way.
        window.findChild<QPushButton*>(QStringLiteral("LoadRadarLogFile"))->click();
        files.fileNameBox()->setText(QStringLiteral("later.rsx"));
        files.act();
        window.findChild<QLineEdit*>(QStringLiteral("Input_Location"))
            ->setText(QStringLiteral("Elm Street between 4th Avenue and 5th Avenue, school entrance"));
        window.findChild<QComboBox*>(QStringLiteral("Input_Direction"))
            ->setCurrentText(QStringLiteral("North"));
        window.findChild<QComboBox*>(QStringLiteral("Input_Zone"))->setCurrentText(QStringLiteral("School"));
        window.findChild<QPushButton*>(QStringLiteral("ProcessToDatabase"))->click();
        waitWhileBusy(window);
        laterBatch =
            window.findChild<QWidget*>(QStringLiteral("Input_Batch_Number"))->property("text").toString();
    }
    window.tabs()->setCurrentIndex(1);
    window.reportsTab()->selectSurvey();
    waitWhileBusy(window);
    save(window, output, QStringLiteral("3-reports-list"));
    window.reportsTab()->chooseSurvey(batch);
    waitWhileBusy(window);
    save(window, output, QStringLiteral("4-reports-chosen"));
    window.findChild<QPushButton*>(QStringLiteral("cmdPrint"))->click();
    saveScreen(output, QStringLiteral("4b-report-window"));
    window.printControls()->reportWindow()->hide();

    window.tabs()->setCurrentIndex(2);
    window.findChild<QPushButton*>(QStringLiteral("PercentileGraph"))->click();
    save(window, output, QStringLiteral("5-graphs-percentile"));
    window.findChild<QPushButton*>(QStringLiteral("QuarterHourFlow"))->click();
    waitWhileBusy(window);
    save(window, output, QStringLiteral("6-graphs-flow"));

    window.tabs()->setCurrentIndex(3);
    save(window, output, QStringLiteral("7-admin"));
    for (int i = 4; i < window.tabs()->count(); ++i) {
        window.tabs()->setCurrentIndex(i);
        // The Speed Study tab works its study out on a worker first.
        waitWhileBusy(window);
        save(window, output, QStringLiteral("%1-tab-%2").arg(i + 4).arg(i));
    }
    {
        // The Speed Study tab with its hourly profile on show.
        window.tabs()->setCurrentWidget(window.studyTab());
        auto* tables = window.studyTab()->findChild<QTabWidget*>(QStringLiteral("StudyTables"));
        tables->setCurrentWidget(window.studyTab()->hourlyView());
        save(window, output, QStringLiteral("8a-tab-hourly"));
        tables->setCurrentIndex(0);
    }

    // The report window with the speed study report, the last entry the
    // report list had when this was written.
    window.tabs()->setCurrentIndex(1);
    auto* reportList = window.findChild<QComboBox*>(QStringLiteral("Print_choice"));
    reportList->setCurrentIndex(reportList->findText(QStringLiteral("Speed Study Report")));
    window.findChild<QPushButton*>(QStringLiteral("cmdPrint"))->click();
    window.printControls()->reportWindow()->waitUntilBuilt();
    settle();
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QLatin1String("VSPrint") && top->isVisible())
            save(*top, output, QStringLiteral("%1-report-window").arg(window.tabs()->count() + 4));
    }
    window.printControls()->reportWindow()->hide();

    if (comparing) {
        // The two weeks side by side on the Speed Study tab, then printed.
        window.tabs()->setCurrentWidget(window.studyTab());
        window.studyTab()->compareWith(laterBatch);
        waitWhileBusy(window);
        save(window, output, QStringLiteral("8b-tab-compare"));
        window.tabs()->setCurrentIndex(1);
        reportList->setCurrentIndex(reportList->findText(QStringLiteral("Before / After Comparison")));
        window.findChild<QPushButton*>(QStringLiteral("cmdPrint"))->click();
        window.printControls()->reportWindow()->waitUntilBuilt();
        settle();
        save(*window.printControls()->reportWindow(), output, QStringLiteral("8c-report-window-compare"));
        window.printControls()->reportWindow()->hide();
    }

    const qsizetype otherLogAt = arguments.indexOf(QStringLiteral("--other-log"));
    if (otherLogAt > 0 && otherLogAt + 1 < arguments.size()) {
        // The log named in the file window as soon as it opens, then read.
        window.tabs()->setCurrentIndex(0);
        QTimer poll;
        QObject::connect(
            &poll, &QTimer::timeout, [path = QFileInfo(arguments[otherLogAt + 1]).absoluteFilePath()] {
                // The whole path typed, as a user can, until the window takes it.
                for (QWidget* top : QApplication::topLevelWidgets()) {
                    auto* files = qobject_cast<QFileDialog*>(top);
                    auto* name =
                        files ? files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
                    if (name && files->isVisible()) {
                        name->setText(path);
                        QMetaObject::invokeMethod(files, "accept");
                    }
                }
            });
        poll.start(50);
        window.findChild<QPushButton*>(QStringLiteral("Import_Other_Log"))->click();
        const QPointer<logs::OtherLogDialog> log = window.importTab()->otherLogWindow();
        while (log && log->isReading())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (log) {
            settle();
            save(*log, output, QStringLiteral("2c-other-log"));
            log->continueWithLog();
            while (log && log->isReading())
                QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            settle();
            save(window, output, QStringLiteral("2d-other-log-header"));
        }
    }

    // The Database window, as it opens on the file.
    window.tabs()->setCurrentIndex(3);
    window.findChild<QPushButton*>(QStringLiteral("DatabaseChoice"))->click();
    settle();
    save(*windows.databaseChoiceWindow(), output, QStringLiteral("7b-database-choice"));
    windows.databaseChoiceWindow()->reject();
    {
        // The maintenance window as an officer sees it on the agency server.
        maintenance::MaintenanceWindow server(state.databaseFolder, messages);
        server.showServerMaintenance(false);
        server.present();
        settle();
        save(server, output, QStringLiteral("9c-maintenance-on-server"));
    }

    windows.openMaintenance();
    saveScreen(output, QStringLiteral("9-maintenance"));
    windows.openDeletion();
    saveScreen(output, QStringLiteral("9b-deletion"));
    windows.returnToProgram();
    return 0;
}
