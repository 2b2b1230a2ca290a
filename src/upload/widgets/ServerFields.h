#pragma once

#include "db/ServerChoice.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace pelmor::upload {

// The boxes that name an agency server: host, port, database, user, TLS
// mode and password, each a row of a form, and under them a message that
// wraps inside a room of its own, so that a long refusal never squeezes the
// boxes. "Database..." and the send window both name their server here.
// The password stays in the box, in memory; nothing here writes it.
class ServerFields : public QWidget {
    Q_OBJECT
public:
    explicit ServerFields(QWidget* parent = nullptr);

    // Fills the boxes from `choice` and `password`.
    void showChoice(const db::ServerChoice& choice, const QString& password);
    // The server the boxes name (useServer true), names trimmed.
    db::ServerChoice choice() const;
    QString password() const;
    QLineEdit* passwordBox() const { return m_password; }

    // The message under the boxes; empty clears it.
    void setMessage(const QString& text);
    QString message() const;
    // Lets the boxes be edited, or greys them; the message stays readable.
    void setFieldsEnabled(bool enabled);
    // Puts the cursor into the password box, its text selected.
    void askForPassword();

private:
    QLineEdit* m_host;
    QSpinBox* m_port;
    QLineEdit* m_database;
    QLineEdit* m_user;
    QComboBox* m_tlsMode;
    QLineEdit* m_password;
    QLabel* m_message;
};

} // namespace pelmor::upload
