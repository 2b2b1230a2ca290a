// "Compare with..." on the Speed Study tab, worked the way a user works it:
// the survey chosen on the reports tab, the second one picked from the list
// of stored surveys, the comparison read off the tab, and back.
#include "AppUnderTest.h"
#include "CompareFixture.h"
#include "app/ReportsTab.h"
#include "app/StudyTab.h"
#include "charts/LineGraphRenderer.h"
#include "compare/ComparisonGraph.h"
#include "compare/ComparisonTables.h"
#include "compare/widgets/ComparisonView.h"
#include "ui/ChartView.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace pelmor;
using test::answerNextWindow;

namespace {

const QString kBefore = QStringLiteral("030226-A");
const QString kAfter = QStringLiteral("030926-A");
const QString kElsewhere = QStringLiteral("031626-A");

// Whether a pixel within `reach` of a point has about the colour.
bool colourNear(const QImage& image, QPointF point, const QColor& colour, int reach = 3)
{
    for (int dx = -reach; dx <= reach; ++dx) {
        for (int dy = -reach; dy <= reach; ++dy) {
            const QPoint at(qRound(point.x()) + dx, qRound(point.y()) + dy);
            if (!image.rect().contains(at))
                continue;
            const QColor found = image.pixelColor(at);
            if (std::abs(found.red() - colour.red()) + std::abs(found.green() - colour.green()) +
                    std::abs(found.blue() - colour.blue()) <
                40)
                return true;
        }
    }
    return false;
}

} // namespace

