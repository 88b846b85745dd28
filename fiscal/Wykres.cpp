#include "Wykres.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "RaportDruk.h"

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

const char* const kSums = "Suma dnia";
const char* const kPtuMark = "Zmiana stawek PTU";
const char* const kRamMark = "Zerowanie RAM";
const QColor kSumColor(32, 96, 160);
const QColor kPtuColor(230, 126, 34);
const QColor kRamColor(192, 57, 43);
const QColor kGridColor(225, 225, 225);
constexpr int kPointsShownUpTo = 62;  // about two months: beyond that the dots hide the line
constexpr int kMostDayLabels = 7;

QDate DateOf(FiscalDay day) { return QDate(day / 10000, day / 100 % 100, day % 100); }

// A step of 1, 2 or 5 times a power of ten, so that about five steps reach
// `top` (whole złoty, at least 2).
std::int64_t NiceStep(double top) {
    const double raw = top / 5.0;
    double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * magnitude >= raw) return std::max<std::int64_t>(1, std::llround(m * magnitude));
    return std::max<std::int64_t>(1, std::llround(10.0 * magnitude));
}

// Day labels: every day, every few days, weeks, or the first of every one,
// two, three, six or twelve months, so that at most seven fit.
std::vector<QDate> DayLabels(const QDate& from, const QDate& to) {
    std::vector<QDate> days;
    const qint64 count = from.daysTo(to) + 1;
    for (qint64 step : {1, 2, 3, 7, 14}) {
        if (count / step >= kMostDayLabels) continue;
        for (QDate d = from; d <= to; d = d.addDays(step)) days.push_back(d);
        return days;
    }
    for (int months : {1, 2, 3, 6, 12, 24, 60}) {
        QDate d(from.year(), 1, 1);
        std::vector<QDate> firsts;
        for (; d <= to; d = d.addMonths(months))
            if (d >= from) firsts.push_back(d);
        if (firsts.size() <= static_cast<std::size_t>(kMostDayLabels)) return firsts;
    }
    return {from, to};
}

// Device pixels of one screen pixel: a PDF at 300 dpi draws lines as thick as
// the window does.
double PixelScale(const QPainter& p) { return p.device() ? p.device()->logicalDpiX() / 96.0 : 1.0; }

}  // namespace

FiscalChart MakeFiscalChart(const FiscalReport& report, const std::vector<FiscalMark>& marks,
                            const QLocale& locale) {
    FiscalChart chart;
    chart.title = U("Sumy dobowe od %1 do %2")
                      .arg(QString::fromStdString(FiscalDayText(report.from)),
                           QString::fromStdString(FiscalDayText(report.to)));
    chart.from = DateOf(report.from);
    chart.to = std::max(DateOf(report.to), chart.from);

    std::int64_t highest = 0;
    for (const DailyLine& line : report.lines) {
        const auto sum = line.Sum();
        const auto day = ParseFiscalDate(line.date);
        if (line.Damaged() || !sum || !day) continue;  // a damaged report has no sum to draw
        chart.points.push_back({DateOf(*day), *sum});
        highest = std::max(highest, *sum);
    }
    for (const FiscalMark& mark : marks) {
        double fraction = 0;
        if (mark.kind == FiscalKind::RamReset) {
            const QTime time = QTime::fromString(QString::fromStdString(mark.details), QStringLiteral("HH:mm"));
            if (time.isValid()) fraction = time.msecsSinceStartOfDay() / 86400000.0;
        }
        chart.marks.push_back({DateOf(mark.day), fraction, mark.kind});
    }

    // At least 10 zł high; the sums in hundredths become złoty only here.
    const double top = highest > 0 ? std::max(10.0, static_cast<double>(highest) / 100.0) : 100.0;
    const std::int64_t step = NiceStep(top);
    for (std::int64_t v = 0;; v += step) {
        chart.ticks.push_back(v);
        chart.tickLabels.push_back(GroupedNumber(v, locale));
        if (static_cast<double>(v) >= top) break;
    }
    chart.days = DayLabels(chart.from, chart.to);
    return chart;
}

