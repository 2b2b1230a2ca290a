#pragma once

#include "web/WebRequest.h"

#include <QString>

#include <vector>

// The web view's pages: HTML rendered on the server, readable without
// JavaScript, every text that came from a user or the database escaped.
namespace pelmor::web::pages {

// `text` made safe to stand in HTML text and in quoted attribute values.
QString escaped(const QString& text);

// A whole page: the head with the program's style sheet, the navigation
// (what `visitor` may see, signing in or out on a server), the title as a
// heading and `bodyHtml`, which the caller has escaped.
QByteArray pageHtml(const Visitor& visitor, const QString& title, const QString& bodyHtml);

// The same page with further elements in its head (style sheets, scripts),
// given as markup.
QByteArray pageHtml(const Visitor& visitor, const QString& title, const QString& bodyHtml,
                    const QString& headHtml);

// A page that tells what went wrong, with the status; the message is text.
WebResponse errorPage(const Visitor& visitor, int status, const QString& message);

// The sign-in form, with a message (text) above it when the last try
// failed, the login typed before, and the address to go back to after.
WebResponse signInPage(const Visitor& visitor, const QString& message, const QString& login,
                       const QString& next);

// The address the map fetches its tiles from, with {z}, {x} and {y} in it
// ("https://tile.openstreetmap.org/{z}/{x}/{y}.png"); an empty text shows
// the sites on a plain background. Set once when the server starts.
void setTileSource(const QString& url);

// Every page that shows data, and the style sheet and scripts under
// /static/ (Leaflet among them).
std::vector<Route> pageRoutes();

} // namespace pelmor::web::pages
