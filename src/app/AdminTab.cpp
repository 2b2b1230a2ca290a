#include "app/AdminTab.h"

#include "app/ReportNames.h"
#include "db/DbError.h"
#include "db/Files.h"
#include "import/SurveyLists.h"
#include "store/NameLists.h"
#include "store/SurveyStore.h"
#include "survey/FieldLimits.h"
#include "text/MessageText.h"
#include "ui/Style.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace pelmor::app {
namespace {

// One width for the stand-alone buttons of the tab.
constexpr int kButtonWidth = 150;

// Why a name does not fit its list; empty when it does.
QString nameLengthRefusal(store::NameList kind, const QString& name)
{
    return kind == store::NameList::Agencies
               ? survey::lengthRefusal("Admin_Agency", QStringLiteral("agency name"), name)
               : survey::lengthRefusal("Admin_Officer", QStringLiteral("officer name"), name);
}

// Builds one side of the lists frame in `column` of `grid`: caption, the name
// box with its rename and refresh buttons, the list, and the add and delete
// buttons. `noun` names the controls ("Agency" gives "AgencyName",
// "RefreshAgency", "AgencyList", "AddAgency", "RenameAgency",
// "DeleteAgency").
AdminTab::NameList addNameList(QGridLayout* grid, int column, const QString& caption, const QString& noun,
                               store::NameList list)
{
    QWidget* frame = grid->parentWidget();
    grid->addWidget(ui::makeCaption(caption, frame, noun + QStringLiteral("Caption")), 0, column);

    AdminTab::NameList side;
    side.kind = list;
    side.placeholder = store::placeholderName(list);
    side.name = ui::makeTextBox(noun + QStringLiteral("Name"), frame);
    side.name->setToolTip(
        QStringLiteral("The %1 name printed on reports: type a new one and press \"Add %2\", "
                       "or change the chosen one and press \"Rename\"")
            .arg(noun.toLower(), noun));

    side.refresh = ui::makeButton(QString(), QStringLiteral("Refresh") + noun, frame);
    side.refresh->setIcon(frame->style()->standardIcon(QStyle::SP_BrowserReload));
    side.refresh->setToolTip(QStringLiteral("Read the list again"));
    side.refresh->setFixedWidth(34);
    // Renaming belongs to the box the new name is typed into.
    side.rename = ui::makeButton(QStringLiteral("Rename"), QStringLiteral("Rename") + noun, frame);
    side.rename->setToolTip(
        QStringLiteral("Give the chosen %1 the name typed in the box").arg(noun.toLower()));
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(4);
    nameRow->addWidget(side.name, 1);
    nameRow->addWidget(side.rename);
    nameRow->addWidget(side.refresh);
    grid->addLayout(nameRow, 1, column);

    side.list = new QListWidget(frame);
    ui::showFullTextWhenCut(side.list);
    side.list->setObjectName(noun + QStringLiteral("List"));
    side.list->setToolTip(QStringLiteral("Click a name to choose it for the reports"));
    grid->addWidget(side.list, 2, column);

    side.add = ui::makeButton(QStringLiteral("Add ") + noun, QStringLiteral("Add") + noun, frame);
    side.remove = ui::makeButton(QStringLiteral("Delete ") + noun, QStringLiteral("Delete") + noun, frame);
    // Renaming and deleting need a name clicked in the list first.
    side.rename->setEnabled(false);
    side.remove->setEnabled(false);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(6);
    for (QPushButton* button : {side.add, side.remove})
        buttonRow->addWidget(button, 1);
    grid->addLayout(buttonRow, 3, column);
    return side;
}

struct SetupInput {
    const char* name;
    const char* caption;
};

// The field sheet inputs in the order of the sheet, with their captions.
constexpr SetupInput kSetupInputs[] = {
    {"SetID", "Trailer ID"},
    {"SetCode", "Batch Number"},
    {"SetTime", "Survey Start Time"},
    {"SetDate", "Survey Start Date"},
    {"SetLocation", "Survey Location"},
    {"SetDirection", "Direction of Travel"},
    {"SetZone", "Zone"},
    {"SetLimit", "Posted Speed Limit"},
    {"SetMin", "Minimum Radar Set"},
    {"SetMax", "Maximum Radar Set"},
    {"SetAlarm", "High Speed Alarm"},
    {"SetCutoff", "High Speed Cut Off"},
    {"SetName", "Survey Performed By:"},
};

QWidget* makeSetupInput(const QString& name, QWidget* parent)
{
    if (name == QLatin1String("SetID"))
        return ui::makeList(name, import::trailerLetters(), true, parent); // shows "A"
    if (name == QLatin1String("SetDirection") || name == QLatin1String("SetZone")) {
        const QStringList& items =
            name == QLatin1String("SetDirection") ? import::directionsOfTravel() : import::surveyZones();
        QComboBox* list = ui::makeList(name, items, true, parent);
        list->setCurrentIndex(-1); // nothing chosen until the user picks or types
        return list;
    }
    QLineEdit* box = ui::makeTextBox(name, parent);
    // The radar's measuring range is fixed by the sign; it is printed as set here.
    if (name == QLatin1String("SetMin"))
        box->setText(survey::minimumRadarSetting());
    else if (name == QLatin1String("SetMax"))
        box->setText(survey::maximumRadarSetting());
    return box;
}

} // namespace

