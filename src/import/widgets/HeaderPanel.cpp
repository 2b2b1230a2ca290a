#include "import/widgets/HeaderPanel.h"

#include "import/SurveyLists.h"
#include "import/UnitPreference.h"
#include "ui/Style.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace pelmor::import {

HeaderPanel::HeaderPanel(QWidget* parent)
    : QGroupBox(tr("Survey Header"), parent)
{
    setObjectName(QStringLiteral("HeaderFrame"));

    m_trailer = ui::makeList(QStringLiteral("Trailer_code"), trailerLetters(), false, this);
    m_batchNumber = ui::makeValueLabel(QStringLiteral("Input_Batch_Number"), this);
    m_locationCode = ui::makeValueLabel(QStringLiteral("Input_Location_Code"), this);
    m_location = ui::makeTextBox(QStringLiteral("Input_Location"), this);
    m_direction = ui::makeList(QStringLiteral("Input_Direction"), directionsOfTravel(), false, this);
    m_direction->setCurrentIndex(-1);
    m_zone = ui::makeList(QStringLiteral("Input_Zone"), surveyZones(), false, this);
    m_zone->setCurrentIndex(-1);
    m_unit =
        ui::makeList(QStringLiteral("Combo1"), {QStringLiteral("MPH"), QStringLiteral("KPH")}, false, this);
    m_startTime = ui::makeValueLabel(QStringLiteral("Input_Start_Time"), this);
    m_startDate = ui::makeValueLabel(QStringLiteral("Input_Batch_Date"), this);
    m_postedSpeed = ui::makeTextBox(QStringLiteral("Input_Posted_Speed"), this);
    QLabel* minSpeed = ui::makeValueLabel(QStringLiteral("Input_Min_Speed"), this);
    minSpeed->setText(QStringLiteral("5"));
    QLabel* maxSpeed = ui::makeValueLabel(QStringLiteral("Input_Max_Speed"), this);
    maxSpeed->setText(QStringLiteral("200"));
    m_cutoff = ui::makeValueLabel(QStringLiteral("Input_Cutoff_Set"), this);
    m_alarm = ui::makeValueLabel(QStringLiteral("Input_Alarm_Set"), this);
    for (QWidget* field : {static_cast<QWidget*>(m_location), static_cast<QWidget*>(m_direction),
                           static_cast<QWidget*>(m_zone), static_cast<QWidget*>(m_unit)})
        ui::markUserField(field);
    showPreferredUnit();

    auto* survey = new QGridLayout;
    int row = 0;
    auto addRow = [&](QGridLayout* grid, int& r, const QString& caption, QWidget* field) {
        grid->addWidget(ui::makeCaption(caption, this), r, 0);
        grid->addWidget(field, r, 1);
        ++r;
    };
    addRow(survey, row, tr("Trailer ID"), m_trailer);
    addRow(survey, row, tr("Batch Number"), m_batchNumber);
    addRow(survey, row, tr("Location Code"), m_locationCode);
    addRow(survey, row, tr("Survey Location"), m_location);
    addRow(survey, row, tr("Direction of Travel"), m_direction);
    addRow(survey, row, tr("Zone"), m_zone);
    addRow(survey, row, tr("Radar Mode Setting"), m_unit);
    addRow(survey, row, tr("Survey Start Time"), m_startTime);
    addRow(survey, row, tr("Survey Start Date"), m_startDate);
    addRow(survey, row, tr("Posted Speed Limit"), m_postedSpeed);
    survey->setColumnStretch(1, 1);

    QGroupBox* settingsFrame =
        ui::makeFrame(tr("Radar/Sign Settings"), QStringLiteral("SignSettingsFrame"), this);
    auto* settings = new QGridLayout(settingsFrame);
    row = 0;
    addRow(settings, row, tr("Minimum Radar Set"), minSpeed);
    addRow(settings, row, tr("Maximum Radar Set"), maxSpeed);
    addRow(settings, row, tr("High Speed Cut Off"), m_cutoff);
    addRow(settings, row, tr("High Speed Alarm"), m_alarm);
    settings->setColumnStretch(1, 1);

    m_note = ui::makeNote(tr("Colored fields must be filled in before field data can be imported."), this,
                          QStringLiteral("HeaderNote"));
    m_note->setProperty("role", QStringLiteral("warning"));

    m_process = ui::makeButton(tr("Process This Radar Data to The Database>>"),
                               QStringLiteral("ProcessToDatabase"), this);
    m_process->setDefault(true);
    // The unit the survey is stored in, large beside the button that stores
    // it: a km/h download must not go in as mph unseen.
    m_unitShown = new QLabel(this);
    m_unitShown->setObjectName(QStringLiteral("UnitShown"));
    m_unitShown->setProperty("role", QStringLiteral("unit"));
    m_unitShown->setText(m_unit->currentText());
    connect(m_unit, &QComboBox::currentTextChanged, m_unitShown, &QLabel::setText);
    m_stored = ui::makeNote(QString(), this, QStringLiteral("StoredNote"));
    m_stored->setProperty("role", QStringLiteral("done"));
    m_stored->hide();
    m_downloadAnother =
        ui::makeButton(tr("<< Download Another File"), QStringLiteral("DownloadAnother"), this);
    m_modify = ui::makeButton(tr("Modify The Header Information"), QStringLiteral("ModifyHeader"), this);

    auto* layout = new QVBoxLayout(this);
    // Once the survey is stored, where it went takes the place of the note.
    layout->addWidget(m_note);
    layout->addWidget(m_stored);
    layout->addLayout(survey);
    layout->addWidget(settingsFrame);
    layout->addStretch(1);
    auto* processRow = new QHBoxLayout;
    processRow->addWidget(m_process, 1);
    processRow->addWidget(m_unitShown);
    layout->addLayout(processRow);
    layout->addWidget(m_downloadAnother);
    layout->addWidget(m_modify);

    connect(m_trailer, &QComboBox::textActivated, this, &HeaderPanel::rebuildBatchNumber);
    setHighlightVisible(false);
}

