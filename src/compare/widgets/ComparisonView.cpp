#include "compare/widgets/ComparisonView.h"

#include "charts/LineGraphRenderer.h"
#include "compare/ComparisonGraph.h"
#include "compare/ComparisonTables.h"
#include "ui/ChartView.h"
#include "ui/Style.h"
#include "ui/TabParts.h"

#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace pelmor::compare {

using namespace pelmor::study;
using namespace pelmor::ui;

ComparisonView::ComparisonView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ComparisonView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

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
    m_headline->setStyleSheet(QStringLiteral("QLabel { font-size: 11pt; font-weight: bold; color: #1f3a5f; "
                                             "padding: 2px 0px 4px 0px; }"));
    leftLayout->addWidget(m_headline);
    m_figures = makeTextTable(QStringLiteral("ComparisonFigures"), left);
    leftLayout->addWidget(m_figures);
    m_verdicts = new QLabel(left);
    m_verdicts->setObjectName(QStringLiteral("ComparisonVerdicts"));
    m_verdicts->setWordWrap(true);
    m_verdicts->setTextFormat(Qt::RichText);
    m_verdicts->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_verdicts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    leftLayout->addWidget(m_verdicts);
    leftLayout->addStretch(1);
    m_curve = new ChartView(QStringLiteral("ComparisonCurve"), columns);
    columns->addWidget(left);
    columns->addWidget(m_curve);
    columns->setStretchFactor(0, 9);
    columns->setStretchFactor(1, 11);
    layout->addWidget(columns, 1);
}

void ComparisonView::showComparison(const compare::Comparison& comparison)
{
    if (comparison.warnings.empty()) {
        showBand(m_warnings, Band::Clean, compare::fairComparisonNote());
    } else {
        QStringList lines;
        for (const study::Warning& warning : comparison.warnings)
            lines << warning.text;
        showBand(m_warnings, Band::Warning, bulletedHtml(compare::unfairComparisonHeading(), lines));
    }
    m_headline->setText(comparison.headline);

    std::vector<QStringList> rows;
    for (const compare::ComparisonRow& row : compare::comparisonRows(comparison))
        rows.push_back({row.caption, row.a, row.b, row.change});
    fillTextTable(m_figures, compare::comparisonColumns(comparison), rows);
    m_figures->setMinimumWidth(fullWidth(m_figures));
    // Every row in view: the table is as tall as its rows.
    m_figures->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_figures->setFixedHeight(m_figures->horizontalHeader()->sizeHint().height() +
                              m_figures->verticalHeader()->defaultSectionSize() * m_figures->rowCount() +
                              2 * m_figures->frameWidth());

    QString html;
    // Each verdict's first words, up to its colon, in bold.
    for (const QString& line : compare::verdictLines(comparison)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':')) + 1;
        html += QStringLiteral("<p style=\"margin-bottom:6px\"><b>%1</b>%2</p>")
                    .arg(line.left(colon).toHtmlEscaped(), line.mid(colon).toHtmlEscaped());
    }
    m_verdicts->setText(html);

    const charts::LineGraph curve = compare::comparisonCurve(comparison);
    m_curve->setPainter([curve](QPainter& painter, const QSize& size) {
        charts::LineGraphRenderer(curve, size).paint(painter);
    });
}

} // namespace pelmor::compare
