#include "app/SitesTab.h"

#include "charts/LineGraphRenderer.h"
#include "db/DbError.h"
#include "db/Files.h"
#include "db/SafeFileWriter.h"
#include "sites/SiteCoordinates.h"
#include "sites/SiteExport.h"
#include "sites/SiteGraphs.h"
#include "sites/SitePlacement.h"
#include "store/SurveyStore.h"
#include "text/MessageText.h"
#include "ui/BusyCursor.h"
#include "ui/ChartView.h"
#include "ui/CsvFileDialog.h"
#include "ui/Style.h"
#include "ui/TabParts.h"
#include "worker/Run.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <optional>
#include <set>
#include <tuple>
#include <utility>

namespace pelmor::app {
namespace {

using ui::fillTextTable;
using ui::makeTextTable;

const QString kAny = QStringLiteral("(any)");

// What a reading of the sites found.
struct ReadSites {
    std::vector<sites::SiteSurveys> sites;
    QString failure;
    // The site to choose once they are shown; 0 keeps the choice.
    qint64 chosen = 0;
};

// Gives the surveys stored without figures theirs, then reads the sites.
// Placing a survey writes it whole in one statement: stopping between
// surveys leaves each placed or not.
ReadSites placeAndReadSites(store::SurveyStore& store, worker::BackgroundTask& task)
{
    ReadSites read;
    try {
        sites::placeSurveysWithoutSiteFigures(store, [&task](int done, int total) {
            task.setProgress(done, total);
            return !task.isCancelled();
        });
        if (!task.isCancelled())
            read.sites = sites::readSites(store);
    } catch (const db::DbError& error) {
        read.failure = QStringLiteral("The sites cannot be read: %1").arg(error.message());
    }
    return read;
}

// A choice list of the texts found, "(any)" first, keeping the one chosen.
void fillChoices(QComboBox* box, const QStringList& texts)
{
    const QString chosen = box->currentText();
    const QSignalBlocker quiet(box);
    box->clear();
    box->addItem(kAny);
    box->addItems(texts);
    const int index = box->findText(chosen);
    box->setCurrentIndex(index < 0 ? 0 : index);
}

} // namespace

SitesTab::SitesTab(QWidget* parent)
    : QWidget(parent)
    , m_task(new worker::BackgroundTask(this))
{
    setObjectName(QStringLiteral("SitesTab"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(6);

    auto* top = new QHBoxLayout;
    top->addWidget(
        ui::makeHeading(QStringLiteral("Sites: every survey of a street, and where speeding is worst"), this,
                        QStringLiteral("SitesHeading")),
        1);
    m_status = ui::makeCaption(QString(), this, QStringLiteral("SitesStatus"));
    top->addWidget(m_status);
    auto* refresh = ui::makeButton(QStringLiteral("Refresh"), QStringLiteral("SitesRefresh"), this);
    refresh->setToolTip(QStringLiteral("Read the sites and their surveys from the database again"));
    top->addWidget(refresh);
    layout->addLayout(top);

    auto* rows = new QSplitter(Qt::Vertical, this);
    rows->setObjectName(QStringLiteral("SitesRows"));
    rows->setChildrenCollapsible(false);
    auto* upper = new QSplitter(Qt::Horizontal, rows);
    upper->setChildrenCollapsible(false);

    QGroupBox* siteFrame = ui::makeFrame(QStringLiteral("Sites"), QStringLiteral("SitesFrame"), upper);
    auto* siteLayout = new QVBoxLayout(siteFrame);
    siteLayout->setContentsMargins(6, 6, 6, 6);
    m_siteTable = makeTextTable(QStringLiteral("SitesTable"), siteFrame);
    siteLayout->addWidget(m_siteTable, 1);
    auto* siteButtons = new QHBoxLayout;
    m_merge = ui::makeButton(QStringLiteral("Merge into..."), QStringLiteral("MergeSite"), siteFrame);
    m_merge->setToolTip(
        QStringLiteral("Make the chosen site part of another one, such as \"Elm St\" of "
                       "\"Elm Street\": its surveys, and the surveys of its name to come, go there"));
    m_place = ui::makeButton(QStringLiteral("Coordinates..."), QStringLiteral("PlaceSite"), siteFrame);
    m_place->setToolTip(QStringLiteral("Give the chosen site its latitude and longitude"));
    siteButtons->addWidget(m_merge);
    siteButtons->addWidget(m_place);
    siteButtons->addStretch(1);
    siteLayout->addLayout(siteButtons);
    upper->addWidget(siteFrame);

    QGroupBox* historyFrame =
        ui::makeFrame(QStringLiteral("Site History"), QStringLiteral("SiteHistoryFrame"), upper);
    auto* historyLayout = new QVBoxLayout(historyFrame);
    historyLayout->setContentsMargins(6, 6, 6, 6);
    auto* historyTop = new QHBoxLayout;
    m_siteHeading = ui::makeCaption(QString(), historyFrame, QStringLiteral("SiteHistoryHeading"));
    m_siteHeading->setWordWrap(true);
    historyTop->addWidget(m_siteHeading, 1);
    m_split = ui::makeButton(QStringLiteral("Split survey off"), QStringLiteral("SplitSurvey"), historyFrame);
    m_split->setToolTip(QStringLiteral("Give the survey chosen in the history a site of its own, when it was "
                                       "taken somewhere else under the same name"));
    historyTop->addWidget(m_split);
    m_printHistory =
        ui::makeButton(QStringLiteral("Print..."), QStringLiteral("PrintSiteHistory"), historyFrame);
    m_printHistory->setToolTip(
        QStringLiteral("Show the Site History document of the chosen site, to print it "
                       "or save it as PDF"));
    historyTop->addWidget(m_printHistory);
    historyLayout->addLayout(historyTop);
    auto* historyParts = new QSplitter(Qt::Vertical, historyFrame);
    historyParts->setChildrenCollapsible(false);
    m_historyTable = makeTextTable(QStringLiteral("SiteHistoryTable"), historyParts);
    historyParts->addWidget(m_historyTable);
    auto* graphs = new QSplitter(Qt::Horizontal, historyParts);
    m_speedGraph = new ui::ChartView(QStringLiteral("SiteSpeedGraph"), graphs);
    m_volumeGraph = new ui::ChartView(QStringLiteral("SiteVolumeGraph"), graphs);
    graphs->addWidget(m_speedGraph);
    graphs->addWidget(m_volumeGraph);
    historyParts->addWidget(graphs);
    historyLayout->addWidget(historyParts, 1);
    m_historyNote = ui::makeNote(QString(), historyFrame, QStringLiteral("SiteHistoryNote"));
    m_historyNote->setWordWrap(true);
    historyLayout->addWidget(m_historyNote);
    upper->addWidget(historyFrame);
    upper->setStretchFactor(0, 0);
    upper->setStretchFactor(1, 1);
    // Room for a street's name in the list; the history takes the rest.
    upper->setSizes({320, 660});
    rows->addWidget(upper);

    QGroupBox* priorityFrame =
        ui::makeFrame(QStringLiteral("Speeding Priorities"), QStringLiteral("PrioritiesFrame"), rows);
    auto* priorityLayout = new QVBoxLayout(priorityFrame);
    priorityLayout->setContentsMargins(6, 6, 6, 6);
    auto* filters = new QHBoxLayout;
    m_zone = ui::makeList(QStringLiteral("PriorityZone"), {kAny}, false, priorityFrame);
    m_direction = ui::makeList(QStringLiteral("PriorityDirection"), {kAny}, false, priorityFrame);
    // The date range: each end only when ticked.
    const auto dateEnd = [priorityFrame](const QString& caption, const QString& name, const QDate& date) {
        auto* on = new QCheckBox(caption, priorityFrame);
        on->setObjectName(name + QStringLiteral("On"));
        auto* edit = new QDateEdit(date, priorityFrame);
        edit->setObjectName(name);
        edit->setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
        edit->setDateRange(QDate(1980, 1, 1), QDate(2099, 12, 31));
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
        return std::pair{on, edit};
    };
    std::tie(m_sinceOn, m_since) =
        dateEnd(QStringLiteral("Since"), QStringLiteral("PrioritySince"), QDate::currentDate().addYears(-1));
    std::tie(m_untilOn, m_until) =
        dateEnd(QStringLiteral("Until"), QStringLiteral("PriorityUntil"), QDate::currentDate());
    filters->addWidget(ui::makeCaption(QStringLiteral("Zone:"), priorityFrame));
    filters->addWidget(m_zone);
    filters->addSpacing(8);
    filters->addWidget(ui::makeCaption(QStringLiteral("Direction:"), priorityFrame));
    filters->addWidget(m_direction);
    filters->addSpacing(8);
    filters->addWidget(m_sinceOn);
    filters->addWidget(m_since);
    filters->addWidget(m_untilOn);
    filters->addWidget(m_until);
    filters->addStretch(1);
    m_export =
        ui::makeButton(QStringLiteral("Export CSV..."), QStringLiteral("ExportPrioritiesCsv"), priorityFrame);
    m_export->setToolTip(QStringLiteral("Save the ranking as comma-separated values"));
    filters->addWidget(m_export);
    m_printPriorities =
        ui::makeButton(QStringLiteral("Print..."), QStringLiteral("PrintPriorities"), priorityFrame);
    m_printPriorities->setToolTip(QStringLiteral("Show the Speeding Priorities document of the ranking as "
                                                 "filtered, to print it or save it as PDF"));
    filters->addWidget(m_printPriorities);
    priorityLayout->addLayout(filters);
    m_priorityTable = makeTextTable(QStringLiteral("PrioritiesTable"), priorityFrame);
    priorityLayout->addWidget(m_priorityTable, 1);
    // The headings (up to three lines) and five sites stay in view, however
    // the splitter above shares out the height.
    const int line = m_priorityTable->fontMetrics().height();
    m_priorityTable->setMinimumHeight(3 * line + 10 + 5 * (line + 4) + 2 * m_priorityTable->frameWidth());
    priorityLayout->addWidget(ui::makeNote(
        QStringLiteral(
            "Speeders: more than 10 mph, or 10 km/h, over the limit in the latest survey. Most a day first; "
            "on a tie, the higher 85th percentile over the limit, then the name."),
        priorityFrame));
    rows->addWidget(priorityFrame);
    rows->setStretchFactor(0, 1);
    rows->setStretchFactor(1, 1);
    layout->addWidget(rows, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    auto* close = ui::makeButton(QStringLiteral("Close"), QStringLiteral("SitesClose"), this);
    close->setMinimumWidth(150);
    close->setToolTip(QStringLiteral("End the program"));
    connect(close, &QPushButton::clicked, this, &SitesTab::closeRequested);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    connect(refresh, &QPushButton::clicked, this, &SitesTab::refresh);
    // The user's choice; the tab's own changes to the table are made with
    // its signals blocked.
    connect(m_siteTable, &QTableWidget::itemSelectionChanged, this, [this] {
        const QModelIndexList rows = m_siteTable->selectionModel()->selectedRows();
        if (rows.isEmpty() || size_t(rows.first().row()) >= m_sites.size())
            return;
        m_chosen = m_sites[size_t(rows.first().row())].site.id;
        showHistory();
    });
    connect(m_historyTable, &QTableWidget::itemSelectionChanged, this,
            [this] { m_split->setEnabled(m_history && m_historyTable->currentRow() >= 0); });
    connect(m_merge, &QPushButton::clicked, this, &SitesTab::askMerge);
    connect(m_split, &QPushButton::clicked, this, &SitesTab::askSplit);
    connect(m_place, &QPushButton::clicked, this, &SitesTab::askCoordinates);
    connect(m_export, &QPushButton::clicked, this, &SitesTab::askAndExport);
    connect(m_printHistory, &QPushButton::clicked, this,
            [this] { Q_EMIT printRequested(reports::ReportChoice::SiteHistoryReport, m_chosen, filter()); });
    connect(m_printPriorities, &QPushButton::clicked, this,
            [this] { Q_EMIT printRequested(reports::ReportChoice::SpeedingPriorities, m_chosen, filter()); });
    for (QComboBox* box : {m_zone, m_direction})
        connect(box, &QComboBox::currentIndexChanged, this, &SitesTab::showPriorities);
    for (const auto& [on, date] : {std::pair{m_sinceOn, m_since}, std::pair{m_untilOn, m_until}}) {
        connect(on, &QCheckBox::toggled, this, [this, date = date](bool ticked) {
            date->setEnabled(ticked);
            showPriorities();
        });
        connect(date, &QDateEdit::dateChanged, this, &SitesTab::showPriorities);
    }
    showSites();
}

SitesTab::~SitesTab() = default;

void SitesTab::setDatabase(const db::Database& database)
{
    m_database = database;
    m_sites.clear();
    m_chosen = 0;
    showSites();
}

void SitesTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void SitesTab::refresh()
{
    worker::run(
        *m_task, this,
        [database = m_database](worker::BackgroundTask& task) {
            ReadSites read;
            try {
                return placeAndReadSites(*store::openStore(database), task);
            } catch (const db::DbError& error) {
                read.failure = QStringLiteral("The sites cannot be read: %1").arg(error.message());
            }
            return read;
        },
        [this](worker::Done<ReadSites> done) {
            showRead(std::move(done.value.sites), done.value.failure, 0);
        },
        QStringLiteral("Reading the sites"), true);
}

void SitesTab::showRead(std::vector<sites::SiteSurveys> sites, const QString& failure, qint64 chosen)
{
    if (!m_task->isCancelled() && failure.isEmpty()) {
        m_sites = std::move(sites);
        if (chosen != 0)
            m_chosen = chosen;
    }
    showSites();
    if (!failure.isEmpty())
        Q_EMIT failed(failure);
    Q_EMIT loaded();
}

sites::PriorityFilter SitesTab::filter() const
{
    sites::PriorityFilter filter;
    if (m_zone->currentIndex() > 0)
        filter.zone = m_zone->currentText();
    if (m_direction->currentIndex() > 0)
        filter.direction = m_direction->currentText();
    if (m_sinceOn->isChecked())
        filter.since = m_since->date();
    if (m_untilOn->isChecked())
        filter.until = m_until->date();
    return filter;
}

void SitesTab::showSites()
{
    {
        const QSignalBlocker quiet(m_siteTable);
        fillTextTable(m_siteTable, sites::sitesColumns(), sites::sitesRows(m_sites));
    }
    m_status->setText(m_sites.empty()       ? QStringLiteral("No survey is stored yet.")
                      : m_sites.size() == 1 ? QStringLiteral("1 site")
                                            : QStringLiteral("%1 sites").arg(m_sites.size()));
    std::set<QString> zones;
    std::set<QString> directions;
    for (const sites::SiteSurveys& site : m_sites) {
        for (const sites::SurveyAtSite& survey : site.surveys) {
            if (!survey.header.zone.trimmed().isEmpty())
                zones.insert(survey.header.zone.trimmed());
            if (!survey.header.direction.trimmed().isEmpty())
                directions.insert(survey.header.direction.trimmed());
        }
    }
    fillChoices(m_zone, QStringList(zones.begin(), zones.end()));
    fillChoices(m_direction, QStringList(directions.begin(), directions.end()));
    if (!chooseSite(m_chosen) && !(!m_sites.empty() && chooseSite(m_sites.front().site.id))) {
        m_chosen = 0;
        showHistory();
    }
    showPriorities();
}

bool SitesTab::chooseSite(qint64 siteId)
{
    for (size_t row = 0; row < m_sites.size(); ++row) {
        if (m_sites[row].site.id == siteId) {
            {
                const QSignalBlocker quiet(m_siteTable);
                m_siteTable->selectRow(int(row));
            }
            m_chosen = siteId;
            showHistory();
            return true;
        }
    }
    return false;
}

void SitesTab::showHistory()
{
    m_history.reset();
    for (const sites::SiteSurveys& site : m_sites) {
        if (site.site.id == m_chosen)
            m_history = sites::historyOf(site);
    }
    m_merge->setEnabled(m_history && m_sites.size() > 1);
    m_place->setEnabled(m_history.has_value());
    m_printHistory->setEnabled(m_history.has_value());
    m_split->setEnabled(false);
    if (!m_history) {
        m_siteHeading->setText(QStringLiteral("Choose a site in the list to see its surveys over time."));
        fillTextTable(m_historyTable, {}, {});
        m_speedGraph->setPainter({});
        m_volumeGraph->setPainter({});
        m_historyNote->clear();
        return;
    }
    const sites::SiteHistory& history = *m_history;
    QString heading = sites::siteTitle(history.site);
    if (history.site.latitude && history.site.longitude)
        heading += QStringLiteral(" at %1, %2")
                       .arg(QString::number(*history.site.latitude, 'f', 5),
                            QString::number(*history.site.longitude, 'f', 5));
    m_siteHeading->setText(heading);
    fillTextTable(m_historyTable, sites::historyColumns(history), sites::historyRows(history));
    const charts::LineGraph speeds = sites::speedHistoryGraph(history);
    m_speedGraph->setPainter([speeds](QPainter& painter, const QSize& size) {
        charts::LineGraphRenderer(speeds, size).paint(painter);
    });
    const charts::LineGraph volume = sites::volumeHistoryGraph(history);
    m_volumeGraph->setPainter([volume](QPainter& painter, const QSize& size) {
        charts::LineGraphRenderer(volume, size).paint(painter);
    });
    QStringList notes;
    for (const sites::HistoryRow& row : history.rows) {
        if (row.change)
            notes << QStringLiteral("%1: the change of the mean is %2.")
                         .arg(row.batchNumber, row.change->verdict);
    }
    if (!history.conversionNote.isEmpty())
        notes << QStringLiteral("* ") + history.conversionNote;
    m_historyNote->setText(notes.join(QLatin1Char('\n')));
}

void SitesTab::showPriorities()
{
    m_priorities = sites::priorities(m_sites, filter());
    fillTextTable(m_priorityTable, sites::prioritiesColumns(), sites::prioritiesRows(m_priorities));
    m_export->setEnabled(!m_priorities.empty());
    m_printPriorities->setEnabled(!m_sites.empty());
}

bool SitesTab::change(std::function<qint64(store::SurveyStore&)> work, const QString& refusal,
                      const QString& what)
{
    // The change and the reading of the sites after it run on the worker;
    // once the change is made, the reading may stop.
    return worker::run(
        *m_task, this,
        [database = m_database, work = std::move(work), refusal](worker::BackgroundTask& task) {
            const auto store = store::openStore(database);
            const qint64 chosen = work(*store);
            task.setCancellable(true);
            if (chosen == 0) {
                ReadSites refused;
                refused.failure = refusal;
                return refused;
            }
            ReadSites read = placeAndReadSites(*store, task);
            read.chosen = chosen;
            return read;
        },
        [this](worker::Done<ReadSites> done) {
            ReadSites& read = done.value;
            showRead(std::move(read.sites), done.failed() ? done.failure : read.failure, read.chosen);
        },
        what, false);
}

QString SitesTab::mergeChosenSiteInto(qint64 siteId)
{
    const qint64 from = m_chosen;
    if (from == 0 || from == siteId)
        return QStringLiteral("Choose two different sites to merge.");
    change([from, siteId](store::SurveyStore& store) { return store.mergeSites(from, siteId) ? siteId : 0; },
           QStringLiteral("The sites were changed meanwhile; press Refresh and try again."),
           QStringLiteral("Merging the sites"));
    return QString();
}

QString SitesTab::splitSurveyOff(const QString& batchNumber)
{
    change([batchNumber](store::SurveyStore& store) { return store.splitSurvey(batchNumber); },
           QStringLiteral("Survey %1 has no site any more; press Refresh.").arg(batchNumber),
           QStringLiteral("Giving survey %1 a site of its own").arg(batchNumber));
    return QString();
}

QString SitesTab::placeChosenSite(double latitude, double longitude)
{
    const qint64 site = m_chosen;
    change(
        [=](store::SurveyStore& store) {
            return store.setSiteCoordinates(site, latitude, longitude) ? site : 0;
        },
        QStringLiteral("The site is no longer there; press Refresh."), QStringLiteral("Placing the site"));
    return QString();
}

QString SitesTab::exportPriorities(const QString& path) const
{
    const QByteArray bytes = sites::prioritiesCsv(m_priorities);
    return db::saveFile(path, [&bytes](QIODevice& device) {
        return device.write(bytes) == bytes.size() ? QString() : device.errorString();
    });
}

void SitesTab::askMerge()
{
    if (!m_history)
        return;
    QStringList others;
    std::vector<qint64> ids;
    for (const sites::SiteSurveys& site : m_sites) {
        if (site.site.id == m_chosen)
            continue;
        others << sites::siteTitle(site.site);
        ids.push_back(site.site.id);
    }
    bool ok = false;
    const QString into = QInputDialog::getItem(
        this, QStringLiteral("Merge Sites"),
        QStringLiteral("Merge %1 into which site? Its surveys go there, and so will the surveys of its name "
                       "stored later.")
            .arg(sites::siteTitle(m_history->site)),
        others, 0, false, &ok);
    if (!ok)
        return;
    const QString failure = mergeChosenSiteInto(ids[size_t(others.indexOf(into))]);
    if (!failure.isEmpty())
        Q_EMIT failed(failure);
}

void SitesTab::askSplit()
{
    const int row = m_historyTable->currentRow();
    if (!m_history || row < 0 || size_t(row) >= m_history->rows.size())
        return;
    const QString failure = splitSurveyOff(m_history->rows[size_t(row)].batchNumber);
    if (!failure.isEmpty())
        Q_EMIT failed(failure);
}

void SitesTab::askCoordinates()
{
    if (!m_history)
        return;
    // Copied: the history may be read anew while the windows below are open.
    const store::Site site = m_history->site;
    QString typed =
        site.latitude && site.longitude
            ? QStringLiteral("%1 %2").arg(*site.latitude, 0, 'f', 5).arg(*site.longitude, 0, 'f', 5)
            : QString();
    // A refused text is told, then offered again as typed, to be mended
    // rather than typed anew; Cancel leaves the site as it is.
    std::optional<sites::Coordinates> place;
    while (!place) {
        bool ok = false;
        typed = QInputDialog::getText(
            this, QStringLiteral("Site Coordinates"),
            QStringLiteral("Latitude and longitude of %1 in degrees, such as 42.36010 -71.05890:")
                .arg(sites::siteTitle(site)),
            QLineEdit::Normal, typed, &ok);
        if (!ok)
            return;
        const QStringList parts = QString(typed)
                                      .simplified()
                                      .replace(QLatin1Char(','), QLatin1Char(' '))
                                      .split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QString problem =
            QStringLiteral("%1 is not a latitude and a longitude. Type the two numbers in degrees "
                           "with a blank between them, such as 42.36010 -71.05890.")
                .arg(text::quotedValue(typed));
        if (parts.size() == 2)
            place = sites::readCoordinates(parts[0], parts[1], problem);
        if (!place)
            Q_EMIT failed(problem);
    }
    const QString failure = placeChosenSite(place->latitude, place->longitude);
    if (!failure.isEmpty())
        Q_EMIT failed(failure);
}

void SitesTab::askAndExport()
{
    if (m_priorities.empty())
        return;
    const QString path = ui::askCsvFile(this, QStringLiteral("speeding priorities.csv"));
    if (path.isEmpty())
        return;
    const QString failure = exportPriorities(path);
    if (!failure.isEmpty()) {
        Q_EMIT failed(failure);
        return;
    }
    Q_EMIT exported(QStringLiteral("The speeding priorities were saved as %1")
                        .arg(db::displayPath(QFileInfo(path).absoluteFilePath())));
}

} // namespace pelmor::app
