#include "logs/widgets/OtherLogDialog.h"

#include "text/Formats.h"
#include "ui/Messages.h"
#include "ui/Style.h"
#include "ui/TabParts.h"
#include "worker/Run.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace pelmor::logs {
namespace {

// Rows of the preview tables: a screenful and some, not the whole file.
constexpr int kShownRows = 200;
// Time after the last change of the layout before the preview is read again.
constexpr int kPreviewDelayMs = 300;

const QString kGuessed = QStringLiteral("Guessed from the file");

// The file's first `lines` lines, for a preview that stays quick on a
// month-long log.
QByteArray firstLines(const QByteArray& bytes, int lines)
{
    qsizetype at = -1;
    for (int line = 0; line < lines; ++line) {
        at = bytes.indexOf('\n', at + 1);
        if (at < 0)
            return bytes;
    }
    return bytes.left(at + 1);
}

QString travelName(Travel travel)
{
    switch (travel) {
    case Travel::Approaching:
        return QStringLiteral("approaching");
    case Travel::Receding:
        return QStringLiteral("receding");
    case Travel::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

// The values of a layout's direction mapping that mean `travel`, as the
// officer types them: apart by commas.
QString valuesMeaning(const LogLayout& layout, Travel travel)
{
    QStringList values;
    for (const LogLayout::DirectionValue& value : layout.directionValues) {
        if (value.travel == travel)
            values << value.value;
    }
    return values.join(QStringLiteral(", "));
}

void addValues(LogLayout& layout, const QString& typed, Travel travel)
{
    for (const QString& value : typed.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (!value.trimmed().isEmpty())
            layout.directionValues.push_back({value.trimmed(), travel});
    }
}

QSpinBox* makeColumnBox(const QString& objectName, int minimum, const QString& noneText, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(objectName);
    box->setRange(minimum, 99);
    box->setSpecialValueText(noneText);
    // Wide enough for "with the date", and the same for every column.
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("with the date")) + 40);
    return box;
}

// What the reading of the first lines came to, for the window's thread.
struct PreviewRead {
    std::optional<ReadLog> log;
    QString failure;
    std::vector<QStringList> rows;
};

PreviewRead readFirstLines(const QByteArray& bytes, const LogLayout& layout, const QString& fileName)
{
    PreviewRead read;
    read.rows = firstRows(bytes, layout, kShownRows);
    try {
        read.log = logs::readLog(bytes, layout, fileName, ReadOptions());
    } catch (const LogError& error) {
        read.failure = error.message();
    }
    return read;
}

} // namespace

OtherLogDialog::OtherLogDialog(const LayoutFolders& folders, ui::Messages& messages, QWidget* parent)
    : QDialog(parent)
    , m_folders(folders)
    , m_messages(messages)
    , m_task(new worker::BackgroundTask(this))
    , m_previewTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("OtherLogDialog"));
    setWindowTitle(QStringLiteral("Import Other Log"));
    m_previewTimer->setSingleShot(true);
    m_previewTimer->setInterval(kPreviewDelayMs);
    connect(m_previewTimer, &QTimer::timeout, this, &OtherLogDialog::readPreview);
    buildControls();
    resize(980, 700);
}

OtherLogDialog::~OtherLogDialog() = default;

