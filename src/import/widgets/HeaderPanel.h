#pragma once

#include "import/LogParser.h"
#include "import/SurveyImport.h"

#include <QGroupBox>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pelmor::import {

// The survey header panel: the fields taken from the download (displays the
// user cannot type into, but the correction panel can change), the fields
// the user must fill in (light orange), and the buttons that import, start
// another download and open the correction panel.
class HeaderPanel : public QGroupBox {
    Q_OBJECT
public:
    // The unit chooser starts on the unit this user last stored a survey in.
    explicit HeaderPanel(QWidget* parent = nullptr);

    // Sets the unit chooser to the unit this user last stored a survey in;
    // when that cannot be read, leaves it as it is and says why.
    QString showPreferredUnit();

    // Fills the fields taken from the download; the batch number is built
    // from the date stem and the trailer letter currently chosen. The unit
    // chooser takes the unit the download states, if any. The location,
    // direction and zone of the download before are emptied: a survey must
    // not go in under another survey's street.
    void fill(const HeaderFields& fields);
    // Empties the download's fields and the location and posted speed boxes;
    // the lists keep their choice.
    void clearFields();

    // Everything the panel holds, as the import takes it; and the same put
    // back over a download's own fields (a window opened anew shows what the
    // user typed and chose for a download not yet stored).
    SurveyHeader header() const;
    void showHeader(const SurveyHeader& header);

    // After a successful import: says where the survey is stored and holds
    // "Process This Radar Data to The Database>>" off until another download
    // fills the panel.
    void showStored(const QString& batchNumber);
    QString storedNote() const;

    // Puts the focus on a field the user can change here (the location,
    // the lists and the posted limit); false for the fields taken from the
    // sign, which only the correction panel changes.
    bool focusField(HeaderField field);

    // The panel's highlight: a coloured border that draws the eye to it.
    void setHighlightVisible(bool visible);
    bool isHighlightVisible() const { return m_highlight; }

    QString dateStem() const { return m_dateStem; }
    QString trailerLetter() const;
    QString batchNumber() const;
    QString locationCode() const;
    QString location() const;
    QString direction() const;
    QString zone() const;
    QString unit() const;
    QString startTime() const;
    QString startDate() const;
    QString postedSpeed() const;
    QString cutoff() const;
    QString alarm() const;

    void setBatchNumber(const QString& text);
    void setLocationCode(const QString& text);
    void setStartTime(const QString& text);
    void setStartDate(const QString& text);
    void setPostedSpeed(const QString& text);
    void setCutoff(const QString& text);
    void setAlarm(const QString& text);

    QPushButton* processButton() const { return m_process; }
    QPushButton* downloadAnotherButton() const { return m_downloadAnother; }
    QPushButton* modifyButton() const { return m_modify; }

private:
    void rebuildBatchNumber();
    void clearStored();

    QString m_dateStem;
    bool m_highlight = false;
    QComboBox* m_trailer;
    QLabel* m_batchNumber;
    QLabel* m_locationCode;
    QLineEdit* m_location;
    QComboBox* m_direction;
    QComboBox* m_zone;
    QComboBox* m_unit;
    QLabel* m_startTime;
    QLabel* m_startDate;
    QLineEdit* m_postedSpeed;
    QLabel* m_cutoff;
    QLabel* m_alarm;
    QPushButton* m_process;
    QLabel* m_note;
    QLabel* m_unitShown;
    QLabel* m_stored;
    QPushButton* m_downloadAnother;
    QPushButton* m_modify;
};

} // namespace pelmor::import