AdminTab::AdminTab(const db::Database& surveys, ReportNames& names, QWidget* parent)
    : QWidget(parent)
    , m_database(surveys)
    , m_names(names)
{
    setObjectName(QStringLiteral("AdminTab"));

    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(12, 10, 12, 10);
    outer->setSpacing(16);

    auto* left = new QVBoxLayout;
    left->setSpacing(10);
    left->addWidget(buildListsFrame(), 1);

    auto* database = ui::makeFrame(QStringLiteral("Database"), QStringLiteral("DatabaseFrame"), this);
    auto* databaseLayout = new QGridLayout(database);
    m_databaseInUse = ui::makeNote(QString(), database, QStringLiteral("DatabaseInUse"));
    m_databaseInUse->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ui::showFullTextWhenCut(m_databaseInUse);
    databaseLayout->addWidget(m_databaseInUse, 0, 0);
    m_databaseChoice =
        ui::makeButton(QStringLiteral("Database..."), QStringLiteral("DatabaseChoice"), database);
    m_databaseChoice->setToolTip(
        QStringLiteral("Work on the database on this computer or on the agency server"));
    m_databaseChoice->setMinimumWidth(kButtonWidth);
    databaseLayout->addWidget(m_databaseChoice, 0, 1, Qt::AlignVCenter);
    m_databaseNote = ui::makeNote(QString(), database, QStringLiteral("DatabaseNote"));
    databaseLayout->addWidget(m_databaseNote, 1, 0);
    m_databaseManagement =
        ui::makeButton(QStringLiteral("Database Management"), QStringLiteral("DatabaseManagement"), database);
    m_databaseManagement->setMinimumWidth(kButtonWidth);
    databaseLayout->addWidget(m_databaseManagement, 1, 1, Qt::AlignVCenter);
    m_sendSurveys = ui::makeButton(QStringLiteral("Send Surveys to the Agency Server..."),
                                   QStringLiteral("SendSurveys"), database);
    m_sendSurveys->setToolTip(
        QStringLiteral("Copy the surveys of this computer to the agency's database server"));
    databaseLayout->addWidget(m_sendSurveys, 2, 1, Qt::AlignVCenter);
    databaseLayout->setColumnStretch(0, 1);
    left->addWidget(database);

    auto* leftButtons = new QHBoxLayout;
    leftButtons->addStretch(1);
    leftButtons->addWidget(makeCloseButton(QStringLiteral("Close")));
    left->addLayout(leftButtons);
    outer->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    right->setSpacing(10);
    right->addWidget(buildFieldSetupFrame(), 1);
    auto* rightButtons = new QHBoxLayout;
    rightButtons->addStretch(1);
    rightButtons->addWidget(makeCloseButton(QStringLiteral("Close2")));
    right->addLayout(rightButtons);
    outer->addLayout(right, 1);

    connectNameLists(m_agency);
    connectNameLists(m_officer);
    connect(m_databaseChoice, &QPushButton::clicked, this, &AdminTab::databaseChoiceRequested);
    connect(m_databaseManagement, &QPushButton::clicked, this, &AdminTab::databaseManagementRequested);
    connect(m_sendSurveys, &QPushButton::clicked, this, &AdminTab::sendSurveysRequested);
    connect(m_printFilledForm, &QPushButton::clicked, this,
            [this] { Q_EMIT fieldSheetPrintRequested(true); });
    connect(m_printBlankForm, &QPushButton::clicked, this,
            [this] { Q_EMIT fieldSheetPrintRequested(false); });
    connect(&m_names, &ReportNames::changed, this, [this] {
        showCurrentName(m_agency);
        showCurrentName(m_officer);
    });
}

