// What the fiscal memory window makes of a reading from the emulator on a
// pseudo-terminal: the three CSV files, the period report's range, chart and
// PDF. With ZELTRA_ZRZUTY set to a folder, the chart is also saved there as
// wykres.png (the README's picture).
#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

#include "Emulator.h"
#include "FmreaderWindow.h"
#include "NativeSerialPort.h"
#include "Pomoc.h"
#include "PtyServer.h"
#include "Raport.h"
#include "RaportWindow.h"
#include "RecordingUi.h"

namespace {

QByteArray Slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class RaportWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PtyServer> server;
    Connection link;
    RecordingUi ui;

    // 400 generated records (2020-01-01 to 2021-02-03) read into the window;
    // report 9 (2020-01-11) has a letter in its TOT. C.
    void ReadRegister(FmreaderWindow& w, const std::function<void(RegisterState&)>& shape = {}) {
        Emulator e;
        e.state.fiscal = true;
        GenerateFiscalMemory(e.state, 400);
        e.state.fiscalMemory[kFirstFiscalRecord + 10][17] = '\x1A';
        if (shape) shape(e.state);
        server = std::make_unique<PtyServer>(std::move(e));
        QVERIFY(server->Start());
        link.UsePort(std::make_unique<NativeSerialPort>());
        QVERIFY(link.OpenPort(server->SlavePath()));
        link.Settings().pollLimit = 100000;
        w.SetIntervals(10, 20);
        QVERIFY(!w.ExportButton()->isEnabled());
        QSignalSpy spy(&w, &FmreaderWindow::readingActive);
        QVERIFY(w.Open());
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() == 2, 30000);
        QVERIFY(w.ExportButton()->isEnabled() && w.ReportButton()->isEnabled());
    }

