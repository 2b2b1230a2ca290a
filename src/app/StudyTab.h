#pragma once

#include "compare/Comparison.h"
#include "db/Database.h"
#include "study/SpeedStudy.h"
#include "survey/SurveyRecord.h"

#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTableWidget;
class QTabWidget;

namespace pelmor::ui {
class ChartView;
}
namespace pelmor::compare {
class ComparisonView;
}

namespace pelmor::worker {
class BackgroundTask;
}

namespace pelmor::app {

// The "Speed Study" tab: the measured figures of the survey chosen on the
// reports tab, by direction, with the data-quality warnings in a coloured
// band above them, the hourly profile and the speed bins, the cumulative
// speed distribution and the weekly heat map, the enforcement threshold and
// "Export CSV...". The study is worked out when the tab is on show for a
// survey it has not shown yet; until a survey is chosen only a prompt shows.
// "Compare with..." sets another stored survey beside it, in place of the
// study and under a heading of its own, until "Back to the study" is
// pressed or another survey is chosen.
class StudyTab : public QWidget {
    Q_OBJECT
public:
    explicit StudyTab(QWidget* parent = nullptr);
    ~StudyTab() override;

    void setDatabase(const db::Database& database) { m_database = database; }
    // The survey to study: worked out at once when the tab is on show, else
    // the next time it is shown.
    void setSurvey(const survey::SurveyRecord& survey);
    // Works the study out now, on a worker: the tab shows it once it is
    // done, and choicesChanged() follows.
    void refresh();
    // Whether a study or a comparison is being worked out now.
    bool isWorking() const;
    // The worker the study and the comparison are worked out on.
    worker::BackgroundTask* task() const { return m_task; }

    // The study on show; none before a survey is chosen or when it failed.
    const std::optional<study::SpeedStudy>& study() const { return m_study; }

    // Writes the study on show into a CSV file; what went wrong, or an
    // empty text.
    QString exportCsv(const QString& path) const;

    // Sets the survey with this batch number beside the one on show, as
    // "Compare with..." does once a survey is picked: the comparison is
    // worked out on the worker and comparisonEnded() follows, after
    // failed() when there is no comparison. False, and nothing started,
    // without a study on show or while other work runs.
    bool compareWith(const QString& batchNumber);
    // Back to the study of the survey on show alone.
    void endComparison();
    // The comparison on show; none while the study alone shows.
    const std::optional<compare::Comparison>& comparison() const { return m_comparison; }

    QLabel* heading() const { return m_heading; }
    QLabel* period() const { return m_period; }
    // Says that the figures are measured and the reports tab's estimated.
    QLabel* estimateNote() const { return m_estimateNote; }
    QLabel* prompt() const { return m_prompt; }
    QLabel* warningBand() const { return m_warnings; }
    QSpinBox* thresholdBox() const { return m_threshold; }
    QPushButton* exportButton() const { return m_export; }
    QPushButton* compareButton() const { return m_compare; }
    QPushButton* endComparisonButton() const { return m_endComparison; }
    compare::ComparisonView* comparisonView() const { return m_comparisonView; }
    QTableWidget* figuresView() const { return m_figures; }
    QTableWidget* hourlyView() const { return m_hourly; }
    QTableWidget* binView() const { return m_bins; }
    ui::ChartView* speedCurveView() const { return m_curve; }
    ui::ChartView* heatMapView() const { return m_heatMap; }

Q_SIGNALS:
    // The study on show, its threshold or the comparison on show changed.
    void choicesChanged();
    // An export failed; the message says why.
    void failed(const QString& message);
    // A comparison asked for has ended: shown, failed or cancelled.
    void comparisonEnded(bool shown);
    // "Close" was pressed: the program is to end.
    void closeRequested();
    // An export was written; the message says where.
    void exported(const QString& message);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildTables();
    void showStudy();
    void showHeading();
    void showFigures();
    void showWarnings(const QString& failure);
    void askAndExport();
    void askAndCompare();
    void showMode();
    // A study has been worked out, or failed with `failure`.
    void showResult(const QString& failure);

    db::Database m_database;
    survey::SurveyRecord m_survey;
    std::optional<study::SpeedStudy> m_study;
    std::optional<compare::Comparison> m_comparison;
    bool m_stale = false;
    // Runs the study off the window's thread; another survey chosen
    // meanwhile has its study worked out once this one ends.
    worker::BackgroundTask* m_task;
    bool m_rerun = false;

    QLabel* m_heading = nullptr;
    QLabel* m_period = nullptr;
    QLabel* m_estimateNote = nullptr;
    QLabel* m_prompt = nullptr;
    QLabel* m_warnings = nullptr;
    QSpinBox* m_threshold = nullptr;
    QLabel* m_thresholdCaption = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_compare = nullptr;
    QPushButton* m_endComparison = nullptr;
    compare::ComparisonView* m_comparisonView = nullptr;
    QWidget* m_body = nullptr;
    QSplitter* m_columns = nullptr;
    QWidget* m_figuresFrame = nullptr;
    QTabWidget* m_tables = nullptr;
    QTableWidget* m_figures = nullptr;
    QLabel* m_percentileNote = nullptr;
    QTableWidget* m_hourly = nullptr;
    QTableWidget* m_bins = nullptr;
    ui::ChartView* m_curve = nullptr;
    ui::ChartView* m_heatMap = nullptr;
};

} // namespace pelmor::app
