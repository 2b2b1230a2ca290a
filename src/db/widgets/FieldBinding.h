#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;

namespace pelmor::db {

class RecordView;

// Shows one field of a record view's current row in a label or box, and
// refreshes it whenever the view's current row changes. Text typed into a
// bound box, or chosen in a bound list, goes to the view's current row and
// is stored when the view next moves or re-reads. The binding belongs to the
// widget it binds.
class FieldBinding : public QObject {
    Q_OBJECT
public:
    static FieldBinding* bind(RecordView* view, QLabel* label, const QString& field);
    static FieldBinding* bind(RecordView* view, QLineEdit* box, const QString& field);
    static FieldBinding* bind(RecordView* view, QComboBox* list, const QString& field);

    const QString& field() const { return m_field; }

private:
    FieldBinding(RecordView* view, QObject* widget, const QString& field);
    void show();
    void store(const QString& text);

    QPointer<RecordView> m_view;
    QString m_field;
    QLabel* m_label = nullptr;
    QLineEdit* m_box = nullptr;
    QComboBox* m_list = nullptr;
};

} // namespace pelmor::db
