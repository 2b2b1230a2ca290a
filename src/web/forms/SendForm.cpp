#include "web/forms/SendForm.h"

#include "acquisition/SavedDownloads.h"
#include "import/LogParser.h"
#include "import/SurveyImport.h"
#include "import/SurveyLists.h"
#include "text/MessageText.h"
#include "web/forms/KeptDownloads.h"
#include "web/pages/Pages.h"

#include <QUrl>

#include <map>

namespace pelmor::web::forms {
namespace {

using import::HeaderField;
using import::SurveyHeader;
using pages::escaped;

// How a header field is typed on the form.
enum class Input {
    Text,    // a text box; left blank, the download's own value is taken
    Typed,   // a text box the user must fill in
    List,    // a choice of the window's list
    Trailer, // the trailer letter, A to Z
    Unit,    // MPH or KPH, or the unit the download states
};

struct FormField {
    const char* name;    // the form field's name
    const char* caption; // as the window's header panel captions it
    HeaderField field;
    Input input;
};

// In the order of the window's header panel, then its sign settings.
constexpr FormField kFields[] = {
    {"trailer", "Trailer ID", HeaderField::None, Input::Trailer},
    {"batch", "Batch Number", HeaderField::BatchNumber, Input::Text},
    {"locationCode", "Location Code", HeaderField::LocationCode, Input::Text},
    {"location", "Survey Location", HeaderField::Location, Input::Typed},
    {"direction", "Direction of Travel", HeaderField::Direction, Input::List},
    {"zone", "Zone", HeaderField::Zone, Input::List},
    {"unit", "Radar Mode Setting", HeaderField::Unit, Input::Unit},
    {"startTime", "Survey Start Time", HeaderField::StartTime, Input::Text},
    {"startDate", "Survey Start Date", HeaderField::StartDate, Input::Text},
    {"posted", "Posted Speed Limit", HeaderField::PostedSpeed, Input::Text},
    {"cutoff", "High Speed Cut Off", HeaderField::Cutoff, Input::Text},
    {"alarm", "High Speed Alarm", HeaderField::Alarm, Input::Text},
};

// The names of the form's own parts besides the header fields.
const QString kFile = QStringLiteral("file");
const QString kKept = QStringLiteral("download");
const QString kQuestion = QStringLiteral("unitQuestion");
const QString kWholeForm; // a message about the form as a whole

QString nameOf(HeaderField field)
{
    for (const FormField& f : kFields) {
        if (f.field == field && field != HeaderField::None)
            return QLatin1String(f.name);
    }
    return kWholeForm;
}

const QStringList& choicesOf(const FormField& field)
{
    return field.field == HeaderField::Direction ? import::directionsOfTravel() : import::surveyZones();
}

// What the form shows: the values typed, the download's own values (shown
// in the boxes left blank), and the messages beside their fields.
struct FormState {
    std::map<QString, QString> values;
    std::map<QString, QString> fromDownload;
    std::map<QString, QString> messages;
    QString keptId;
    QString keptName;
    QString unitQuestion;
};

QString attribute(const char* name, const QString& value)
{
    return QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name), escaped(value));
}

QString valueOf(const std::map<QString, QString>& map, const QString& key)
{
    const auto found = map.find(key);
    return found == map.end() ? QString() : found->second;
}

// The message beside a field, and the attributes that tie the field to it.
QString messageHtml(const FormState& state, const QString& name)
{
    const QString message = valueOf(state.messages, name);
    if (message.isEmpty())
        return QString();
    return QStringLiteral("<p class=\"field-message\" id=\"%1-message\" role=\"alert\">%2</p>")
        .arg(escaped(name), escaped(message).replace(QLatin1Char('\n'), QLatin1String("<br>")));
}
QString describedBy(const FormState& state, const QString& name)
{
    if (valueOf(state.messages, name).isEmpty())
        return QString();
    return QStringLiteral(" aria-invalid=\"true\" aria-describedby=\"%1-message\"").arg(escaped(name));
}

QString option(const QString& value, const QString& shown, const QString& chosen)
{
    return QStringLiteral("<option%1%2>%3</option>")
        .arg(attribute("value", value), value == chosen ? QStringLiteral(" selected") : QString(),
             escaped(shown));
}