class TstCompareTab : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_app = std::make_unique<test::AppUnderTest>(); }
    void cleanup() { m_app.reset(); }

    // The list holds every other stored survey; a pick by the button or by
    // a double click sets it beside the chosen one, Cancel sets none.
    void compareWithPicksAStoredSurvey_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("picked"); // empty: none
        test::row("Compare", "button", kAfter);
        test::row("double click", "double click", kElsewhere);
        test::row("Cancel", "cancel", "");
    }
    void compareWithPicksAStoredSurvey()
    {
        QFETCH(QString, how);
        QFETCH(QString, picked);
        storeSurveys();
        app::StudyTab* tab = openStudyOf(kBefore);
        QStringList listed;
        QString seen;
        bool okAtFirst = true;
        answerNextWindow(
            [&](QDialog* dialog) {
                auto* list = dialog->findChild<QListWidget*>(QStringLiteral("CompareWithList"));
                auto* buttons = dialog->findChild<QDialogButtonBox*>();
                for (int i = 0; i < list->count(); ++i)
                    listed << list->item(i)->text();
                okAtFirst = buttons->button(QDialogButtonBox::Ok)->isEnabled();
                QListWidgetItem* item = list->findItems(picked, Qt::MatchStartsWith).value(0);
                if (how == QLatin1String("cancel") || !item) {
                    buttons->button(QDialogButtonBox::Cancel)->click();
                    return;
                }
                const QRect box = list->visualItemRect(item);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
                if (how == QLatin1String("double click"))
                    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, box.center());
                else
                    buttons->button(QDialogButtonBox::Ok)->click();
            },
            &seen);
        m_app->ui.click(QStringLiteral("CompareWith"));
        QTRY_COMPARE(seen, QStringLiteral("CompareWithDialog"));
        QVERIFY(!okAtFirst); // nothing picked yet
        QCOMPARE(
            listed,
            (QStringList{kAfter + QStringLiteral("  Elm Street, North, 03/09/2026, 3,000 vehicles"),
                         kElsewhere + QStringLiteral("  Oak Avenue, North, 03/16/2026, 3,000 vehicles")}));
        QTRY_VERIFY(!tab->isWorking());
        const test::WindowProbe probe(tab);
        if (picked.isEmpty()) {
            QVERIFY(!tab->comparison());
            QVERIFY(probe.visible(QStringLiteral("SiteFigures")) &&
                    !probe.visible(QStringLiteral("ComparisonView")));
            return;
        }
        QVERIFY(tab->comparison());
        QCOMPARE(tab->comparison()->b.study.batchNumber, picked);
        QVERIFY(m_app->messages.shown().empty());
    }

    // The comparison in place of the study: both surveys named, the
    // figures, the change in one line, the verdicts, the warnings, and the
    // two curves over each other, each where its figures put it. "Back to
    // the study", or another survey chosen on the reports tab, ends it.
    void showsTheComparison_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<bool>("fair");
        QTest::addColumn<bool>("endByButton");
        test::row("the week after", kAfter, "Elm Street: before and after", true, true);
        test::row("another street", kElsewhere, "Surveys 030226-A and 031626-A compared", false, false);
    }
    void showsTheComparison()
    {
        QFETCH(QString, second);
        QFETCH(QString, heading);
        QFETCH(bool, fair);
        QFETCH(bool, endByButton);
        storeSurveys();
        app::StudyTab* tab = openStudyOf(kBefore);
        QVERIFY(tab->compareWith(second));
        QTRY_VERIFY(!tab->isWorking());
        const compare::Comparison& c = *tab->comparison();
        const test::WindowProbe probe(tab);
        for (const char* shown : {"ComparisonView", "ComparisonFigures", "ComparisonCurve",
                                  "ComparisonWarnings", "EndComparison", "CompareWith", "StudyHeading"})
            QVERIFY2(probe.visible(QLatin1String(shown)), shown);
        for (const char* hidden : {"SiteFigures", "StudyWarnings", "EnforcementThreshold", "ExportStudyCsv"})
            QVERIFY2(!probe.visible(QLatin1String(hidden)), hidden);
        QCOMPARE(tab->heading()->text(), heading);
        QCOMPARE(tab->period()->text(), compare::surveyLine(c, true) + QLatin1Char('\n') +
                                            compare::surveyLine(c, false) +
                                            QStringLiteral("\nBoth surveys measured speeds in mph."));

        const compare::ComparisonView* view = tab->comparisonView();
        std::vector<QStringList> rows;
        for (const compare::ComparisonRow& row : compare::comparisonRows(c))
            rows.push_back({row.caption, row.a, row.b, row.change});
        QCOMPARE(test::tableTexts(view->figuresView()), rows);
        // The title stacked over its column.
        QCOMPARE(view->figuresView()->horizontalHeaderItem(1)->text().simplified(),
                 compare::comparisonColumns(c).at(1));
        QCOMPARE(view->headline()->text(), c.headline);
        QVERIFY(c.headline.startsWith(QStringLiteral("85th percentile down ")));
        const QString verdicts = view->verdicts()->text();
        for (const QString& line : compare::verdictLines(c))
            QVERIFY2(verdicts.contains(line.mid(line.indexOf(QLatin1Char(':')) + 1).toHtmlEscaped()),
                     qPrintable(line));
        const QString band = view->warningBand()->text();
        QCOMPARE(c.warnings.empty(), fair);
        if (fair)
            QCOMPARE(band, compare::fairComparisonNote());
        for (const study::Warning& warning : c.warnings)
            QVERIFY2(band.contains(warning.text.toHtmlEscaped()), qPrintable(band));

        // The curves as drawn: each line in its colour at its 85th percentile.
        const QSize size(900, 600);
        const QImage drawn = view->curveView()->image(size);
        const charts::LineGraph graph = compare::comparisonCurve(c);
        const charts::LineGraphRenderer layout(graph, size);
        QCOMPARE(graph.series.size(), size_t(2));
        QVERIFY(graph.series[0].colour != graph.series[1].colour);
        QVERIFY(graph.series[0].style != graph.series[1].style); // apart in black and white too
        QVERIFY(colourNear(drawn, layout.toPixel(c.a.figures.percentile85, 85.0), graph.series[0].colour));
        QVERIFY(colourNear(drawn, layout.toPixel(c.b.figures.percentile85, 85.0), graph.series[1].colour));
        QVERIFY(
            !colourNear(drawn, layout.toPixel(c.a.figures.percentile85 - 4, 85.0), graph.series[0].colour));
        QVERIFY(m_app->messages.shown().empty());

        if (endByButton)
            m_app->ui.click(QStringLiteral("EndComparison"));
        else
            m_app->chooseSurvey(kAfter);
        QTRY_VERIFY(!m_app->window->isBusy());
        QVERIFY(!tab->comparison());
        QVERIFY(probe.visible(QStringLiteral("SiteFigures")) &&
                probe.visible(QStringLiteral("ExportStudyCsv")));
        QVERIFY(!probe.visible(QStringLiteral("ComparisonView")) &&
                !probe.visible(QStringLiteral("EndComparison")));
        const QString shown = endByButton ? kBefore : kAfter;
        QCOMPARE(tab->heading()->text(), QStringLiteral("Elm Street: Speed study of survey ") + shown);
        QVERIFY(tab->period()->text().startsWith(QStringLiteral("Posted limit 35 mph, ")));
        QCOMPARE(tab->study()->batchNumber, shown);
    }

    // The lines that name both surveys wrap within the tab on a small
    // screen: every word in view, none forcing the window wider.
    void longSurveyNamesWrap()
    {
        const QString street =
            QStringLiteral("Elm Street between 4th Avenue and 5th Avenue, school entrance");
        test::Survey before =
            test::streetSurvey(kBefore, test::normalSpeeds(300, 38, 6, 41), test::firstMonday(), 7);
        test::Survey after =
            test::streetSurvey(kAfter, test::normalSpeeds(300, 35, 6, 42), test::firstMonday().addDays(7), 7);
        before.location = after.location = street;
        test::storeSurveys(m_app->folder.databasePath(), {before, after});
        app::StudyTab* tab = openStudyOf(kBefore);
        QVERIFY(tab->compareWith(kAfter));
        QTRY_VERIFY(!tab->isWorking());
        m_app->window->resize(1024, 768);
        QApplication::processEvents();
        for (QLabel* label : {tab->heading(), tab->period()}) {
            QVERIFY2(label->text().contains(street), qPrintable(label->text()));
            QVERIFY2(label->minimumSizeHint().width() < 600, qPrintable(label->objectName()));
            const QRect room = label->contentsRect();
            const QRect needed = label->fontMetrics().boundingRect(
                QRect(0, 0, room.width(), 100000), label->wordWrap() ? Qt::TextWordWrap : 0, label->text());
            QVERIFY2(needed.width() <= room.width() && needed.height() <= room.height(),
                     qPrintable(label->objectName()));
        }
    }

    // With no other survey stored the window says so; nothing to pick.
    void nothingToCompareWith()
    {
        m_app->start();
        app::StudyTab* tab = m_app->window->studyTab();
        QVERIFY(!tab->compareButton()->isEnabled()); // no survey chosen yet
        test::storeSurvey(
            m_app->folder.databasePath(),
            test::streetSurvey(kBefore, test::normalSpeeds(300, 38, 6, 1), test::firstMonday(), 7));
        m_app->chooseSurvey(kBefore);
        m_app->window->tabs()->setCurrentWidget(tab);
        QTRY_VERIFY(!m_app->window->isBusy());
        QVERIFY(tab->compareButton()->isEnabled());
        QString note, seen;
        bool listEnabled = true;
        answerNextWindow(
            [&](QDialog* dialog) {
                note = dialog->findChild<QLabel*>(QStringLiteral("CompareWithNote"))->text();
                listEnabled = dialog->findChild<QListWidget*>(QStringLiteral("CompareWithList"))->isEnabled();
                dialog->reject();
            },
            &seen);
        m_app->ui.click(QStringLiteral("CompareWith"));
        QTRY_COMPARE(seen, QStringLiteral("CompareWithDialog"));
        QCOMPARE(note, QStringLiteral("No other survey is stored. Import the survey to compare with survey "
                                      "030226-A first."));
        QVERIFY(!listEnabled);
        QVERIFY(!tab->comparison());
    }

    // A survey that cannot be compared: the message says why, the study stays.
    void failedComparison()
    {
        storeSurveys();
        test::storeSurvey(m_app->folder.databasePath(),
                          test::streetSurvey(QStringLiteral("EMPTY"), QList<int>{}, test::firstMonday(), 1));
        app::StudyTab* tab = openStudyOf(kBefore);
        QSignalSpy ended(tab, &app::StudyTab::comparisonEnded);
        QVERIFY(tab->compareWith(QStringLiteral("EMPTY")));
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(ended.at(0).at(0).toBool(), false);
        QCOMPARE(m_app->messages.texts(),
                 QStringList{QStringLiteral("Survey EMPTY: ") + survey::noSurveyMessage()});
        QCOMPARE(m_app->messages.shown().back().icon, ui::Messages::Icon::Critical);
        QVERIFY(!tab->comparison());
        QVERIFY(test::WindowProbe(tab).visible(QStringLiteral("SiteFigures")));
    }

