#include "study/widgets/StudyTab.h"

#include "charts/HeatMapRenderer.h"
#include "charts/LineGraphRenderer.h"
#include "csv/TableExport.h"
#include "study/StudyExport.h"
#include "study/StudyGraphs.h"
#include "study/StudyTables.h"
#include "study/widgets/ChartView.h"
#include "study/widgets/CsvFileDialog.h"
#include "ui/BusyCursor.h"
#include "ui/Style.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace pelmor::study {
namespace {

// The band over the figures: amber with the warnings, green without.
const char* const kWarningStyle =
    "QLabel { background: #fff3cd; color: #5c4400; border: 1px solid #e0b000; padding: 6px 8px; }";
const char* const kCleanStyle =
    "QLabel { background: #e3f4e6; color: #1d5a2c; border: 1px solid #8cc79a; padding: 6px 8px; }";
const char* const kFailureStyle =
    "QLabel { background: #fbe3e3; color: #7a1010; border: 1px solid #d88; padding: 6px 8px; }";

// The most warnings the band lists.
constexpr qsizetype kBandLines = 6;

QTableWidget* makeTable(const QString& objectName, QWidget* parent)
{
    auto* table = new QTableWidget(parent);
    table->setObjectName(objectName);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setAlternatingRowColors(true);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setHighlightSections(false);
    table->setWordWrap(false);
    return table;
}

// Fills a table with texts: the first column left-aligned, numbers right.
void fill(QTableWidget* table, const QStringList& columns, const std::vector<QStringList>& rows)
{
    table->clear();
    table->setColumnCount(int(columns.size()));
    table->setRowCount(int(rows.size()));
    table->setHorizontalHeaderLabels(columns);
    for (int row = 0; row < int(rows.size()); ++row) {
        for (int column = 0; column < int(rows[size_t(row)].size()); ++column) {
            auto* item = new QTableWidgetItem(rows[size_t(row)][column]);
            item->setTextAlignment(Qt::AlignVCenter | (column == 0 ? Qt::AlignLeft : Qt::AlignRight));
            table->setItem(row, column, item);
        }
    }
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->resizeColumnsToContents();
}

} // namespace

