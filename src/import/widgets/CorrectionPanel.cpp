#include "import/widgets/CorrectionPanel.h"

#include "import/widgets/HeaderPanel.h"
#include "ui/Style.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace pelmor::import {

CorrectionPanel::CorrectionPanel(HeaderPanel& header, QWidget* parent)
    : QGroupBox(tr("Modify Header Information"), parent)
    , m_header(header)
{
    setObjectName(QStringLiteral("CorrectionFrame"));

    QLabel* caution = ui::makeNote(tr("Caution! Proceed only after reading instructions"), this,
                                   QStringLiteral("CorrectionCaution"));
    caution->setProperty("role", QStringLiteral("warning"));
    QLabel* explanation =
        ui::makeNote(tr("Header information is used for all database calculations and must be "
                        "accurate. Format is as follows.\nNOTE: change only those fields needed.\n"
                        "Blank entries will leave header fields as they were."),
                     this, QStringLiteral("CorrectionExplanation"));

    const QString formats[kBoxes] = {
        tr("Start Date format is \"mm/dd/yyyy\""),
        tr("Start time format is \"hh:mm\""),
        tr("Batch Number is \"mmddyy-A\"") + QLatin1Char('\n') + tr("A can be any letter from A to Z"),
        tr("Location code is any 5 digits"),
        tr("Posted Speed is \"035\""),
        tr("High Speed Cutoff is \"040\""),
        tr("High Speed Alarm is \"045\""),
    };
    auto* grid = new QGridLayout;
    for (int i = 0; i < kBoxes; ++i) {
        m_boxes[static_cast<size_t>(i)] = ui::makeTextBox(QStringLiteral("Correction%1").arg(i), this);
        m_boxes[static_cast<size_t>(i)]->setMaximumWidth(140);
        grid->addWidget(m_boxes[static_cast<size_t>(i)], i, 0);
        grid->addWidget(ui::makeCaption(formats[i], this), i, 1);
    }
    grid->setColumnStretch(1, 1);

    m_apply = ui::makeButton(tr("Apply Changes and Close"), QStringLiteral("ApplyChanges"), this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caution);
    layout->addWidget(explanation);
    layout->addLayout(grid);
    layout->addWidget(ui::makeNote(tr("Do not use quotes in the input boxes."), this));
    layout->addWidget(m_apply, 0, Qt::AlignRight);

    connect(m_apply, &QPushButton::clicked, this, &CorrectionPanel::apply);
}

void CorrectionPanel::open()
{
    for (QLineEdit* box : m_boxes)
        box->clear();
    show();
}

bool CorrectionPanel::openAt(HeaderField field)
{
    // The fields in the order of the boxes.
    static constexpr HeaderField fields[kBoxes] = {
        HeaderField::StartDate,   HeaderField::StartTime, HeaderField::BatchNumber, HeaderField::LocationCode,
        HeaderField::PostedSpeed, HeaderField::Cutoff,    HeaderField::Alarm,
    };
    const auto* found = std::find(std::begin(fields), std::end(fields), field);
    if (found == std::end(fields))
        return false;
    open();
    m_boxes[static_cast<size_t>(found - std::begin(fields))]->setFocus(Qt::OtherFocusReason);
    return true;
}

void CorrectionPanel::apply()
{
    using Setter = void (HeaderPanel::*)(const QString&);
    static constexpr Setter setters[kBoxes] = {
        &HeaderPanel::setStartDate,    &HeaderPanel::setStartTime,   &HeaderPanel::setBatchNumber,
        &HeaderPanel::setLocationCode, &HeaderPanel::setPostedSpeed, &HeaderPanel::setCutoff,
        &HeaderPanel::setAlarm,
    };
    for (int i = 0; i < kBoxes; ++i) {
        const QString text = m_boxes[static_cast<size_t>(i)]->text();
        if (!text.isEmpty())
            (m_header.*setters[i])(text);
    }
    hide();
}

} // namespace pelmor::import