QString controlHtml(const FormField& field, const FormState& state)
{
    const QString name = QLatin1String(field.name);
    const QString value = valueOf(state.values, name);
    const QString common = attribute("id", name) + attribute("name", name) + describedBy(state, name);
    switch (field.input) {
    case Input::Text:
    case Input::Typed: {
        const QString shown = valueOf(state.fromDownload, name);
        return QStringLiteral("<input type=\"text\"%1%2%3%4>")
            .arg(common, attribute("value", value),
                 shown.isEmpty() ? QString() : attribute("placeholder", shown),
                 field.input == Input::Typed ? QStringLiteral(" required") : QString());
    }
    case Input::List: {
        QString options = option(QString(), QStringLiteral("Choose..."), value);
        for (const QString& choice : choicesOf(field))
            options += option(choice, choice, value);
        return QStringLiteral("<select%1 required>%2</select>").arg(common, options);
    }
    case Input::Trailer: {
        QString options;
        const QString chosen = value.isEmpty() ? QStringLiteral("A") : value;
        for (const QString& letter : import::trailerLetters())
            options += option(letter, letter, chosen);
        return QStringLiteral("<select%1>%2</select>").arg(common, options);
    }
    case Input::Unit:
        break;
    }
    if (state.unitQuestion.isEmpty()) {
        const QString stated = valueOf(state.fromDownload, name);
        const QString asStated = stated.isEmpty() ? QStringLiteral("The unit the download states")
                                                  : QStringLiteral("As the download states (%1)").arg(stated);
        return QStringLiteral("<select%1>%2%3%4</select>")
            .arg(common, option(QString(), asStated, value),
                 option(QStringLiteral("MPH"), QStringLiteral("MPH"), value),
                 option(QStringLiteral("KPH"), QStringLiteral("KPH"), value));
    }
    // The window's question about the unit, answered by choosing the unit
    // the sign measured in; choosing the unit asked about stores the survey
    // in it, the other unit is checked afresh.
    QString radios;
    for (const char* unit : {"MPH", "KPH"}) {
        radios +=
            QStringLiteral("<label><input type=\"radio\"%1%2 required> %3</label> ")
                .arg(attribute("name", name), attribute("value", QLatin1String(unit)), QLatin1String(unit));
    }
    return QStringLiteral("<fieldset%1%2><legend>Which unit did the sign measure in?</legend>%3</fieldset>"
                          "<input type=\"hidden\"%4%5>")
        .arg(attribute("id", name), describedBy(state, name), radios, attribute("name", kQuestion),
             attribute("value", state.unitQuestion));
}

WebResponse formPage(const Visitor& visitor, const FormState& state, int status)
{
    QString body;
    if (const QString whole = valueOf(state.messages, kWholeForm); !whole.isEmpty())
        body += QStringLiteral("<p class=\"message\" role=\"alert\">%1</p>")
                    .arg(escaped(whole).replace(QLatin1Char('\n'), QLatin1String("<br>")));
    body += QStringLiteral("<form method=\"post\" action=\"/surveys/new\" enctype=\"multipart/form-data\">"
                           "<input type=\"hidden\" name=\"token\"%1>")
                .arg(attribute("value", visitor.formToken));
    body += QStringLiteral("<p>Fields left blank are taken from the download.</p>");

    QString file =
        QStringLiteral("<div class=\"field\"><label for=\"file\">Saved download (.rsx)</label>"
                       "<input type=\"file\" id=\"file\" name=\"file\" accept=\".rsx\"%1%2>")
            .arg(state.keptId.isEmpty() ? QStringLiteral(" required") : QString(), describedBy(state, kFile));
    if (!state.keptId.isEmpty())
        file +=
            QStringLiteral("<p class=\"kept\">The download %1 is kept: choose a file only to send another."
                           "</p><input type=\"hidden\"%2%3>")
                .arg(escaped(state.keptName), attribute("name", kKept), attribute("value", state.keptId));
    body += file + messageHtml(state, kFile) + QStringLiteral("</div>");

    for (const FormField& field : kFields) {
        const QString name = QLatin1String(field.name);
        body += QStringLiteral("<div class=\"field\"><label for=\"%1\">%2</label>%3%4</div>")
                    .arg(escaped(name), escaped(QLatin1String(field.caption)), controlHtml(field, state),
                         messageHtml(state, name));
    }
    body += QStringLiteral("<button type=\"submit\">%1</button></form>")
                .arg(escaped(QStringLiteral("Process This Radar Data to The Database>>")));
    return WebResponse::html(pages::pageHtml(visitor, QStringLiteral("Send a saved download"), body), status);
}

// Who a kept download belongs to: the person and the session that sent it.
QString ownerOf(const Visitor& visitor)
{
    return visitor.login + QLatin1Char('\n') + visitor.formToken;
}

