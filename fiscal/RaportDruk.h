// The period report of the daily reports on paper or in a PDF file: the
// register's identity and the period on top, one line per daily report with
// the totals A to G, receipts, cancellations and the day's sum, the sums of
// the period at the bottom (one "Razem" for each set of PTU rates when they
// changed within it, then "Łącznie"), then the reports left out of the sums and the PTU
// changes and RAM resets of the period. Column titles repeat on every page;
// every page is numbered "Strona n z m".
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

#include "Raport.h"

class QLocale;
class QPagedPaintDevice;

struct ReportHeading {
    QString uniqueNumber;  // empty when the register did not give it
    QString nip;
    // What the reading lacks ("Odczyt niepełny: brak rekordów nr ..."); empty
    // when it is whole. Shown on page 1 and named on every other page.
    QString incomplete = {};
};

// Draws the report on the device's pages as they are set (a printer keeps the
// paper the person chose). False when nothing could be drawn on it.
bool DrawFiscalReport(QPagedPaintDevice& device, const FiscalReport& report, const std::vector<FiscalMark>& marks,
                      const ReportHeading& heading);

// The report as a PDF document on A4 paper, landscape so that thirteen
// columns fit; empty when it could not be made.
QByteArray FiscalReportPdf(const FiscalReport& report, const std::vector<FiscalMark>& marks,
                           const ReportHeading& heading);

// A whole number and an amount in hundredths as the report writes them: the
// locale's separators, digits grouped by three from five digits on
// ("12 345", "1234,56", "7 695 350 119,11" in Polish).
QString GroupedNumber(std::int64_t value, const QLocale& locale);
QString AmountText(std::int64_t hundredths, const QLocale& locale);

// A4 landscape with 12 mm margins: the PDF's pages, and what the print dialog
// offers first.
void SetReportPage(QPagedPaintDevice& device);