void HeaderPanel::setHighlightVisible(bool visible)
{
    m_highlight = visible;
    setProperty("highlighted", visible);
    setStyleSheet(visible ? QStringLiteral("QGroupBox#HeaderFrame { border: 3px solid #d9822b; }")
                          : QString());
}

void HeaderPanel::showStored(const QString& batchNumber)
{
    m_stored->setText(messages::storedAs(batchNumber));
    m_note->hide();
    m_stored->show();
    m_process->setEnabled(false);
}

QString HeaderPanel::storedNote() const
{
    return m_stored->isVisible() ? m_stored->text() : QString();
}

void HeaderPanel::clearStored()
{
    m_stored->clear();
    m_stored->hide();
    m_note->show();
    m_process->setEnabled(true);
}

bool HeaderPanel::focusField(HeaderField field)
{
    QWidget* target = nullptr;
    switch (field) {
    case HeaderField::Location:
        target = m_location;
        break;
    case HeaderField::Direction:
        target = m_direction;
        break;
    case HeaderField::Zone:
        target = m_zone;
        break;
    case HeaderField::Unit:
        target = m_unit;
        break;
    case HeaderField::PostedSpeed:
        target = m_postedSpeed;
        break;
    default:
        return false;
    }
    target->setFocus(Qt::OtherFocusReason);
    if (auto* box = qobject_cast<QLineEdit*>(target))
        box->selectAll();
    return true;
}

