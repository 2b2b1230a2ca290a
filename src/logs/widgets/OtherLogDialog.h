#pragma once

#include "logs/LogLayout.h"
#include "logs/LogReading.h"

#include <QByteArray>
#include <QDialog>

#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTableWidget;
class QTimer;

namespace pelmor::ui {
class Messages;
}
namespace pelmor::worker {
class BackgroundTask;
}

namespace pelmor::logs {

// "Import Other Log...": another device's per-vehicle log, read with a
// layout that is guessed from the file, chosen from the known ones or
// corrected here. The file's first lines show as the layout splits them,
// beside what each vehicle is read as, with the counts and findings of the
// reading; every change of the layout reads the preview again, on a worker,
// a moment after the last change. "Continue" reads the whole file on the
// worker and accepts; the read log is then readLog().
class OtherLogDialog : public QDialog {
    Q_OBJECT
public:
    // Lines of the file the preview reads; a longer file is read whole
    // only for "Continue".
    static constexpr int kPreviewLines = 5000;

    OtherLogDialog(const LayoutFolders& folders, ui::Messages& messages, QWidget* parent = nullptr);
    ~OtherLogDialog() override;

    // Reads the file on the worker and shows it with its guessed layout.
    // A file that cannot be read, or holds no vehicle, is told (naming the
    // file) and the dialog rejected.
    void openFile(const QString& path);

    // The layout as the controls give it, and the controls set to one.
    LogLayout layout() const;
    void showLayout(const LogLayout& layout);

    // What the preview on show was drawn from: the read of the file's
    // first lines, or why they could not be read.
    const std::optional<ReadLog>& preview() const { return m_preview; }
    const QString& previewFailure() const { return m_previewFailure; }
    // After "Continue": the whole file read with layout().
    const ReadLog& readLog() const { return m_read; }
    const QByteArray& bytes() const { return m_bytes; }
    const QString& path() const { return m_path; }
    // Whether reading runs or a preview waits to be read.
    bool isReading() const;
    worker::BackgroundTask* task() const { return m_task; }

    // "Continue", "Save Layout...", "Export Layout..." and "Import Layout...".
    void continueWithLog();
    void saveLayoutAs();
    void exportLayout();
    void importLayout();

Q_SIGNALS:
    // A preview was read and drawn.
    void previewShown();

protected:
    void reject() override;

private:
    void buildControls();
    void layoutChanged();
    void readPreview();
    void showPreview(std::optional<ReadLog> log, const QString& failure, std::vector<QStringList> rows);
    void fillLayoutList(const LogLayout& guessed);
    void setBusy(bool busy, const QString& status);

    LayoutFolders m_folders;
    ui::Messages& m_messages;
    worker::BackgroundTask* m_task;
    QTimer* m_previewTimer;
    bool m_previewWaiting = false;
    bool m_showing = false;

    QString m_path;
    QByteArray m_bytes;
    QByteArray m_previewBytes;
    std::vector<LogLayout> m_layouts;
    std::optional<ReadLog> m_preview;
    QString m_previewFailure;
    ReadLog m_read;

    QComboBox* m_layoutList;
    QLineEdit* m_device;
    QComboBox* m_separator;
    QSpinBox* m_skipLines;
    QSpinBox* m_dateColumn;
    QLineEdit* m_dateFormat;
    QSpinBox* m_timeColumn;
    QLineEdit* m_timeFormat;
    QSpinBox* m_speedColumn;
    QComboBox* m_speedUnit;
    QSpinBox* m_directionColumn;
    QLineEdit* m_approaching;
    QLineEdit* m_receding;
    QComboBox* m_wholeFile;
    QLabel* m_directionValues;
    QSpinBox* m_lengthColumn;
    QSplitter* m_tables;
    QTableWidget* m_rows;
    QTableWidget* m_readings;
    QListWidget* m_findings;
    QLabel* m_status;
    QPushButton* m_continue;
    QPushButton* m_saveLayout;
    QPushButton* m_export;
    QPushButton* m_import;
};

} // namespace pelmor::logs
