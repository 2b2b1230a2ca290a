#include "AppUnderTest.h"
#include "SurveyFixture.h"
#include "app/ImportTab.h"
#include "app/ReportsTab.h"
#include "import/widgets/HeaderPanel.h"
#include "ui/MessageBoxes.h"
#include "ui/Style.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

#include <cmath>

using namespace pelmor;

namespace {

// The relative luminance of a colour and the contrast ratio of two, as
// readability guidelines measure them (4.5 is the least for normal text).
double luminance(const QColor& colour)
{
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colour a widget shows at a point, as drawn.
QColor drawnAt(QWidget* widget, const QPoint& point)
{
    return widget->grab().toImage().pixelColor(point);
}

} // namespace

// How the windows look where it matters to a user: the fields to fill in,
// the fields that cannot be edited, the message boxes and cut-off texts.
class TstLook : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { qApp->setStyleSheet(ui::styleSheet()); }
    void init()
    {
        m_app = std::make_unique<test::AppUnderTest>();
        m_app->start();
        m_app->state.downloadBuffer = QByteArray(300, '+');
        m_app->window->importTab()->processImportedData(); // the header panel comes up
    }
    void cleanup() { m_app.reset(); }
    void colouredListsAreFlatAndReadable_data()
    {
        QTest::addColumn<QString>("list");
        test::row("direction", "Input_Direction");
        test::row("zone", "Input_Zone");
        test::row("unit", "Combo1");
    }
    void colouredListsAreFlatAndReadable()
    {
        QFETCH(QString, list);
        auto* combo = m_app->ui.child<QComboBox>(list);
        combo->setCurrentIndex(0);
        // The light orange, the same from top to bottom: no gradient.
        const QColor fill(255, 224, 192);
        for (const int y : {3, combo->height() / 2, combo->height() - 4})
            QCOMPARE(drawnAt(combo, QPoint(3, y)), fill);

        // In the open list the current item stands out and its text can be read.
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        QTRY_VERIFY(view->isVisible());
        // The pointer rests on the second item.
        QTest::mouseMove(view->viewport(), view->visualRect(view->model()->index(1, 0)).center());
        QTRY_COMPARE(view->currentIndex().row(), 1);
        const QRect item =
            view->visualRect(view->currentIndex()).translated(view->viewport()->mapTo(view, QPoint(0, 0)));
        const QImage drawn = view->grab().toImage();
        const int right = std::min(item.right(), drawn.width() - 1) - 3;
        const QColor highlight = drawn.pixelColor(right, item.center().y());
        QColor darkest = highlight;
        for (int x = item.left(); x < right; ++x) {
            const QColor c = drawn.pixelColor(x, item.center().y());
            if (c.lightness() < darkest.lightness())
                darkest = c;
        }
        QVERIFY2(highlight != fill, qPrintable(highlight.name()));
        QVERIFY2(contrast(darkest, highlight) >= 4.5, qPrintable(darkest.name() + " on " + highlight.name()));
        const QRect other = view->visualRect(view->model()->index(0, 0))
                                .translated(view->viewport()->mapTo(view, QPoint(0, 0)));
        QCOMPARE(drawn.pixelColor(right, other.center().y()), fill);
        combo->hidePopup();
    }
    void displayOnlyFieldsLookReadOnly()
    {
        QWidget* panel = &m_app->window->importTab()->headerPanel();
        const QImage drawn = panel->grab().toImage();
        const auto inside = [panel](const char* name) {
            QWidget* field = panel->findChild<QWidget*>(name);
            return field->mapTo(panel, QPoint(4, field->height() / 2 + 5));
        };
        const QColor editable = drawn.pixelColor(inside("Input_Posted_Speed"));
        QCOMPARE(editable, QColor(Qt::white));
        for (const char* name :
             {"Input_Batch_Number", "Input_Location_Code", "Input_Start_Time", "Input_Batch_Date",
              "Input_Cutoff_Set", "Input_Alarm_Set", "Input_Min_Speed", "Input_Max_Speed"}) {
            // The background of what holds it, not the white of a box to type into.
            QWidget* field = panel->findChild<QWidget*>(name);
            const QPoint beside = field->mapTo(panel, QPoint(-2, field->height() / 2));
            QCOMPARE(drawn.pixelColor(inside(name)), drawn.pixelColor(beside));
            QVERIFY2(drawn.pixelColor(inside(name)) != editable, name);
        }
    }
    // The reports tab writes its counts with thousands separators, the rest
    // as stored, and says whose average "Avg Speed" is.
    void reportsTabCounts()
    {
        test::Survey survey;
        survey.summaryFields = {{"Total_Vehicles", "1000000"},
                                {"Number_Under", "12345"},
                                {"Over_26", "1675"},
                                {"Average_Speed", "1038.1"}};
        test::storeSurvey(m_app->folder.databasePath(), survey);
        m_app->window->tabs()->setCurrentWidget(m_app->window->reportsTab());
        m_app->chooseSurvey(survey.batchNumber);
        QApplication::processEvents();
        const QStringList shown{"Total_Veh", "Under_Limit", "Label73", "Avg_Speed"};
        QStringList texts;
        for (const QString& name : shown)
            texts << m_app->ui.text(name);
        QCOMPARE(texts, (QStringList{"1,000,000", "12,345", "1,675", "1038.1"}));
        auto* total = m_app->ui.child<QLabel>("Total_Veh");
        QVERIFY(total->contentsRect().width() >= total->fontMetrics().horizontalAdvance(total->text()));
        QCOMPARE(m_app->ui.text("Avg_Speed_OverCaption") + " " + m_app->ui.text("Avg_Speed_OverWhose"),
                 "Avg Speed over the limit");
        QVERIFY(m_app->ui.visible("Avg_Speed_OverWhose"));
    }
    void messagesKeepSentencesOnOneLine()
    {
        const QString texts[] = {
            "This data file has errors and cannot be processed - download another data file to process",
            "        Backup database does not exist\r\nYou must first create a backup of pelmor.mdb"};
        for (const QString& text : texts) {
            const auto box =
                ui::MessageBoxes::makeBox(text, "Pelmor", ui::Messages::Buttons::Ok, ui::Messages::Icon::None,
                                          QString(), m_app->window.get());
            box->show();
            QApplication::processEvents();
            auto* label = box->findChild<QLabel*>("qt_msgbox_label");
            QVERIFY(label);
            // Every line of these messages fits a screen: each stands whole on one line.
            for (const QString& line : QString(text).replace("\r\n", "\n").split('\n'))
                QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(line), qPrintable(line));
        }
        // The reason behind a fixed message waits behind "Show Details...".
        const auto detailed =
            ui::MessageBoxes::makeBox(texts[0], "Pelmor", ui::Messages::Buttons::Ok, ui::Messages::Icon::None,
                                      "disk full", m_app->window.get());
        QCOMPARE(detailed->detailedText(), "disk full");
    }
    void unitStandsLargeBesideTheProcessButton()
    {
        QWidget* window = m_app->window.get();
        auto* unit = m_app->ui.child<QLabel>("UnitShown");
        QWidget* process = m_app->ui.child("ProcessToDatabase");
        m_app->ui.child<QComboBox>("Combo1")->setCurrentText("KPH");
        QApplication::processEvents();
        QCOMPARE(unit->text(), "KPH");
        // Letters twice as tall as the button's, whole, on the button's row
        // and right of it.
        QVERIFY(QFontInfo(unit->font()).pixelSize() >= 2 * QFontInfo(process->font()).pixelSize());
        QVERIFY(unit->fontMetrics().horizontalAdvance(unit->text()) <= unit->contentsRect().width());
        const QRect unitRect(unit->mapTo(window, QPoint(0, 0)), unit->size());
        const QRect processRect(process->mapTo(window, QPoint(0, 0)), process->size());
        QVERIFY(unitRect.left() > processRect.right());
        QVERIFY(unitRect.top() <= processRect.center().y() && unitRect.bottom() >= processRect.center().y());
    }
    void cutTextsShowWhole_data()
    {
        QTest::addColumn<QString>("field");
        test::row("location typed", "Input_Location");
        test::row("batch number shown", "Input_Batch_Number");
    }
    void cutTextsShowWhole()
    {
        QFETCH(QString, field);
        QWidget* widget = m_app->ui.child(field);
        const QString longText = "Elm Street between 4th Avenue and 5th Avenue, at the school";
        widget->setProperty("text", longText);
        QVERIFY(ui::shownText(widget).cut);
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), widget->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(widget, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), longText);
        QToolTip::hideText();
        // A text that fits keeps the widget's own tooltip.
        widget->setProperty("text", "Elm");
        QVERIFY(!ui::shownText(widget).cut);
    }

    void cutListItemsShowWhole()
    {
        auto* list = m_app->ui.child<QListWidget>("AgencyList");
        const QString longName = "Springfield County Sheriff's Office, Traffic Safety Division";
        list->addItems({"Town Police", longName});
        const QPoint onShort = list->viewport()->mapTo(list, list->visualItemRect(list->item(0)).center());
        const QPoint onLong = list->viewport()->mapTo(list, list->visualItemRect(list->item(1)).center());
        QVERIFY(!ui::shownText(list, onShort).cut);
        const ui::ShownText shown = ui::shownText(list, onLong);
        QVERIFY(shown.cut);
        QCOMPARE(shown.text, longName);
    }

private:
    std::unique_ptr<test::AppUnderTest> m_app;
};
QTEST_MAIN(TstLook)
#include "tst_look.moc"
