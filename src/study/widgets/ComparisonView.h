#pragma once

#include "compare/Comparison.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace pelmor::study {

class ChartView;

// Two surveys side by side on the Speed Study tab: which surveys they are,
// the warnings where they may not compare fairly (amber) or that they do
// (green), the change in one line, the figures of both with their changes,
// the verdicts of the three tests, and the two speed curves over each other.
class ComparisonView : public QWidget {
    Q_OBJECT
public:
    explicit ComparisonView(QWidget* parent = nullptr);

    void showComparison(const compare::Comparison& comparison);

    QLabel* heading() const { return m_heading; }
    QLabel* surveys() const { return m_surveys; }
    QLabel* warningBand() const { return m_warnings; }
    QLabel* headline() const { return m_headline; }
    QLabel* verdicts() const { return m_verdicts; }
    QTableWidget* figuresView() const { return m_figures; }
    ChartView* curveView() const { return m_curve; }
    QPushButton* endButton() const { return m_end; }

Q_SIGNALS:
    // "Back to the study" was pressed.
    void endRequested();

private:
    QLabel* m_heading = nullptr;
    QLabel* m_surveys = nullptr;
    QLabel* m_warnings = nullptr;
    QLabel* m_headline = nullptr;
    QLabel* m_verdicts = nullptr;
    QTableWidget* m_figures = nullptr;
    ChartView* m_curve = nullptr;
    QPushButton* m_end = nullptr;
};

} // namespace pelmor::study
