#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace pelmor::ui {
class Messages;
}

namespace pelmor::acquisition {

// The saved-file window. In load mode it reads a chosen ".rsx" file into the
// download buffer; in save mode it writes the buffer to a named file; in
// both it deletes files. It starts in the program folder and can go to any
// other (a USB stick): through the folder list, whose ".." leads up, and the
// list of drives. The main window is disabled while it is up and told on
// every way out, through mainWindowReleased().
class LoadDataFile : public QWidget {
    Q_OBJECT
public:
    LoadDataFile(const QString& folder, QByteArray& buffer, ui::Messages& messages,
                 QWidget* parent = nullptr);

    void openForLoad();
    void openForSave();

    bool isLoadMode() const;
    // The folder the window shows and acts in.
    QString folder() const { return m_folder; }
    void setFolder(const QString& folder);
    QListWidget* fileList() const { return m_files; }
    QListWidget* folderList() const { return m_folders; }
    QComboBox* driveList() const { return m_drives; }
    QLineEdit* fileNameBox() const { return m_fileName; }
    QPushButton* actionButton() const { return m_action; }
    QPushButton* deleteButton() const { return m_delete; }
    QPushButton* cancelButton() const { return m_cancel; }
    QString prompt() const;

    // The action button: load or save, by the window's mode.
    void act();
    void deleteFile();
    void cancel();

Q_SIGNALS:
    // Before a file is read: the main window leaves the download state.
    void aboutToLoad();
    // The file was read into the buffer (which is empty when it could not be
    // read); the main window prepares it as it prepares a download.
    void loaded();
    // The buffer was written to `path`.
    void saved(const QString& path);
    // The main window may be enabled again.
    void mainWindowReleased();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void open(bool loadMode);
    void activate();
    void fileClicked(QListWidgetItem* item);
    void folderActivated(QListWidgetItem* item);
    void readFolder();
    void readDrives();
    void load();
    void save();
    QString filePath(const QString& name) const;

    QString m_folder;
    QByteArray& m_buffer;
    ui::Messages& m_messages;
    bool m_centred = false;
    QComboBox* m_drives;
    QListWidget* m_folders;
    QListWidget* m_files;
    QLabel* m_path;
    QLabel* m_prompt;
    QLineEdit* m_fileName;
    QPushButton* m_action;
    QPushButton* m_delete;
    QPushButton* m_cancel;
};

} // namespace pelmor::acquisition
