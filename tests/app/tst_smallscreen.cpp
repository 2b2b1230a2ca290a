// Every tab and every window on a 1024 x 768 screen, in each state a user
// brings it to: every visible window lies on the screen, every visible
// control inside its window and inside what holds it, no two named controls
// on one another, and no caption, button, frame title, tab or list shows less than its whole text.
#include "TestSupport.h"
#include "WindowProbe.h"
#include "acquisition/widgets/LoadDataFile.h"
#include "app/AppState.h"
#include "app/ImportTab.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "app/SitesTab.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"
#include "maintenance/widgets/DeletionWindow.h"
#include "maintenance/widgets/MaintenanceWindow.h"
#include "signsim/FdWriter.h"
#include "signsim/PtyPair.h"
#include "ui/Style.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSplitter>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>

#include <QDialog>

#include <memory>
#include <optional>

using namespace pelmor;

namespace {

// The room a window has on a 1024 x 768 screen: the height less a task bar
// of 40 pixels and the window's own title bar of 28.
const QSize kScreen(1024, 700);

// A location as long as officers type them: the one text a box may cut,
// as long as it shows the whole text on hover.
const QString kLongLocation = QStringLiteral("Elm Street between 4th Avenue and 5th Avenue, school entrance");

// A control as a reader of the failure finds it: its name, or its kind and
// the name of what holds it.
QString nameOf(const QWidget* widget)
{
    QString name = widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                                  : widget->objectName();
    if (widget->objectName().isEmpty() && widget->parentWidget())
        name += QStringLiteral(" in ") + nameOf(widget->parentWidget());
    return name;
}

// A text as a button or list shows it: "&&" is one "&", a single "&" marks
// the access key and is not shown.
QString shownCaption(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

// Whether the widget stands in the scrolled content of a scroll area: it
// may lie beyond the visible part, which scrolls to it.
bool inScrolledContent(const QWidget* widget)
{
    for (const QWidget* holder = widget->parentWidget(); holder; holder = holder->parentWidget()) {
        const auto* area = qobject_cast<const QAbstractScrollArea*>(holder->parentWidget());
        if (area && area->viewport() == holder)
            return true;
    }
    return false;
}

// What a label needs to show its whole text: width, then height.
QSize labelNeeds(const QLabel* label)
{
    const QFontMetrics metrics = label->fontMetrics();
    if (label->textFormat() != Qt::PlainText && Qt::mightBeRichText(label->text())) {
        QTextDocument document;
        document.setDefaultFont(label->font());
        document.setDocumentMargin(0);
        document.setHtml(label->text());
        return QSize(qCeil(document.idealWidth()), qCeil(document.size().height()));
    }
    const QStringList lines = label->text().split(QLatin1Char('\n'));
    int widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return QSize(widest, metrics.height() * int(lines.size()));
}

// Where a visible control shows less than its whole text.
QString cutText(QWidget* widget)
{
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->text().isEmpty() || (label->text() == kLongLocation && ui::showsFullTextWhenCut(label)))
            return QString();
        const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                          -label->margin());
        if (label->wordWrap())
            return label->heightForWidth(label->width()) > label->height() ? label->text() : QString();
        const QSize needs = labelNeeds(label);
        return needs.width() > room.width() + 1 || needs.height() > room.height() + 2 ? label->text()
                                                                                      : QString();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        if (button->text().isEmpty())
            return QString();
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        const QStyle::SubElement contents = qobject_cast<QCheckBox*>(button) ? QStyle::SE_CheckBoxContents
                                            : qobject_cast<QRadioButton*>(button)
                                                ? QStyle::SE_RadioButtonContents
                                                : QStyle::SE_PushButtonContents;
        const int room = button->style()->subElementRect(contents, &option, button).width();
        const int needs = button->fontMetrics().horizontalAdvance(shownCaption(button->text())) +
                          (button->icon().isNull() ? 0 : button->iconSize().width() + 4);
        return needs > room ? button->text() : QString();
    }
    if (auto* frame = qobject_cast<QGroupBox*>(widget))
        return frame->width() < frame->minimumSizeHint().width() ? frame->title() : QString();
    if (auto* tabs = qobject_cast<QTabBar*>(widget))
        return tabs->width() < tabs->sizeHint().width() ? QStringLiteral("the tabs") : QString();
    if (auto* list = qobject_cast<QComboBox*>(widget))
        return ui::shownText(list).cut ? list->currentText() : QString();
    return QString();
}