QGroupBox* AdminTab::buildListsFrame()
{
    auto* frame =
        ui::makeFrame(QStringLiteral("Report Headings and Signatures"), QStringLiteral("NamesFrame"), this);
    auto* grid = new QGridLayout(frame);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(6);

    m_agency = addNameList(grid, 0, QStringLiteral("Agency (Report Headings)"), QStringLiteral("Agency"),
                           store::NameList::Agencies);
    m_officer = addNameList(grid, 1, QStringLiteral("Officer (Preparing Reports)"), QStringLiteral("Officer"),
                            store::NameList::Officers);

    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    return frame;
}

QGroupBox* AdminTab::buildFieldSetupFrame()
{
    auto* frame = ui::makeFrame(QStringLiteral("Field Setup Sheet"), QStringLiteral("FieldSetupFrame"), this);
    auto* layout = new QVBoxLayout(frame);
    layout->setSpacing(10);
    layout->addWidget(ui::makeNote(QStringLiteral("The sheet goes out with the sign. Print it "
                                                  "filled in with the values below, or blank "
                                                  "to fill in by hand at the site."),
                                   frame, QStringLiteral("FieldSetupNote")));

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setHorizontalSpacing(10);
    form->setVerticalSpacing(9);
    for (const SetupInput& input : kSetupInputs) {
        const QString name = QLatin1String(input.name);
        QWidget* field = makeSetupInput(name, frame);
        m_setupInputs.insert(name, field);
        form->addRow(ui::makeCaption(QLatin1String(input.caption), frame, name + QStringLiteral("Caption")),
                     field);
    }
    layout->addLayout(form);
    layout->addSpacing(6);

    m_printFilledForm =
        ui::makeButton(QStringLiteral("Print Filled In Form"), QStringLiteral("Command19"), frame);
    m_printBlankForm = ui::makeButton(QStringLiteral("Print Blank Form"), QStringLiteral("Command20"), frame);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {m_printFilledForm, m_printBlankForm}) {
        button->setMinimumWidth(kButtonWidth);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    layout->addStretch(1);
    return frame;
}

void AdminTab::showDatabaseInUse(const db::Database& database, const db::ServerChoice& server)
{
    const QString text = store::databaseInUse(database, db::serverName(server));
    m_databaseInUse->setText(text);
    m_databaseInUse->setToolTip(text);
    // The agency's IT backs a server up and mends it; here only surveys are
    // deleted, and only by an administrator.
    m_databaseNote->setText(store::capabilitiesOf(database).fileMaintenance
                                ? QStringLiteral("Back up, repair, replace or restore the survey "
                                                 "database, or delete surveys.")
                                : QStringLiteral("The agency's IT backs up the server. An administrator "
                                                 "of the agency database can delete surveys."));
}

