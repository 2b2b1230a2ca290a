#pragma once

#include "reports/DocumentInputs.h"

#include <QHash>
#include <QWidget>

class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace pelmor::db {
class RecordView;
}

namespace pelmor::app {

class BoundViews;

// The "Administration / Setup" tab: the agency and officer lists that the
// reports are headed and signed with, the inputs of the field setup sheet
// with its two print buttons, and the way to the database maintenance window.
// The field sheet inputs are found by name ("SetID" .. "SetName").
//
// The agency and officer views stand on the current agency and officer.
// The lists are filled by their refresh buttons; a click on a name moves the
// view onto it and allows deleting it; "Add Agency" / "Add Officer" start a
// new record that takes the name typed into the name box.
class AdminTab : public QWidget {
    Q_OBJECT
public:
    // The controls of one name list: the agencies or the officers.
    struct NameList {
        QLineEdit* name = nullptr;
        QPushButton* refresh = nullptr;
        QListWidget* list = nullptr;
        QPushButton* add = nullptr;
        QPushButton* remove = nullptr;
    };

    AdminTab(BoundViews& views, QWidget* parent = nullptr);

    QListWidget* agencyList() const { return m_agency.list; }
    QLineEdit* agencyNameBox() const { return m_agency.name; }
    QPushButton* refreshAgencyButton() const { return m_agency.refresh; }
    QPushButton* addAgencyButton() const { return m_agency.add; }
    QPushButton* deleteAgencyButton() const { return m_agency.remove; }

    QListWidget* officerList() const { return m_officer.list; }
    QLineEdit* officerNameBox() const { return m_officer.name; }
    QPushButton* refreshOfficerButton() const { return m_officer.refresh; }
    QPushButton* addOfficerButton() const { return m_officer.add; }
    QPushButton* deleteOfficerButton() const { return m_officer.remove; }

    QPushButton* printFilledFormButton() const { return m_printFilledForm; }
    QPushButton* printBlankFormButton() const { return m_printBlankForm; }
    QPushButton* databaseManagementButton() const { return m_databaseManagement; }

    // What the field setup inputs read now, for the filled-in sheet.
    reports::FieldSheetInputs fieldSheetInputs() const;

    // Fill the agency and the officer list from their tables; an empty table
    // first gets the placeholder "(Agency Name)" or "(Officer Name)".
    void refreshAgencyList();
    void refreshOfficerList();

    void addAgency();
    void addOfficer();
    // A click on a listed name: the view moves onto the first record of that name.
    void chooseAgency(const QString& name);
    void chooseOfficer(const QString& name);
    void deleteAgency();
    void deleteOfficer();

Q_SIGNALS:
    void closeRequested();
    // The database could not be read or changed; the message names what failed.
    void failed(const QString& message);

private:
    QGroupBox* buildListsFrame(BoundViews& views);
    QGroupBox* buildFieldSetupFrame();
    QPushButton* makeCloseButton(const QString& objectName);
    void connectNameLists();
    void refreshNames(db::RecordView* view, const QString& field, const QString& placeholder,
                      QListWidget* list);
    void chooseName(db::RecordView* view, const QString& field, const QString& name, QPushButton* remove);
    void deleteName(db::RecordView* view, QPushButton* remove);
    bool requireOpen(db::RecordView* view);

    BoundViews& m_views;

    NameList m_agency;
    NameList m_officer;
    // The field setup inputs by name ("SetID" .. "SetName").
    QHash<QString, QWidget*> m_setupInputs;
    QPushButton* m_printFilledForm = nullptr;
    QPushButton* m_printBlankForm = nullptr;
    QPushButton* m_databaseManagement = nullptr;
};

} // namespace pelmor::app
