// The chart of a period report, drawn with QPainter: the daily sums over a
// date axis, and a vertical line for each PTU change and RAM reset. The same
// drawing goes to the screen, into the PDF and onto paper; it needs QtGui
// only.
#pragma once

#include <QDate>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "Raport.h"

class QLocale;
class QPainter;
class QRectF;

// What the chart shows, worked out once from a report.
struct FiscalChart {
    QString title;
    QDate from, to;  // the days shown, each whole
    struct Point {
        QDate day;
        std::int64_t sum;  // hundredths
    };
    std::vector<Point> points;  // every report that could be read, in reading order
    struct Mark {
        QDate day;
        double dayFraction;  // where in the day: a RAM reset at its time, a change at the day's start
        FiscalKind kind;
    };
    std::vector<Mark> marks;
    // The value axis: ticks in whole złoty from 0 up, the last one at or
    // above the highest sum, labelled as the report writes numbers.
    std::vector<std::int64_t> ticks;
    std::vector<QString> tickLabels;
    // The date axis: the days that get a label.
    std::vector<QDate> days;
};

FiscalChart MakeFiscalChart(const FiscalReport& report, const std::vector<FiscalMark>& marks,
                            const QLocale& locale);

// Draws the chart into `area` of the painter's device: title, axes with
// their labels and titles, the sums, the marks and a legend.
void DrawFiscalChart(QPainter& painter, const QRectF& area, const FiscalChart& chart);

// The chart on screen.
class FiscalChartView : public QWidget {
public:
    explicit FiscalChartView(QWidget* parent = nullptr);
    void SetChart(FiscalChart chart);
    const FiscalChart& Chart() const { return chart_; }
    QSize sizeHint() const override { return {800, 420}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    FiscalChart chart_;
};
