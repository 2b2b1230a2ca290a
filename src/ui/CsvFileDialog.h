#pragma once

#include <QString>

class QWidget;

namespace pelmor::ui {

// Asks where a CSV export goes, offering `suggestedName` in the folder
// chosen last time, or the user's documents folder (db::saveFolder). Empty when the user
// cancels. The window's object name is "ExportCsvDialog".
QString askCsvFile(QWidget* parent, const QString& suggestedName);

} // namespace pelmor::ui
