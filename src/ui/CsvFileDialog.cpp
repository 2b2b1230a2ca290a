#include "ui/CsvFileDialog.h"

#include "db/Files.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace pelmor::ui {
namespace {

// The folder of the last export during this run of the program.
QString& lastFolder()
{
    static QString folder;
    return folder;
}

} // namespace

QString askCsvFile(QWidget* parent, const QString& suggestedName)
{
    const QString folder = db::saveFolder(lastFolder());
    QFileDialog dialog(parent, QStringLiteral("Export CSV"), folder);
    dialog.setObjectName(QStringLiteral("ExportCsvDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("CSV files (*.csv)"), QStringLiteral("All files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(QDir(folder).filePath(suggestedName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString path = dialog.selectedFiles().constFirst();
    lastFolder() = QFileInfo(path).absolutePath();
    return path;
}

} // namespace pelmor::ui
