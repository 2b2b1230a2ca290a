#pragma once

#include <QWidget>

class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace pelmor::app {

class BoundViews;

// The "Administration / Setup" tab: the agency and officer lists that the
// reports are headed and signed with, the inputs of the field setup sheet
// with its two print buttons, and the way to the database maintenance window.
// The field sheet inputs are found by name ("SetID" .. "SetName").
class AdminTab : public QWidget {
    Q_OBJECT
public:
    AdminTab(BoundViews& views, QWidget* parent = nullptr);

    QListWidget* agencyList() const { return m_agencyList; }
    QLineEdit* agencyNameBox() const { return m_agencyName; }
    QPushButton* refreshAgencyButton() const { return m_refreshAgency; }
    QPushButton* addAgencyButton() const { return m_addAgency; }
    QPushButton* deleteAgencyButton() const { return m_deleteAgency; }

    QListWidget* officerList() const { return m_officerList; }
    QLineEdit* officerNameBox() const { return m_officerName; }
    QPushButton* refreshOfficerButton() const { return m_refreshOfficer; }
    QPushButton* addOfficerButton() const { return m_addOfficer; }
    QPushButton* deleteOfficerButton() const { return m_deleteOfficer; }

    QPushButton* printFilledFormButton() const { return m_printFilledForm; }
    QPushButton* printBlankFormButton() const { return m_printBlankForm; }
    QPushButton* databaseManagementButton() const { return m_databaseManagement; }

Q_SIGNALS:
    void closeRequested();

private:
    QGroupBox* buildListsFrame(BoundViews& views);
    QGroupBox* buildFieldSetupFrame();
    QPushButton* makeCloseButton(const QString& objectName);

    QListWidget* m_agencyList = nullptr;
    QLineEdit* m_agencyName = nullptr;
    QPushButton* m_refreshAgency = nullptr;
    QPushButton* m_addAgency = nullptr;
    QPushButton* m_deleteAgency = nullptr;
    QListWidget* m_officerList = nullptr;
    QLineEdit* m_officerName = nullptr;
    QPushButton* m_refreshOfficer = nullptr;
    QPushButton* m_addOfficer = nullptr;
    QPushButton* m_deleteOfficer = nullptr;
    QPushButton* m_printFilledForm = nullptr;
    QPushButton* m_printBlankForm = nullptr;
    QPushButton* m_databaseManagement = nullptr;
};

} // namespace pelmor::app
