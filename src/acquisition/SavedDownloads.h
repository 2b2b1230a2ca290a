#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Saved downloads: files "*.rsx" in the program folder holding the download
// buffer exactly, followed by one CR LF.
namespace pelmor::acquisition {

inline constexpr const char* kSavedExtension = ".rsx";

// The saved downloads of a folder, by name.
QStringList listSavedDownloads(const QString& folder);

// The name a download is saved under: the typed name, with ".rsx" appended
// unless it already ends exactly in ".rsx" (so "survey.RSX" becomes
// "survey.RSX.rsx" and an empty name ".rsx").
QString savedFileName(const QString& typedName);

// Reads a whole file into `buffer`, which is emptied first and stays empty
// when the file cannot be read; `reason` (when given) then says why.
bool readSavedDownload(const QString& path, QByteArray& buffer, QString* reason = nullptr);

// Writes the buffer and a CR LF to `path`. The file appears complete or not
// at all: a file of that name stays as it was when the writing fails, and
// `reason` (when given) then says why.
bool writeSavedDownload(const QString& path, const QByteArray& buffer, QString* reason = nullptr);

} // namespace pelmor::acquisition
