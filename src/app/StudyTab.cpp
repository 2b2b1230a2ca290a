#include "app/StudyTab.h"

#include "charts/HeatMapRenderer.h"
#include "charts/LineGraphRenderer.h"
#include "compare/ComparisonTables.h"
#include "compare/widgets/ComparisonView.h"
#include "csv/TableExport.h"
#include "db/DbError.h"
#include "db/Files.h"
#include "db/SafeFileWriter.h"
#include "store/SurveyStore.h"
#include "study/StudyExport.h"
#include "study/StudyGraphs.h"
#include "study/StudyTables.h"
#include "study/widgets/SurveyPicker.h"
#include "ui/BusyCursor.h"
#include "ui/ChartView.h"
#include "ui/CsvFileDialog.h"
#include "ui/Style.h"
#include "ui/TabParts.h"
#include "worker/Run.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <utility>

namespace pelmor::app {

using namespace pelmor::study;
using namespace pelmor::ui;

namespace {

// The most warnings the band lists.
constexpr qsizetype kBandLines = 6;

} // namespace

StudyTab::StudyTab(QWidget* parent)
    : QWidget(parent)
    , m_task(new worker::BackgroundTask(this))
{
    setObjectName(QStringLiteral("SpeedStudyTab"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(6);

    auto* top = new QHBoxLayout;
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    m_heading = ui::makeHeading(QString(), this, QStringLiteral("StudyHeading"));
    m_heading->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_period = ui::makeCaption(QString(), this, QStringLiteral("StudyPeriod"));
    m_period->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long location or the two surveys of a comparison wrap rather than
    // push the buttons beside them off a small screen.
    m_heading->setWordWrap(true);
    m_period->setWordWrap(true);
    titles->addWidget(m_heading);
    titles->addWidget(m_period);
    m_estimateNote = ui::makeNote(QString(), this, QStringLiteral("StudyEstimateNote"));
    titles->addWidget(m_estimateNote);
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
    m_compare = ui::makeButton(QStringLiteral("Compare with..."), QStringLiteral("CompareWith"), this);
    m_compare->setToolTip(
        QStringLiteral("Set another stored survey beside this one, such as the same street before or after "
                       "a change, and see whether the speeds changed"));
    top->addWidget(m_compare);
    m_endComparison =
        ui::makeButton(QStringLiteral("Back to the study"), QStringLiteral("EndComparison"), this);
    m_endComparison->setToolTip(QStringLiteral("Show the speed study of the chosen survey alone again"));
    top->addWidget(m_endComparison);
    layout->addLayout(top);

    m_prompt =
        ui::makeNote(QStringLiteral("Choose a survey on \"View / Print Reports\" to see its speed study."),
                     this, QStringLiteral("StudyPrompt"));
    layout->addWidget(m_prompt);

    m_warnings = makeBand(QStringLiteral("StudyWarnings"), this);
    layout->addWidget(m_warnings);

    // The tables at the left, the two graphs one above the other at the
    // right, each in a titled frame as the other tabs group their parts.
    m_body = new QWidget(this);
    auto* bodyLayout = new QVBoxLayout(m_body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    auto* columns = new QSplitter(Qt::Horizontal, m_body);
    m_columns = columns;
    columns->setObjectName(QStringLiteral("StudyColumns"));
    columns->setChildrenCollapsible(false);
    QGroupBox* figures =
        ui::makeFrame(QStringLiteral("Measured Speeds"), QStringLiteral("StudyFiguresFrame"), columns);
    auto* figuresLayout = new QVBoxLayout(figures);
    figuresLayout->setContentsMargins(6, 6, 6, 6);
    figuresLayout->addWidget(buildTables());
    m_figuresFrame = figures;
    columns->addWidget(figures);
    QGroupBox* graphFrame =
        ui::makeFrame(QStringLiteral("Graphs"), QStringLiteral("StudyGraphsFrame"), columns);
    auto* graphLayout = new QVBoxLayout(graphFrame);
    graphLayout->setContentsMargins(6, 6, 6, 6);
    auto* graphs = new QSplitter(Qt::Vertical, graphFrame);
    m_curve = new ChartView(QStringLiteral("SpeedCurve"), graphs);
    m_heatMap = new ChartView(QStringLiteral("WeeklyHeatMap"), graphs);
    graphs->addWidget(m_curve);
    graphs->addWidget(m_heatMap);
    graphs->setStretchFactor(0, 1);
    graphs->setStretchFactor(1, 1);
    graphLayout->addWidget(graphs);
    columns->addWidget(graphFrame);
    columns->setStretchFactor(0, 9);
    columns->setStretchFactor(1, 11);
    bodyLayout->addWidget(columns);
    layout->addWidget(m_body, 1);
    m_comparisonView = new compare::ComparisonView(this);
    layout->addWidget(m_comparisonView, 1);

    // "Close" at the bottom right, as on the other tabs.
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    auto* close = ui::makeButton(QStringLiteral("Close"), QStringLiteral("StudyClose"), this);
    close->setMinimumWidth(150);
    close->setToolTip(QStringLiteral("End the program"));
    connect(close, &QPushButton::clicked, this, &StudyTab::closeRequested);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    connect(m_threshold, qOverload<int>(&QSpinBox::valueChanged), this, [this](int threshold) {
        if (!m_study || m_study->threshold == threshold)
            return;
        setThreshold(*m_study, threshold);
        showFigures();
        Q_EMIT choicesChanged();
    });
    connect(m_export, &QPushButton::clicked, this, &StudyTab::askAndExport);
    connect(m_compare, &QPushButton::clicked, this, &StudyTab::askAndCompare);
    connect(m_endComparison, &QPushButton::clicked, this, &StudyTab::endComparison);
    showStudy();
}

QWidget* StudyTab::buildTables()
{
    m_tables = new QTabWidget(this);
    m_tables->setObjectName(QStringLiteral("StudyTables"));

    auto* figuresPage = new QWidget(m_tables);
    auto* figuresLayout = new QVBoxLayout(figuresPage);
    figuresLayout->setContentsMargins(4, 4, 4, 4);
    m_figures = makeTextTable(QStringLiteral("SiteFigures"), figuresPage);
    figuresLayout->addWidget(m_figures, 1);
    m_percentileNote = ui::makeNote(percentileNote(), figuresPage, QStringLiteral("PercentileNote"));
    figuresLayout->addWidget(m_percentileNote);
    m_tables->addTab(figuresPage, QStringLiteral("Figures by direction"));

    m_hourly = makeTextTable(QStringLiteral("HourlyProfile"), m_tables);
    m_hourly->setToolTip(
        QStringLiteral("Vehicles per day count only the days on which the survey covered the "
                       "whole hour; the speeds count every vehicle of the hour"));
    m_tables->addTab(m_hourly, QStringLiteral("Hourly profile"));
    m_bins = makeTextTable(QStringLiteral("SpeedBins"), m_tables);
    m_tables->addTab(m_bins, QStringLiteral("Speed bins"));
    return m_tables;
}

void StudyTab::setSurvey(const survey::SurveyRecord& survey)
{
    m_survey = survey;
    m_stale = true;
    // A comparison belongs to the survey it was made for.
    if (m_comparison) {
        m_comparison.reset();
        showMode();
    }
    Q_EMIT choicesChanged();
    if (isVisible())
        refresh();
}

void StudyTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_stale)
        refresh();
}

StudyTab::~StudyTab() = default;

bool StudyTab::isWorking() const
{
    return m_task->isRunning();
}

void StudyTab::refresh()
{
    m_stale = false;
    m_study.reset();
    m_comparison.reset();
    if (m_task->isRunning()) {
        m_rerun = true;
        return;
    }
    if (m_survey.batchNumber.isEmpty()) {
        showResult(QString());
        return;
    }
    // The study only reads: it can stop at any time.
    worker::run(
        *m_task, this,
        [database = m_database, inputs = StudyInputs::of(m_survey)](worker::BackgroundTask&) {
            return runStudy(database, inputs);
        },
        [this](worker::Done<StudyResult> done) {
            if (std::exchange(m_rerun, false)) {
                refresh();
                return;
            }
            // A cancelled study leaves the tab without one; showing the tab
            // again works it out anew.
            if (m_task->isCancelled()) {
                m_stale = true;
                showResult(QString());
                return;
            }
            m_study = std::move(done.value.study);
            showResult(done.value.message);
        },
        QStringLiteral("Working out the speed study of survey %1").arg(m_survey.batchNumber), true);
}

void StudyTab::showResult(const QString& failure)
{
    showStudy();
    showWarnings(failure);
    Q_EMIT choicesChanged();
}

void StudyTab::showStudy()
{
    const bool chosen = !m_survey.batchNumber.isEmpty();
    m_prompt->setVisible(!chosen);
    m_export->setEnabled(m_study.has_value());
    m_threshold->setEnabled(m_study.has_value());
    m_compare->setEnabled(m_study.has_value());
    showMode();
    if (!m_study) {
        m_curve->setPainter({});
        m_heatMap->setPainter({});
        // No survey, no threshold: the box shows nothing rather than a
        // speed that belongs to no survey.
        const QSignalBlocker quiet(m_threshold);
        m_threshold->setSuffix(QString());
        m_threshold->clear();
        return;
    }
    const SpeedStudy& study = *m_study;
    {
        const QSignalBlocker quiet(m_threshold);
        m_threshold->setSuffix(QLatin1Char(' ') + unitText(study.unit));
        m_threshold->setValue(study.threshold);
    }
    showFigures();
    const TextTable hours = hourlyTable(study);
    fillTextTable(m_hourly, hours.columns, hours.rows);
    const TextTable bins = binTable(study, Direction::Both);
    fillTextTable(m_bins, bins.columns, bins.rows);

    const charts::LineGraph curve = speedCurve(study);
    m_curve->setPainter([curve](QPainter& painter, const QSize& size) {
        charts::LineGraphRenderer(curve, size).paint(painter);
    });
    const charts::HeatMap map = weeklyHeatMap(study);
    m_heatMap->setPainter(
        [map](QPainter& painter, const QSize& size) { charts::HeatMapRenderer(map, size).paint(painter); });
}

void StudyTab::showHeading()
{
    const bool chosen = !m_survey.batchNumber.isEmpty();
    QString heading = QStringLiteral("Speed study");
    if (chosen)
        heading += QStringLiteral(" of survey ") + m_survey.batchNumber;
    if (chosen && !m_survey.header.location.isEmpty())
        heading = m_survey.header.location + QStringLiteral(": ") + heading;
    m_heading->setText(heading);
    m_period->setText(m_study ? studyPeriod(*m_study) : QString());
    // The figures here are measured; the reports tab shows the sign's
    // estimates under the same names, so both are named for what they are.
    const survey::SummaryRow& stored = m_survey.summary;
    const bool estimates = m_study && m_survey.hasSummary && !stored.percentile85.isEmpty();
    m_estimateNote->setText(
        estimates ? QStringLiteral("All figures here are measured; the reports tab's 85th percentile (%1 %3) "
                                   "and pace (%2 %3) are estimated from the average speed.")
                        .arg(stored.percentile85.trimmed(),
                             stored.paceLow.trimmed() + QStringLiteral(" to ") + stored.paceHigh.trimmed(),
                             unitText(m_study->unit))
                  : QString());
    m_estimateNote->setVisible(estimates);
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
    fillTextTable(m_figures, columns, rows);
    // Every caption and figure in view: the table asks for the width of its
    // columns, and the graphs beside it give way.
    m_figures->setMinimumWidth(fullWidth(m_figures));
    // The splitter holds to a width set on its own part; what the part's
    // contents ask for reaches it only after the next layout pass, so the
    // tables' frame is told at once (the layout keeps the tables' old
    // minimum until they say it changed).
    m_tables->updateGeometry();
    m_figuresFrame->setMinimumWidth(0);
    m_figuresFrame->setMinimumWidth(m_figuresFrame->minimumSizeHint().width());
}

void StudyTab::showWarnings(const QString& failure)
{
    if (!failure.isEmpty()) {
        showBand(m_warnings, Band::Failure, failure.toHtmlEscaped());
        return;
    }
    if (!m_study)
        return;
    if (m_study->warnings.empty()) {
        showBand(m_warnings, Band::Clean, noWarningsText().toHtmlEscaped());
        return;
    }
    // The band stays short enough to leave the figures in view; the rest
    // are in the exports.
    QStringList lines = warningLines(*m_study);
    const qsizetype shown = lines.size() <= kBandLines ? kBandLines : kBandLines - 1;
    if (lines.size() > shown) {
        const qsizetype more = lines.size() - shown;
        lines = lines.mid(0, shown);
        lines << QStringLiteral("and %1 more, listed in full by Export CSV...").arg(more);
    }
    showBand(m_warnings, Band::Warning, bulletedHtml(warningsHeading(), lines));
}

QString StudyTab::exportCsv(const QString& path) const
{
    if (!m_study)
        return survey::noSurveyMessage();
    const SpeedStudy& study = *m_study;
    return db::saveFile(path, [&study](QIODevice& device) { return writeStudyCsv(study, device); });
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
    if (!failure.isEmpty()) {
        Q_EMIT failed(failure);
        return;
    }
    Q_EMIT exported(QStringLiteral("The speed study of survey %1 was saved as %2")
                        .arg(m_study->batchNumber, db::displayPath(QFileInfo(path).absoluteFilePath())));
}

bool StudyTab::compareWith(const QString& batchNumber)
{
    if (!m_study || m_task->isRunning())
        return false;
    const QString first = m_survey.batchNumber;
    // Both surveys are only read: the comparison can stop at any time.
    return worker::run(
        *m_task, this,
        [database = m_database, first, batchNumber](worker::BackgroundTask&) {
            return compare::compareSurveys(database, first, batchNumber);
        },
        [this, first](worker::Done<compare::ComparisonResult> done) {
            compare::ComparisonResult& result = done.value;
            // Another survey was chosen meanwhile: its study comes first.
            if (std::exchange(m_rerun, false)) {
                Q_EMIT comparisonEnded(false);
                refresh();
                return;
            }
            // Cancelled: the tab stays as it is.
            if (m_task->isCancelled() || first != m_survey.batchNumber || !m_study) {
                Q_EMIT comparisonEnded(false);
                return;
            }
            if (!result.ok()) {
                Q_EMIT failed(result.message);
                Q_EMIT comparisonEnded(false);
                return;
            }
            m_comparison = std::move(result.comparison);
            m_comparisonView->showComparison(*m_comparison);
            showMode();
            Q_EMIT choicesChanged();
            Q_EMIT comparisonEnded(true);
        },
        QStringLiteral("Comparing survey %1 with survey %2").arg(first, batchNumber), true);
}

void StudyTab::endComparison()
{
    m_comparison.reset();
    showMode();
    Q_EMIT choicesChanged();
}

void StudyTab::askAndCompare()
{
    if (!m_study)
        return;
    // The list is read on the worker: a busy or distant database keeps it
    // waiting.
    worker::run(
        *m_task, this,
        [database = m_database](worker::BackgroundTask&) {
            return store::openStore(database)->listSurveys();
        },
        [this](worker::Done<std::vector<survey::ListedSurvey>> done) {
            if (done.failed()) {
                Q_EMIT failed(QStringLiteral("The stored surveys cannot be listed: %1").arg(done.failure));
                return;
            }
            if (!m_study || m_task->isCancelled())
                return;
            const QString chosen = askSurveyToCompare(this, done.value, m_survey.batchNumber);
            if (!chosen.isEmpty())
                compareWith(chosen);
        },
        QStringLiteral("Listing the stored surveys"), true);
}

// The study alone, or the comparison in its place: the heading names the
// two surveys, and the study's warnings, threshold and export give way.
void StudyTab::showMode()
{
    const bool comparing = m_comparison.has_value();
    const bool chosen = !m_survey.batchNumber.isEmpty();
    m_comparisonView->setVisible(comparing);
    m_body->setVisible(m_study.has_value() && !comparing);
    m_warnings->setVisible(chosen && !comparing);
    m_endComparison->setVisible(comparing);
    for (QWidget* part : std::initializer_list<QWidget*>{m_thresholdCaption, m_threshold, m_export})
        part->setVisible(!comparing);
    if (comparing) {
        m_estimateNote->hide();
        const compare::Comparison& comparison = *m_comparison;
        m_heading->setText(compare::comparisonHeading(comparison));
        m_period->setText(QStringList{compare::surveyLine(comparison, true),
                                      compare::surveyLine(comparison, false), compare::unitNote(comparison)}
                              .join(QLatin1Char('\n')));
    } else {
        showHeading();
    }
}

} // namespace pelmor::app