void OtherLogDialog::buildControls()
{
    m_layoutList = ui::makeList(QStringLiteral("LogLayouts"), {}, false, this);
    m_device = ui::makeTextBox(QStringLiteral("LogDevice"), this);
    m_separator = ui::makeList(QStringLiteral("LogSeparator"),
                               {QStringLiteral("Comma"), QStringLiteral("Semicolon"), QStringLiteral("Tab"),
                                QStringLiteral("Blanks")},
                               false, this);
    m_skipLines = makeColumnBox(QStringLiteral("LogSkipLines"), 0, QString(), this);
    m_skipLines->setMaximum(9999);
    m_dateColumn = makeColumnBox(QStringLiteral("LogDateColumn"), 1, QString(), this);
    m_dateFormat = ui::makeTextBox(QStringLiteral("LogDateFormat"), this);
    m_timeColumn = makeColumnBox(QStringLiteral("LogTimeColumn"), 0, QStringLiteral("with the date"), this);
    m_timeFormat = ui::makeTextBox(QStringLiteral("LogTimeFormat"), this);
    m_speedColumn = makeColumnBox(QStringLiteral("LogSpeedColumn"), 1, QString(), this);
    m_speedUnit = ui::makeList(
        QStringLiteral("LogSpeedUnit"),
        {QStringLiteral("chosen at import"), QStringLiteral("MPH"), QStringLiteral("KPH")}, false, this);
    m_directionColumn = makeColumnBox(QStringLiteral("LogDirectionColumn"), 0, QStringLiteral("none"), this);
    m_approaching = ui::makeTextBox(QStringLiteral("LogApproaching"), this);
    m_receding = ui::makeTextBox(QStringLiteral("LogReceding"), this);
    m_approaching->setPlaceholderText(QStringLiteral("values, apart by commas"));
    m_receding->setPlaceholderText(QStringLiteral("values, apart by commas"));
    m_wholeFile = ui::makeList(
        QStringLiteral("LogWholeFile"),
        {QStringLiteral("approaching"), QStringLiteral("receding"), QStringLiteral("unknown")}, false, this);
    m_directionValues = ui::makeNote(QString(), this, QStringLiteral("LogDirectionValues"));
    m_lengthColumn = makeColumnBox(QStringLiteral("LogLengthColumn"), 0, QStringLiteral("none"), this);

    // Two controls side by side in one row of the form.
    auto pair = [](QWidget* first, QWidget* second) {
        auto* row = new QHBoxLayout;
        row->addWidget(first);
        row->addWidget(second, 1);
        return row;
    };
    QGroupBox* layoutFrame = ui::makeFrame(QStringLiteral("Layout"), QStringLiteral("LogLayoutFrame"), this);
    auto* form = new QFormLayout(layoutFrame);
    form->addRow(QStringLiteral("Known layouts"), m_layoutList);
    form->addRow(QStringLiteral("Device"), m_device);
    form->addRow(QStringLiteral("Separator"), m_separator);
    form->addRow(QStringLiteral("Lines to skip"), pair(m_skipLines, new QWidget(this)));
    form->addRow(QStringLiteral("Date column"), pair(m_dateColumn, new QWidget(this)));
    form->addRow(QStringLiteral("Date format"), m_dateFormat);
    form->addRow(QStringLiteral("Time column"), pair(m_timeColumn, new QWidget(this)));
    form->addRow(QStringLiteral("Time format"), m_timeFormat);
    form->addRow(QStringLiteral("Speed column"), pair(m_speedColumn, new QWidget(this)));
    form->addRow(QStringLiteral("Speed unit"), m_speedUnit);
    form->addRow(QStringLiteral("Direction column"), pair(m_directionColumn, new QWidget(this)));
    form->addRow(QStringLiteral("Approaching"), m_approaching);
    form->addRow(QStringLiteral("Receding"), m_receding);
    form->addRow(QString(), m_directionValues);
    form->addRow(QStringLiteral("Whole file"), m_wholeFile);
    form->addRow(QStringLiteral("Length column"), pair(m_lengthColumn, new QWidget(this)));
    m_saveLayout = ui::makeButton(QStringLiteral("Save Layout..."), QStringLiteral("SaveLayout"), this);
    m_export = ui::makeButton(QStringLiteral("Export..."), QStringLiteral("ExportLayout"), this);
    m_import = ui::makeButton(QStringLiteral("Import..."), QStringLiteral("ImportLayout"), this);
    auto* layoutButtons = new QHBoxLayout;
    layoutButtons->addWidget(m_saveLayout);
    layoutButtons->addWidget(m_export);
    layoutButtons->addWidget(m_import);
    form->addRow(layoutButtons);
    layoutFrame->setFixedWidth(330);

    m_rows = ui::makeTextTable(QStringLiteral("LogRows"), this);
    m_readings = ui::makeTextTable(QStringLiteral("LogReadings"), this);
    m_findings = new QListWidget(this);
    m_findings->setObjectName(QStringLiteral("LogFindings"));
    m_findings->setWordWrap(true);
    auto titled = [this](const QString& title, QWidget* widget) {
        auto* holder = new QWidget(this);
        auto* column = new QVBoxLayout(holder);
        column->setContentsMargins(0, 0, 0, 0);
        column->addWidget(ui::makeCaption(title, holder));
        column->addWidget(widget, 1);
        return holder;
    };
    m_tables = new QSplitter(Qt::Horizontal, this);
    m_tables->addWidget(titled(QStringLiteral("The file's first lines"), m_rows));
    m_tables->addWidget(titled(QStringLiteral("Read as"), m_readings));
    m_tables->setChildrenCollapsible(false);
    // The readings' six columns whole; the file's lines in the room left.
    m_tables->setSizes({280, 340});
    auto* preview = new QSplitter(Qt::Vertical, this);
    preview->addWidget(m_tables);
    preview->addWidget(titled(QStringLiteral("Findings"), m_findings));
    preview->setStretchFactor(0, 3);
    preview->setStretchFactor(1, 1);
    preview->setChildrenCollapsible(false);

    m_status = ui::makeNote(QString(), this, QStringLiteral("LogStatus"));
    auto* progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("LogProgress"));
    progress->setMaximumWidth(200);
    progress->hide();
    connect(m_task, &worker::BackgroundTask::started, progress, [progress] {
        progress->setRange(0, 0);
        progress->show();
    });
    connect(m_task, &worker::BackgroundTask::progressed, progress, [progress](qint64 done, qint64 total) {
        // In per mille: a byte count outgrows the bar's whole numbers.
        progress->setRange(0, total > 0 ? 1000 : 0);
        progress->setValue(total > 0 ? int(done * 1000 / total) : 0);
    });
    connect(m_task, &worker::BackgroundTask::finished, progress, &QWidget::hide);
    m_continue = ui::makeButton(QStringLiteral("Continue"), QStringLiteral("ContinueLog"), this);
    QPushButton* cancel = ui::makeButton(QStringLiteral("Cancel"), QStringLiteral("CancelLog"), this);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(progress);
    bottom->addWidget(m_continue);
    bottom->addWidget(cancel);

    auto* body = new QHBoxLayout;
    body->addWidget(layoutFrame, 0, Qt::AlignTop);
    body->addWidget(preview, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(bottom);

    connect(m_layoutList, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < int(m_layouts.size()))
            showLayout(m_layouts[size_t(index)]);
    });
    for (QSpinBox* box :
         {m_skipLines, m_dateColumn, m_timeColumn, m_speedColumn, m_directionColumn, m_lengthColumn})
        connect(box, &QSpinBox::valueChanged, this, &OtherLogDialog::layoutChanged);
    for (QLineEdit* box : {m_dateFormat, m_timeFormat, m_approaching, m_receding})
        connect(box, &QLineEdit::textChanged, this, &OtherLogDialog::layoutChanged);
    for (QComboBox* list : {m_separator, m_speedUnit, m_wholeFile})
        connect(list, &QComboBox::currentIndexChanged, this, &OtherLogDialog::layoutChanged);
    connect(m_saveLayout, &QPushButton::clicked, this, &OtherLogDialog::saveLayoutAs);
    connect(m_export, &QPushButton::clicked, this, &OtherLogDialog::exportLayout);
    connect(m_import, &QPushButton::clicked, this, &OtherLogDialog::importLayout);
    connect(m_continue, &QPushButton::clicked, this, &OtherLogDialog::continueWithLog);
    connect(cancel, &QPushButton::clicked, this, &OtherLogDialog::reject);
}

