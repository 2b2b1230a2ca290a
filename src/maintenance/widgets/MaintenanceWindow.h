#pragma once

#include <QString>
#include <QWidget>

class QPushButton;

namespace pelmor::ui {
class Messages;
}

namespace pelmor::maintenance {

// The maintenance window "Database Management": backup with compaction,
// repair, replacement by the empty database and restore from the backup
// of the survey database in the program folder, and the way on to the
// deletion window. It runs while the main window is closed, so the program
// holds no connection to the database meanwhile.
class MaintenanceWindow : public QWidget {
    Q_OBJECT
public:
    MaintenanceWindow(const QString& folder, ui::Messages& messages, QWidget* parent = nullptr);

    // Shows the window in the middle of the screen.
    void present();

    void backup();
    void repair();
    // Each asks first, saying what will be lost; Cancel, the default,
    // changes nothing.
    void replace();
    void restore();

Q_SIGNALS:
    // "Delete Individual Survey or Complete Database".
    void deletionRequested();
    // "Return To Pelmor Program", or the window closed.
    void returnRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPushButton* addButton(const QString& text, const QString& objectName, const QString& hint);

    QString m_folder;
    ui::Messages& m_messages;
};

} // namespace pelmor::maintenance
