// The window "Raport okresowy": two dates, the chart of the daily sums from
// the first to the last of them with the PTU changes and RAM resets marked on
// the time axis, and the report of those days to a PDF file or a printer.
//
// It works on a copy of what the fiscal memory window read, so a new reading
// there does not change a report being looked at.
#pragma once

#include <QDate>
#include <QDialog>

#include <string>
#include <vector>

#include "Raport.h"
#include "RaportDruk.h"
#include "Wykres.h"

class QDateEdit;
class QLabel;
class QPushButton;

class FiscalReportDialog : public QDialog {
    Q_OBJECT
public:
    // The range starts as the first and the last date read (today when none
    // was). `order` places the PTU changes among the reports (see
    // MakeFiscalReport); the heading's `incomplete` is shown above the chart.
    FiscalReportDialog(const FiscalTables& tables, const ReportHeading& heading,
                       const FiscalReadingOrder& order = {}, QWidget* parent = nullptr);

    void SetRange(const QDate& from, const QDate& to);
    QDate From() const;
    QDate To() const;

    const FiscalReport& Report() const { return report_; }
    const std::vector<FiscalMark>& Marks() const { return marks_; }
    const FiscalChart& Chart() const;
    FiscalChartView* ChartView() const { return chartView_; }

    // Writes the report of the range as PDF; a failure is reported to the
    // person ("Nie można zapisać pliku ...") and leaves an old file whole.
    bool SavePdf(const QString& path);

private:
    void OnRangeChanged();
    void OnSavePdf();
    void OnPrint();

    FiscalTables tables_;
    ReportHeading heading_;
    FiscalReadingOrder order_;
    FiscalReport report_;
    std::vector<FiscalMark> marks_;

    QDateEdit* fromEdit_ = nullptr;
    QDateEdit* toEdit_ = nullptr;
    QLabel* summary_ = nullptr;
    QLabel* periods_ = nullptr;  // the sums of each set of PTU rates, when they changed
    FiscalChartView* chartView_ = nullptr;
    QPushButton* savePdf_ = nullptr;
    QPushButton* print_ = nullptr;
};

// A path from a file dialog as the core's file calls take it: UTF-8 on
// Windows, where they use the wide calls; the file system's encoding elsewhere.
std::string FilePathForCore(const QString& path);