reports::FieldSheetInputs AdminTab::fieldSheetInputs() const
{
    const auto text = [this](const char* name) {
        const QWidget* input = m_setupInputs.value(QLatin1String(name));
        if (const auto* list = qobject_cast<const QComboBox*>(input))
            return list->currentText();
        const auto* box = qobject_cast<const QLineEdit*>(input);
        return box ? box->text() : QString();
    };
    reports::FieldSheetInputs inputs;
    inputs.trailerId = text("SetID");
    inputs.batchNumber = text("SetCode");
    inputs.startTime = text("SetTime");
    inputs.startDate = text("SetDate");
    inputs.location = text("SetLocation");
    inputs.direction = text("SetDirection");
    inputs.zone = text("SetZone");
    inputs.postedLimit = text("SetLimit");
    inputs.minimumRadar = text("SetMin");
    inputs.maximumRadar = text("SetMax");
    inputs.highSpeedAlarm = text("SetAlarm");
    inputs.highSpeedCutOff = text("SetCutoff");
    inputs.performedBy = text("SetName");
    return inputs;
}

QPushButton* AdminTab::makeCloseButton(const QString& objectName)
{
    QPushButton* close = ui::makeButton(QStringLiteral("Close"), objectName, this);
    close->setMinimumWidth(kButtonWidth);
    close->setToolTip(QStringLiteral("End the program"));
    connect(close, &QPushButton::clicked, this, &AdminTab::closeRequested);
    return close;
}

void AdminTab::connectNameLists(NameList& side)
{
    NameList* list = &side;
    connect(side.refresh, &QPushButton::clicked, this, [this, list] { refreshList(*list); });
    connect(side.add, &QPushButton::clicked, this, [this, list] { addName(*list); });
    connect(side.name, &QLineEdit::returnPressed, this, [this, list] {
        if (list->adding)
            addName(*list);
    });
    connect(side.name, &QLineEdit::textEdited, this, [this, list] { offerRename(*list); });
    connect(side.list, &QListWidget::itemClicked, this,
            [this, list](QListWidgetItem* item) { chooseName(*list, list->list->row(item)); });
    connect(side.rename, &QPushButton::clicked, this, [this, list] { renameCurrent(*list); });
    connect(side.remove, &QPushButton::clicked, this, [this, list] { deleteCurrent(*list); });
    showCurrentName(side);
}

void AdminTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The lists are there whenever the tab opens; a database that cannot be
    // read was told when the window opened, and is told again by the buttons.
    refreshList(m_agency, Failures::Keep);
    refreshList(m_officer, Failures::Keep);
}

const store::NamedEntry& AdminTab::chosen(const NameList& side) const
{
    return m_names.chosen(side.kind);
}

void AdminTab::showCurrentName(NameList& side)
{
    if (!side.adding) {
        // The placeholder names no one: it shows greyed, so that a name
        // typed into the box is that name alone.
        const QString shown = store::printedName(side.kind, chosen(side).name);
        side.name->setText(shown);
        side.name->setPlaceholderText(shown.isEmpty() ? side.placeholder : QString());
    }
    offerRename(side);
}

void AdminTab::offerRename(NameList& side)
{
    const QString typed = side.name->text().trimmed();
    side.rename->setEnabled(side.remove->isEnabled() && !side.adding && !typed.isEmpty() &&
                            typed != chosen(side).name);
}

void AdminTab::refreshList(NameList& side, Failures failures)
{
    // A new name typed after "Add" is stored first, so it is listed too.
    const QString typed = side.name->text().trimmed();
    if (side.adding && !typed.isEmpty() && !storeNewName(side, typed))
        return;
    std::vector<store::NamedEntry> entries;
    try {
        const std::unique_ptr<store::SurveyStore> store = store::openStore(m_database);
        entries = store->names(side.kind);
        // No report is left without a name: an empty list gets its placeholder.
        if (entries.empty())
            entries.push_back(store->addName(side.kind, side.placeholder));
    } catch (const db::DbError& error) {
        if (failures == Failures::Tell)
            Q_EMIT failed(QStringLiteral("The list of names cannot be read: %1").arg(error.message()));
        return;
    }
    // The chosen entry stays chosen while it is listed; otherwise the first is.
    size_t current = 0;
    while (current < entries.size() && entries[current].id != chosen(side).id)
        ++current;
    if (current == entries.size()) {
        current = 0;
        m_names.choose(side.kind, entries.front());
    }
    side.entries = std::move(entries);
    side.list->clear();
    for (const store::NamedEntry& entry : side.entries)
        side.list->addItem(entry.name);
    side.list->setCurrentRow(int(current));
}