void OtherLogDialog::openFile(const QString& path)
{
    m_path = path;
    setWindowTitle(QStringLiteral("Import Other Log - %1").arg(QFileInfo(path).fileName()));
    struct Opened {
        QByteArray bytes;
        QString failure;
        LogLayout guessed;
        PreviewRead preview;
    };
    setBusy(true, QStringLiteral("Reading %1...").arg(QFileInfo(path).fileName()));
    worker::run(
        *m_task, this,
        [path](worker::BackgroundTask&) {
            Opened opened;
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                opened.failure =
                    QStringLiteral("The log %1 cannot be read: %2").arg(path, file.errorString());
                return opened;
            }
            opened.bytes = file.readAll();
            try {
                opened.guessed = guessLayout(opened.bytes);
            } catch (const LogError& error) {
                opened.failure = error.message();
                return opened;
            }
            opened.preview = readFirstLines(firstLines(opened.bytes, kPreviewLines), opened.guessed,
                                            QFileInfo(path).fileName());
            return opened;
        },
        [this](worker::Done<Opened> done) {
            setBusy(false, QString());
            Opened& opened = done.value;
            // A file that cannot be read, or whose guessed layout finds no
            // vehicle in an empty file, is of no use to correct here.
            if (opened.failure.isEmpty() && !opened.preview.log && opened.bytes.trimmed().isEmpty())
                opened.failure = opened.preview.failure;
            if (!opened.failure.isEmpty()) {
                m_messages.tell(opened.failure, ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
                QDialog::reject();
                return;
            }
            m_bytes = std::move(opened.bytes);
            m_previewBytes = firstLines(m_bytes, kPreviewLines);
            fillLayoutList(opened.guessed);
            m_showing = true;
            showLayout(opened.guessed);
            m_showing = false;
            m_previewTimer->stop();
            showPreview(std::move(opened.preview.log), opened.preview.failure,
                        std::move(opened.preview.rows));
        },
        QStringLiteral("Reading the log"), true);
}

