#include "acquisition/widgets/LoadDataFile.h"

#include "acquisition/SavedDownloads.h"
#include "ui/BusyCursor.h"
#include "ui/Messages.h"
#include "ui/Style.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace pelmor::acquisition {
namespace {

const QString kLoadCaption = QStringLiteral("Load File");
const QString kSaveCaption = QStringLiteral("Save File");

} // namespace

LoadDataFile::LoadDataFile(const QString& folder, QByteArray& buffer, ui::Messages& messages, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::Dialog)
    , m_folder(folder)
    , m_buffer(buffer)
    , m_messages(messages)
{
    setObjectName(QStringLiteral("LoadDataFile"));
    setWindowModality(Qt::NonModal);

    m_files = new QListWidget(this);
    ui::showFullTextWhenCut(m_files);
    m_files->setObjectName(QStringLiteral("File1"));
    m_files->setMinimumHeight(180);
    m_path = ui::makeValueLabel(QStringLiteral("PathDisplay"), this);
    m_prompt = ui::makeNote(QString(), this, QStringLiteral("Prompt"));
    m_fileName = ui::makeTextBox(QStringLiteral("FileName"), this);
    m_action = ui::makeButton(kLoadCaption, QStringLiteral("File"), this);
    m_action->setDefault(true);
    m_delete = ui::makeButton(tr("Delete File"), QStringLiteral("DeleteFile"), this);
    m_cancel = ui::makeButton(tr("Cancel"), QStringLiteral("Cancel"), this);

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(ui::makeCaption(tr("Path:"), this));
    pathRow->addWidget(m_path, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_action);
    buttons->addWidget(m_delete);
    buttons->addWidget(m_cancel);
    buttons->addStretch(1);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_prompt, 0, 0, 1, 2);
    grid->addWidget(m_fileName, 1, 0);
    grid->addWidget(m_files, 2, 0);
    grid->addLayout(buttons, 1, 1, 2, 1);
    grid->addLayout(pathRow, 3, 0, 1, 2);
    grid->addWidget(ui::makeCaption(QStringLiteral("File Type: *.rsx"), this, QStringLiteral("FileType")), 4,
                    0, 1, 2);
    resize(460, 360);

    connect(m_files, &QListWidget::itemClicked, this, &LoadDataFile::fileClicked);
    connect(m_files, &QListWidget::itemDoubleClicked, this, &LoadDataFile::fileClicked);
    connect(m_action, &QPushButton::clicked, this, &LoadDataFile::act);
    connect(m_delete, &QPushButton::clicked, this, &LoadDataFile::deleteFile);
    connect(m_cancel, &QPushButton::clicked, this, &LoadDataFile::cancel);
}

bool LoadDataFile::isLoadMode() const
{
    return m_action->text() == kLoadCaption;
}

QString LoadDataFile::prompt() const
{
    return m_prompt->text();
}

void LoadDataFile::openForLoad()
{
    open(true);
}

void LoadDataFile::openForSave()
{
    open(false);
}

void LoadDataFile::open(bool loadMode)
{
    m_files->setEnabled(loadMode);
    m_action->setText(loadMode ? kLoadCaption : kSaveCaption);
    m_delete->setEnabled(false);
    if (!m_centred) {
        if (const QScreen* screen = this->screen()) {
            const QRect area = screen->geometry();
            move((area.width() - width()) / 2, (area.height() - height()) / 2);
        }
        m_centred = true;
    }
    show();
    raise();
    activateWindow();
    setWindowTitle(loadMode ? tr("Load Radar Data File") : tr("Save Radar Data File"));
    activate();
}

void LoadDataFile::activate()
{
    m_fileName->clear();
    m_files->clear();
    m_files->addItems(listSavedDownloads(m_folder));
    m_prompt->setText(isLoadMode() ? tr("Click on desired file to load")
                                   : tr("Type <filename> to save file"));
    m_fileName->setFocus();
}

void LoadDataFile::fileClicked(QListWidgetItem* item)
{
    m_path->setText(QDir::toNativeSeparators(m_folder) + QDir::separator());
    m_fileName->setText(item->text());
    m_delete->setEnabled(true);
    m_action->setEnabled(true);
}

QString LoadDataFile::filePath(const QString& name) const
{
    return QDir(m_folder).filePath(name);
}

void LoadDataFile::act()
{
    if (isLoadMode())
        load();
    else
        save();
}

void LoadDataFile::load()
{
    if (m_fileName->text().isEmpty()) {
        m_messages.tell(tr("You must first select a file to load."), tr("Error"));
        return;
    }
    Q_EMIT aboutToLoad();
    {
        const ui::BusyCursor busy;
        // A file that cannot be read leaves the buffer empty; the main window
        // then shows an empty header, as for any unreadable download.
        readSavedDownload(filePath(m_fileName->text()), m_buffer);
        Q_EMIT loaded();
    }
    Q_EMIT mainWindowReleased();
    hide();
}

void LoadDataFile::save()
{
    const QString name = savedFileName(m_fileName->text());
    m_fileName->setText(name);
    const QString path = filePath(name);
    if (QFileInfo::exists(path)) {
        const auto answer = m_messages.ask(
            tr("This file already exists!") + QLatin1Char('\n') + tr("Do you want to replace it?"),
            tr("File Error"), ui::Messages::Buttons::YesNo, ui::Messages::Icon::Warning);
        if (answer != ui::Messages::Answer::Yes)
            return;
    }
    QString reason;
    bool written = false;
    {
        const ui::BusyCursor busy;
        // The new file replaces the old one only once it is complete.
        written = writeSavedDownload(path, m_buffer, &reason);
    }
    if (!written) {
        // A saved download may be the only copy of weeks of a sign's data:
        // the window stays open so it can be saved elsewhere.
        m_messages.tell(tr("The download could not be saved as %1: %2\n\nNothing was written under that "
                           "name. Free some disk space, or save the download under another name.")
                            .arg(QDir::toNativeSeparators(path), reason),
                        tr("File Error"), ui::Messages::Icon::Warning);
        return;
    }
    Q_EMIT mainWindowReleased();
    hide();
}

void LoadDataFile::deleteFile()
{
    const QString name = m_fileName->text();
    const auto answer =
        m_messages.ask(tr("Are you sure you want to delete -") + QStringLiteral("\r\n") + name,
                       tr("delete file"), ui::Messages::Buttons::OkCancel, ui::Messages::Icon::Question);
    if (answer != ui::Messages::Answer::Ok)
        return;
    QFile file(filePath(name));
    if (!file.remove())
        m_messages.tell(tr("The file %1 could not be deleted: %2")
                            .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()),
                        tr("delete file"), ui::Messages::Icon::Warning);
    m_files->clear();
    m_files->addItems(listSavedDownloads(m_folder));
    m_fileName->clear();
    Q_EMIT mainWindowReleased();
}

void LoadDataFile::cancel()
{
    hide();
    Q_EMIT mainWindowReleased();
}

void LoadDataFile::closeEvent(QCloseEvent* event)
{
    // Closing the window by its title bar is a cancel: the main window must
    // not stay disabled.
    event->ignore();
    cancel();
}

} // namespace pelmor::acquisition
