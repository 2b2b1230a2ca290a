#include "acquisition/widgets/LoadDataFile.h"

#include "acquisition/SavedDownloads.h"
#include "ui/BusyCursor.h"
#include "ui/Messages.h"
#include "ui/Style.h"

#include <QCloseEvent>
#include <QComboBox>
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
#include <QStorageInfo>
#include <QStyle>
#include <QVBoxLayout>

namespace pelmor::acquisition {
namespace {

const QString kLoadCaption = QStringLiteral("Load File");
const QString kSaveCaption = QStringLiteral("Save File");
const QString kParentFolder = QStringLiteral("..");

// A folder as the path line shows it: ending in the separator.
QString folderText(const QString& folder)
{
    QString text = QDir::toNativeSeparators(folder);
    if (!text.endsWith(QDir::separator()))
        text += QDir::separator();
    return text;
}

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
    m_folders = new QListWidget(this);
    ui::showFullTextWhenCut(m_folders);
    m_folders->setObjectName(QStringLiteral("Dir1"));
    m_folders->setToolTip(tr("Double-click a folder to open it; \"..\" leads up."));
    m_drives = ui::makeList(QStringLiteral("Drive1"), {}, false, this);
    m_drives->setToolTip(tr("The drives of this computer, a USB stick among them."));
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

    auto* driveRow = new QHBoxLayout;
    driveRow->addWidget(ui::makeCaption(tr("Drive:"), this));
    driveRow->addWidget(m_drives, 1);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_prompt, 0, 0, 1, 3);
    grid->addWidget(m_fileName, 1, 0);
    grid->addWidget(m_files, 2, 0);
    grid->addLayout(driveRow, 1, 1);
    grid->addWidget(m_folders, 2, 1);
    grid->addLayout(buttons, 1, 2, 2, 1);
    grid->addLayout(pathRow, 3, 0, 1, 3);
    grid->addWidget(ui::makeCaption(QStringLiteral("File Type: *.rsx"), this, QStringLiteral("FileType")), 4,
                    0, 1, 3);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    resize(600, 380);

    connect(m_files, &QListWidget::itemClicked, this, &LoadDataFile::fileClicked);
    // A double click on a file loads it at once.
    connect(m_files, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        fileClicked(item);
        if (isLoadMode())
            act();
    });
    connect(m_folders, &QListWidget::itemActivated, this, &LoadDataFile::folderActivated);
    connect(m_drives, &QComboBox::activated, this,
            [this](int index) { setFolder(m_drives->itemData(index).toString()); });
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
    readDrives();
    readFolder();
    m_prompt->setText(isLoadMode() ? tr("Click on desired file to load")
                                   : tr("Type <filename> to save file"));
    m_fileName->setFocus();
}

void LoadDataFile::setFolder(const QString& folder)
{
    m_folder = QDir::cleanPath(QDir(folder).absolutePath());
    // A name chosen in the old folder names nothing here; a name typed to
    // save under is kept.
    if (isLoadMode())
        m_fileName->clear();
    m_delete->setEnabled(false);
    readDrives();
    readFolder();
}

void LoadDataFile::readFolder()
{
    const QDir dir(m_folder);
    m_folders->clear();
    if (!dir.isRoot())
        m_folders->addItem(
            new QListWidgetItem(style()->standardIcon(QStyle::SP_FileDialogToParent), kParentFolder));
    const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
    for (const QString& name :
         dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase))
        m_folders->addItem(new QListWidgetItem(folderIcon, name));
    m_files->clear();
    m_files->addItems(listSavedDownloads(m_folder));
    m_path->setText(folderText(m_folder));
}

void LoadDataFile::readDrives()
{
    const QString current = QStorageInfo(m_folder).rootPath();
    m_drives->clear();
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString root = volume.rootPath();
        const QString name = volume.displayName();
        m_drives->addItem(name == root ? QDir::toNativeSeparators(root)
                                       : QStringLiteral("%1 (%2)").arg(name, QDir::toNativeSeparators(root)),
                          root);
        if (root == current)
            m_drives->setCurrentIndex(m_drives->count() - 1);
    }
}

void LoadDataFile::folderActivated(QListWidgetItem* item)
{
    setFolder(QDir(m_folder).filePath(item->text()));
}

void LoadDataFile::fileClicked(QListWidgetItem* item)
{
    m_path->setText(folderText(m_folder));
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
    const QString name = m_fileName->text();
    if (name.isEmpty()) {
        m_messages.tell(tr("You must first select a file to load."), tr("Error"));
        return;
    }
    // The file is read whole before anything changes: a name that is not
    // there, or a file that cannot be read, leaves the download on hand and
    // the window open for another choice.
    const QString path = filePath(name);
    const QString folder = QDir::toNativeSeparators(m_folder);
    QByteArray content;
    QString reason;
    bool read = false;
    if (!QFileInfo(path).isFile()) {
        m_messages.tell(tr("The file %1 was not found in the folder %2.\n\nChoose a file from the list, or "
                           "go to the folder that holds it.")
                            .arg(name, folder),
                        tr("Error"), ui::Messages::Icon::Warning);
        return;
    }
    {
        const ui::BusyCursor busy;
        read = readSavedDownload(path, content, &reason);
    }
    if (!read || content.isEmpty()) {
        const QString problem =
            read ? tr("The file %1 in the folder %2 is empty: it holds no download.").arg(name, folder)
                 : tr("The file %1 in the folder %2 cannot be read: %3.").arg(name, folder, reason);
        m_messages.tell(problem + tr("\n\nChoose another file."), tr("Error"), ui::Messages::Icon::Warning);
        return;
    }
    Q_EMIT aboutToLoad();
    {
        const ui::BusyCursor busy;
        m_buffer = content;
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
        // No is the default answer: Enter alone replaces nothing.
        const auto answer = m_messages.ask(
            tr("This file already exists!") + QLatin1Char('\n') + tr("Do you want to replace it?") +
                QStringLiteral("\n\n") + tr("The download saved in %1 is then lost.").arg(name),
            tr("File Error"), ui::Messages::Buttons::YesNoDefaultNo, ui::Messages::Icon::Warning);
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
    Q_EMIT saved(path);
    Q_EMIT mainWindowReleased();
    hide();
}

void LoadDataFile::deleteFile()
{
    const QString name = m_fileName->text();
    const auto answer = m_messages.ask(
        tr("Are you sure you want to delete -") + QStringLiteral("\r\n") + name, tr("delete file"),
        ui::Messages::Buttons::OkCancelDefaultCancel, ui::Messages::Icon::Question);
    if (answer != ui::Messages::Answer::Ok)
        return;
    QFile file(filePath(name));
    if (!file.remove())
        m_messages.tell(tr("The file %1 could not be deleted: %2")
                            .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()),
                        tr("delete file"), ui::Messages::Icon::Warning);
    readFolder();
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
