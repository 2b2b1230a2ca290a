#pragma once

#include <QString>
#include <QStringView>

// Values as messages quote them. A message names the value a user or a file
// gave, but a value may be anything a file holds: a speed of fifty million
// digits must not make a message of fifty megabytes.
namespace pelmor::text {

// The characters of a text, each Unicode code point one (as PostgreSQL's
// char_length counts them): a letter outside the Basic Multilingual Plane
// is one character, not two.
qsizetype characterCount(QStringView text);

// The longest value a message quotes whole.
inline constexpr qsizetype kQuotedCharacters = 40;

// A value in double quotes for a message: "35". A value longer than
// `keep` characters is cut after its first `keep`, followed by an ellipsis
// (U+2026) inside the quotes and its length after them:
// "0000000000<ellipsis>" (50,000,000 characters).
QString quotedValue(QStringView value, qsizetype keep = kQuotedCharacters);

} // namespace pelmor::text
