#pragma once

#include <QString>

class QWidget;

namespace pelmor::study {

// Asks where a CSV export goes, offering `suggestedName` in the user's
// documents folder (or the folder chosen last time). Empty when the user
// cancels. The window's object name is "ExportCsvDialog".
QString askCsvFile(QWidget* parent, const QString& suggestedName);

} // namespace pelmor::study
