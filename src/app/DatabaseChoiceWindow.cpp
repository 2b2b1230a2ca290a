#include "app/DatabaseChoiceWindow.h"

#include "app/AppState.h"
#include "db/DbError.h"
#include "db/Files.h"
#include "session/BackgroundTask.h"
#include "store/SurveyStore.h"
#include "ui/Style.h"
#include "upload/widgets/ServerFields.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <memory>

namespace pelmor::app {
struct DatabaseChoiceWindow::TryOutcome {
    QString failure;
    db::Failure kind = db::Failure::Other;
};

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
    m_fields = new upload::ServerFields(this);
    m_fields->setContentsMargins(24, 0, 0, 0);
    layout->addWidget(m_fields, 1);

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
    m_fields->showChoice(choice, m_state.serverPassword);
    (choice.useServer ? m_server : m_thisComputer)->setChecked(true);
    m_fields->setMessage(QString());
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
    return m_fields->message();
}

db::ServerChoice DatabaseChoiceWindow::choiceShown() const
{
    db::ServerChoice choice = m_fields->choice();
    choice.useServer = m_server->isChecked();
    return choice;
}

void DatabaseChoiceWindow::showServerFields()
{
    m_fields->setFieldsEnabled(m_server->isChecked());
}

void DatabaseChoiceWindow::tryChoice()
{
    if (m_task->isRunning())
        return;
    m_dropAnswer = false;
    const db::ServerChoice choice = choiceShown();
    const QString password = choice.useServer ? m_fields->password() : QString();
    if (!choice.useServer) {
        finishTry(choice, password, {});
        return;
    }
    m_ok->setEnabled(false);
    m_fields->setMessage(QStringLiteral("Connecting to the agency server %1...").arg(db::serverName(choice)));
    auto outcome = std::make_shared<TryOutcome>();
    connect(
        m_task, &session::BackgroundTask::finished, this,
        [this, outcome, choice, password] {
            m_ok->setEnabled(true);
            if (std::exchange(m_dropAnswer, false)) {
                m_fields->setMessage(QString());
                return;
            }
            finishTry(choice, password, *outcome);
        },
        Qt::SingleShotConnection);
    // Opening the store connects and checks that the server holds the
    // survey database in a version this program reads.
    m_task->start(
        [database = db::Database{m_state.database.path, db::connectionString(choice, password)},
         outcome](session::BackgroundTask&) {
            try {
                store::openStore(database)->capabilities();
            } catch (const db::DbError& error) {
                outcome->failure = error.message();
                outcome->kind = error.failure();
            }
        },
        QStringLiteral("Connecting to the agency server"), false);
}

void DatabaseChoiceWindow::finishTry(const db::ServerChoice& choice, const QString& password,
                                     const TryOutcome& outcome)
{
    const QString kept =
        m_state.serverChoice.useServer
            ? QStringLiteral("the agency server %1").arg(db::serverName(m_state.serverChoice))
            : QStringLiteral("the database on this computer");
    if (outcome.kind == db::Failure::PasswordNeeded || outcome.kind == db::Failure::LoginRefused) {
        m_fields->setMessage(
            (outcome.kind == db::Failure::PasswordNeeded
                 ? QStringLiteral("The agency server %1 wants a password: type it in the password box and "
                                  "press OK again.")
                 : QStringLiteral("The agency server %1 refused the password or the user: check \"User\" "
                                  "and \"Password\" (the password is case-sensitive) and press OK again."))
                .arg(db::serverName(choice)) +
            QStringLiteral(" The program stays on %1.").arg(kept));
        m_fields->askForPassword();
        return;
    }
    if (!outcome.failure.isEmpty()) {
        m_fields->setMessage(
            QStringLiteral("The agency server %1 cannot be used: %2\nThe program stays on %3.")
                .arg(db::serverName(choice), outcome.failure, kept));
        return;
    }
    try {
        db::rememberServerChoice(choice);
    } catch (const db::DbError& error) {
        m_fields->setMessage(error.message());
        return;
    }
    m_fields->setMessage(QString());
    accept();
    Q_EMIT chosen(choice, password);
}

} // namespace pelmor::app