// What the import tells: the first message is the one that stopped it. Its
// question about the unit is answered Yes only when the form carries the
// same question back, answered by the unit chosen; otherwise it is kept for
// the form to ask.
class FormReport : public import::ImportReport {
public:
    explicit FormReport(QString answered)
        : m_answered(std::move(answered))
    {
    }
    void message(const QString& text, const QString& reason) override
    {
        if (!m_text.isEmpty())
            return;
        m_text = text;
        if (!reason.isEmpty())
            m_text += QLatin1Char('\n') + reason;
    }
    void recordsAdded(qint64) override {}
    void progress(qint64, qint64) override {}
    bool confirm(const QString& question) override
    {
        if (!m_answered.isEmpty() && question == m_answered)
            return true;
        m_question = question;
        return false;
    }
    // Many people send through one program: none of their units is kept in
    // the program's own settings.
    bool remembersUnit() const override { return false; }

    const QString& text() const { return m_text; }
    const QString& question() const { return m_question; }

private:
    QString m_answered;
    QString m_text;
    QString m_question;
};

// The checks the window's lists make for it: a value typed into a form may
// be anything.
void checkChoices(FormState& state)
{
    const QString trailer = valueOf(state.values, QStringLiteral("trailer"));
    if (!trailer.isEmpty() && !import::trailerLetters().contains(trailer))
        state.messages[QStringLiteral("trailer")] =
            QStringLiteral("The trailer ID must be one capital letter A to Z, not %1.")
                .arg(text::quotedValue(trailer));
    for (const FormField& field : kFields) {
        if (field.input != Input::List)
            continue;
        const QString value = valueOf(state.values, QLatin1String(field.name));
        if (value.isEmpty() || choicesOf(field).contains(value))
            continue;
        const QString what = field.field == HeaderField::Direction ? QStringLiteral("direction of travel")
                                                                   : QStringLiteral("zone");
        state.messages[QLatin1String(field.name)] =
            QStringLiteral("The %1 %2 is not one of the list. Choose one of: %3.")
                .arg(what, text::quotedValue(value), choicesOf(field).join(QStringLiteral(", ")));
    }
    const QString unit = valueOf(state.values, QStringLiteral("unit"));
    if (unit.isEmpty() && valueOf(state.fromDownload, QStringLiteral("unit")).isEmpty())
        state.messages[QStringLiteral("unit")] =
            QStringLiteral("The download does not state the unit the sign measured in. Choose MPH or KPH.");
}

// Whether the download ends with the line of "+" the sign closes its log
// with (twelve; a file saved after it was processed has "*" over some of
// them). A transfer cut short, or a file cut off, lacks it: what it holds
// would be stored as a whole survey with its last vehicles missing.
bool endsWithClosingLine(const QByteArray& download)
{
    qsizetype end = download.size();
    while (end > 0 && (download[end - 1] == '\r' || download[end - 1] == '\n'))
        --end;
    qsizetype start = end;
    while (start > 0 && (download[start - 1] == '+' || download[start - 1] == '*'))
        --start;
    const bool lineStart = start == 0 || download[start - 1] == '\n';
    return lineStart && end - start >= 12;
}

// The header to store: what was typed, and the download's own value for
// every field the download fills in and the form left blank.
QString typedOrFromDownload(const FormState& state, const char* name)
{
    const QString typed = valueOf(state.values, QLatin1String(name));
    return typed.isEmpty() ? valueOf(state.fromDownload, QLatin1String(name)) : typed;
}

SurveyHeader headerOf(const FormState& state)
{
    SurveyHeader header;
    header.batchNumber = typedOrFromDownload(state, "batch");
    header.locationCode = typedOrFromDownload(state, "locationCode");
    header.location = typedOrFromDownload(state, "location");
    header.startDate = typedOrFromDownload(state, "startDate");
    header.startTime = typedOrFromDownload(state, "startTime");
    header.postedSpeed = typedOrFromDownload(state, "posted");
    header.cutoff = typedOrFromDownload(state, "cutoff");
    header.alarm = typedOrFromDownload(state, "alarm");
    header.unit = typedOrFromDownload(state, "unit");
    header.direction = typedOrFromDownload(state, "direction");
    header.zone = typedOrFromDownload(state, "zone");
    return header;
}

void fillFromDownload(FormState& state, const QByteArray& marked)
{
    const import::HeaderFields sign = import::readHeaderFields(marked);
    const QString trailer = valueOf(state.values, QStringLiteral("trailer"));
    state.fromDownload = {
        {QStringLiteral("batch"), sign.batchNumber(trailer.isEmpty() ? QStringLiteral("A") : trailer)},
        {QStringLiteral("locationCode"), sign.locationCode},
        {QStringLiteral("startTime"), sign.startTime()},
        {QStringLiteral("startDate"), sign.startDate()},
        {QStringLiteral("posted"), sign.postedSpeed},
        {QStringLiteral("cutoff"), sign.cutoff},
        {QStringLiteral("alarm"), sign.alarm},
        {QStringLiteral("unit"), sign.unit},
    };
}

