#include "import/UnitPreference.h"

#include "db/Files.h"
#include "text/MessageText.h"

#include <QSettings>

namespace pelmor::import {

QString preferredUnit(QString& failure)
{
    const QSettings settings;
    const QString unit = settings.value(QLatin1String(kUnitSetting), QStringLiteral("MPH")).toString();
    if (unit == QLatin1String("MPH") || unit == QLatin1String("KPH"))
        return unit;
    failure =
        QStringLiteral("the setting %1 in %2 holds %3, neither MPH nor KPH.")
            .arg(QLatin1String(kUnitSetting), db::displayPath(settings.fileName()), text::quotedValue(unit));
    return QString();
}

QString rememberUnit(const QString& unit)
{
    QSettings settings;
    settings.setValue(QLatin1String(kUnitSetting), unit);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return QStringLiteral("The unit %1 could not be remembered for the next import: the setting file %2 "
                              "cannot be written. Make sure you may write there.")
            .arg(unit, db::displayPath(settings.fileName()));
    return QString();
}

} // namespace pelmor::import
