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

namespace pelmor::session {
class CurrentSurvey;
}
namespace pelmor::worker {
class BackgroundTask;
}

namespace pelmor::app {

class ReportNames;

// The "View / Print Reports" tab: the choice of the current survey, the
// survey's stored header and statistics, the agency and officer that the
// reports carry, and the choice of a report to print. The chosen survey goes
// into the current-survey object, which the other tabs follow; the tab
// shows whatever survey that object holds.
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
    ReportsTab(ReportNames& names, session::CurrentSurvey& current, QWidget* parent = nullptr);

    // The survey database that "Select Survey" lists.
    void setDatabase(const db::Database& database) { m_database = database; }

    // "Select Survey": lists the batch numbers stored in the database,
    // read on the worker.
    void selectSurvey();
    // A click on a listed survey: makes it the current survey and shows it
    // once the worker has loaded it; a survey chosen meanwhile follows.
    void chooseSurvey(const QString& batchNumber);
    // Reads the list and the chosen survey off the window's thread.
    worker::BackgroundTask* task() const { return m_task; }

Q_SIGNALS:
    void closeRequested();
    // The database could not be read; the message names what failed.
    void failed(const QString& message);
    // "Print Selected Report", with the text the report list shows.
    void printRequested(const QString& listText);
    // The help buttons beside the pace and the 85th percentile.
    void paceHelpRequested();
    void percentileHelpRequested();

private:
    QWidget* buildSelectionPanel();
    QGroupBox* buildSurveyFrame();
    QGroupBox* buildStatisticsFrame();
    QLabel* addValue(QGridLayout* grid, int row, int column, const QString& caption, const QString& name);
    void showSurvey();
    void showChosen(const QString& batchNumber, survey::SurveyRecord record, const QString& failure);

    void showNames();

    ReportNames& m_names;
    session::CurrentSurvey& m_current;
    db::Database m_database;
    worker::BackgroundTask* m_task;
    // The survey chosen, or the list asked for, while other work of the
    // tab ran: it follows.
    QString m_nextChoice;
    bool m_listWanted = false;

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
    // Where the survey's vehicles came from, shown only for a survey read
    // from another device's log.
    QLabel* m_sourceCaption = nullptr;
    QLabel* m_source = nullptr;
    std::array<QLabel*, 6> m_bandCaptions{};
    QComboBox* m_reportChoice = nullptr;
    QPushButton* m_printButton = nullptr;
    QPushButton* m_paceHelp = nullptr;
    QPushButton* m_percentileHelp = nullptr;
};

} // namespace pelmor::app
