#include "app/DatabaseChoiceWindow.h"

#include "app/AppState.h"
#include "db/DbError.h"
#include "db/Files.h"
#include "session/BackgroundTask.h"
#include "store/SurveyStore.h"
#include "ui/Style.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <memory>

namespace pelmor::app {
namespace {

struct TryOutcome {
    QString failure;
    bool passwordNeeded = false;
};

} // namespace

DatabaseChoiceWindow::DatabaseChoiceWindow(const AppState& state, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_task(new session::BackgroundTask(this))
{
    setObjectName(QStringLiteral("DatabaseChoiceWindow"));
    setWindowTitle(QStringLiteral("Database"));
    setWindowModality(Qt::ApplicationModal);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 14);
    layout->setSpacing(8);
    layout->addWidget(ui::makeNote(QStringLiteral("Choose where the surveys are kept."), this));

    m_thisComputer = new QRadioButton(QStringLiteral("This computer"), this);
    m_thisComputer->setObjectName(QStringLiteral("ThisComputer"));
    layout->addWidget(m_thisComputer);
    m_filePath = ui::makeNote(QString(), this, QStringLiteral("FilePath"));
    m_filePath->setContentsMargins(24, 0, 0, 0);
    m_filePath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_filePath);

    m_server = new QRadioButton(QStringLiteral("Agency server"), this);
    m_server->setObjectName(QStringLiteral("AgencyServer"));
    layout->addWidget(m_server);
    auto* form = new QFormLayout;
    form->setContentsMargins(24, 0, 0, 0);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_host = ui::makeTextBox(QStringLiteral("ServerHost"), this);
    m_host->setPlaceholderText(QStringLiteral("db.example.org"));
    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("ServerPort"));
    m_port->setRange(1, 65535);
    m_database = ui::makeTextBox(QStringLiteral("ServerDatabase"), this);
    m_user = ui::makeTextBox(QStringLiteral("ServerUser"), this);
    m_tlsMode = ui::makeList(QStringLiteral("TlsMode"), db::tlsModes(), false, this);
    m_tlsMode->setToolTip(QStringLiteral("How the link to the server is encrypted and the server checked "
                                         "(\"verify-full\" is the safest)"));
    m_password = ui::makeTextBox(QStringLiteral("ServerPassword"), this);
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

    m_status = ui::makeNote(QString(), this, QStringLiteral("ChoiceStatus"));
    m_status->setWordWrap(true);
    m_status->setMinimumHeight(m_status->fontMetrics().lineSpacing() * 4);
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(m_status, 1);

    m_ok = ui::makeButton(QStringLiteral("OK"), QStringLiteral("ChoiceOk"), this);
    m_ok->setDefault(true);
    QPushButton* cancel = ui::makeButton(QStringLiteral("Cancel"), QStringLiteral("ChoiceCancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {m_ok, cancel}) {
        button->setMinimumWidth(100);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    setMinimumWidth(440);

    connect(m_thisComputer, &QRadioButton::toggled, this, &DatabaseChoiceWindow::showServerFields);
    connect(m_ok, &QPushButton::clicked, this, &DatabaseChoiceWindow::tryChoice);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, [this] { m_dropAnswer = m_task->isRunning(); });
}

DatabaseChoiceWindow::~DatabaseChoiceWindow() = default;

void DatabaseChoiceWindow::present()
{
    const db::ServerChoice& choice = m_state.serverChoice;
    m_filePath->setText(db::displayPath(m_state.database.path));
    m_host->setText(choice.host);
    m_port->setValue(choice.port);
    m_database->setText(choice.database);
    m_user->setText(choice.user);
    m_tlsMode->setCurrentText(choice.tlsMode);
    m_password->setText(m_state.serverPassword);
    (choice.useServer ? m_server : m_thisComputer)->setChecked(true);
    m_status->clear();
    showServerFields();
    show();
    raise();
    activateWindow();
}

bool DatabaseChoiceWindow::isTrying() const
{
    return m_task->isRunning();
}

QString DatabaseChoiceWindow::status() const
{
    return m_status->text();
}

db::ServerChoice DatabaseChoiceWindow::choiceShown() const
{
    db::ServerChoice choice;
    choice.useServer = m_server->isChecked();
    choice.host = m_host->text().trimmed();
    choice.port = m_port->value();
    choice.database = m_database->text().trimmed();
    choice.user = m_user->text().trimmed();
    choice.tlsMode = m_tlsMode->currentText();
    return choice;
}

void DatabaseChoiceWindow::showServerFields()
{
    const bool server = m_server->isChecked();
    for (QWidget* field :
         std::initializer_list<QWidget*>{m_host, m_port, m_database, m_user, m_tlsMode, m_password})
        field->setEnabled(server);
}

void DatabaseChoiceWindow::tryChoice()
{
    if (m_task->isRunning())
        return;
    m_dropAnswer = false;
    const db::ServerChoice choice = choiceShown();
    const QString password = choice.useServer ? m_password->text() : QString();
    if (!choice.useServer) {
        finishTry(choice, password, QString(), false);
        return;
    }
    m_ok->setEnabled(false);
    m_status->setText(QStringLiteral("Connecting to the agency server %1...").arg(db::serverName(choice)));
    auto outcome = std::make_shared<TryOutcome>();
    connect(
        m_task, &session::BackgroundTask::finished, this,
        [this, outcome, choice, password] {
            m_ok->setEnabled(true);
            if (std::exchange(m_dropAnswer, false)) {
                m_status->clear();
                return;
            }
            finishTry(choice, password, outcome->failure, outcome->passwordNeeded);
        },
        Qt::SingleShotConnection);
    // Opening the store connects and checks that the server holds the
    // survey database in a version this program reads.
    m_task->start(
        [database = db::Database{m_state.database.path, nullptr, db::connectionString(choice, password)},
         outcome](session::BackgroundTask&) {
            try {
                store::openStore(database)->capabilities();
            } catch (const db::DbError& error) {
                outcome->failure = error.message();
                outcome->passwordNeeded = error.failure() == db::Failure::PasswordNeeded;
            }
        },
        QStringLiteral("Connecting to the agency server"), false);
}

void DatabaseChoiceWindow::finishTry(const db::ServerChoice& choice, const QString& password,
                                     const QString& failure, bool passwordNeeded)
{
    const QString kept =
        m_state.serverChoice.useServer
            ? QStringLiteral("the agency server %1").arg(db::serverName(m_state.serverChoice))
            : QStringLiteral("the database on this computer");
    if (passwordNeeded) {
        m_status->setText(QStringLiteral("The agency server %1 wants a password: type it in the password box "
                                         "and press OK again. The program stays on %2.")
                              .arg(db::serverName(choice), kept));
        m_password->setFocus();
        m_password->selectAll();
        return;
    }
    if (!failure.isEmpty()) {
        m_status->setText(QStringLiteral("The agency server %1 cannot be used: %2\nThe program stays on %3.")
                              .arg(db::serverName(choice), failure, kept));
        return;
    }
    try {
        db::rememberServerChoice(choice);
    } catch (const db::DbError& error) {
        m_status->setText(error.message());
        return;
    }
    m_status->clear();
    accept();
    Q_EMIT chosen(choice, password);
}

} // namespace pelmor::app
