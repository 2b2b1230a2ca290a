#include "ui/Style.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace pelmor::ui {

QLabel* makeCaption(const QString& text, QWidget* parent, const QString& objectName)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setProperty("role", QStringLiteral("caption"));
    return label;
}

QLabel* makeValueLabel(const QString& objectName, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setProperty("role", QStringLiteral("value"));
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(60);
    return label;
}

QLabel* makeHeading(const QString& text, QWidget* parent, const QString& objectName)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setProperty("role", QStringLiteral("heading"));
    return label;
}

QLabel* makeNote(const QString& text, QWidget* parent, const QString& objectName)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    label->setProperty("role", QStringLiteral("note"));
    return label;
}

QPushButton* makeButton(const QString& text, const QString& objectName, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    return button;
}

QGroupBox* makeFrame(const QString& title, const QString& objectName, QWidget* parent)
{
    auto* frame = new QGroupBox(title, parent);
    frame->setObjectName(objectName);
    return frame;
}

QLineEdit* makeTextBox(const QString& objectName, QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(objectName);
    return box;
}

QComboBox* makeList(const QString& objectName, const QStringList& items, bool editable, QWidget* parent)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(objectName);
    list->setEditable(editable);
    list->addItems(items);
    return list;
}

void markUserField(QWidget* field)
{
    field->setProperty("userField", true);
}

QString styleSheet()
{
    return QStringLiteral(R"(
QWidget { font-family: "Liberation Sans", Arial, sans-serif; font-size: 9pt; }
QTabWidget::pane { border: 1px solid #8a9bb0; background: #eef2f7; border-radius: 3px; }
QTabBar::tab { padding: 6px 16px; font-weight: bold; }
QGroupBox { font-weight: bold; border: 1px solid #9aa8b8; border-radius: 4px; margin-top: 10px;
            padding: 8px 6px 6px 6px; background: #f7f9fc; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 4px; color: #1f3a5f; }
QLabel[role="value"] { background: white; border: 1px solid #a8b4c2; border-radius: 2px;
                       padding: 2px 4px; min-height: 16px; font-weight: normal; }
QLabel[role="caption"] { font-weight: normal; color: #26364a; }
QLabel[role="heading"] { font-size: 13pt; font-weight: bold; color: #1f3a5f; }
QLabel[role="note"] { font-weight: normal; color: #26364a; }
QLabel[role="warning"] { font-weight: bold; color: #b00020; }
QLineEdit[userField="true"], QComboBox[userField="true"] { background: rgb(255, 224, 192); }
QPushButton { padding: 5px 12px; }
pelmor--import--RawTextView { font-family: "Liberation Mono", "DejaVu Sans Mono", monospace; font-size: 9pt; }
)");
}

} // namespace pelmor::ui
