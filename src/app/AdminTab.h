#pragma once

#include "db/Database.h"
#include "db/ServerChoice.h"
#include "reports/DocumentInputs.h"
#include "store/SurveyStore.h"

#include <QHash>
#include <QWidget>

#include <vector>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace pelmor::app {

class ReportNames;

// The "Administration / Setup" tab: the agency and officer lists that the
// reports are headed and signed with, the inputs of the field setup sheet
// with its two print buttons, and the way to the database maintenance window.
// The field sheet inputs are found by name ("SetID" .. "SetName").
//
// The chosen agency and officer (ReportNames) head and sign the reports.
// The lists are filled from the store when the tab opens and by their
// refresh buttons; a click on a name makes it the chosen one and allows
// renaming and deleting it. "Add Agency" / "Add Officer"
// store the name typed into the name box as a new name, which becomes the
// current one (pressed with an empty box, or the current name unchanged,
// they empty the box for the name to type). Typing into the box changes no
// stored name by itself: the "Rename" button beside the box does that.
class AdminTab : public QWidget {
    Q_OBJECT
public:
    // The controls and state of one name list: the agencies or the officers.
    struct NameList {
        store::NameList kind = store::NameList::Agencies;
        QString placeholder; // "(Agency Name)"
        QLineEdit* name = nullptr;
        QPushButton* refresh = nullptr;
        QListWidget* list = nullptr;
        QPushButton* add = nullptr;
        QPushButton* rename = nullptr;
        QPushButton* remove = nullptr;
        // "Add" was pressed: the box waits for a new name.
        bool adding = false;
        // The entries as listed, row by row.
        std::vector<store::NamedEntry> entries;
    };

    // `database` is read each time a list is read or changed.
    AdminTab(const db::Database& database, ReportNames& names, QWidget* parent = nullptr);

    QListWidget* agencyList() const { return m_agency.list; }
    QLineEdit* agencyNameBox() const { return m_agency.name; }
    QPushButton* refreshAgencyButton() const { return m_agency.refresh; }
    QPushButton* addAgencyButton() const { return m_agency.add; }
    QPushButton* renameAgencyButton() const { return m_agency.rename; }
    QPushButton* deleteAgencyButton() const { return m_agency.remove; }

    QListWidget* officerList() const { return m_officer.list; }
    QLineEdit* officerNameBox() const { return m_officer.name; }
    QPushButton* refreshOfficerButton() const { return m_officer.refresh; }
    QPushButton* addOfficerButton() const { return m_officer.add; }
    QPushButton* renameOfficerButton() const { return m_officer.rename; }
    QPushButton* deleteOfficerButton() const { return m_officer.remove; }

    // Says which database the program works on ("This computer: PATH").
    void showDatabaseInUse(const db::Database& database, const db::ServerChoice& server);

    // What the field setup inputs read now, for the filled-in sheet.
    reports::FieldSheetInputs fieldSheetInputs() const;

    // Fill the agency and the officer list from their tables; an empty table
    // first gets the placeholder "(Agency Name)" or "(Officer Name)". A new
    // name typed after "Add" is stored first.
    void refreshAgencyList() { refreshList(m_agency); }
    void refreshOfficerList() { refreshList(m_officer); }

    void addAgency() { addName(m_agency); }
    void addOfficer() { addName(m_officer); }
    // A click on a listed name: the entry of that row becomes the chosen one.
    void chooseAgency(int row) { chooseName(m_agency, row); }
    void chooseOfficer(int row) { chooseName(m_officer, row); }
    void renameAgency() { renameCurrent(m_agency); }
    void renameOfficer() { renameCurrent(m_officer); }
    void deleteAgency() { deleteCurrent(m_agency); }
    void deleteOfficer() { deleteCurrent(m_officer); }

Q_SIGNALS:
    void closeRequested();
    // The database could not be read or changed; the message names what failed.
    void failed(const QString& message);
    // "Print Filled In Form" (filled) or "Print Blank Form".
    void fieldSheetPrintRequested(bool filled);
    // "Database...", "Database Management", "Send Surveys to the Agency Server...".
    void databaseChoiceRequested();
    void databaseManagementRequested();
    void sendSurveysRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QGroupBox* buildListsFrame();
    QGroupBox* buildFieldSetupFrame();
    QPushButton* makeCloseButton(const QString& objectName);
    void connectNameLists(NameList& side);
    // Tells a list that cannot be read, unless the tab is only opening.
    enum class Failures { Tell, Keep };
    void refreshList(NameList& side, Failures failures = Failures::Tell);
    void addName(NameList& side);
    bool storeNewName(NameList& side, const QString& name);
    void chooseName(NameList& side, int row);
    void renameCurrent(NameList& side);
    void deleteCurrent(NameList& side);
    // The box shows the chosen name, unless a new one is being typed;
    // renaming is offered for a changed name of a chosen entry.
    void showCurrentName(NameList& side);
    void offerRename(NameList& side);
    const store::NamedEntry& chosen(const NameList& side) const;

    const db::Database& m_database;
    ReportNames& m_names;

    NameList m_agency;
    NameList m_officer;
    // The field setup inputs by name ("SetID" .. "SetName").
    QHash<QString, QWidget*> m_setupInputs;
    QPushButton* m_printFilledForm = nullptr;
    QPushButton* m_printBlankForm = nullptr;
    QPushButton* m_sendSurveys = nullptr;
    QPushButton* m_databaseManagement = nullptr;
    QPushButton* m_databaseChoice = nullptr;
    QLabel* m_databaseInUse = nullptr;
    QLabel* m_databaseNote = nullptr;
};

} // namespace pelmor::app
