#include "loggen/SurveyProfile.h"

namespace pelmor::loggen {

SurveyProfile profileForHeader(const LogHeader& header)
{
    SurveyProfile profile;
    profile.header = header;
    const double limit = header.postedLimit.toInt();
    if (header.unit.compare(QLatin1String("KPH"), Qt::CaseInsensitive) == 0) {
        profile.meanSpeed = limit + 5.0;
        profile.speedSd = 10.0;
        profile.minSpeed = 8;
        profile.maxSpeed = 190;
    } else {
        profile.meanSpeed = limit + 3.0;
        profile.speedSd = 6.0;
    }
    return profile;
}

} // namespace pelmor::loggen