void DrawFiscalChart(QPainter& p, const QRectF& area, const FiscalChart& chart) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double px = PixelScale(p);
    QFont font = QGuiApplication::font();
    font.setPointSizeF(9);
    QFont bold = font;
    bold.setBold(true);
    const QFontMetricsF metrics(font, p.device());
    const double line = metrics.height();

    // Title on top, legend at the bottom, axis labels and titles around the plot.
    p.setFont(bold);
    p.setPen(Qt::black);
    const QRectF titleRect(area.left(), area.top(), area.width(), line * 1.6);
    p.drawText(titleRect, Qt::AlignCenter, chart.title);

    double labelWidth = 0;
    for (const QString& label : chart.tickLabels) labelWidth = std::max(labelWidth, metrics.horizontalAdvance(label));
    const double left = area.left() + line * 1.5 + labelWidth + 6 * px;
    const double right = area.right() - metrics.horizontalAdvance(QStringLiteral("0000-00-00")) / 2;
    const double top = titleRect.bottom() + line * 0.5;
    const double bottom = area.bottom() - line * 4.2;
    if (right - left < 10 || bottom - top < 10) {
        p.restore();
        return;  // no room to draw in
    }
    const QRectF plot(QPointF(left, top), QPointF(right, bottom));

    const double days = static_cast<double>(chart.from.daysTo(chart.to) + 1);
    auto xOf = [&](const QDate& day, double fraction) {
        return plot.left() + (static_cast<double>(chart.from.daysTo(day)) + fraction) / days * plot.width();
    };
    const double topValue = chart.ticks.empty() ? 1.0 : std::max<double>(1.0, static_cast<double>(chart.ticks.back()));
    auto yOf = [&](double zloty) { return plot.bottom() - zloty / topValue * plot.height(); };

    // Grid and value axis.
    p.setFont(font);
    for (std::size_t i = 0; i < chart.ticks.size(); ++i) {
        const double y = yOf(static_cast<double>(chart.ticks[i]));
        p.setPen(QPen(kGridColor, px));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(plot.left() - labelWidth - 6 * px, y - line / 2, labelWidth, line),
                   Qt::AlignRight | Qt::AlignVCenter, chart.tickLabels[i]);
    }
    // Date axis.
    const double dayLabelWidth = metrics.horizontalAdvance(QStringLiteral("0000-00-00"));
    for (const QDate& day : chart.days) {
        const double x = xOf(day, 0);
        p.setPen(QPen(kGridColor, px));
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.setPen(Qt::black);
        p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 4 * px));
        p.drawText(QRectF(x - dayLabelWidth / 2 - 2 * px, plot.bottom() + 5 * px, dayLabelWidth + 4 * px, line),
                   Qt::AlignCenter, day.toString(QStringLiteral("yyyy-MM-dd")));
    }
    p.setPen(QPen(Qt::black, px));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());

    // Axis titles.
    p.setFont(bold);
    p.drawText(QRectF(plot.left(), plot.bottom() + line * 1.3, plot.width(), line), Qt::AlignCenter, U("Data"));
    p.save();
    p.translate(area.left() + line * 0.2, plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-plot.height() / 2, 0, plot.height(), line * 1.2), Qt::AlignCenter, U("Suma dnia [zł]"));
    p.restore();

    // The sums, then the marks over them: changes wide and solid, resets
    // dotted and drawn last, so a reset and a change on one day both show.
    p.setClipRect(plot.adjusted(-6 * px, -6 * px, 6 * px, 6 * px));
    QPainterPath path;
    for (std::size_t i = 0; i < chart.points.size(); ++i) {
        const QPointF at(xOf(chart.points[i].day, 0.5), yOf(static_cast<double>(chart.points[i].sum) / 100.0));
        if (i == 0)
            path.moveTo(at);
        else
            path.lineTo(at);
    }
    p.setPen(QPen(kSumColor, 2 * px));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    if (chart.points.size() <= static_cast<std::size_t>(kPointsShownUpTo)) {
        p.setBrush(kSumColor);
        for (const auto& point : chart.points)
            p.drawEllipse(QPointF(xOf(point.day, 0.5), yOf(static_cast<double>(point.sum) / 100.0)), 2.5 * px,
                          2.5 * px);
    }
    bool hasPtu = false, hasRam = false;
    for (FiscalKind kind : {FiscalKind::PtuChange, FiscalKind::RamReset}) {
        const bool ptu = kind == FiscalKind::PtuChange;
        p.setPen(ptu ? QPen(kPtuColor, 4 * px) : QPen(kRamColor, 2 * px, Qt::DotLine));
        for (const auto& mark : chart.marks) {
            if (mark.kind != kind) continue;
            (ptu ? hasPtu : hasRam) = true;
            const double x = xOf(mark.day, mark.dayFraction);
            p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        }
    }
    p.setClipping(false);

    // Legend: each kind shown once.
    struct Entry {
        QString name;
        QPen pen;
    };
    std::vector<Entry> legend = {{U(kSums), QPen(kSumColor, 2 * px)}};
    if (hasPtu) legend.push_back({U(kPtuMark), QPen(kPtuColor, 4 * px)});
    if (hasRam) legend.push_back({U(kRamMark), QPen(kRamColor, 2 * px, Qt::DotLine)});
    p.setFont(font);
    const double swatch = line * 1.5, gap = line;
    double width = 0;
    for (const Entry& e : legend) width += swatch + 4 * px + metrics.horizontalAdvance(e.name) + gap;
    double x = plot.center().x() - (width - gap) / 2;
    const double y = area.bottom() - line;
    for (const Entry& e : legend) {
        p.setPen(e.pen);
        p.drawLine(QPointF(x, y + line / 2), QPointF(x + swatch, y + line / 2));
        x += swatch + 4 * px;
        p.setPen(Qt::black);
        const double w = metrics.horizontalAdvance(e.name);
        p.drawText(QRectF(x, y, w + 2 * px, line), Qt::AlignLeft | Qt::AlignVCenter, e.name);
        x += w + gap;
    }
    p.restore();
}

FiscalChartView::FiscalChartView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 200);
}

void FiscalChartView::SetChart(FiscalChart chart) {
    chart_ = std::move(chart);
    update();
}

void FiscalChartView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    DrawFiscalChart(p, QRectF(rect()).adjusted(8, 8, -8, -8), chart_);
}