private:
    // Elm Street for a week, then a week with speeds 3 mph lower; Oak
    // Avenue the week after that.
    void storeSurveys()
    {
        const QString path = m_app->folder.databasePath();
        test::storeSurvey(
            path, test::streetSurvey(kBefore, test::normalSpeeds(3000, 38, 6, 41), test::firstMonday(), 7));
        test::storeSurvey(path, test::streetSurvey(kAfter, test::normalSpeeds(3000, 35, 6, 42),
                                                   test::firstMonday().addDays(7), 7));
        test::Survey elsewhere = test::streetSurvey(kElsewhere, test::normalSpeeds(3000, 33, 5, 43),
                                                    test::firstMonday().addDays(14), 7);
        elsewhere.location = QStringLiteral("Oak Avenue");
        test::storeSurvey(path, elsewhere);
    }

    // The main window with the survey chosen and the Speed Study tab on show.
    app::StudyTab* openStudyOf(const QString& batch)
    {
        m_app->start();
        m_app->chooseSurvey(batch);
        app::StudyTab* tab = m_app->window->studyTab();
        m_app->window->tabs()->setCurrentWidget(tab);
        // The study is worked out on a worker.
        if (!QTest::qWaitFor([this] { return !m_app->window->isBusy(); }, 30000))
            qFatal("The study of survey %s was not worked out within 30 seconds", qPrintable(batch));
        return tab;
    }

    std::unique_ptr<test::AppUnderTest> m_app;
};

QTEST_MAIN(TstCompareTab)
#include "tst_comparetab.moc"
