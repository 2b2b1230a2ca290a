#include "import/SurveyLists.h"

namespace pelmor::import {

const QStringList& trailerLetters()
{
    static const QStringList all = [] {
        QStringList letters;
        for (char c = 'A'; c <= 'Z'; ++c)
            letters << QString(QLatin1Char(c));
        return letters;
    }();
    return all;
}

const QStringList& directionsOfTravel()
{
    static const QStringList all = {QStringLiteral("North"), QStringLiteral("North East"),
                                    QStringLiteral("East"),  QStringLiteral("South East"),
                                    QStringLiteral("South"), QStringLiteral("South West"),
                                    QStringLiteral("West"),  QStringLiteral("NW")};
    return all;
}

const QStringList& surveyZones()
{
    static const QStringList all = {
        QStringLiteral("School"),       QStringLiteral("Highway"),     QStringLiteral("Railroad"),
        QStringLiteral("Construction"), QStringLiteral("Residential"), QStringLiteral("Church"),
        QStringLiteral("Interstate"),   QStringLiteral("Hospital"),    QStringLiteral("Commercial"),
        QStringLiteral("Airport"),      QStringLiteral("Parks & Rec")};
    return all;
}

} // namespace pelmor::import
