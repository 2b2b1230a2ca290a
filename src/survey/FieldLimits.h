#pragma once

#include <QString>

// The longest text each stored field of a survey's header and of the name
// lists may hold. The import, the upload, the site changes and the name
// lists refuse a longer one naming the field, and the agency server refuses
// it itself, so that no document, list or page has to cope with a location
// of a hundred thousand characters.
namespace pelmor::survey {

// The most characters (as text::characterCount counts them, and
// PostgreSQL's char_length) the named field may hold: a Header field ("Location"), or
// "Admin_Agency" and "Admin_Officer" of the name lists. 0 for a field this
// table does not know.
int maximumLength(const char* field);

// Why `text` is refused for the named field: "The survey location is
// 130,000 characters long, more than the 200 it may hold. Shorten it to at
// most 200 characters.", with the field as `described` names it. Empty when
// the text fits.
QString lengthRefusal(const char* field, const QString& described, const QString& text);

} // namespace pelmor::survey
