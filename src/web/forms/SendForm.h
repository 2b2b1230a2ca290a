#pragma once

#include "web/WebRequest.h"

// The form that sends a saved download (.rsx) to be stored as a new survey,
// with the survey header the window's header panel asks for.
namespace pelmor::web::forms {

class KeptDownloads;

// The empty form.
WebResponse sendFormPage(const WebRequest& request);

// Stores the download of a sent form as a new survey, whole, with the same
// checks and messages as the window, and sends the browser to the survey.
// A refusal shows the form again with each message beside its field, the
// values typed kept and the download kept in `kept`.
WebResponse sendDownload(const WebRequest& request, KeptDownloads& kept);

} // namespace pelmor::web::forms
