#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>
#include <vector>

// How to read one kind of per-vehicle speed log that another device writes
// as text: which separator, which columns hold what, and what their values
// mean. A layout is kept as a small text file that an agency can pass around.
namespace pelmor::logs {

enum class Separator { Comma, Semicolon, Tab, Blanks };

// A vehicle's direction as the survey stores it: "+", "-" or "?".
enum class Travel { Approaching, Receding, Unknown };

struct LogLayout {
    QString name;
    // The device the layout is for, as the survey will name it
    // ("Impactor radar counter").
    QString device;
    Separator separator = Separator::Comma;
    // Lines skipped before the first vehicle (a heading line, say).
    int skipLines = 0;

    // Columns count from 1. The date and the time are in one column (then
    // timeColumn is 0 and dateFormat covers both) or in two.
    int dateColumn = 1;
    int timeColumn = 0;
    // A QDateTime format ("dd.MM.yy HH:mm:ss", "yyyy-MM-dd", "HH:mm:ss");
    // "ISO" for ISO 8601, with or without a UTC offset.
    QString dateFormat = QStringLiteral("ISO");
    QString timeFormat;

    int speedColumn = 2;
    // "MPH" or "KPH"; empty when the user gives the unit at import.
    QString speedUnit;

    // The column of the direction or lane, 0 when the whole file has one
    // direction (wholeFile).
    int directionColumn = 0;
    struct DirectionValue {
        QString value; // the text in the column, compared without blanks around it
        Travel travel = Travel::Unknown;
    };
    // Values not listed are unknown.
    std::vector<DirectionValue> directionValues;
    Travel wholeFile = Travel::Unknown;

    // The column of the vehicle's length, 0 when the log has none.
    int lengthColumn = 0;

    // Where the layout comes from: "shipped with the program", or the file
    // it was read from. Not part of its text, nor of the comparison.
    QString origin;

    // The layout as the text of its file, and read back from one. Reading
    // throws LayoutError naming the line and what is wrong with it.
    QString toText() const;
    static LogLayout fromText(const QString& text);

    bool operator==(const LogLayout& other) const;
};

// The message is kept whole: a file or layout name may hold any character.
class LayoutError : public std::runtime_error {
public:
    explicit LayoutError(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }
    QString message() const { return m_message; }

private:
    QString m_message;
};

// The layouts shipped with the program, then the agency's (files in the
// agency folder), then this user's own; a later one of the same name hides
// an earlier one.
std::vector<LogLayout> shippedLayouts();
struct LayoutFolders {
    QString agency; // empty: none
    QString user;
    // The agency folder the setting LogLayoutFolder names; the user's is
    // "layouts" in the program's data folder (AppDataLocation).
    static LayoutFolders standard();
};
// A layout file that cannot be read is left out, and what is wrong with it
// (naming the file) goes to `unread` when given.
std::vector<LogLayout> knownLayouts(const LayoutFolders& folders, QStringList* unread = nullptr);
std::optional<LogLayout> findLayout(const LayoutFolders& folders, const QString& name);
// Saves a layout to the user's folder, made when missing, as "NAME.layout"
// (what a file name cannot hold replaced by "_"), written whole or not at
// all; throws LayoutError naming the file when it cannot be written.
void saveLayout(const LayoutFolders& folders, const LogLayout& layout);

} // namespace pelmor::logs