StudyTab::StudyTab(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("SpeedStudyTab"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(8);

    auto* top = new QHBoxLayout;
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    m_heading = ui::makeHeading(QString(), this, QStringLiteral("StudyHeading"));
    m_heading->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_period = ui::makeCaption(QString(), this, QStringLiteral("StudyPeriod"));
    m_period->setTextInteractionFlags(Qt::TextSelectableByMouse);
    titles->addWidget(m_heading);
    titles->addWidget(m_period);
    top->addLayout(titles, 1);
    m_thresholdCaption = ui::makeCaption(QStringLiteral("Enforcement threshold:"), this);
    m_threshold = new QSpinBox(this);
    m_threshold->setObjectName(QStringLiteral("EnforcementThreshold"));
    m_threshold->setRange(1, 999);
    m_threshold->setToolTip(
        QStringLiteral("Vehicles faster than this speed are counted as over the threshold"));
    m_thresholdCaption->setBuddy(m_threshold);
    top->addWidget(m_thresholdCaption);
    top->addWidget(m_threshold);
    top->addSpacing(12);
    m_export = ui::makeButton(QStringLiteral("Export CSV..."), QStringLiteral("ExportStudyCsv"), this);
    m_export->setToolTip(QStringLiteral("Save every figure of the study as comma-separated values"));
    top->addWidget(m_export);
    layout->addLayout(top);

    m_prompt =
        ui::makeNote(QStringLiteral("Choose a survey on \"View / Print Reports\" to see its speed study."),
                     this, QStringLiteral("StudyPrompt"));
    layout->addWidget(m_prompt);

    m_warnings = new QLabel(this);
    m_warnings->setObjectName(QStringLiteral("StudyWarnings"));
    m_warnings->setWordWrap(true);
    m_warnings->setTextFormat(Qt::RichText);
    m_warnings->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_warnings->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    layout->addWidget(m_warnings);

    // The tables at the left, the two graphs one above the other at the right.
    m_body = new QWidget(this);
    auto* bodyLayout = new QVBoxLayout(m_body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    auto* columns = new QSplitter(Qt::Horizontal, m_body);
    columns->setObjectName(QStringLiteral("StudyColumns"));
    columns->addWidget(buildTables());
    auto* graphs = new QSplitter(Qt::Vertical, columns);
    m_curve = new ChartView(QStringLiteral("SpeedCurve"), graphs);
    m_heatMap = new ChartView(QStringLiteral("WeeklyHeatMap"), graphs);
    graphs->addWidget(m_curve);
    graphs->addWidget(m_heatMap);
    graphs->setStretchFactor(0, 1);
    graphs->setStretchFactor(1, 1);
    columns->addWidget(graphs);
    columns->setStretchFactor(0, 9);
    columns->setStretchFactor(1, 11);
    bodyLayout->addWidget(columns);
    layout->addWidget(m_body, 1);

    connect(m_threshold, qOverload<int>(&QSpinBox::valueChanged), this, [this](int threshold) {
        if (!m_study || m_study->threshold == threshold)
            return;
        setThreshold(*m_study, threshold);
        showFigures();
    });
    connect(m_export, &QPushButton::clicked, this, &StudyTab::askAndExport);
    showStudy();
}

QWidget* StudyTab::buildTables()
{
    m_tables = new QTabWidget(this);
    m_tables->setObjectName(QStringLiteral("StudyTables"));

    auto* figuresPage = new QWidget(m_tables);
    auto* figuresLayout = new QVBoxLayout(figuresPage);
    figuresLayout->setContentsMargins(4, 4, 4, 4);
    m_figures = makeTable(QStringLiteral("StudyFigures"), figuresPage);
    figuresLayout->addWidget(m_figures, 1);
    m_percentileNote = ui::makeNote(percentileNote(), figuresPage, QStringLiteral("PercentileNote"));
    figuresLayout->addWidget(m_percentileNote);
    m_tables->addTab(figuresPage, QStringLiteral("Figures by direction"));

    m_hourly = makeTable(QStringLiteral("HourlyProfile"), m_tables);
    m_hourly->setToolTip(
        QStringLiteral("Vehicles per day count only the days on which the survey covered the "
                       "whole hour; the speeds count every vehicle of the hour"));
    m_tables->addTab(m_hourly, QStringLiteral("Hourly profile"));
    m_bins = makeTable(QStringLiteral("SpeedBins"), m_tables);
    m_tables->addTab(m_bins, QStringLiteral("Speed bins"));
    return m_tables;
}

void StudyTab::setSurvey(const survey::SurveyRecord& survey)
{
    m_survey = survey;
    m_stale = true;
    if (isVisible())
        refresh();
}

void StudyTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_stale)
        refresh();
}

void StudyTab::refresh()
{
    m_stale = false;
    m_study.reset();
    QString failure;
    if (!m_survey.batchNumber.isEmpty()) {
        const ui::BusyCursor busy;
        StudyResult result = runStudy(m_database, StudyInputs::of(m_survey));
        m_study = std::move(result.study);
        failure = result.message;
    }
    showStudy();
    showWarnings(failure);
}

