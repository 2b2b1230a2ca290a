#pragma once

#include "survey/SurveyRecord.h"

#include <QString>

#include <vector>

class QWidget;

namespace pelmor::study {

// Asks which stored survey to set beside the current one: the stored
// surveys listed as every list of surveys shows them (survey::listText()),
// the current one left out. The batch number chosen, or empty when the user cancels. The
// window's object name is "CompareWithDialog", its list's "CompareWithList".
QString askSurveyToCompare(QWidget* parent, const std::vector<survey::ListedSurvey>& surveys,
                           const QString& current);

} // namespace pelmor::study
