#pragma once

#include "db/Database.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrlQuery>

#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

// What the web view's pages and API see of a request and give back: plain
// values, so that they are written and tested without the HTTP server,
// which turns its requests into these and these into its responses.
namespace pelmor::web {

// Who is asking.
struct Visitor {
    // Signed in with a login of the agency server, or the one local user of
    // a database file (who needs no signing in).
    bool signedIn = false;
    // The login the person signed in with; empty for the local user and for
    // anyone not signed in.
    QString login;
    // Whether the person may delete surveys (an administrator, or the local
    // user of a file).
    bool mayDelete = false;
    // Whether the person may send a download (anyone signed in).
    bool maySend = false;
    // Not signed in, looking at what --public shows anyone: sites, the
    // ranking and site histories, with no officer or agency name and no
    // vehicle export.
    bool publicOnly = false;
    // The token every form that changes data carries back; empty when the
    // visitor may change nothing.
    QString formToken;
    // Whether the database is an agency server (signing in and out shown).
    bool onServer = false;
};

// A file sent with a form.
struct UploadedFile {
    QString fileName; // as the browser named it
    QByteArray content;
};

struct WebRequest {
    QByteArray method; // "GET", "POST"
    QString path;      // decoded, e.g. "/surveys/050326-A"
    QUrlQuery query;   // the query string's parameters, decoded
    // A form's text fields (application/x-www-form-urlencoded or
    // multipart/form-data), and its files.
    std::map<QString, QString> form;
    std::map<QString, UploadedFile> files;
    Visitor visitor;
    // The database as this visitor reaches it: on a server, under the
    // visitor's own login.
    db::Database database;

    QString queryValue(const QString& name) const { return query.queryItemValue(name, QUrl::FullyDecoded); }
    QString formValue(const QString& name) const
    {
        const auto found = form.find(name);
        return found == form.end() ? QString() : found->second;
    }
};

struct WebResponse {
    int status = 200;
    QByteArray contentType = "text/html; charset=utf-8";
    QByteArray body;
    // Further headers, e.g. {"Location", "/surveys/050326-A"} or
    // {"Content-Disposition", "attachment; filename=..."}.
    std::vector<std::pair<QByteArray, QByteArray>> headers;

    static WebResponse html(QByteArray body, int status = 200)
    {
        return {status, "text/html; charset=utf-8", std::move(body), {}};
    }
    static WebResponse json(QByteArray body) { return {200, "application/json", std::move(body), {}}; }
    static WebResponse of(QByteArray contentType, QByteArray body)
    {
        return {200, std::move(contentType), std::move(body), {}};
    }
    // 303 See Other: where the browser goes after a form was handled.
    static WebResponse redirect(const QByteArray& location)
    {
        return {303, "text/plain; charset=utf-8", QByteArray(), {{"Location", location}}};
    }
};

// Who may reach a route.
enum class Access {
    Anyone,     // the sign-in page, styles and scripts
    Public,     // shown to anyone when --public is given; else as Signed
    Signed,     // signed in (always so for the local user of a file)
    SendsData,  // a form that stores a survey: signed in, with the form token
    DeletesData // a form that deletes: may delete, with the form token
};

// What answering a route costs.
enum class Work {
    // Reads a survey's vehicles (its page, graphs, documents, intervals,
    // study, comparison, export, or a download being stored): up to a
    // second of a processor on a big survey, so only a few run at once.
    ReadsVehicles,
    // Answers from the sites, the lists and the stored statistics in a few
    // milliseconds.
    Light
};

// A route: its method, its path pattern, whose segments in braces are
// taken as arguments ("/surveys/{batch}"), who may reach it, what answers
// it and what that costs. The arguments come decoded, in pattern order.
struct Route {
    QByteArray method;
    QString pattern;
    Access access;
    std::function<WebResponse(const WebRequest& request, const QStringList& arguments)> answer;
    Work work = Work::ReadsVehicles;
    // For a route that reads vehicles: the answer from figures worked out
    // and kept for an earlier request, as quick as a light route's; none
    // when nothing is kept, and `answer` reads the vehicles.
    std::function<std::optional<WebResponse>(const WebRequest& request, const QStringList& arguments)>
        answerFromKept = nullptr;
};

} // namespace pelmor::web
