#pragma once

#include "web/WebRequest.h"

// Deleting one survey: the page that asks, and the form that deletes.
namespace pelmor::web::forms {

// The page naming the survey `batch` and asking whether to delete it, "No"
// first and the default.
WebResponse deletePage(const WebRequest& request, const QString& batch);

// Deletes the survey when the form's answer is Yes, as the window and the
// headless tool delete it, and sends the browser to the list of surveys;
// any other answer sends it back to the survey.
WebResponse deleteSurvey(const WebRequest& request, const QString& batch);

} // namespace pelmor::web::forms