void AdminTab::addName(NameList& side)
{
    const QString typed = side.name->text().trimmed();
    // Nothing new typed yet: the box empties for the new name.
    if (typed.isEmpty() || (!side.adding && typed == chosen(side).name)) {
        side.adding = true;
        side.name->clear();
        side.name->setPlaceholderText(
            QStringLiteral("Type the new name, then press \"%1\"").arg(side.add->text()));
        side.name->setFocus();
        offerRename(side);
        return;
    }
    if (storeNewName(side, typed))
        refreshList(side);
}

bool AdminTab::storeNewName(NameList& side, const QString& name)
{
    // A name too long stays in the box to be shortened.
    if (const QString tooLong = nameLengthRefusal(side.kind, name); !tooLong.isEmpty()) {
        Q_EMIT failed(tooLong);
        return false;
    }
    side.adding = false;
    side.name->setPlaceholderText(QString());
    store::NamedEntry added;
    try {
        added = store::openStore(m_database)->addName(side.kind, name);
    } catch (const db::DbError& error) {
        Q_EMIT failed(
            QStringLiteral("The name %1 cannot be stored: %2").arg(text::quotedValue(name), error.message()));
        return false;
    }
    // The new name becomes the chosen one: the one the reports carry.
    side.remove->setEnabled(true);
    m_names.choose(side.kind, added);
    return true;
}

void AdminTab::chooseName(NameList& side, int row)
{
    if (row < 0 || size_t(row) >= side.entries.size())
        return;
    side.adding = false;
    side.name->setPlaceholderText(QString());
    side.remove->setEnabled(true);
    m_names.choose(side.kind, side.entries[size_t(row)]);
    if (side.kind == store::NameList::Agencies)
        side.name->setFocus();
}

void AdminTab::renameCurrent(NameList& side)
{
    const QString typed = side.name->text().trimmed();
    const store::NamedEntry entry = chosen(side);
    if (typed.isEmpty() || entry.id == 0)
        return;
    if (const QString tooLong = nameLengthRefusal(side.kind, typed); !tooLong.isEmpty()) {
        Q_EMIT failed(tooLong);
        return;
    }
    try {
        if (!store::openStore(m_database)->renameName(side.kind, entry.id, typed)) {
            Q_EMIT failed(QStringLiteral("The name %1 cannot be changed to %2: another program has "
                                         "deleted it. Choose a name from the list again.")
                              .arg(text::quotedValue(entry.name), text::quotedValue(typed)));
            refreshList(side);
            return;
        }
    } catch (const db::DbError& error) {
        Q_EMIT failed(QStringLiteral("The name cannot be changed to %1: %2")
                          .arg(text::quotedValue(typed), error.message()));
        return;
    }
    m_names.choose(side.kind, {entry.id, typed});
    refreshList(side);
}

void AdminTab::deleteCurrent(NameList& side)
{
    // A new name not yet stored is what the box shows: it is dropped.
    // Otherwise the chosen entry goes, and the first one left is chosen.
    const bool dropTyped = side.adding;
    side.adding = false;
    side.name->setPlaceholderText(QString());
    if (!dropTyped && chosen(side).id != 0) {
        try {
            store::openStore(m_database)->deleteName(side.kind, chosen(side).id);
        } catch (const db::DbError& error) {
            Q_EMIT failed(QStringLiteral("The name cannot be deleted: %1").arg(error.message()));
            return;
        }
        m_names.choose(side.kind, {});
    }
    side.remove->setEnabled(false);
    showCurrentName(side);
    refreshList(side);
}

} // namespace pelmor::app
