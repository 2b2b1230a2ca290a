#pragma once

#include <QString>

namespace pelmor::maintenance {

// What a maintenance operation tells the user when it ends: nothing, a
// completion message, a refusal, or a failure with the reason behind it.
// The window shows it in a message box, the headless tool prints it.
struct Outcome {
    enum class Status {
        Done,    // finished; `message` (if any) says so
        Refused, // not started: nothing was changed
        Failed,  // stopped part way: the files are as they were before it
    };
    Status status = Status::Done;
    QString message;
    // The engine's or the system's words behind a refusal or failure.
    QString details;

    bool isDone() const { return status == Status::Done; }

    static Outcome done(const QString& message = QString()) { return {Status::Done, message, QString()}; }
    static Outcome refused(const QString& message, const QString& details = QString())
    {
        return {Status::Refused, message, details};
    }
    static Outcome failed(const QString& message, const QString& details = QString())
    {
        return {Status::Failed, message, details};
    }
};

} // namespace pelmor::maintenance
