#pragma once

#include "db/Database.h"
#include "reports/ReportChoice.h"
#include "sites/SiteTrends.h"

#include <QWidget>

#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;

namespace pelmor::ui {
class ChartView;
}
namespace pelmor::worker {
class BackgroundTask;
}

namespace pelmor::app {

// The "Sites" tab: every site the surveys were taken at, the history of the
// site chosen (its surveys in time order with their figures, the change
// from each survey to the next and two graphs), and the sites ranked by
// their speeders per day, filtered by zone, direction and date. The sites
// are read on a worker each time the tab is shown, after the surveys stored
// without figures get theirs. The chosen site can be merged into another,
// placed on the map by its coordinates, and a survey of it given a site of
// its own.
class SitesTab : public QWidget {
    Q_OBJECT
public:
    explicit SitesTab(QWidget* parent = nullptr);
    ~SitesTab() override;

    void setDatabase(const db::Database& database);
    // Reads the sites anew, on the worker; loaded() follows.
    void refresh();
    worker::BackgroundTask* task() const { return m_task; }

    const std::vector<sites::SiteSurveys>& sites() const { return m_sites; }
    // The history on show; none without a chosen site.
    const std::optional<sites::SiteHistory>& history() const { return m_history; }
    // The ranking on show, as filtered.
    const std::vector<sites::Priority>& priorities() const { return m_priorities; }
    sites::PriorityFilter filter() const;

    // Chooses the site with this id; false when there is none.
    bool chooseSite(qint64 siteId);
    // The changes the buttons make, once the user has chosen. Each runs on
    // the worker and reads the sites anew, loaded() following; the text
    // returned is why it was refused at once, a failure later is told
    // through failed().
    QString mergeChosenSiteInto(qint64 siteId);
    QString splitSurveyOff(const QString& batchNumber);
    QString placeChosenSite(double latitude, double longitude);
    // Writes the ranking on show as CSV; what went wrong, or an empty text.
    QString exportPriorities(const QString& path) const;

Q_SIGNALS:
    void loaded();
    void failed(const QString& message);
    void exported(const QString& message);
    // Document 10 of the chosen site, or document 11 as filtered.
    void printRequested(pelmor::reports::ReportChoice document, qint64 site,
                        const pelmor::sites::PriorityFilter& filter);
    void closeRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showSites();
    void showHistory();
    void showPriorities();
    void askMerge();
    void askSplit();
    void askCoordinates();
    void askAndExport();
    void showRead(std::vector<sites::SiteSurveys> sites, const QString& failure, qint64 chosen);
    // Runs `work`, which returns the site to choose or 0 when it refused,
    // then reads the sites; false while other work runs.
    bool change(std::function<qint64(store::SurveyStore&)> work, const QString& refusal, const QString& what);

    db::Database m_database;
    worker::BackgroundTask* m_task;
    std::vector<sites::SiteSurveys> m_sites;
    std::optional<sites::SiteHistory> m_history;
    std::vector<sites::Priority> m_priorities;
    qint64 m_chosen = 0;

    QLabel* m_status;
    QTableWidget* m_siteTable;
    QLabel* m_siteHeading;
    QTableWidget* m_historyTable;
    QLabel* m_historyNote;
    ui::ChartView* m_speedGraph;
    ui::ChartView* m_volumeGraph;
    QPushButton* m_merge;
    QPushButton* m_split;
    QPushButton* m_printHistory;
    QPushButton* m_printPriorities;
    QPushButton* m_place;
    QComboBox* m_zone;
    QComboBox* m_direction;
    QCheckBox* m_sinceOn;
    QDateEdit* m_since;
    QCheckBox* m_untilOn;
    QDateEdit* m_until;
    QTableWidget* m_priorityTable;
    QPushButton* m_export;
};

} // namespace pelmor::app
