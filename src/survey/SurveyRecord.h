#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <utility>
#include <vector>

// One stored survey as every view and document shows it: its Header row and
// its Summary row, each field the text exactly as stored.
namespace pelmor::survey {

// A survey's Header row.
struct HeaderRow {
    QString batchNumber;
    QString locationCode;
    QString location;
    QString date;           // "05/03/2002"
    QString time;           // "hh:mm"
    QString violationAlert; // the posted limit, "035"
    QString blankSpeed;     // the sign's high speed cut-off
    QString alarmSpeed;     // the sign's high speed alarm
    QString radarMode;      // "MPH" or "KPH"
    QString direction;
    QString zone;
    QString fieldSetup; // who set the sign up in the field

    // Calls visit(field name, field text) for each field, in table order;
    // `row` is a HeaderRow, const or not.
    template <typename Row, typename Visit> static void forEachField(Row& row, Visit&& visit)
    {
        visit("Batch_Number", row.batchNumber);
        visit("Location_Code", row.locationCode);
        visit("Location", row.location);
        visit("Date", row.date);
        visit("Time", row.time);
        visit("Violation_Alert", row.violationAlert);
        visit("Blank_Speed", row.blankSpeed);
        visit("Alarm_Speed", row.alarmSpeed);
        visit("Radar_Mode", row.radarMode);
        visit("Direction", row.direction);
        visit("Zone", row.zone);
        visit("Field_Setup", row.fieldSetup);
    }
    // The fields in table order, with their texts.
    std::vector<std::pair<QString, QString>> storedFields() const;
};

// A survey's statistics row: every value as the text that is shown and stored.
struct SummaryRow {
    QString batchNumber;
    QString postedLimit;
    QString numberUnder;
    QString numberOver;
    QString averageOver; // stored in the field Averge_Over
    QString minSpeed;
    QString maxSpeed;
    QString averageSpeed;
    QString paceLow;
    QString paceHigh;
    QString paceTotal;
    QString pacePercent;
    QString percentile85;
    QString totalVehicles;
    QString totalApproach;
    QString totalReceding; // stored in the field Total_Receeding
    QString totalUnknown;
    QString startTime; // "08:12 AM"
    QString stopTime;
    QString totalTime; // "1 Days, 3 Hrs, 05 Min"
    QString startDate; // "05/03/02"
    QString stopDate;
    std::array<QString, 6> overBands; // Over_5, Over_10, Over_15, Over_20, Over_25, Over_26

    // Calls visit(field name, field text) for each field, in table order;
    // `row` is a SummaryRow, const or not.
    template <typename Row, typename Visit> static void forEachField(Row& row, Visit&& visit)
    {
        visit("Batch_Number", row.batchNumber);
        visit("Posted_Limit", row.postedLimit);
        visit("Number_Under", row.numberUnder);
        visit("Number_Over", row.numberOver);
        visit("Averge_Over", row.averageOver);
        visit("Min_Speed", row.minSpeed);
        visit("Max_Speed", row.maxSpeed);
        visit("Average_Speed", row.averageSpeed);
        visit("Pace_Low", row.paceLow);
        visit("Pace_High", row.paceHigh);
        visit("Pace_Total", row.paceTotal);
        visit("Pace_Percent", row.pacePercent);
        visit("85th_Percentile", row.percentile85);
        visit("Total_Vehicles", row.totalVehicles);
        visit("Total_Approach", row.totalApproach);
        visit("Total_Receeding", row.totalReceding);
        visit("Total_Unknown", row.totalUnknown);
        visit("Start_Time", row.startTime);
        visit("Stop_Time", row.stopTime);
        visit("Total_Time", row.totalTime);
        visit("Start_Date", row.startDate);
        visit("Stop_Date", row.stopDate);
        static const char* const bands[] = {"Over_5", "Over_10", "Over_15", "Over_20", "Over_25", "Over_26"};
        for (size_t i = 0; i < row.overBands.size(); ++i)
            visit(bands[i], row.overBands[i]);
    }
    // The fields in table order, with their texts.
    std::vector<std::pair<QString, QString>> storedFields() const;
};

// The survey chosen on the reports tab, as the tab, the graphs, the flow
// breakdown and the documents use it.
struct SurveyRecord {
    // The batch number chosen; empty until a survey is chosen.
    QString batchNumber;
    // The first rows of that batch number, in table order. A survey without
    // such a row leaves its texts empty, so nothing of another survey shows.
    HeaderRow header;
    SummaryRow summary;
    bool hasHeader = false;
    bool hasSummary = false;
    // The device and log layout its vehicles were read with; empty for the
    // sign's own download.
    QString source;

    // The unit is compared exactly: only "KPH" is kilometres per hour.
    bool isKph() const { return header.radarMode == QLatin1String("KPH"); }
};

// A stored survey as the lists of surveys show it: its first Header row and
// the number of its vehicles.
struct ListedSurvey {
    HeaderRow header;
    qint64 vehicles = 0;
};

// How a list of surveys shows one, so that two surveys at one place on one
// day are told apart: "050326-A  Elm Street, North, 05/03/2026, 2,947
// vehicles". Empty texts are left out.
QString listText(const ListedSurvey& survey);

// Shown when a graph or breakdown is asked for and the current survey has no
// vehicles: none was chosen yet, or the database is empty.
QString noSurveyMessage();

// The heading and the six captions of the over-limit bands for a unit:
// "KPH" exactly gives the kilometre bands, any other text the mile bands.
QString bandHeading(const QString& unit);
QStringList bandCaptions(const QString& unit);

// The sign's fixed measuring range, shown and printed as the minimum and
// maximum radar settings.
inline QString minimumRadarSetting()
{
    return QStringLiteral("5");
}
inline QString maximumRadarSetting()
{
    return QStringLiteral("200");
}

} // namespace pelmor::survey
