// The PLU grid at its largest (19 200 rows of 8 cells): how long a reshape,
// a whole-table change, scrolling and resizing take in the view. Offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableView>

#include <cstdio>
#include <string>

#include "TableModel.h"
#include "Tabele.h"

namespace {

// Forwards the table set's notices to the one model shown.
class Forward : public TableListener {
public:
    explicit Forward(TableModel& m) : model_(m) {}
    void CellsChanged(TableId t, int first, int last) override {
        if (t == model_.Table()) model_.CellsChanged(first, last);
    }
    void Reshaped(TableId t) override {
        if (t == model_.Table()) model_.Reshaped();
    }
    void ModelApplied(int) override {}

private:
    TableModel& model_;
};

double Ms(QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TableSet tables;
    TableModel model(tables, TableId::Plu);
    Forward forward(model);
    tables.SetListener(&forward);
    QTableView view;
    SetUpTableView(&view, &model);
    view.resize(840, 420);
    view.show();
    app.processEvents();

    QElapsedTimer t;
    t.start();
    tables.ApplyModel(3, PluRule::Capacity);
    app.processEvents();
    std::printf("reshape to 19200 rows x 8: %.1f ms\n", Ms(t));

    t.restart();
    {
        TableBatch batch(tables);
        for (int r = 1; r <= tables.Rows(TableId::Plu); ++r) {
            std::string n = std::to_string(r);
            tables.SetCell(TableId::Plu, 0, r, n);
            tables.SetCell(TableId::Plu, 1, r, "Towar " + n);
            tables.SetCell(TableId::Plu, 5, r, "1.00");
        }
    }
    view.grab();
    std::printf("fill 19200 rows in one batch and repaint: %.1f ms\n", Ms(t));

    const int steps = 200;
    QScrollBar* bar = view.verticalScrollBar();
    t.restart();
    for (int i = 0; i < steps; ++i) {
        bar->setValue(bar->maximum() * i / (steps - 1));
        view.grab();
    }
    std::printf("scroll top to bottom, %d repaints: %.2f ms each\n", steps, Ms(t) / steps);

    t.restart();
    for (int i = 0; i < steps; ++i) {
        view.resize(600 + (i % 20) * 20, 300 + (i % 10) * 30);
        view.grab();
    }
    std::printf("resize, %d repaints: %.2f ms each\n", steps, Ms(t) / steps);
    tables.SetListener(nullptr);
    return 0;
}