void OtherLogDialog::fillLayoutList(const LogLayout& guessed)
{
    m_layouts = {guessed};
    std::vector<LogLayout> known = knownLayouts(m_folders);
    m_layouts.insert(m_layouts.end(), known.begin(), known.end());
    m_layoutList->clear();
    m_layoutList->addItem(kGuessed);
    for (const LogLayout& layout : known)
        m_layoutList->addItem(layout.name);
}

LogLayout OtherLogDialog::layout() const
{
    LogLayout layout;
    const int chosen = m_layoutList->currentIndex();
    if (chosen >= 0 && chosen < int(m_layouts.size()))
        layout.name = m_layouts[size_t(chosen)].name;
    layout.device = m_device->text().trimmed();
    layout.separator = Separator(m_separator->currentIndex());
    layout.skipLines = m_skipLines->value();
    layout.dateColumn = m_dateColumn->value();
    layout.dateFormat = m_dateFormat->text().trimmed();
    layout.timeColumn = m_timeColumn->value();
    layout.timeFormat = layout.timeColumn == 0 ? QString() : m_timeFormat->text().trimmed();
    layout.speedColumn = m_speedColumn->value();
    layout.speedUnit = m_speedUnit->currentIndex() == 0 ? QString() : m_speedUnit->currentText();
    layout.directionColumn = m_directionColumn->value();
    if (layout.directionColumn > 0) {
        addValues(layout, m_approaching->text(), Travel::Approaching);
        addValues(layout, m_receding->text(), Travel::Receding);
    } else {
        layout.wholeFile = Travel(m_wholeFile->currentIndex());
    }
    layout.lengthColumn = m_lengthColumn->value();
    return layout;
}

void OtherLogDialog::showLayout(const LogLayout& layout)
{
    const bool wasShowing = m_showing;
    m_showing = true;
    m_device->setText(layout.device);
    m_separator->setCurrentIndex(int(layout.separator));
    m_skipLines->setValue(layout.skipLines);
    m_dateColumn->setValue(layout.dateColumn);
    m_dateFormat->setText(layout.dateFormat);
    m_timeColumn->setValue(layout.timeColumn);
    m_timeFormat->setText(layout.timeFormat);
    m_speedColumn->setValue(layout.speedColumn);
    m_speedUnit->setCurrentIndex(std::max(0, int(m_speedUnit->findText(layout.speedUnit))));
    m_directionColumn->setValue(layout.directionColumn);
    m_approaching->setText(valuesMeaning(layout, Travel::Approaching));
    m_receding->setText(valuesMeaning(layout, Travel::Receding));
    m_wholeFile->setCurrentIndex(int(layout.wholeFile));
    m_lengthColumn->setValue(layout.lengthColumn);
    m_showing = wasShowing;
    layoutChanged();
}

