#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace pelmor::maintenance {

// How far a check reads a database file: SQLite's quick check (every page
// and every row, not each index against its table) or its full integrity
// check.
enum class CheckDepth { Quick, Full };

// The surveys (batch numbers of Header) and vehicle rows a database holds.
struct StoredAmounts {
    qint64 surveys = 0;
    qint64 vehicles = 0;
};

// What a database file holds, found by opening it as the program will:
// with a plain connection, no rule of SQLite relaxed.
struct DatabaseCheck {
    // It opens, holds every survey table with all its fields, and SQLite's
    // check finds nothing wrong.
    bool usable = false;
    // Why not, in words that follow "the file is not usable:".
    QString problem;
    StoredAmounts amounts;
    // Header, Summary or Veh_Data rows: a template must hold none.
    bool holdsSurveyRows = false;
};

// Checks the database file at `path`. A second SQLite handle on a file
// that a WriteLock of this process holds keeps that lock.
DatabaseCheck checkDatabaseFile(const QString& path, CheckDepth depth);

// The surveys and vehicles of the database file at `path`, counted without
// checking the file; none when they cannot be counted.
std::optional<StoredAmounts> storedAmounts(const QString& path);

class SqliteFile;

// The batch numbers that have vehicle or statistics rows but no Header row
// (left so by a repair that could not save the header), in order.
QStringList batchesWithoutHeader(SqliteFile& file);
QStringList batchesWithoutHeader(const QString& path);

} // namespace pelmor::maintenance
