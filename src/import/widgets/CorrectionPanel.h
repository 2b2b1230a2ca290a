#pragma once

#include "import/SurveyImport.h"

#include <QGroupBox>

#include <array>

class QLineEdit;
class QPushButton;

namespace pelmor::import {

class HeaderPanel;

// Corrects the header fields that came from the sign, before the import:
// seven boxes, each replacing one field when it is not empty. Nothing is
// checked here; the text is used exactly as typed.
class CorrectionPanel : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int kBoxes = 7;

    CorrectionPanel(HeaderPanel& header, QWidget* parent = nullptr);

    // Shows the panel with seven empty boxes.
    void open();
    // Opens the panel with the focus in the box that corrects `field`, when
    // one does; false (and the panel left as it is) otherwise.
    bool openAt(HeaderField field);
    // Copies the non-empty boxes into the header fields and hides the panel.
    void apply();

    QLineEdit* box(int index) const { return m_boxes[static_cast<size_t>(index)]; }
    QPushButton* applyButton() const { return m_apply; }

private:
    HeaderPanel& m_header;
    std::array<QLineEdit*, kBoxes> m_boxes{};
    QPushButton* m_apply;
};

} // namespace pelmor::import