// The page for a visitor who may not send: not signed in.
WebResponse mayNotSend(const Visitor& visitor)
{
    return pages::errorPage(
        visitor, 403,
        QStringLiteral("Sign in to send a download: only a person signed in may store a survey."));
}

} // namespace

WebResponse sendFormPage(const WebRequest& request)
{
    if (!request.visitor.maySend)
        return mayNotSend(request.visitor);
    return formPage(request.visitor, FormState(), 200);
}

WebResponse sendDownload(const WebRequest& request, KeptDownloads& kept)
{
    const Visitor& visitor = request.visitor;
    if (!visitor.maySend)
        return mayNotSend(visitor);
    const QString owner = ownerOf(visitor);
    FormState state;
    for (const FormField& field : kFields)
        state.values[QLatin1String(field.name)] = request.formValue(QLatin1String(field.name));

    // The download: a file sent now, or the one kept from the try before.
    std::optional<KeptDownload> download;
    const QString keptId = request.formValue(kKept);
    if (const auto sent = request.files.find(kFile);
        sent != request.files.end() && !(sent->second.fileName.isEmpty() && sent->second.content.isEmpty())) {
        download = KeptDownload{sent->second.fileName, sent->second.content};
    } else if (!keptId.isEmpty()) {
        download = kept.find(keptId, owner);
        if (!download)
            state.messages[kFile] = QStringLiteral("The download sent before is no longer kept here. Choose "
                                                   "the saved download (.rsx) again.");
        else
            state.keptId = keptId;
    } else {
        state.messages[kFile] = QStringLiteral("Choose the saved download (.rsx) to send.");
    }
    if (!download)
        return formPage(visitor, state, 400);
    const QString fileName = download->fileName.isEmpty() ? QStringLiteral("sent") : download->fileName;
    if (download->content.isEmpty()) {
        state.messages[kFile] =
            QStringLiteral("The file %1 is empty: it holds no download. Choose another file.").arg(fileName);
        return formPage(visitor, state, 400);
    }
    if (download->content.size() > acquisition::kLargestDownload) {
        state.messages[kFile] = QStringLiteral("The file %1 cannot be read: %2. Choose another file.")
                                    .arg(fileName, acquisition::tooLargeReason(download->content.size()));
        return formPage(visitor, state, 413);
    }
    if (!endsWithClosingLine(download->content)) {
        state.messages[kFile] =
            QStringLiteral(
                "The file %1 ends before the line of \"+\" that closes a download from the sign: it "
                "is cut short, and storing it would lose the last vehicles. Choose the complete "
                "file, or download the survey from the sign again.")
                .arg(fileName);
        return formPage(visitor, state, 422);
    }
    // Prepared as loading a file in the window prepares it; a file too short
    // to be marked holds no survey.
    QByteArray buffer = download->content;
    if (!import::markEnd(buffer)) {
        state.messages[kFile] =
            QStringLiteral("The downloaded file is corrupt or there is insufficient data to process");
        return formPage(visitor, state, 422);
    }
    fillFromDownload(state, buffer);

    // From here on a refusal keeps the download for the next try.
    const auto refuse = [&](int status) {
        state.keptId = kept.keep(owner, keptId, std::move(*download));
        state.keptName = fileName;
        return formPage(visitor, state, status);
    };
    checkChoices(state);
    if (!state.messages.empty())
        return refuse(422);

    const SurveyHeader header = headerOf(state);
    FormReport report(request.formValue(kQuestion));
    const import::ImportResult result = import::importSurvey(request.database, header, buffer, report);
    using Outcome = import::ImportResult::Outcome;
    switch (result.outcome) {
    case Outcome::Imported:
        kept.forget(keptId, owner);
        return WebResponse::redirect("/surveys/" + QUrl::toPercentEncoding(header.batchNumber));
    case Outcome::Refused:
        if (!report.question().isEmpty()) {
            state.unitQuestion = report.question();
            state.messages[QStringLiteral("unit")] = report.question();
            return refuse(422);
        }
        if (!result.storedAs.isEmpty()) {
            state.messages[kFile] = report.text();
            return refuse(409);
        }
        state.messages[nameOf(result.field)] = report.text();
        return refuse(report.text() == import::messages::kDuplicate ? 409 : 422);
    case Outcome::DataError:
        state.messages[kFile] = report.text();
        return refuse(422);
    case Outcome::Failed:
    case Outcome::MaybeStored:
    case Outcome::Cancelled:
        break;
    }
    state.messages[kWholeForm] = report.text();
    return refuse(500);
}

} // namespace pelmor::web::forms
