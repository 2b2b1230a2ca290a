#pragma once

// What the study tests share: a survey stored from speeds and directions,
// and its study as the tab works it out.
#include "SurveyFixture.h"
#include "TestSupport.h"
#include "store/SurveyStore.h"
#include "study/SpeedStudy.h"
#include "survey/SurveyRecord.h"

#include <QList>

#include <optional>
#include <random>
#include <vector>

namespace pelmor::test {

// The study of a stored survey; fails the calling test when there is none.
inline std::optional<study::SpeedStudy> studyOf(TempProgramFolder& folder, const QString& batch,
                                                std::optional<int> threshold = std::nullopt)
{
    const survey::SurveyRecord survey = store::openStore(folder.database())->loadSurvey(batch);
    study::StudyResult result = study::runStudy(folder.database(), study::StudyInputs::of(survey, threshold));
    if (!result.ok())
        qWarning("no study: %s", qPrintable(result.message));
    return std::move(result.study);
}

// Whole speeds drawn from a normal distribution, the same for the same seed.
inline QList<int> normalSpeeds(int count, double mean, double sd, unsigned seed)
{
    std::mt19937 generator(seed);
    std::normal_distribution<double> speeds(mean, sd);
    QList<int> drawn;
    for (int i = 0; i < count; ++i)
        drawn << int(std::lround(speeds(generator)));
    return drawn;
}

// The speeds of the vehicles travelling one way: '+', '-', or 0 for all.
inline std::vector<int> speedsOf(const QList<int>& speeds, const QByteArray& directions, char way)
{
    std::vector<int> chosen;
    for (qsizetype i = 0; i < speeds.size(); ++i) {
        const char direction = i < directions.size() ? directions[i] : '+';
        if (way == 0 || direction == way)
            chosen.push_back(speeds[i]);
    }
    return chosen;
}

} // namespace pelmor::test