// What is out of place in a window: the window off the screen, a control
// outside its window or outside what holds it, a text cut.
QStringList faultsOf(QWidget* window)
{
    QStringList faults;
    const QString where = nameOf(window) + QStringLiteral(": ");
    const QRect screen = window->screen()->availableGeometry();
    if (!screen.contains(window->frameGeometry()))
        faults << where + QStringLiteral("the window at %1,%2 %3x%4 is off the screen")
                              .arg(window->x())
                              .arg(window->y())
                              .arg(window->frameGeometry().width())
                              .arg(window->frameGeometry().height());
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->isWindow() || !widget->isVisible())
            continue;
        const QString name = where + nameOf(widget);
        const QRect onWindow(widget->mapTo(window, QPoint(0, 0)), widget->size());
        const bool scrolled = inScrolledContent(widget);
        if (!scrolled && !window->rect().contains(onWindow))
            faults << name + QStringLiteral(" is off the window");
        const QWidget* holder = widget->parentWidget();
        const auto* area = qobject_cast<const QAbstractScrollArea*>(holder->parentWidget());
        const bool content = area && area->viewport() == holder;
        if (!content && !holder->rect().contains(widget->geometry()))
            faults << name + QStringLiteral(" lies outside ") + nameOf(holder);
        // Two named controls side by side share no pixel; Qt's own parts are
        // named "qt_...", and the progress strip stands over the tabs on purpose.
        const auto named = [](const QWidget* w) {
            return !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")) &&
                   w->objectName() != QLatin1String("ProgressStrip");
        };
        for (const QWidget* other : holder->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (other != widget && other->isVisible() && !other->isWindow() && named(widget) &&
                named(other) && other->geometry().intersects(widget->geometry()))
                faults << name + QStringLiteral(" lies on ") + other->objectName();
        }
        const QString cut = cutText(widget);
        if (!cut.isEmpty())
            faults << name + QStringLiteral(" cuts \"") + cut + QLatin1Char('"');
    }
    return faults;
}

// The faults of every window on show.
QStringList faultsOnScreen()
{
    QApplication::processEvents();
    QStringList faults;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = window->windowType();
        if (window->isVisible() && type != Qt::Popup && type != Qt::ToolTip)
            faults << faultsOf(window);
    }
    return faults;
}

// A day of the sign's log at location 00777, limit 035: 400 vehicles.
QByteArray dayLog()
{
    loggen::LogHeader header;
    header.startDate = QDate(2026, 3, 26);
    header.locationCode = "00777";
    loggen::SurveyProfile profile = loggen::profileForHeader(header);
    profile.exactCount = 400;
    return loggen::writeLog(header, loggen::generateVehicles(profile));
}

} // namespace

