#include "logs/LogLayout.h"

#include "db/SafeFileWriter.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>

namespace pelmor::logs {
namespace {

// The setting that names the folder of the agency's layouts.
constexpr const char* kAgencyFolderSetting = "LogLayoutFolder";
constexpr const char* kLayoutSuffix = ".layout";

const std::pair<Separator, const char*> kSeparators[] = {{Separator::Comma, "comma"},
                                                         {Separator::Semicolon, "semicolon"},
                                                         {Separator::Tab, "tab"},
                                                         {Separator::Blanks, "blanks"}};
const std::pair<Travel, const char*> kTravels[] = {
    {Travel::Approaching, "approaching"}, {Travel::Receding, "receding"}, {Travel::Unknown, "unknown"}};

template <typename Value, size_t N>
const char* nameOf(const std::pair<Value, const char*> (&names)[N], Value value)
{
    for (const auto& [each, name] : names)
        if (each == value)
            return name;
    return names[0].second;
}

template <typename Value, size_t N>
std::optional<Value> valueOf(const std::pair<Value, const char*> (&names)[N], const QString& text)
{
    for (const auto& [each, name] : names)
        if (text.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return each;
    return std::nullopt;
}

// "direction value 0 = approaching": the key's prefix before the value.
const QString kDirectionValue = QStringLiteral("direction value ");

LogLayout semicolonCounter()
{
    LogLayout layout;
    layout.name = QStringLiteral("Semicolon radar counter (dd.MM.yy)");
    layout.device = QStringLiteral("Impactor radar counter");
    layout.separator = Separator::Semicolon;
    layout.dateColumn = 1;
    layout.dateFormat = QStringLiteral("dd.MM.yy HH:mm:ss");
    layout.speedColumn = 3;
    layout.speedUnit = QStringLiteral("KPH");
    layout.lengthColumn = 4;
    layout.directionColumn = 5;
    layout.directionValues = {{QStringLiteral("0"), Travel::Approaching},
                              {QStringLiteral("1"), Travel::Receding}};
    return layout;
}

LogLayout isoCsv()
{
    LogLayout layout;
    layout.name = QStringLiteral("ISO date-time, speed, direction (CSV)");
    layout.device = QStringLiteral("Speed logger");
    layout.separator = Separator::Comma;
    layout.dateColumn = 1;
    layout.dateFormat = QStringLiteral("ISO");
    layout.speedColumn = 2;
    layout.directionColumn = 3;
    layout.directionValues = {{QStringLiteral("+"), Travel::Approaching},
                              {QStringLiteral("-"), Travel::Receding},
                              {QStringLiteral("A"), Travel::Approaching},
                              {QStringLiteral("R"), Travel::Receding}};
    return layout;
}

// The layouts of the *.layout files of a folder, in the order of their names.
void readFolder(const QString& folder, std::vector<LogLayout>& layouts, QStringList* unread)
{
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    for (const QString& name :
         dir.entryList({QLatin1String("*") + QLatin1String(kLayoutSuffix)}, QDir::Files, QDir::Name)) {
        const QString path = dir.filePath(name);
        QFile file(path);
        try {
            if (!file.open(QIODevice::ReadOnly))
                throw LayoutError(file.errorString());
            LogLayout layout = LogLayout::fromText(QString::fromUtf8(file.readAll()));
            layout.origin = QDir::toNativeSeparators(path);
            const auto same = std::find_if(layouts.begin(), layouts.end(),
                                           [&](const LogLayout& known) { return known.name == layout.name; });
            if (same != layouts.end())
                *same = std::move(layout);
            else
                layouts.push_back(std::move(layout));
        } catch (const LayoutError& error) {
            if (unread)
                *unread << QStringLiteral("The layout file %1 cannot be read: %2")
                               .arg(QDir::toNativeSeparators(path), error.message());
        }
    }
}

} // namespace

QString LogLayout::toText() const
{
    QString text = QStringLiteral("# How to read a per-vehicle speed log: one \"key = value\" a line.\n");
    const auto put = [&](const char* key, const QString& value) {
        text += QLatin1String(key) + (value.isEmpty() ? QLatin1String(" =") : QLatin1String(" = ")) + value +
                QLatin1Char('\n');
    };
    put("name", name);
    put("device", device);
    put("separator", QLatin1String(nameOf(kSeparators, separator)));
    put("skip lines", QString::number(skipLines));
    text += QStringLiteral("# Columns count from 1; 0 is none.\n");
    put("date column", QString::number(dateColumn));
    put("date format", dateFormat);
    put("time column", QString::number(timeColumn));
    put("time format", timeFormat);
    put("speed column", QString::number(speedColumn));
    put("speed unit", speedUnit);
    put("direction column", QString::number(directionColumn));
    for (const DirectionValue& each : directionValues)
        text += kDirectionValue + each.value + QLatin1String(" = ") +
                QLatin1String(nameOf(kTravels, each.travel)) + QLatin1Char('\n');
    put("whole file", QLatin1String(nameOf(kTravels, wholeFile)));
    put("length column", QString::number(lengthColumn));
    return text;
}

LogLayout LogLayout::fromText(const QString& text)
{
    LogLayout layout;
    layout.directionValues.clear();
    bool named = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const auto refuse = [&](const QString& what) {
            throw LayoutError(QStringLiteral("line %1: %2").arg(i + 1).arg(what));
        };
        // A direction's value may hold "=" itself: its line splits at the last.
        const qsizetype equals = line.startsWith(kDirectionValue) ? line.lastIndexOf(QLatin1Char('='))
                                                                  : line.indexOf(QLatin1Char('='));
        if (equals < 0)
            refuse(QStringLiteral("\"%1\" is no \"key = value\"").arg(line));
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        const auto column = [&]() {
            bool ok = false;
            const int number = value.toInt(&ok);
            if (!ok || number < 0 || number > 1000)
                refuse(QStringLiteral("%1 must be a column number (0 for none), not \"%2\"").arg(key, value));
            return number;
        };
        const auto travel = [&]() {
            const std::optional<Travel> travel = valueOf(kTravels, value);
            if (!travel)
                refuse(QStringLiteral("%1 must be approaching, receding or unknown, not \"%2\"")
                           .arg(key, value));
            return *travel;
        };
        if (key == QLatin1String("name")) {
            layout.name = value;
            named = !value.isEmpty();
        } else if (key == QLatin1String("device")) {
            layout.device = value;
        } else if (key == QLatin1String("separator")) {
            const std::optional<Separator> separator = valueOf(kSeparators, value);
            if (!separator)
                refuse(QStringLiteral("separator must be comma, semicolon, tab or blanks, not \"%1\"")
                           .arg(value));
            layout.separator = *separator;
        } else if (key == QLatin1String("skip lines")) {
            layout.skipLines = column();
        } else if (key == QLatin1String("date column")) {
            layout.dateColumn = column();
        } else if (key == QLatin1String("date format")) {
            layout.dateFormat = value;
        } else if (key == QLatin1String("time column")) {
            layout.timeColumn = column();
        } else if (key == QLatin1String("time format")) {
            layout.timeFormat = value;
        } else if (key == QLatin1String("speed column")) {
            layout.speedColumn = column();
        } else if (key == QLatin1String("speed unit")) {
            if (!value.isEmpty() && value != QLatin1String("MPH") && value != QLatin1String("KPH"))
                refuse(QStringLiteral("speed unit must be MPH, KPH or nothing, not \"%1\"").arg(value));
            layout.speedUnit = value;
        } else if (key == QLatin1String("direction column")) {
            layout.directionColumn = column();
        } else if ((key + QLatin1Char(' ')).startsWith(kDirectionValue)) {
            layout.directionValues.push_back({key.mid(kDirectionValue.size()).trimmed(), travel()});
        } else if (key == QLatin1String("whole file")) {
            layout.wholeFile = travel();
        } else if (key == QLatin1String("length column")) {
            layout.lengthColumn = column();
        } else {
            refuse(QStringLiteral("unknown key \"%1\"").arg(key));
        }
    }
    if (!named)
        throw LayoutError(
            QStringLiteral("line %1: the layout has no name (\"name = ...\")").arg(lines.size()));
    if (layout.dateColumn < 1 || layout.speedColumn < 1)
        throw LayoutError(
            QStringLiteral("line %1: the date column and the speed column must be given").arg(lines.size()));
    if (layout.dateFormat.isEmpty() || (layout.timeColumn > 0 && layout.timeFormat.isEmpty()))
        throw LayoutError(
            QStringLiteral("line %1: a date or time column without its format").arg(lines.size()));
    return layout;
}

bool LogLayout::operator==(const LogLayout& other) const
{
    const auto values = [](const LogLayout& layout) {
        QStringList texts;
        for (const DirectionValue& each : layout.directionValues)
            texts << each.value + QLatin1Char('=') + QString::number(int(each.travel));
        return texts;
    };
    return name == other.name && device == other.device && separator == other.separator &&
           skipLines == other.skipLines && dateColumn == other.dateColumn && timeColumn == other.timeColumn &&
           dateFormat == other.dateFormat && timeFormat == other.timeFormat &&
           speedColumn == other.speedColumn && speedUnit == other.speedUnit &&
           directionColumn == other.directionColumn && values(*this) == values(other) &&
           wholeFile == other.wholeFile && lengthColumn == other.lengthColumn;
}

std::vector<LogLayout> shippedLayouts()
{
    std::vector<LogLayout> layouts = {isoCsv(), semicolonCounter()};
    for (LogLayout& layout : layouts)
        layout.origin = QStringLiteral("shipped with the program");
    return layouts;
}

LayoutFolders LayoutFolders::standard()
{
    return {QSettings().value(QLatin1String(kAgencyFolderSetting)).toString(),
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/layouts")};
}

std::vector<LogLayout> knownLayouts(const LayoutFolders& folders, QStringList* unread)
{
    std::vector<LogLayout> layouts = shippedLayouts();
    readFolder(folders.agency, layouts, unread);
    readFolder(folders.user, layouts, unread);
    return layouts;
}

std::optional<LogLayout> findLayout(const LayoutFolders& folders, const QString& name)
{
    for (LogLayout& layout : knownLayouts(folders))
        if (layout.name == name)
            return std::move(layout);
    return std::nullopt;
}

void saveLayout(const LayoutFolders& folders, const LogLayout& layout)
{
    // The file is named after the layout, with what a file name cannot hold
    // replaced.
    QString stem = layout.name;
    for (QChar& c : stem)
        if (!c.isLetterOrNumber() && !QStringLiteral(" -_.()").contains(c))
            c = QLatin1Char('_');
    if (!QDir().mkpath(folders.user))
        throw LayoutError(
            QStringLiteral("The folder %1 cannot be made.").arg(QDir::toNativeSeparators(folders.user)));
    const QString path = QDir(folders.user).filePath(stem + QLatin1String(kLayoutSuffix));
    const QString failure = db::saveFile(path, [&](QIODevice& device) {
        return device.write(layout.toText().toUtf8()) < 0 ? device.errorString() : QString();
    });
    if (!failure.isEmpty())
        throw LayoutError(failure);
}

} // namespace pelmor::logs
