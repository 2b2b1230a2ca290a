#include "compare/Comparison.h"

#include "db/DbError.h"
#include "store/SurveyStore.h"

#include <memory>

namespace pelmor::compare {

ComparisonResult compareSurveys(const db::Database& database, const QString& batchA, const QString& batchB)
{
    ComparisonResult result;
    if (batchA.isEmpty() || batchB.isEmpty()) {
        result.message = survey::noSurveyMessage();
        return result;
    }
    std::optional<SurveyInput> inputs[2];
    const QString batches[2] = {batchA, batchB};
    std::unique_ptr<store::SurveyStore> store;
    for (int i = 0; i < 2; ++i) {
        survey::SurveyRecord record;
        try {
            if (!store)
                store = store::openStore(database);
            record = store->loadSurvey(batches[i]);
        } catch (const db::DbError& error) {
            result.message = error.message();
            result.databaseFailed = true;
            return result;
        }
        if (!record.hasHeader) {
            result.message = QStringLiteral("The database holds no survey %1.").arg(batches[i]);
            result.surveyMissing = true;
            return result;
        }
        study::StudyResult studied = study::runStudy(*store, study::StudyInputs::of(record));
        if (!studied.ok()) {
            result.message = QStringLiteral("Survey %1: %2").arg(batches[i], studied.message);
            return result;
        }
        inputs[i] = SurveyInput{std::move(*studied.study), record.header};
    }
    result.comparison = compareStudies(*inputs[0], *inputs[1]);
    return result;
}

} // namespace pelmor::compare
