#include "study/widgets/SurveyPicker.h"

#include "ui/Style.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelmor::study {

QString askSurveyToCompare(QWidget* parent, const std::vector<survey::ListedSurvey>& surveys,
                           const QString& current)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("CompareWithDialog"));
    dialog.setWindowTitle(QStringLiteral("Compare with..."));
    auto* layout = new QVBoxLayout(&dialog);
    QLabel* note = ui::makeNote(
        QStringLiteral("Choose the survey to set beside survey %1, usually the one taken before or after "
                       "a change at the same place.")
            .arg(current),
        &dialog, QStringLiteral("CompareWithNote"));
    layout->addWidget(note);
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("CompareWithList"));
    for (const survey::ListedSurvey& listed : surveys) {
        if (listed.header.batchNumber == current)
            continue;
        auto* item = new QListWidgetItem(survey::listText(listed), list);
        item->setData(Qt::UserRole, listed.header.batchNumber);
    }
    if (list->count() == 0) {
        note->setText(QStringLiteral("No other survey is stored. Import the survey to compare with "
                                     "survey %1 first.")
                          .arg(current));
        list->setEnabled(false);
    }
    layout->addWidget(list, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(QStringLiteral("Compare"));
    ok->setEnabled(false);
    layout->addWidget(buttons);
    // A survey is picked once its entry is selected, not when the list
    // merely has the focus.
    QObject::connect(list, &QListWidget::itemSelectionChanged, ok,
                     [ok, list] { ok->setEnabled(!list->selectedItems().isEmpty()); });
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    dialog.resize(480, 320);
    if (dialog.exec() != QDialog::Accepted || list->selectedItems().isEmpty())
        return QString();
    return list->selectedItems().constFirst()->data(Qt::UserRole).toString();
}

} // namespace pelmor::study
