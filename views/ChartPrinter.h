#pragma once

#include "data/Errors.h"

#include <QDateTime>
#include <QStringList>

class ChartFrame;
class QChartView;
class QPixmap;
class QPrinter;

// The printer could not be used: none is installed, the job could not start, drawing failed.
VARDOMETER_ERROR_CLASS(PrintError, VardometerError);

namespace ChartPrinter {

// Throws PrintError when the printer cannot take a job at all.
void requirePrinter(const QPrinter& printer);

// Prints a chart alone on one landscape page, as one job named documentName: the heading
// replaces its title lines and " " and the print time line its foot lines for the print;
// margins 5 % all round, not proportional, laid out at twice the screen size. Afterwards,
// also when printing fails, the chart's title lines are titleAfter, its foot lines empty, its
// subtitle as it was, and the printer's orientation as it was.
void printChart(QChartView* view, ChartFrame* frame, const QStringList& heading,
                const QStringList& titleAfter, QPrinter& printer, const QString& documentName,
                const QDateTime& now);

// Prints a picture of a window at the top-left of the page at its physical size: each
// dimension in printer dots is its pixels times the printer's dots per inch over the
// screen's pixels per inch; a picture larger than the page is shrunk to fit, so nothing is
// cut off. The printer's orientation is left as it is set.
void printPicture(const QPixmap& picture, double screenDpi, QPrinter& printer,
                  const QString& documentName);

} // namespace ChartPrinter
