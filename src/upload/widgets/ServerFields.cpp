#include "upload/widgets/ServerFields.h"

#include "ui/Style.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

namespace pelmor::upload {

namespace {

// Lines of the message shown without scrolling, at the least.
constexpr int kMessageLines = 5;

} // namespace

ServerFields::ServerFields(QWidget* parent)
    : QWidget(parent)
    , m_host(ui::makeTextBox(QStringLiteral("ServerHost"), this))
    , m_port(new QSpinBox(this))
    , m_database(ui::makeTextBox(QStringLiteral("ServerDatabase"), this))
    , m_user(ui::makeTextBox(QStringLiteral("ServerUser"), this))
    , m_tlsMode(ui::makeList(QStringLiteral("TlsMode"), db::tlsModes(), false, this))
    , m_password(ui::makeTextBox(QStringLiteral("ServerPassword"), this))
    , m_message(ui::makeNote(QString(), this, QStringLiteral("ServerMessage")))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_host->setPlaceholderText(QStringLiteral("db.example.org"));
    m_port->setObjectName(QStringLiteral("ServerPort"));
    m_port->setRange(1, 65535);
    m_tlsMode->setToolTip(QStringLiteral("How the link to the server is encrypted and the server checked "
                                         "(\"verify-full\" is the safest)"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(QStringLiteral("only if the server asks for one"));
    m_password->setToolTip(QStringLiteral("Kept only while the program runs, never written anywhere"));
    form->addRow(QStringLiteral("Host"), m_host);
    form->addRow(QStringLiteral("Port"), m_port);
    form->addRow(QStringLiteral("Database"), m_database);
    form->addRow(QStringLiteral("User"), m_user);
    form->addRow(QStringLiteral("TLS mode"), m_tlsMode);
    form->addRow(QStringLiteral("Password"), m_password);
    layout->addLayout(form);

    // A wrapped label asks for more height the longer its text, which a
    // window already shown does not grow by: the boxes would be squeezed.
    // In a scroll area it takes the room the area has (all the window
    // can spare, a few lines at the least) and scrolls beyond it.
    m_message->setWordWrap(true);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* room = new QScrollArea(this);
    room->setObjectName(QStringLiteral("ServerMessageRoom"));
    room->setWidget(m_message);
    room->setWidgetResizable(true);
    room->setFrameShape(QFrame::NoFrame);
    room->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    room->setMinimumHeight(m_message->fontMetrics().lineSpacing() * kMessageLines +
                           m_message->contentsMargins().top() + m_message->contentsMargins().bottom());
    layout->addWidget(room, 1);
}

void ServerFields::showChoice(const db::ServerChoice& choice, const QString& password)
{
    m_host->setText(choice.host);
    m_port->setValue(choice.port);
    m_database->setText(choice.database);
    m_user->setText(choice.user);
    m_tlsMode->setCurrentText(choice.tlsMode);
    m_password->setText(password);
}

db::ServerChoice ServerFields::choice() const
{
    db::ServerChoice choice;
    choice.useServer = true;
    choice.host = m_host->text().trimmed();
    choice.port = m_port->value();
    choice.database = m_database->text().trimmed();
    choice.user = m_user->text().trimmed();
    choice.tlsMode = m_tlsMode->currentText();
    return choice;
}

QString ServerFields::password() const
{
    return m_password->text();
}

void ServerFields::setMessage(const QString& text)
{
    m_message->setText(text);
}

QString ServerFields::message() const
{
    return m_message->text();
}

void ServerFields::setFieldsEnabled(bool enabled)
{
    for (QWidget* field :
         std::initializer_list<QWidget*>{m_host, m_port, m_database, m_user, m_tlsMode, m_password})
        field->setEnabled(enabled);
}

void ServerFields::askForPassword()
{
    m_password->setFocus();
    m_password->selectAll();
}

} // namespace pelmor::upload