void OtherLogDialog::layoutChanged()
{
    // The time's format and the direction's values mean something only
    // with their column.
    m_timeFormat->setEnabled(m_timeColumn->value() > 0);
    const bool byColumn = m_directionColumn->value() > 0;
    m_approaching->setEnabled(byColumn);
    m_receding->setEnabled(byColumn);
    m_wholeFile->setEnabled(!byColumn);
    if (!m_showing && !m_bytes.isEmpty())
        m_previewTimer->start();
}

bool OtherLogDialog::isReading() const
{
    return m_task->isRunning() || m_previewTimer->isActive() || m_previewWaiting;
}

void OtherLogDialog::readPreview()
{
    // One read at a time; the changes made meanwhile are read once it ends.
    if (m_task->isRunning()) {
        m_previewWaiting = true;
        return;
    }
    m_previewWaiting = false;
    setBusy(true, QStringLiteral("Reading the first lines..."));
    worker::run(
        *m_task, this,
        [bytes = m_previewBytes, layout = layout(), name = QFileInfo(m_path).fileName()](
            worker::BackgroundTask&) { return readFirstLines(bytes, layout, name); },
        [this](worker::Done<PreviewRead> done) {
            setBusy(false, QString());
            showPreview(std::move(done.value.log), done.value.failure, std::move(done.value.rows));
            if (m_previewWaiting)
                readPreview();
        },
        QStringLiteral("Reading the log"), true);
}

void OtherLogDialog::showPreview(std::optional<ReadLog> log, const QString& failure,
                                 std::vector<QStringList> rows)
{
    m_preview = std::move(log);
    m_previewFailure = failure;
    const LogLayout shown = layout();

    qsizetype columns = 0;
    for (const QStringList& row : rows)
        columns = std::max(columns, row.size());
    QStringList titles;
    for (qsizetype column = 1; column <= columns; ++column)
        titles << QString::number(column);
    ui::fillTextTable(m_rows, titles, rows);

    // The values the direction column holds, for the officer to map.
    QStringList values;
    if (shown.directionColumn > 0) {
        for (size_t row = size_t(std::max(0, shown.skipLines)); row < rows.size() && values.size() < 8;
             ++row) {
            const QString value = rows[row].value(shown.directionColumn - 1).trimmed();
            if (!value.isEmpty() && !values.contains(value))
                values << value;
        }
    }
    m_directionValues->setText(values.isEmpty() ? QString()
                                                : QStringLiteral("In the column: %1").arg(values.join(", ")));

    // Each vehicle's reading and each refused line, in the file's order.
    struct Shown {
        qint64 line;
        QStringList texts;
        bool refused;
    };
    std::vector<Shown> lines;
    if (m_preview) {
        for (const LoggedVehicle& vehicle : m_preview->vehicles) {
            lines.push_back(
                {vehicle.line,
                 {QString::number(vehicle.line), vehicle.time.date().toString(QStringLiteral("yyyy-MM-dd")),
                  vehicle.time.time().toString(QStringLiteral("HH:mm:ss")), QString::number(vehicle.speed),
                  travelName(vehicle.travel),
                  vehicle.length < 0 ? QString() : text::formatOneDecimal(vehicle.length)},
                 false});
        }
        for (const RefusedLine& refused : m_preview->firstRefused)
            lines.push_back({refused.line, {QString::number(refused.line), refused.reason}, true});
    }
    std::sort(lines.begin(), lines.end(), [](const Shown& a, const Shown& b) { return a.line < b.line; });
    if (lines.size() > size_t(kShownRows))
        lines.resize(size_t(kShownRows));
    std::vector<QStringList> readings;
    for (const Shown& line : lines)
        readings.push_back(line.texts);
    m_readings->clearSpans();
    ui::fillTextTable(m_readings,
                      {QStringLiteral("Line"), QStringLiteral("Date"), QStringLiteral("Time"),
                       QStringLiteral("Speed"), QStringLiteral("Direction"), QStringLiteral("Length")},
                      readings);
    for (int row = 0; row < int(lines.size()); ++row) {
        if (!lines[size_t(row)].refused)
            continue;
        m_readings->setSpan(row, 1, 1, 5);
        m_readings->item(row, 1)->setTextAlignment(Qt::AlignVCenter | Qt::AlignLeft);
        m_readings->item(row, 1)->setForeground(Qt::darkRed);
    }

    m_findings->clear();
    const QString name = QFileInfo(m_path).fileName();
    if (m_preview) {
        m_findings->addItem(
            QStringLiteral("%1 lines read, %2 refused")
                .arg(text::formatCount(m_preview->lines), text::formatCount(m_preview->refused)));
        m_findings->addItems(m_preview->findings(name));
    } else {
        m_findings->addItem(failure);
    }
    m_continue->setEnabled(m_preview.has_value());
    const bool partial = m_previewBytes.size() < m_bytes.size();
    m_status->setText(
        partial ? QStringLiteral("The preview reads the first %1 lines; Continue reads the whole file.")
                      .arg(text::formatCount(kPreviewLines))
                : QString());
    Q_EMIT previewShown();
}

