#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Saved downloads: files "*.rsx" in the program folder holding the download
// buffer exactly, followed by one CR LF.
namespace pelmor::acquisition {

inline constexpr const char* kSavedExtension = ".rsx";

// The largest download the program takes, from a file or from the sign:
// 64 MB, some three million vehicles (a vehicle takes up to 20 bytes of a
// download, and the import stores four million in well under a minute). A
// download is held whole in memory, and the import reads it through one
// copy without its line breaks, so a download takes about twice its size
// in memory; a file or a line that holds more is refused before it can take
// more.
inline constexpr qint64 kLargestDownload = 64 * 1024 * 1024;
inline constexpr qint64 kBytesPerVehicle = 20;

// Why a download is refused for its size, to follow "cannot be read: ":
// "it is 2.0 GB, more than the 64.0 MB of the largest download the program
// takes (about 3,000,000 vehicles)"; a size below 0 is not known, only
// that it is more than `largest`.
QString tooLargeReason(qint64 size, qint64 largest = kLargestDownload);

// The saved downloads of a folder, by name.
QStringList listSavedDownloads(const QString& folder);

// The name a download is saved under: the typed name, with ".rsx" appended
// unless it already ends exactly in ".rsx" (so "survey.RSX" becomes
// "survey.RSX.rsx" and an empty name ".rsx").
QString savedFileName(const QString& typedName);

// Reads a whole file into `buffer`, which is emptied first and stays empty
// when the file cannot be read or holds more than kLargestDownload; `reason`
// (when given) then says why. A file larger than that is refused before it
// is read, and a device or pipe that goes on is read no further.
bool readSavedDownload(const QString& path, QByteArray& buffer, QString* reason = nullptr);

// Writes the buffer and a CR LF to `path`. The file appears complete or not
// at all: a file of that name stays as it was when the writing fails, and
// `reason` (when given) then says why.
bool writeSavedDownload(const QString& path, const QByteArray& buffer, QString* reason = nullptr);

} // namespace pelmor::acquisition
