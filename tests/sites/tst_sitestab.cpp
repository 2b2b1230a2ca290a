// The Sites tab in the main window: the sites read on a worker when the tab
// is shown, a site's history with its graphs, the ranking and its filters,
// the changes its buttons make, and the ranking saved as CSV.
#include "AppUnderTest.h"
#include "PdfText.h"
#include "SurveyFixture.h"
#include "app/PrintControls.h"
#include "app/SitesTab.h"
#include "reports/widgets/ReportWindow.h"
#include "ui/ChartView.h"
#include "worker/BackgroundTask.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <functional>

using namespace pelmor;

namespace {

test::Survey surveyAt(const char* batch, const char* location, const char* zone, const char* start, int speed)
{
    test::Survey survey;
    survey.batchNumber = QLatin1String(batch);
    survey.location = QLatin1String(location);
    survey.start = test::at(QLatin1String(start));
    survey.durationSeconds = 2 * 86400;
    survey.headerFields.insert(QStringLiteral("Direction"), QStringLiteral("North"));
    survey.headerFields.insert(QStringLiteral("Zone"), QLatin1String(zone));
    for (int i = 0; i < 300; ++i)
        survey.speeds.push_back(speed - 8 + i % 17);
    return survey;
}

} // namespace

class TstSitesTab : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_app = std::make_unique<test::AppUnderTest>();
        test::storeSurveys(m_app->folder.databasePath(),
                           {surveyAt("030126-A", "Elm Street", "School", "03/01/26 08:00", 33),
                            surveyAt("090126-A", "Elm St.", "School", "09/01/26 08:00", 29),
                            surveyAt("030226-A", "Elm  street", "School", "03/02/26 08:00", 36),
                            surveyAt("040126-A", "Ring Road", "Residential", "04/01/26 08:00", 44)});
        m_app->start();
    }
    void cleanup() { m_app.reset(); }

    // Shown, the tab reads the sites: Elm Street (written two ways) and
    // Elm St. and Ring Road; the first site's history and graphs show,
    // and the ranking puts Ring Road, the faster, first.
    void showsSitesHistoryAndRanking()
    {
        openTab();
        app::SitesTab* tab = m_app->window->sitesTab();
        QCOMPARE(table("SitesTable")->rowCount(), 3);
        QVERIFY(tab->history().has_value());
        QCOMPARE(tab->history()->rows.size(), size_t(2)); // 030126-A, then 030226-A
        QCOMPARE(table("SiteHistoryTable")->rowCount(), 2);
        QVERIFY(m_app->window->findChild<ui::ChartView*>(QStringLiteral("SiteSpeedGraph"))->hasGraph());
        QVERIFY(m_app->window->findChild<ui::ChartView*>(QStringLiteral("SiteVolumeGraph"))->hasGraph());
        QCOMPARE(tab->priorities().size(), size_t(3));
        QCOMPARE(tab->priorities().front().latestBatch, QStringLiteral("040126-A"));
        QCOMPARE(table("PrioritiesTable")->rowCount(), 3);

        // The zone filter keeps the sites whose latest survey is of it.
        auto* zone = m_app->window->findChild<QComboBox*>(QStringLiteral("PriorityZone"));
        zone->setCurrentIndex(zone->findText(QStringLiteral("School")));
        QCOMPARE(tab->priorities().size(), size_t(2));
        QCOMPARE(table("PrioritiesTable")->rowCount(), 2);
        // Any zone, up to the end of June: Elm Street's second March survey
        // is its latest, Elm St.'s September survey is left out.
        zone->setCurrentIndex(0);
        m_app->window->findChild<QDateEdit*>(QStringLiteral("PriorityUntil"))->setDate(QDate(2026, 6, 30));
        m_app->window->findChild<QCheckBox*>(QStringLiteral("PriorityUntilOn"))->setChecked(true);
        QStringList latest;
        for (const sites::Priority& priority : tab->priorities())
            latest << priority.latestBatch;
        QCOMPARE(latest, (QStringList{"040126-A", "030226-A"}));
    }

    // "Print..." shows the site's history and the ranking as the report
    // window builds them; saved as PDF, they read back.
    void printsBothDocuments_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("words");
        test::row("Site History", QStringLiteral("PrintSiteHistory"),
                  QStringList{"Site History: Elm Street, North (site 1)", "030126-A", "030226-A",
                              "Whether each change is more than chance"});
        test::row("Speeding Priorities", QStringLiteral("PrintPriorities"),
                  QStringList{"Where Speeding Is Worst", "Ring Road", "040126-A", "Elm St.", "090126-A"});
    }
    void printsBothDocuments()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, words);
        openTab();
        m_app->ui.click(button);
        reports::ReportWindow* report = m_app->window->printControls()->reportWindow();
        QTRY_VERIFY_WITH_TIMEOUT(report && report->document(), 30000);
        report->waitUntilBuilt();
        const QString pdf = m_app->folder.filePath(QStringLiteral("printed.pdf"));
        QSignalSpy saved(report, &reports::ReportWindow::pdfSaved);
        QVERIFY(report->saveAsPdf(pdf));
        QVERIFY(saved.count() == 1 || saved.wait(30000));
        report->hide();
        QString text;
        for (const test::PdfPage& page : test::readPdf(pdf))
            text += page.text() + QLatin1Char('\n');
        for (const QString& word : words)
            QVERIFY2(text.contains(word), qPrintable(word + QStringLiteral(" not in: ") + text));
        // Told once: where it was saved, and nothing went wrong.
        QCOMPARE(m_app->messages.texts().size(), 1);
        QVERIFY2(m_app->messages.last().startsWith(QLatin1String(QTest::currentDataTag()) +
                                                   QStringLiteral(" was saved as")),
                 qPrintable(m_app->messages.last()));
    }

    // A merge moves the surveys, a split gives a survey its own site back,
    // coordinates are kept; each is read back from the database.
    void changesAreStored()
    {
        openTab();
        app::SitesTab* tab = m_app->window->sitesTab();
        const qint64 elmStreet = tab->sites()[0].site.id;
        const qint64 elmSt = tab->sites()[1].site.id;
        QVERIFY(tab->chooseSite(elmSt));
        QCOMPARE(tab->mergeChosenSiteInto(elmStreet), QString());
        QTRY_VERIFY(!tab->task()->isRunning());
        QCOMPARE(tab->sites().size(), size_t(2));
        QCOMPARE(tab->history()->rows.size(), size_t(3));
        QCOMPARE(tab->history()->site.id, elmStreet);

        QCOMPARE(tab->splitSurveyOff(QStringLiteral("030226-A")), QString());
        QTRY_VERIFY(!tab->task()->isRunning());
        QCOMPARE(tab->sites().size(), size_t(3));
        QCOMPARE(tab->history()->rows.size(), size_t(1));

        // The coordinates dialog: a text that is no position, or a place off
        // the globe, is refused with what to type and offered again as typed;
        // a good one is kept.
        const QStringList typed{"north of town", "42.36 -180.5", "42.3601, -71.0589"};
        QStringList offered;
        std::function<void(int)> answer = [&](int n) {
            test::answerNextWindow([&, n](QDialog* dialog) {
                auto* box = dialog->findChild<QLineEdit*>();
                offered << box->text();
                box->setText(typed[n]);
                if (n + 1 < typed.size())
                    answer(n + 1);
                dialog->accept();
            });
        };
        answer(0);
        m_app->ui.click(QStringLiteral("PlaceSite"));
        QTRY_VERIFY(!tab->task()->isRunning());
        QCOMPARE(offered, (QStringList{"", "north of town", "42.36 -180.5"}));
        const QStringList told = m_app->messages.texts();
        QCOMPARE(told.size(), 2);
        QVERIFY2(told[0].startsWith(QStringLiteral("\"north of town\" is not a latitude and a longitude.")) &&
                     told[1].startsWith(QStringLiteral("The longitude \"-180.5\" is outside -180 to 180.")),
                 qPrintable(told.join(' ')));
        QCOMPARE(tab->history()->site.latitude.value_or(0), 42.3601);
        QCOMPARE(tab->history()->site.longitude.value_or(0), -71.0589);
    }

    // The ranking saved as CSV reads back with one line per site; a folder
    // that cannot be written is named.
    void exportsTheRanking()
    {
        openTab();
        app::SitesTab* tab = m_app->window->sitesTab();
        const QString path = m_app->folder.path() + QStringLiteral("/ranking.csv");
        QCOMPARE(tab->exportPriorities(path), QString());
        const QList<QByteArray> lines = test::fileBytes(path).trimmed().split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith("site,location,direction,latest_batch,posted_limit"));
        QVERIFY(lines[1].contains("040126-A"));
        const QString nowhere = m_app->folder.path() + QStringLiteral("/no such folder/ranking.csv");
        QVERIFY(tab->exportPriorities(nowhere).contains(QStringLiteral("no such folder")));
    }

private:
    // Shows the tab and waits until it has read the sites.
    void openTab()
    {
        app::SitesTab* tab = m_app->window->sitesTab();
        auto* tabs = m_app->window->findChild<QTabWidget*>();
        tabs->setCurrentWidget(tab);
        QTRY_VERIFY(!tab->task()->isRunning() && !tab->sites().empty());
    }
    QTableWidget* table(const char* name) const
    {
        return m_app->window->findChild<QTableWidget*>(QLatin1String(name));
    }

    std::unique_ptr<test::AppUnderTest> m_app;
};

QTEST_MAIN(TstSitesTab)
#include "tst_sitestab.moc"
