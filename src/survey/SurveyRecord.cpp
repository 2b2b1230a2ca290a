#include "survey/SurveyRecord.h"

#include <QLocale>

namespace pelmor::survey {
namespace {

template <typename Row> std::vector<std::pair<QString, QString>> fieldsOf(const Row& row)
{
    std::vector<std::pair<QString, QString>> fields;
    Row::forEachField(row, [&fields](const char* name, const QString& text) {
        fields.emplace_back(QLatin1String(name), text);
    });
    return fields;
}

} // namespace

std::vector<std::pair<QString, QString>> HeaderRow::storedFields() const
{
    return fieldsOf(*this);
}

std::vector<std::pair<QString, QString>> SummaryRow::storedFields() const
{
    return fieldsOf(*this);
}

QString listText(const ListedSurvey& survey)
{
    QStringList parts;
    for (const QString& text : {survey.header.location.simplified(), survey.header.direction.simplified(),
                                survey.header.date.trimmed()})
        if (!text.isEmpty())
            parts << text;
    parts << QStringLiteral("%1 %2").arg(QLocale(QLocale::English).toString(survey.vehicles),
                                         survey.vehicles == 1 ? QStringLiteral("vehicle")
                                                              : QStringLiteral("vehicles"));
    return survey.header.batchNumber + QStringLiteral("  ") + parts.join(QStringLiteral(", "));
}

QString noSurveyMessage()
{
    return QStringLiteral("The Database is empty OR you have to select a SURVEY on the second tab.");
}

QString bandHeading(const QString& unit)
{
    return unit == QLatin1String("KPH") ? QStringLiteral("KPH Over Speed Limit")
                                        : QStringLiteral("MPH Over Speed Limit");
}

QStringList bandCaptions(const QString& unit)
{
    if (unit == QLatin1String("KPH"))
        return {QStringLiteral("1-10"),  QStringLiteral("11-20"), QStringLiteral("21-30"),
                QStringLiteral("31-40"), QStringLiteral("41-50"), QStringLiteral("51+")};
    return {QStringLiteral("1-5"),   QStringLiteral("6-10"),  QStringLiteral("11-15"),
            QStringLiteral("16-20"), QStringLiteral("21-25"), QStringLiteral("26+")};
}

} // namespace pelmor::survey