// The program's windows on a screen of that size, brought to each state by
// the clicks of a user; serial port 1 is a pseudo-terminal with the sign
// behind it, every other port number names a device that is not there.
class TstSmallScreen : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        QString error;
        m_pty = signsim::PtyPair::open(&error);
        QVERIFY2(m_pty, qPrintable(error));
        m_folder = std::make_unique<test::TempProgramFolder>();
        QVERIFY(QFile::copy(PELMOR_SAMPLES "/elm-street-2days.rsx", m_folder->filePath("elm.rsx")));
        m_state = std::make_unique<app::AppState>();
        m_state->databaseFolder = m_folder->path();
        m_state->portDevice = [this](int number) {
            return number == 1 ? m_pty->slavePath() : QStringLiteral("/dev/no-such-port-%1").arg(number);
        };
        m_windows = std::make_unique<app::ProgramWindows>(*m_state, m_messages);
        m_windows->start();
        // As large as the screen lets it be.
        window().resize(kScreen);
        QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry().size(), kScreen);
    }
    void cleanup()
    {
        m_dialogFaults.clear();
        m_windows.reset();
        m_pty.reset();
    }

    void everythingFits_data()
    {
        QTest::addColumn<QStringList>("steps");
        const auto add = [](const char* name, const QStringList& steps) {
            QTest::newRow(name) << steps;
        };
        add("import: start", {});
        add("import: port refused", {"port 2"});
        add("import: downloading", {"port 1", "send"});
        add("import: nothing received", {"port 1", "process"});
        add("import: download processed", {"port 1", "send", "process"});
        add("import: load window", {"load window"});
        add("import: file loaded", {"load", "long location"});
        add("import: header correction", {"load", "modify"});
        add("import: save window", {"load", "save window"});
        add("import: survey stored", {"load", "store"});
        add("reports: start", {"tab 1"});
        add("reports: survey list", {"load", "store", "tab 1", "list"});
        add("reports: survey chosen", {"load", "store", "tab 1", "choose"});
        add("reports: help windows", {"load", "store", "tab 1", "choose", "help"});
        add("reports: report window", {"load", "store", "tab 1", "choose", "print"});
        add("graphs: start", {"tab 2"});
        add("graphs: speed graph", {"load", "store", "tab 1", "choose", "tab 2", "speed graph"});
        add("graphs: flow grid", {"load", "store", "tab 1", "choose", "tab 2", "flow grid"});
        add("administration", {"tab 3"});
        add("administration: blank form", {"tab 3", "blank form"});
        add("speed study", {"load", "store", "tab 1", "choose", "tab 4"});
        add("speed study: compare with", {"load", "store", "tab 1", "choose", "tab 4", "compare"});
        add("sites: speeding priorities", {"load", "store", "tab 5", "priorities"});
        add("maintenance window", {"maintenance"});
        add("deletion window", {"load", "store", "maintenance", "deletion"});
    }
    void everythingFits()
    {
        QFETCH(QStringList, steps);
        for (const QString& step : steps)
            QVERIFY2(take(step), qPrintable(step));
        const QStringList faults = m_dialogFaults + faultsOnScreen();
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

private:
    app::MainWindow& window() const { return *m_windows->mainWindow(); }
    test::WindowProbe ui() const { return test::WindowProbe(m_windows->mainWindow()); }

    // One step a user takes; false when the program did not get where the
    // step leads.
    bool take(const QString& step)
    {
        // Steps that are one click on the main window.
        static const QHash<QString, QString> clicks{
            {"process", "ProcessImportedData"}, {"load window", "LoadRadarLogFile"},
            {"modify", "ModifyHeader"},         {"save window", "SaveRawData"},
            {"list", "SelectSurvey"},           {"print", "cmdPrint"},
            {"speed graph", "PercentileGraph"}, {"blank form", "Command20"}};
        if (clicks.contains(step)) {
            ui().click(clicks.value(step));
        } else if (step.startsWith(QLatin1String("tab "))) {
            window().tabs()->setCurrentIndex(step.mid(4).toInt());
            // A tab that works something out on show does it on a worker.
            return QTest::qWaitFor([this] { return !window().isBusy(); }, 60000);
        } else if (step.startsWith(QLatin1String("port "))) {
            ui().child<QRadioButton>(QStringLiteral("CommPort") + step.mid(5))->setChecked(true);
            ui().click("PortOK");
        } else if (step == QLatin1String("send")) {
            // In bursts, as the sign sends: each is read before the next.
            const QByteArray log = dayLog();
            QString error;
            for (qsizetype sent = 0; sent < log.size(); sent += 1024) {
                const QByteArray burst = log.mid(sent, 1024);
                if (!signsim::writeAll(m_pty->master(), burst.constData(), burst.size(), &error, 0) ||
                    !QTest::qWaitFor([&] { return m_state->downloadBuffer.size() == sent + burst.size(); }))
                    return false;
            }
        } else if (step == QLatin1String("load")) {
            ui().click("LoadRadarLogFile");
            acquisition::LoadDataFile& files = window().importTab()->fileWindow();
            files.fileNameBox()->setText(QStringLiteral("elm.rsx"));
            files.act();
            return window().importTab()->step() == app::ImportStep::FileLoaded;
        } else if (step == QLatin1String("long location")) {
            ui().child<QLineEdit>("Input_Location")->setText(kLongLocation);
        } else if (step == QLatin1String("store")) {
            ui().child<QLineEdit>("Input_Location")->setText(kLongLocation);
            ui().child<QComboBox>("Input_Direction")->setCurrentText(QStringLiteral("North"));
            ui().child<QComboBox>("Input_Zone")->setCurrentText(QStringLiteral("School"));
            QSignalSpy finished(window().importTab(), &app::ImportTab::importFinished);
            ui().click("ProcessToDatabase");
            if (!finished.wait(60000))
                return false;
            return m_messages.texts().join(QLatin1Char('\n')).contains(QStringLiteral("records added"));
        } else if (step == QLatin1String("choose")) {
            ui().click("SelectSurvey");
            return ui().clickItem("SurveyList", QStringLiteral("050326-A"));
        } else if (step == QLatin1String("help")) {
            ui().click("PaceHelp");
            ui().click("PercentileHelp");
        } else if (step == QLatin1String("flow grid")) {
            ui().click("QuarterHourFlow");
            return QTest::qWaitFor([this] { return !window().isBusy(); }, 60000);
        } else if (step == QLatin1String("compare")) {
            // The list of surveys to compare with waits for an answer: it is
            // looked at while it is up, then closed.
            auto looked = std::make_shared<bool>(false);
            test::answerNextWindow([this, looked](QDialog* dialog) {
                m_dialogFaults = faultsOnScreen();
                dialog->close();
                *looked = true;
            });
            ui().click("CompareWith");
            return QTest::qWaitFor([looked] { return *looked; }, 30000);
        } else if (step == QLatin1String("priorities")) {
            // Room for five sites, and the handle that shares the height out
            // standing apart from the tab around it.
            auto* table = ui().child<QTableWidget>("PrioritiesTable");
            auto* rows = ui().child<QSplitter>("SitesRows");
            QSplitterHandle* handle = rows->handle(1);
            const QImage tab = window().sitesTab()->grab().toImage();
            const QPoint edge = handle->mapTo(window().sitesTab(), QPoint(1, handle->height() / 2));
            return QTest::qWaitFor([table] { return table->rowCount() > 0; }) &&
                   table->viewport()->height() >= 5 * table->rowHeight(0) &&
                   tab.pixelColor(edge) != tab.pixelColor(edge - QPoint(4, 0));
        } else if (step == QLatin1String("maintenance")) {
            window().tabs()->setCurrentIndex(3);
            ui().click("DatabaseManagement");
            return QTest::qWaitFor([this] { return m_windows->maintenanceWindow() != nullptr; });
        } else if (step == QLatin1String("deletion")) {
            test::WindowProbe(m_windows->maintenanceWindow()).click("DeleteSurveys");
            return QTest::qWaitFor([this] { return m_windows->deletionWindow() != nullptr; }) &&
                   test::WindowProbe(m_windows->deletionWindow()).workDone();
        } else {
            return false;
        }
        QApplication::processEvents();
        return true;
    }

    std::optional<signsim::PtyPair> m_pty;
    std::unique_ptr<test::TempProgramFolder> m_folder;
    test::RecordingMessages m_messages;
    std::unique_ptr<app::AppState> m_state;
    std::unique_ptr<app::ProgramWindows> m_windows;
    // What was out of place in a window that waited for an answer.
    QStringList m_dialogFaults;
};

// The test runs on a screen of its own size: the offscreen platform reads
// its screens from a file given before the application starts.
int main(int argc, char* argv[])
{
    QTemporaryDir folder;
    const QString config = folder.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(QStringLiteral(R"({"windowFrameMargins": false, "screens": [{"name": "small", "x": 0, "y": 0,
                                  "width": %1, "height": %2, "logicalDpi": 96}]})")
                   .arg(kScreen.width())
                   .arg(kScreen.height())
                   .toUtf8());
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    QApplication application(argc, argv);
    application.setStyleSheet(ui::styleSheet());
    TstSmallScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_smallscreen.moc"