void HeaderPanel::fill(const HeaderFields& fields)
{
    clearStored();
    m_dateStem = fields.dateStem();
    m_batchNumber->setText(fields.batchNumber(trailerLetter()));
    m_locationCode->setText(fields.locationCode);
    m_startDate->setText(fields.startDate());
    m_startTime->setText(fields.startTime());
    m_postedSpeed->setText(fields.postedSpeed);
    m_cutoff->setText(fields.cutoff);
    m_alarm->setText(fields.alarm);
    m_location->clear();
    m_direction->setCurrentIndex(-1);
    m_zone->setCurrentIndex(-1);
    if (!fields.unit.isEmpty())
        m_unit->setCurrentText(fields.unit);
}

void HeaderPanel::clearFields()
{
    clearStored();
    m_startDate->clear();
    m_startTime->clear();
    m_batchNumber->clear();
    m_locationCode->clear();
    m_cutoff->clear();
    m_alarm->clear();
    m_location->clear();
    m_postedSpeed->clear();
}

SurveyHeader HeaderPanel::header() const
{
    return {batchNumber(), locationCode(), location(), startDate(), startTime(), postedSpeed(),
            cutoff(),      alarm(),        unit(),     direction(), zone()};
}

void HeaderPanel::showHeader(const SurveyHeader& header)
{
    // The trailer letter is the batch number's last character, after its
    // date stem and dash; the list shows it when it is one of its letters.
    if (header.batchNumber.startsWith(m_dateStem + QLatin1Char('-')))
        m_trailer->setCurrentText(header.batchNumber.mid(m_dateStem.size() + 1));
    m_batchNumber->setText(header.batchNumber);
    m_locationCode->setText(header.locationCode);
    m_location->setText(header.location);
    m_startDate->setText(header.startDate);
    m_startTime->setText(header.startTime);
    m_postedSpeed->setText(header.postedSpeed);
    m_cutoff->setText(header.cutoff);
    m_alarm->setText(header.alarm);
    m_unit->setCurrentText(header.unit);
    m_direction->setCurrentIndex(m_direction->findText(header.direction));
    m_zone->setCurrentIndex(m_zone->findText(header.zone));
}

void HeaderPanel::rebuildBatchNumber()
{
    m_batchNumber->setText(m_dateStem + QLatin1Char('-') + trailerLetter());
}

QString HeaderPanel::trailerLetter() const
{
    return m_trailer->currentText();
}
QString HeaderPanel::batchNumber() const
{
    return m_batchNumber->text();
}
QString HeaderPanel::locationCode() const
{
    return m_locationCode->text();
}
QString HeaderPanel::location() const
{
    return m_location->text();
}
QString HeaderPanel::direction() const
{
    return m_direction->currentText();
}
QString HeaderPanel::zone() const
{
    return m_zone->currentText();
}
QString HeaderPanel::showPreferredUnit()
{
    QString failure;
    const QString unit = preferredUnit(failure);
    if (!unit.isEmpty())
        m_unit->setCurrentText(unit);
    return failure;
}

QString HeaderPanel::unit() const
{
    return m_unit->currentText();
}
QString HeaderPanel::startTime() const
{
    return m_startTime->text();
}
QString HeaderPanel::startDate() const
{
    return m_startDate->text();
}
QString HeaderPanel::postedSpeed() const
{
    return m_postedSpeed->text();
}
QString HeaderPanel::cutoff() const
{
    return m_cutoff->text();
}
QString HeaderPanel::alarm() const
{
    return m_alarm->text();
}

void HeaderPanel::setBatchNumber(const QString& text)
{
    m_batchNumber->setText(text);
}
void HeaderPanel::setLocationCode(const QString& text)
{
    m_locationCode->setText(text);
}
void HeaderPanel::setStartTime(const QString& text)
{
    m_startTime->setText(text);
}
void HeaderPanel::setStartDate(const QString& text)
{
    m_startDate->setText(text);
}
void HeaderPanel::setPostedSpeed(const QString& text)
{
    m_postedSpeed->setText(text);
}
void HeaderPanel::setCutoff(const QString& text)
{
    m_cutoff->setText(text);
}
void HeaderPanel::setAlarm(const QString& text)
{
    m_alarm->setText(text);
}

} // namespace pelmor::import
