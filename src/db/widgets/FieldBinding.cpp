#include "db/widgets/FieldBinding.h"

#include "db/DbError.h"
#include "db/RecordView.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace pelmor::db {

FieldBinding::FieldBinding(RecordView* view, QObject* widget, const QString& field)
    : QObject(widget)
    , m_view(view)
    , m_field(field)
{
    connect(view, &RecordView::currentChanged, this, &FieldBinding::show);
}

FieldBinding* FieldBinding::bind(RecordView* view, QLabel* label, const QString& field)
{
    auto* binding = new FieldBinding(view, label, field); // owned by the label
    binding->m_label = label;
    binding->show();
    return binding;
}

FieldBinding* FieldBinding::bind(RecordView* view, QLineEdit* box, const QString& field)
{
    auto* binding = new FieldBinding(view, box, field); // owned by the box
    binding->m_box = box;
    connect(box, &QLineEdit::textEdited, binding, &FieldBinding::store);
    binding->show();
    return binding;
}

FieldBinding* FieldBinding::bind(RecordView* view, QComboBox* list, const QString& field)
{
    auto* binding = new FieldBinding(view, list, field); // owned by the list
    binding->m_list = list;
    connect(list, &QComboBox::textActivated, binding, &FieldBinding::store);
    binding->show();
    return binding;
}

void FieldBinding::show()
{
    if (!m_view)
        return;
    QString text;
    try {
        text = m_view->fieldText(m_field);
    } catch (const DbError&) {
        text.clear(); // a view that cannot read its row shows nothing
    }
    if (m_label)
        m_label->setText(text);
    if (m_box && m_box->text() != text)
        m_box->setText(text);
    if (m_list) {
        const int index = m_list->findText(text);
        if (index >= 0)
            m_list->setCurrentIndex(index);
        else if (m_list->isEditable())
            m_list->setEditText(text);
    }
}

void FieldBinding::store(const QString& text)
{
    if (!m_view || !m_view->isOpen())
        return;
    try {
        m_view->setFieldText(m_field, text);
    } catch (const DbError&) {
        // A text the field cannot hold stays in the box only; the boxes
        // bound for editing are text fields, which take any text.
    }
}

} // namespace pelmor::db
