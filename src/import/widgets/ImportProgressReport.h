#pragma once

#include "import/SurveyImport.h"

#include <QPointer>

#include <memory>

class QProgressDialog;
class QWidget;

namespace pelmor::ui {
class Messages;
}

namespace pelmor::import {

// Tells the user how an import goes: its messages and questions in message
// boxes, and for a survey large enough to take a while a progress bar of the
// vehicles written, so a month-long survey is seen to be moving.
class ImportProgressReport : public ImportReport {
public:
    ImportProgressReport(ui::Messages& messages, QWidget* parent);
    ~ImportProgressReport() override;

    void message(const QString& text, const QString& reason) override;
    void progress(qint64 written, qint64 expected) override;
    // Asked with No as the default answer.
    bool confirm(const QString& question) override;

private:
    ui::Messages& m_messages;
    QPointer<QWidget> m_parent;
    std::unique_ptr<QProgressDialog> m_dialog;
};

} // namespace pelmor::import
