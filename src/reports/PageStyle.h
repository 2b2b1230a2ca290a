#pragma once

#include "reports/PageComposer.h"

#include <QDate>
#include <QString>

#include <initializer_list>

// What the printed documents share: the default style, the start of a
// page-layout document, its frame, its title block and its running page line.
namespace pelmor::reports {

// The report window's default style, set before every document is built:
// Times, not bold or italic, left aligned, solid black brush, black pen 6
// twips wide, one column, side margins of half an inch.
void applyDefaultStyle(PageComposer& page);

// Starts a page-layout document: false when the document cannot be started
// (nothing is built then). Otherwise the position is the page's top-left
// corner, the top and side margins 0.7 inch and the pen black, 25 twips wide.
bool startPageLayout(PageComposer& page);

// A frame box, from its top-left to its bottom-right corner.
struct FrameBox {
    double x1;
    double y1;
    double x2;
    double y2;
};

// The frame of page 1: a rule across the frame's width (0.7 to 7.7 inches)
// at `topRule` and at 10 inches, and the boxes, outlined only.
void drawPageFrame(PageComposer& page, double topRule, std::initializer_list<FrameBox> boxes);

// The two title lines in Arial 14 bold (smaller where one would not fit
// its line), centred between the margins, at the top margin; then bold off, side margins of one inch and
// size 12. The title alignment stays until the document sets another.
void printTitleBlock(PageComposer& page, const QString& first, const QString& second);

// The room left between a box's edge and the text inside it.
inline constexpr double kTextInset = 90;

// Prints `text` as printLine() does when it takes no more than `lines`
// lines; otherwise in the largest smaller size (down to 7 points) that it
// does, each line advancing as far as at the size in force, so the lines
// after it stay where they were meant to be. What does not fit even then
// wraps on: nothing is cut.
void printFitting(PageComposer& page, const QString& text, int lines = 1);

// Sets the current height to `top` and prints the lines one under the
// other, each fitted to one line.
void printBlock(PageComposer& page, double top, std::initializer_list<QString> lines);

// Prints one line underlined (and bold when asked), then turns both off.
void printUnderlined(PageComposer& page, const QString& text, bool bold = false);

// The running page line of the reports ("Issued:  Apr 02 , 2002" at the
// left, " page1" at the right) and of the field sheets ("Printed:  Apr 02 ,
// 2002" alone), in Arial 10.
void setIssuedLine(PageComposer& page, const QDate& today);
void setPrintedLine(PageComposer& page, const QDate& today);

} // namespace pelmor::reports
