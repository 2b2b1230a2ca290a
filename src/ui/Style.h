#pragma once

#include <QColor>
#include <QPoint>
#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// One look for every window: the same kinds of widget are made the same way.
namespace pelmor::ui {

// Background of the fields the user must fill in (light orange).
inline QColor userFieldColour()
{
    return QColor(255, 224, 192);
}

// A caption beside or above a value ("Batch Number").
QLabel* makeCaption(const QString& text, QWidget* parent, const QString& objectName = QString());

// A read-only value shown in a sunken box, named so tests and bindings find it.
QLabel* makeValueLabel(const QString& objectName, QWidget* parent);

// A heading inside a tab or panel, larger and bold.
QLabel* makeHeading(const QString& text, QWidget* parent, const QString& objectName = QString());

// A paragraph of instructions that wraps.
QLabel* makeNote(const QString& text, QWidget* parent, const QString& objectName = QString());

QPushButton* makeButton(const QString& text, const QString& objectName, QWidget* parent);

// A titled frame grouping related controls.
QGroupBox* makeFrame(const QString& title, const QString& objectName, QWidget* parent);

QLineEdit* makeTextBox(const QString& objectName, QWidget* parent);

// A drop-down list; editable lists also take typed text.
QComboBox* makeList(const QString& objectName, const QStringList& items, bool editable, QWidget* parent);

// Gives a box or list the light orange of a field to be filled in.
void markUserField(QWidget* field);

// Shows a label's, box's or list's whole text as its tooltip whenever the
// widget is too narrow to show all of it (a long location or agency name);
// otherwise the widget's own tooltip, if any, shows. For a list of items,
// the item under the pointer. The labels, boxes and lists made here have it.
void showFullTextWhenCut(QWidget* widget);
// Whether showFullTextWhenCut() was applied to the widget.
bool showsFullTextWhenCut(const QWidget* widget);

// The text a widget shows and whether it is cut off at the widget's edge;
// for a list of items, the item at `position` (in the widget).
struct ShownText {
    QString text;
    bool cut = false;
};
ShownText shownText(QWidget* widget, const QPoint& position = QPoint());

// The application-wide style sheet: fonts, frames and the value boxes.
QString styleSheet();

} // namespace pelmor::ui
