#include "maintenance/RepairReport.h"

#include "maintenance/MaintenanceTexts.h"
#include "text/Formats.h"

namespace pelmor::maintenance {
namespace {

// A badly damaged file can leave many surveys to name: the first ones are.
constexpr int kNamed = 10;

QString namedList(const QStringList& names)
{
    QString named = names.mid(0, kNamed).join(QStringLiteral(", "));
    if (names.size() > kNamed)
        named += QStringLiteral(" and %1 more").arg(names.size() - kNamed);
    return named;
}

void addLostRows(QStringList& lines, const QString& table, const std::optional<qint64>& lost)
{
    if (!lost)
        lines << QStringLiteral("Some rows of %1 could not be saved; how many cannot be told.").arg(table);
    else if (*lost > 0)
        lines << QStringLiteral("%1 of %2 could not be saved.")
                     .arg(texts::counted(*lost, "row", "rows"), table);
}

void addShortfalls(QStringList& lines, const std::vector<SurveyShortfall>& shortfalls)
{
    if (shortfalls.empty())
        return;
    for (size_t i = 0; i < shortfalls.size() && i < size_t(kNamed); ++i)
        lines << QStringLiteral("Survey %1 keeps %2 of its %3 vehicles.")
                     .arg(shortfalls[i].batchNumber, text::formatCount(shortfalls[i].kept),
                          text::formatCount(shortfalls[i].stated));
    if (shortfalls.size() > size_t(kNamed))
        lines << QStringLiteral("%1 more keep only part of their vehicles.")
                     .arg(texts::counted(qint64(shortfalls.size()) - kNamed, "survey", "surveys"));
    lines << (shortfalls.size() == 1
                  ? QStringLiteral(
                        "That survey is not whole: delete it and import its saved download again, or "
                        "keep it knowing that its statistics count vehicles that are gone.")
                  : QStringLiteral(
                        "Those surveys are not whole: delete each and import its saved download "
                        "again, or keep it knowing that its statistics count vehicles that are gone."));
}

void addHeaderless(QStringList& lines, const QStringList& headerless)
{
    if (headerless.size() == 1)
        lines << QStringLiteral("The vehicles or statistics of %1 were kept without the survey's header: "
                                "delete that survey, then import its download again.")
                     .arg(namedList(headerless));
    else if (headerless.size() > 1)
        lines << QStringLiteral("The vehicles or statistics of %1 were kept without the surveys' headers: "
                                "delete those surveys, then import their downloads again.")
                     .arg(namedList(headerless));
}

void addSites(QStringList& lines, const RepairFindings& findings)
{
    QStringList remade;
    for (const RemadeSite& site : findings.remadeSites)
        remade << QString::number(site.id);
    if (remade.size() == 1)
        lines << QStringLiteral("Site %1 could not be saved: it was made again from its surveys, named after "
                                "the location of the first one and without coordinates. Set its coordinates "
                                "again if it had any.")
                     .arg(remade.first());
    else if (remade.size() > 1)
        lines << QStringLiteral("Sites %1 could not be saved: they were made again from their surveys, each "
                                "named after the location of its first survey and without coordinates. Set "
                                "their coordinates again where they had any.")
                     .arg(namedList(remade));
    if (!findings.lostSitesWithoutSurveys)
        lines << QStringLiteral("Sites without surveys may have been lost.");
    else if (*findings.lostSitesWithoutSurveys > 0)
        lines << QStringLiteral("%1 could not be saved.")
                     .arg(texts::counted(*findings.lostSitesWithoutSurveys, "site without surveys",
                                         "sites without surveys"));

    const QString merge = QStringLiteral(
        "a survey stored from now on at such a location may start a site of its own; merge it into its "
        "site again.");
    if (!findings.lostSiteNames)
        lines << QStringLiteral("Some location names that lead surveys to their sites could not be saved: ") +
                     merge;
    else if (*findings.lostSiteNames == 1)
        lines << QStringLiteral("1 location name that leads surveys to their site could not be saved: ") +
                     merge;
    else if (*findings.lostSiteNames > 1)
        lines << QStringLiteral("%1 location names that lead surveys to their sites could not be saved: ")
                         .arg(text::formatCount(*findings.lostSiteNames)) +
                     merge;

    const QStringList& unplaced = findings.surveysWithoutSite;
    if (unplaced.size() == 1)
        lines << QStringLiteral(
                     "The site of survey %1 could not be saved: the survey goes to the site of its "
                     "location when the sites are next shown. If it had been split off to a site "
                     "of its own, split it off again.")
                     .arg(unplaced.first());
    else if (unplaced.size() > 1)
        lines << QStringLiteral("The sites of surveys %1 could not be saved: each goes to the site of its "
                                "location when the sites are next shown. A survey that had been split off "
                                "to a site of its own must be split off again.")
                     .arg(namedList(unplaced));
}

} // namespace

QString repairReport(const RepairFindings& findings)
{
    QStringList lines;
    for (const auto& [table, lost] : findings.lostRows)
        addLostRows(lines, table, lost);
    addShortfalls(lines, findings.shortfalls);
    addSites(lines, findings);
    if (lines.isEmpty())
        lines << QStringLiteral("The damaged database was rebuilt; every row was saved: nothing was lost.");
    addHeaderless(lines, findings.headerless);
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace pelmor::maintenance