private slots:
    void init() {
        link.Reset();
        ui = RecordingUi();
        InstallUi(&ui);
    }
    void cleanup() {
        link.Reset();
        InstallUi(nullptr);
        server.reset();
    }

    void exportsThreeCsvFiles() {
        FmreaderWindow w(link);
        ReadRegister(w);
        QTemporaryDir dir;
        const QStringList names = w.CsvFileNames();
        QCOMPARE(names, QStringList({"ZEL12345678 Raporty dobowe.csv", "ZEL12345678 Stawki PTU.csv",
                                     "ZEL12345678 Zerowania RAM.csv"}));
        QVERIFY(w.ExportCsv(dir.path()));
        QCOMPARE(ui.shown.size(), size_t(1));
        QVERIFY(ui.shown[0].text.rfind("Zapisano pliki ZEL12345678 Raporty dobowe.csv", 0) == 0);

        // The system's decimal separator (the test runs in Polish: ',').
        const QString point = QLocale::system().decimalPoint();
        const QList<QByteArray> daily = Slurp(dir.filePath(names[0])).split('\n');
        QCOMPARE(daily.size(), 388 + 2);  // titles, 388 reports, the end after the last CR LF
        QCOMPARE(daily[0], QByteArray("\xEF\xBB\xBFNr rap.;Data;TOT. A;TOT. B;TOT. C;TOT. D;TOT. E;TOT. F;TOT. G;"
                                      "Ilość Par.;Ilość Zmian;Ilość Anul.;Kwota Anul.\r"));
        QCOMPARE(daily[1], QString("1;2020-01-03;123.45;1.07;0.00;0.00;0.00;0.00;0.00;1;1;1;2.50\r")
                               .replace(".", point).toUtf8());
        const QList<QByteArray> ptu = Slurp(dir.filePath(names[1])).split('\n');
        QCOMPARE(ptu[1], QString("1;2020-01-02;23.00;08.00;05.00;00.00;zw;NAK;NAK\r").replace(".", point).toUtf8());
        QVERIFY(daily[9].startsWith("9;2020-01-11;"));
        QVERIFY(daily[9].contains(";00001A0000;"));  // the damaged amount as the window shows it
        QCOMPARE(Slurp(dir.filePath(names[2])).split('\n').size(), 8 + 2);

        // Again into the same folder: asked first; "Nie" leaves the files.
        QFile::resize(dir.filePath(names[2]), 3);
        ui.Clear();
        ui.answers = {false};
        QVERIFY(!w.ExportCsv(dir.path()));
        QCOMPARE(ui.shown.size(), size_t(1));
        QCOMPARE(ui.shown[0].kind, std::string("question"));
        QCOMPARE(QFileInfo(dir.filePath(names[2])).size(), qint64(3));

        // A folder that is not there: each file reported, nothing claimed.
        ui.Clear();
        QVERIFY(!w.ExportCsv(dir.filePath("brak")));
        QCOMPARE(ui.shown.size(), size_t(3));
        QVERIFY(ui.shown[0].text.rfind("Nie można zapisać pliku ", 0) == 0);
    }

    void reportRangeChartAndPdf() {
        FmreaderWindow w(link);
        ReadRegister(w);
        QTest::mouseClick(w.ReportButton(), Qt::LeftButton);
        FiscalReportDialog* report = w.ReportWindow();
        QVERIFY(report && report->isVisible());
        // First and last date read: a RAM reset on 2020-01-01, a report on 2021-02-03.
        QCOMPARE(report->From(), QDate(2020, 1, 1));
        QCOMPARE(report->To(), QDate(2021, 2, 3));
        QCOMPARE(int(report->Report().lines.size()), 388);
        QCOMPARE(report->Report().sums.reports, 387);
        QVERIFY(report->findChild<QLabel*>("summary")->text().endsWith(
            QString::fromUtf8("uszkodzonych, pominiętych w sumach: 1")));
        QVERIFY(report->findChild<QLabel*>("incomplete")->isHidden());

        struct Case {
            QDate from, to;
            int points, ptu, ram;
            int pagesAtLeast, pagesAtMost;
        };
        const Case cases[] = {
            // The damaged report has no point; the chart has a page of its own
            // after the report's, when there are sums to draw.
            {QDate(2020, 1, 1), QDate(2021, 2, 3), 387, 4, 8, 6, 21},
            {QDate(2020, 4, 9), QDate(2020, 4, 12), 2, 1, 1, 2, 2},  // reports on the 9th and 12th, a reset, a change
            {QDate(2019, 1, 1), QDate(2019, 12, 31), 0, 0, 0, 1, 1},
        };
        QTemporaryDir dir;
        for (const Case& c : cases) {
            report->SetRange(c.from, c.to);
            const FiscalChart& chart = report->Chart();
            QCOMPARE(int(chart.points.size()), c.points);
            int ptu = 0, ram = 0;
            for (const auto& m : chart.marks) (m.kind == FiscalKind::PtuChange ? ptu : ram) += 1;
            QCOMPARE(ptu, c.ptu);
            QCOMPARE(ram, c.ram);

            const QString path = dir.filePath("raport.pdf");
            QVERIFY(report->SavePdf(path));
            const QByteArray pdf = Slurp(path);
            QVERIFY(pdf.startsWith("%PDF-"));
            QVERIFY(pdf.size() > 5000);
            const int pages = pdf.count("/Type /Page\n") + pdf.count("/Type /Page ") + pdf.count("/Type /Page>");
            QVERIFY2(pages >= c.pagesAtLeast && pages <= c.pagesAtMost, qPrintable(QString::number(pages)));
        }
        QCOMPARE(ui.Messages(), std::vector<std::string>{});
        QVERIFY(!report->SavePdf(dir.filePath("brak/raport.pdf")));
        QCOMPARE(ui.Count("Nie można zapisać pliku " + dir.filePath("brak/raport.pdf").toStdString()), 1);

        // The chart of about a year, as the README shows it.
        report->SetRange(QDate(2020, 1, 1), QDate(2020, 12, 31));
        report->resize(1000, 620);
        const QImage image = report->ChartView()->grab().toImage();
        QVERIFY(!image.isNull() && image.width() > 600);
        const QString shots = qEnvironmentVariable("ZELTRA_ZRZUTY");
        if (!shots.isEmpty()) {
            QVERIFY(image.save(QDir(shots).filePath("wykres.png")));
            report->SetRange(QDate(2020, 1, 1), QDate(2020, 1, 31));
            QVERIFY(report->SavePdf(QDir(shots).filePath("raport.pdf")));
        }
    }

    // Record 28 cut short (never decoded) and a report dated on the day of the
    // PTU change after it (2020-04-11) but read before it: the label, the three
    // files, the report window and its PDF say what is missing, and the report
    // of that day keeps the old rates.
    void incompleteReadingAndRatePeriods() {
        FmreaderWindow w(link);
        ReadRegister(w, [](RegisterState& s) {
            s.fiscalMemory[28].resize(10);
            s.fiscalMemory[107].replace(1, 4, s.fiscalMemory[109].substr(1, 4));
        });
        const QString gaps = QString::fromUtf8("Odczyt niepełny: brak rekordów nr 28");
        QCOMPARE(w.BusyLabel()->text(), gaps);

        QTemporaryDir dir;
        ui.Clear();
        QVERIFY(w.ExportCsv(dir.path()));
        for (const QString& name : w.CsvFileNames())
            QVERIFY2(Slurp(dir.filePath(name)).startsWith("\xEF\xBB\xBF" + gaps.toUtf8() + "\r\nNr "), qPrintable(name));

        w.OpenReport();
        FiscalReportDialog* report = w.ReportWindow();
        const QLabel* incomplete = report->findChild<QLabel*>("incomplete");
        QVERIFY(incomplete->isVisible() && incomplete->text() == gaps);
        report->SetRange(QDate(2020, 4, 11), QDate(2020, 4, 12));
        const QString periods = report->findChild<QLabel*>("periods")->text();
        QVERIFY2(periods.contains(QString::fromUtf8("zmiany nr 1 z 2020-01-02: raportów 1,")) &&
                     periods.contains(QString::fromUtf8("zmiany nr 2 z 2020-04-11: raportów 1,")),
                 qPrintable(periods));

        const QString pdf = dir.filePath("raport.pdf");
        QVERIFY(report->SavePdf(pdf));
        if (QStandardPaths::findExecutable("pdftotext").isEmpty()) QSKIP("pdftotext (poppler-utils) is not installed");
        QProcess text;
        text.start("pdftotext", {pdf, "-"});
        QVERIFY(text.waitForFinished());
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(page.contains(gaps), qPrintable(page));
        QCOMPARE(page.count(QRegularExpression("^Razem\\b", QRegularExpression::MultilineOption)), 2);
        QCOMPARE(page.count(QString::fromUtf8("Łącznie")), 2);  // the row and the note under it
    }

    // The chart drawn by the program itself: its sums' axis groups labels as
    // the report groups amounts ("2 000 000", not "2000 000" beside
    // "10 000 000"), reaches the highest sum on whole złoty, names each day
    // once, and the sums and the change are on the picture.
    void chartAxesAndDrawing() {
        FiscalTables tables = MakeFiscalTables();
        FiscalTable& daily = tables[0];
        daily.SetRow(1, {"1", "2020-01-03", "10000000.00", "0.00", "0.00", "0.00", "0.00", "0.00", "0.00", "1", "1",
                         "0", "0.00"});
        daily.SetRow(2, {"2", "2020-01-04", "2500000.00", "0.00", "0.00", "0.00", "0.00", "0.00", "0.00", "1", "1",
                         "0", "0.00"});
        tables[1].SetRow(1, {"1", "2020-01-04", "23.00", "08.00", "05.00", "00.00", "zw", "NAK", "NAK"});
        const FiscalReport report = MakeFiscalReport(daily, 20200103, 20200104);
        const FiscalChart chart = MakeFiscalChart(report, FiscalMarks(tables, 20200103, 20200104), QLocale::system());
        const QString twoMillion = QString("2 000 000").replace(" ", QLocale::system().groupSeparator());
        QVERIFY(std::find(chart.tickLabels.begin(), chart.tickLabels.end(), twoMillion) != chart.tickLabels.end());
        for (std::size_t i = 0; i < chart.ticks.size(); ++i)
            QCOMPARE(chart.tickLabels[i], GroupedNumber(chart.ticks[i], QLocale::system()));
        QVERIFY(chart.ticks.back() >= 10000000 && chart.ticks.back() < 15000000);
        QCOMPARE(chart.days, (std::vector<QDate>{QDate(2020, 1, 3), QDate(2020, 1, 4)}));

        QImage image(800, 420, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        DrawFiscalChart(painter, QRectF(0, 0, 800, 420), chart);
        painter.end();
        auto count = [&](QRgb color) {
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == color;
            return n;
        };
        QVERIFY(count(qRgb(32, 96, 160)) > 100);   // the sums
        QVERIFY(count(qRgb(230, 126, 34)) > 300);  // the change, from the bottom to the top
    }

    // Every mnemonic of the report window opens one thing only.
    void reportMnemonicsAreUnique() {
        FiscalReportDialog report(MakeFiscalTables(), {});
        QStringList keys;
        for (QWidget* widget : report.findChildren<QWidget*>()) {
            const auto* button = qobject_cast<QAbstractButton*>(widget);
            const auto* label = qobject_cast<QLabel*>(widget);
            keys << QKeySequence::mnemonic(button ? button->text() : label ? label->text() : QString()).toString();
        }
        keys.removeAll(QString());
        keys.sort();
        QCOMPARE(keys, QStringList({"Alt+D", "Alt+O", "Alt+P", "Alt+U"}));  // Do, Od, PDF, Drukuj
    }
};

QTEST_MAIN(RaportWindowTest)
#include "test_raport_window.moc"
