#include "ui/Style.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QToolTip>

// The pictures of the look are compiled into a static library, so they are
// registered by hand; this must stand outside any namespace.
static void initStyleResources()
{
    Q_INIT_RESOURCE(ui);
}

namespace pelmor::ui {
namespace {

// Marks the widgets that show their whole text when it is cut.
constexpr char kFullTextProperty[] = "showsFullTextWhenCut";

// Shows the whole text of the widget it watches as a tooltip while the
// widget cuts it off. It belongs to the widget it watches.
class FullTextTip : public QObject {
public:
    FullTextTip(QWidget* widget, QObject* watched)
        : QObject(widget)
        , m_widget(widget)
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        const auto* help = static_cast<QHelpEvent*>(event);
        QPoint position = help->pos();
        if (auto* view = qobject_cast<QAbstractItemView*>(m_widget))
            position = view->viewport()->mapTo(view, position);
        const ShownText shown = shownText(m_widget, position);
        if (!shown.cut)
            return false; // the widget's own tooltip
        QToolTip::showText(help->globalPos(), shown.text, m_widget);
        return true;
    }

private:
    QWidget* m_widget;
};

} // namespace

void showFullTextWhenCut(QWidget* widget)
{
    auto* view = qobject_cast<QAbstractItemView*>(widget);
    new FullTextTip(widget, view ? static_cast<QObject*>(view->viewport()) : widget); // owned by `widget`
    widget->setProperty(kFullTextProperty, true);
}

bool showsFullTextWhenCut(const QWidget* widget)
{
    return widget->property(kFullTextProperty).toBool();
}

ShownText shownText(QWidget* widget, const QPoint& position)
{
    ShownText shown;
    int room = 0;
    QFontMetrics metrics = widget->fontMetrics();
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        shown.text = label->text();
        room = label->contentsRect().width() - 2 * label->margin();
    } else if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        shown.text = box->text();
        const QMargins margins = box->textMargins();
        // The frame and the box's own inner margin take a few pixels each side.
        room = box->contentsRect().width() - margins.left() - margins.right() - 8;
    } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
        shown.text = list->currentText();
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.editable = list->isEditable();
        room = list->style()
                   ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list)
                   .width() -
               4;
    } else if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
        const QPoint inViewport = view->viewport()->mapFrom(view, position);
        const QModelIndex index = view->indexAt(inViewport);
        if (!index.isValid())
            return shown;
        shown.text = index.data(Qt::DisplayRole).toString();
        metrics = QFontMetrics(view->font());
        const QRect cell = view->visualRect(index);
        room = std::min(cell.right(), view->viewport()->width()) - std::max(cell.left(), 0) - 8;
    }
    shown.cut = !shown.text.isEmpty() && metrics.horizontalAdvance(shown.text) > room;
    return shown;
}

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
    showFullTextWhenCut(label);
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
    showFullTextWhenCut(box);
    return box;
}

QComboBox* makeList(const QString& objectName, const QStringList& items, bool editable, QWidget* parent)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(objectName);
    list->setEditable(editable);
    list->addItems(items);
    showFullTextWhenCut(list);
    return list;
}

void markUserField(QWidget* field)
{
    field->setProperty("userField", true);
    // Items drawn as list items take the look's colours, the highlight of
    // the item under the pointer included; the default drawing as menu
    // entries leaves it out.
    if (auto* list = qobject_cast<QComboBox*>(field))
        list->setItemDelegate(new QStyledItemDelegate(list)); // owned by the list
}

QString styleSheet()
{
    initStyleResources();
    return QStringLiteral(R"(
QWidget { font-family: "Liberation Sans", Arial, sans-serif; font-size: 9pt; }
QTabWidget::pane { border: 1px solid #8a9bb0; background: #eef2f7; border-radius: 3px; }
QTabBar::tab { padding: 6px 16px; font-weight: bold; }
QGroupBox { font-weight: bold; border: 1px solid #9aa8b8; border-radius: 4px; margin-top: 10px;
            padding: 8px 6px 6px 6px; background: #f7f9fc; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 4px; color: #1f3a5f; }
QLabel[role="value"] { background: transparent; border: 1px solid #c6cfd9; border-radius: 2px;
                       padding: 2px 4px; min-height: 16px; font-weight: normal; color: #17212c; }
QLineEdit { background: white; border: 1px solid #7d8ea3; border-radius: 2px; padding: 2px 4px;
            min-height: 16px; }
QLineEdit:focus { border: 1px solid #2f6db5; }
QLineEdit:read-only { background: transparent; border: 1px solid #c6cfd9; color: #17212c; }
QLabel[role="caption"] { font-weight: normal; color: #26364a; }
QLabel[role="heading"] { font-size: 13pt; font-weight: bold; color: #1f3a5f; }
QLabel[role="note"] { font-weight: normal; color: #26364a; }
QLabel[role="warning"] { font-weight: bold; color: #b00020; }
QLabel[role="done"] { font-weight: bold; color: #1d6b2f; }
QLabel[role="unit"] { font-size: 18pt; font-weight: bold; color: #1f3a5f; }
QLineEdit[userField="true"] { background: rgb(255, 224, 192); border: 1px solid #b98a5a; }
QLineEdit:disabled { background: #e6eaef; border: 1px solid #c6cfd9; color: #7a8594; }
QComboBox[userField="true"] { background: rgb(255, 224, 192); border: 1px solid #b98a5a; border-radius: 2px;
                              padding: 2px 6px; color: black; }
QComboBox[userField="true"]::drop-down { subcontrol-origin: padding; subcontrol-position: center right;
                                        width: 18px; border: none; border-left: 1px solid #d8b48e;
                                        background: transparent; }
QComboBox[userField="true"]::down-arrow { image: url(:/pelmor/ui/down-arrow.png); width: 8px; height: 5px; }
QComboBox[userField="true"] QAbstractItemView { background: rgb(255, 224, 192); color: black;
                                                selection-background-color: rgb(226, 140, 60);
                                                selection-color: black; outline: 0; }
QComboBox[userField="true"] QAbstractItemView::item { border: none; padding: 2px 4px; }
QComboBox[userField="true"] QAbstractItemView::item:selected { border: none; padding: 2px 4px;
                                                              background: rgb(226, 140, 60); color: black; }
QPushButton { padding: 5px 12px; }
QSplitter::handle { background: #c3cedb; }
QSplitter::handle:hover { background: #8fa5bd; }
QSplitter::handle:horizontal { width: 6px; }
QSplitter::handle:vertical { height: 6px; }
pelmor--import--RawTextView { font-family: "Liberation Mono", "DejaVu Sans Mono", monospace; font-size: 9pt; }
)");
}

} // namespace pelmor::ui
