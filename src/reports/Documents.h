#pragma once

#include "reports/DocumentInputs.h"
#include "reports/PageItems.h"
#include "reports/ReportChoice.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace pelmor::reports {

// What has to happen before a document is built, so that its inputs are
// current: a graph drawn (its picture is the one the document places), a
// breakdown walked (its rows are the ones the document prints), the
// speed study worked out (its figures are the ones the document prints) or
// the chosen survey compared with a second one.
enum class Preparation {
    None,
    SpeedDistributionGraph,
    TrafficVolumeGraph,
    QuarterHourBreakdown,
    HourlyBreakdown,
    SpeedStudy,
    Comparison,
    Sites, // the sites read, the surveys stored without figures placed first
};

// One printable document.
struct DocumentKind {
    ReportChoice choice;
    // Printed for the chosen survey (the field sheets and the documents of
    // the sites are not).
    bool forSurvey;
    // Offered in the report list of the reports tab, under documentName().
    bool inReportList;
    Preparation preparation;
    // Builds the document; nothing when it cannot be started on the paper.
    std::optional<PagedDocument> (*build)(const DocumentInputs& inputs);
};

// Every document, the report list's entries first in the list's order.
const std::vector<DocumentKind>& documentKinds();

// The documents by number and name, for a message or a usage line:
// "1 85th Percentile Report, 2 ...".
QString documentList();

// The document of a choice; nullptr for none.
const DocumentKind* documentKind(ReportChoice choice);

// The report list's entry whose text is exactly `text` (letter case
// included), the first in list order; nullptr when none is.
const DocumentKind* listedDocument(const QString& text);

// The texts of the report list, in order.
QStringList reportListTexts();

// The batch numbers a document is printed for: the survey's ("050326-A"),
// both of a comparison ("030226-A and 030926-A"); empty for a document
// that is not printed for a survey.
QString documentBatches(const DocumentKind& kind, const DocumentInputs& inputs);

// A file name for the document: the batch number (when there is one) and
// the document's name, "050326-A 85th Percentile Report.pdf".
QString pdfFileName(ReportChoice choice, const QString& batchNumber);

} // namespace pelmor::reports
