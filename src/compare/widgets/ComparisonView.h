#pragma once

#include "compare/Comparison.h"

#include <QWidget>

class QLabel;
class QTableWidget;

namespace pelmor::ui {
class ChartView;
}

namespace pelmor::compare {

// Two surveys side by side on the Speed Study tab, under the tab's heading:
// the warnings where they may not compare fairly (amber) or that they do
// (green), the change in one line, the figures of both with their changes,
// the verdicts of the three tests, and the two speed curves over each other.
class ComparisonView : public QWidget {
    Q_OBJECT
public:
    explicit ComparisonView(QWidget* parent = nullptr);

    void showComparison(const Comparison& comparison);

    QLabel* warningBand() const { return m_warnings; }
    QLabel* headline() const { return m_headline; }
    QLabel* verdicts() const { return m_verdicts; }
    QTableWidget* figuresView() const { return m_figures; }
    ui::ChartView* curveView() const { return m_curve; }

private:
    QLabel* m_warnings = nullptr;
    QLabel* m_headline = nullptr;
    QLabel* m_verdicts = nullptr;
    QTableWidget* m_figures = nullptr;
    ui::ChartView* m_curve = nullptr;
};

} // namespace pelmor::compare