void StudyTab::showStudy()
{
    const bool chosen = !m_survey.batchNumber.isEmpty();
    m_prompt->setVisible(!chosen);
    m_warnings->setVisible(chosen);
    m_body->setVisible(m_study.has_value());
    m_export->setEnabled(m_study.has_value());
    m_threshold->setEnabled(m_study.has_value());
    QString heading = QStringLiteral("Speed study");
    if (chosen)
        heading += QStringLiteral(" of survey ") + m_survey.batchNumber;
    if (chosen && !m_survey.header.location.isEmpty())
        heading = m_survey.header.location + QStringLiteral(": ") + heading;
    m_heading->setText(heading);
    if (!m_study) {
        m_period->clear();
        m_curve->setPainter({});
        m_heatMap->setPainter({});
        return;
    }
    const SpeedStudy& study = *m_study;
    m_period->setText(studyPeriod(study));
    {
        const QSignalBlocker quiet(m_threshold);
        m_threshold->setSuffix(QLatin1Char(' ') + unitText(study.unit));
        m_threshold->setValue(study.threshold);
    }
    showFigures();
    const TextTable hours = hourlyTable(study);
    fill(m_hourly, hours.columns, hours.rows);
    const TextTable bins = binTable(study, Direction::Both);
    fill(m_bins, bins.columns, bins.rows);

    const charts::LineGraph curve = speedCurve(study);
    m_curve->setPainter([curve](QPainter& painter, const QSize& size) {
        charts::LineGraphRenderer(curve, size).paint(painter);
    });
    const charts::HeatMap map = weeklyHeatMap(study);
    m_heatMap->setPainter(
        [map](QPainter& painter, const QSize& size) { charts::HeatMapRenderer(map, size).paint(painter); });
}

void StudyTab::showFigures()
{
    QStringList columns{QString()};
    for (const Direction direction : kDirections)
        columns << directionName(direction);
    std::vector<QStringList> rows;
    for (const FigureRow& row : figureRows(*m_study)) {
        QStringList texts{row.caption};
        for (const QString& cell : row.cells)
            texts << cell;
        rows.push_back(texts);
    }
    fill(m_figures, columns, rows);
    // Every caption and figure in view: the table asks for the width of its
    // columns, and the graphs beside it give way.
    int width = 2 * m_figures->frameWidth() + m_figures->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < m_figures->columnCount(); ++column)
        width += m_figures->columnWidth(column);
    m_figures->setMinimumWidth(width);
}

void StudyTab::showWarnings(const QString& failure)
{
    if (!failure.isEmpty()) {
        m_warnings->setStyleSheet(QLatin1String(kFailureStyle));
        m_warnings->setText(failure.toHtmlEscaped());
        return;
    }
    if (!m_study)
        return;
    if (m_study->warnings.empty()) {
        m_warnings->setStyleSheet(QLatin1String(kCleanStyle));
        m_warnings->setText(noWarningsText());
        return;
    }
    // The band stays short enough to leave the figures in view; the rest
    // are in the exports.
    const QStringList lines = warningLines(*m_study);
    QString html = QStringLiteral("<b>%1</b>").arg(warningsHeading().toHtmlEscaped());
    const qsizetype shown = lines.size() <= kBandLines ? kBandLines : kBandLines - 1;
    for (qsizetype i = 0; i < lines.size() && i < shown; ++i)
        html += QStringLiteral("<br>&#8226; ") + lines[i].toHtmlEscaped();
    if (lines.size() > shown)
        html += QStringLiteral("<br>&#8226; and %1 more, listed in full by Export CSV...")
                    .arg(lines.size() - shown);
    m_warnings->setStyleSheet(QLatin1String(kWarningStyle));
    m_warnings->setText(html);
}

QString StudyTab::exportCsv(const QString& path) const
{
    if (!m_study)
        return survey::noSurveyMessage();
    const SpeedStudy& study = *m_study;
    return csv::saveCsv(path, [&study](QIODevice& device) { return writeStudyCsv(study, device); });
}

void StudyTab::askAndExport()
{
    if (!m_study)
        return;
    const QString path =
        askCsvFile(this, csv::suggestedFileName(m_study->batchNumber, QStringLiteral("speed study")));
    if (path.isEmpty())
        return;
    QString failure;
    {
        const ui::BusyCursor busy;
        failure = exportCsv(path);
    }
    if (!failure.isEmpty())
        Q_EMIT failed(failure);
}

} // namespace pelmor::study
