#include "study/widgets/ComparisonView.h"

#include "charts/LineGraphRenderer.h"
#include "compare/ComparisonGraph.h"
#include "compare/ComparisonTables.h"
#include "study/widgets/ChartView.h"
#include "study/widgets/TabParts.h"
#include "ui/Style.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace pelmor::study {

ComparisonView::ComparisonView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ComparisonView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    auto* top = new QHBoxLayout;
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    m_heading = ui::makeHeading(QString(), this, QStringLiteral("ComparisonHeading"));
    m_surveys = ui::makeCaption(QString(), this, QStringLiteral("ComparedSurveys"));
    m_surveys->setWordWrap(true);
    m_surveys->setTextInteractionFlags(Qt::TextSelectableByMouse);
    titles->addWidget(m_heading);
    titles->addWidget(m_surveys);
    top->addLayout(titles, 1);
    m_end = ui::makeButton(QStringLiteral("Back to the study"), QStringLiteral("EndComparison"), this);
    m_end->setToolTip(QStringLiteral("Show the speed study of the chosen survey alone again"));
    top->addWidget(m_end, 0, Qt::AlignTop);
    layout->addLayout(top);

    m_warnings = makeBand(QStringLiteral("ComparisonWarnings"), this);
    layout->addWidget(m_warnings);

    // The figures and verdicts at the left, the curves at the right.
    auto* columns = new QSplitter(Qt::Horizontal, this);
    columns->setObjectName(QStringLiteral("ComparisonColumns"));
    auto* left = new QWidget(columns);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    m_headline = new QLabel(left);
    m_headline->setObjectName(QStringLiteral("ComparisonHeadline"));
    m_headline->setWordWrap(true);
    QFont bold = m_headline->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    m_headline->setFont(bold);
    leftLayout->addWidget(m_headline);
    m_figures = makeTextTable(QStringLiteral("ComparisonFigures"), left);
    leftLayout->addWidget(m_figures, 1);
    m_verdicts = new QLabel(left);
    m_verdicts->setObjectName(QStringLiteral("ComparisonVerdicts"));
    m_verdicts->setWordWrap(true);
    m_verdicts->setTextFormat(Qt::RichText);
    m_verdicts->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_verdicts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    leftLayout->addWidget(m_verdicts);
    m_curve = new ChartView(QStringLiteral("ComparisonCurve"), columns);
    columns->addWidget(left);
    columns->addWidget(m_curve);
    columns->setStretchFactor(0, 9);
    columns->setStretchFactor(1, 11);
    layout->addWidget(columns, 1);

    connect(m_end, &QPushButton::clicked, this, &ComparisonView::endRequested);
}

void ComparisonView::showComparison(const compare::Comparison& comparison)
{
    m_heading->setText(compare::comparisonHeading(comparison));
    QStringList surveys{compare::surveyLine(comparison, true), compare::surveyLine(comparison, false)};
    if (!comparison.conversionNote.isEmpty())
        surveys << comparison.conversionNote;
    m_surveys->setText(surveys.join(QLatin1Char('\n')));

    if (comparison.warnings.empty()) {
        showBand(m_warnings, Band::Clean,
                 QStringLiteral("The two surveys can be compared fairly: same place, direction, limit, "
                                "length and days of the week."));
    } else {
        QStringList lines;
        for (const study::Warning& warning : comparison.warnings)
            lines << warning.text;
        showBand(m_warnings, Band::Warning,
                 bulletedHtml(QStringLiteral("These surveys may not compare fairly:"), lines));
    }
    m_headline->setText(comparison.headline);

    std::vector<QStringList> rows;
    for (const compare::ComparisonRow& row : compare::comparisonRows(comparison))
        rows.push_back({row.caption, row.a, row.b, row.change});
    fillTextTable(m_figures, compare::comparisonColumns(comparison), rows);
    m_figures->setMinimumWidth(fullWidth(m_figures));
    m_figures->setMaximumHeight(m_figures->horizontalHeader()->height() +
                                m_figures->verticalHeader()->defaultSectionSize() * m_figures->rowCount() +
                                2 * m_figures->frameWidth());

    QString html;
    for (const QString& line : compare::verdictLines(comparison))
        html +=
            QStringLiteral("<p style=\"margin-bottom:6px\">") + line.toHtmlEscaped() + QStringLiteral("</p>");
    m_verdicts->setText(html);

    const charts::LineGraph curve = compare::comparisonCurve(comparison);
    m_curve->setPainter([curve](QPainter& painter, const QSize& size) {
        charts::LineGraphRenderer(curve, size).paint(painter);
    });
}

} // namespace pelmor::study
