#pragma once

#include "db/Database.h"
#include "survey/SurveyRecord.h"

#include <QHash>
#include <QString>
#include <QWidget>

#include <array>

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace pelmor::app {

class BoundViews;

// The "View / Print Reports" tab: the choice of the current survey, the
// survey's stored header and statistics, the agency and officer that the
// reports carry, and the choice of a report to print.
//
// At start only "Select Survey", the prompt and "Close" show. "Select Survey"
// lists the stored surveys; a click on one makes it the current survey: its
// Header and Summary rows are read into the survey record, which every value
// label, the band captions, the graphs, the breakdowns and the documents are
// drawn from, and both frames and the report controls show. Hidden frames
// keep their room, so nothing moves when they appear.
class ReportsTab : public QWidget {
    Q_OBJECT
public:
    ReportsTab(BoundViews& views, QWidget* parent = nullptr);

    // The survey database that "Select Survey" lists.
    void setDatabase(const db::Database& database) { m_database = database; }

    // "Select Survey": lists the batch numbers stored in the database.
    void selectSurvey();
    // A click on a listed survey: makes it the current survey and shows it.
    void chooseSurvey(const QString& batchNumber);

    // The current survey: its batch number is empty until one is chosen.
    const survey::SurveyRecord& currentSurvey() const { return m_survey; }

    QPushButton* selectSurveyButton() const { return m_selectSurvey; }
    QListWidget* surveyList() const { return m_surveyList; }
    QLabel* surveyPrompt() const { return m_surveyPrompt; }
    QGroupBox* surveyFrame() const { return m_surveyFrame; }
    QGroupBox* statisticsFrame() const { return m_statisticsFrame; }

    // The current survey's batch number ("BatchChoice"); empty until chosen.
    QLineEdit* batchChoice() const { return m_batchChoice; }
    // "Report Prepared For:" and "Report Prepared By:".
    QLineEdit* agencyBox() const { return m_agencyBox; }
    QLineEdit* officerBox() const { return m_officerBox; }

    // The unit of the shown survey ("radar_mode") and the over-limit band
    // heading and captions that follow it.
    QLabel* unitLabel() const { return m_unitLabel; }
    QLabel* bandHeading() const { return m_bandHeading; }
    const std::array<QLabel*, 6>& bandCaptions() const { return m_bandCaptions; }

    QComboBox* reportChoice() const { return m_reportChoice; }
    QPushButton* printButton() const { return m_printButton; }
    QPushButton* paceHelpButton() const { return m_paceHelp; }
    QPushButton* percentileHelpButton() const { return m_percentileHelp; }

    // A value label of the survey or statistics frame by its object name
    // ("Pace_Low", "Label73"); nullptr for a name the tab does not show.
    QLabel* valueLabel(const QString& name) const { return m_values.value(name); }

Q_SIGNALS:
    void closeRequested();
    // The database could not be read; the message names what failed.
    void failed(const QString& message);
    // Another survey became the current survey.
    void surveyChosen();

private:
    QWidget* buildSelectionPanel();
    QGroupBox* buildSurveyFrame();
    QGroupBox* buildStatisticsFrame();
    QLabel* addValue(QGridLayout* grid, int row, int column, const QString& caption, const QString& name);
    void showSurvey();

    BoundViews& m_views;
    db::Database m_database;
    survey::SurveyRecord m_survey;

    QHash<QString, QLabel*> m_values;
    QPushButton* m_selectSurvey = nullptr;
    QListWidget* m_surveyList = nullptr;
    QLabel* m_surveyPrompt = nullptr;
    QGroupBox* m_surveyFrame = nullptr;
    QGroupBox* m_statisticsFrame = nullptr;
    QLineEdit* m_batchChoice = nullptr;
    QLineEdit* m_agencyBox = nullptr;
    QLineEdit* m_officerBox = nullptr;
    QLabel* m_unitLabel = nullptr;
    QLabel* m_bandHeading = nullptr;
    std::array<QLabel*, 6> m_bandCaptions{};
    QComboBox* m_reportChoice = nullptr;
    QPushButton* m_printButton = nullptr;
    QPushButton* m_paceHelp = nullptr;
    QPushButton* m_percentileHelp = nullptr;
};

} // namespace pelmor::app