void OtherLogDialog::setBusy(bool busy, const QString& status)
{
    m_continue->setEnabled(!busy && m_preview.has_value());
    if (busy || !status.isEmpty())
        m_status->setText(status);
}

void OtherLogDialog::continueWithLog()
{
    if (m_bytes.isEmpty() || m_task->isRunning())
        return;
    m_previewTimer->stop();
    m_previewWaiting = false;
    struct Whole {
        std::optional<ReadLog> log;
        QString failure;
    };
    setBusy(true, QStringLiteral("Reading the whole file..."));
    worker::run(
        *m_task, this,
        [bytes = m_bytes, layout = layout(),
         name = QFileInfo(m_path).fileName()](worker::BackgroundTask& task) {
            Whole whole;
            ReadOptions options;
            options.progress = [&task](qint64 done, qint64 total) {
                task.setProgress(done, total);
            };
            options.cancelled = [&task] {
                return task.isCancelled();
            };
            try {
                whole.log = logs::readLog(bytes, layout, name, options);
            } catch (const LogError& error) {
                whole.failure = error.message();
            }
            return whole;
        },
        [this](worker::Done<Whole> done) {
            setBusy(false, QString());
            if (m_task->isCancelled() || !isVisible())
                return;
            if (!done.value.log) {
                m_messages.tell(done.value.failure, ui::Messages::defaultTitle(),
                                ui::Messages::Icon::Warning);
                return;
            }
            m_read = std::move(*done.value.log);
            accept();
        },
        QStringLiteral("Reading the log"), true);
}

void OtherLogDialog::reject()
{
    // A read on the worker stops at its next look at the flag.
    m_task->cancel();
    m_previewTimer->stop();
    QDialog::reject();
}

void OtherLogDialog::saveLayoutAs()
{
    LogLayout kept = layout();
    bool ok = false;
    const QString name =
        QInputDialog::getText(this, QStringLiteral("Save Layout"), QStringLiteral("Name of the layout:"),
                              QLineEdit::Normal, kept.name, &ok)
            .trimmed();
    if (!ok || name.isEmpty())
        return;
    kept.name = name;
    try {
        saveLayout(m_folders, kept);
    } catch (const LayoutError& error) {
        m_messages.tell(error.message(), ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
        return;
    }
    // The saved layout is offered among the known ones from now on.
    fillLayoutList(m_layouts.front());
    m_layoutList->setCurrentIndex(std::max(0, int(m_layoutList->findText(name))));
}

void OtherLogDialog::exportLayout()
{
    const LogLayout kept = layout();
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Export Layout"),
        (kept.name.isEmpty() ? QStringLiteral("layout") : kept.name) + QStringLiteral(".layout"),
        QStringLiteral("Layout files (*.layout);;All files (*)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(kept.toText().toUtf8()) < 0 || !file.commit())
        m_messages.tell(
            QStringLiteral("The layout cannot be written to %1: %2").arg(path, file.errorString()),
            ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
}

void OtherLogDialog::importLayout()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Import Layout"), QString(),
                                     QStringLiteral("Layout files (*.layout);;All files (*)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    try {
        if (!file.open(QIODevice::ReadOnly))
            throw LayoutError(QStringLiteral("cannot be read: %1").arg(file.errorString()));
        showLayout(LogLayout::fromText(QString::fromUtf8(file.readAll())));
    } catch (const LayoutError& error) {
        m_messages.tell(QStringLiteral("The layout %1 cannot be used: %2").arg(path, error.message()),
                        ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
    }
}

} // namespace pelmor::logs
