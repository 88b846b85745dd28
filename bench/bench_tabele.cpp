// Prints how long the largest PLU table takes to fill, read and reshape, and
// how many notices a view hears while that happens.
#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "Tabele.h"

namespace {

struct Counter : TableListener {
    long cells = 0, reshapes = 0;
    void CellsChanged(TableId, int, int) override { ++cells; }
    void Reshaped(TableId) override { ++reshapes; }
    void ModelApplied(int) override {}
};

}  // namespace

int main() {
    TableSet s;
    Counter counter;
    s.SetListener(&counter);
    s.ApplyModel(3, PluRule::Capacity);
    const int rows = s.Rows(TableId::Plu);

    double fill = Ms([&] {
        TableBatch batch(s);
        for (int r = 1; r <= rows; ++r)
            s.FillRow(std::to_string(r) + ";Towar " + std::to_string(r) + ";5901234123457;A;0;12.50;100;NIE;",
                      TableCode::Plu, r);
    });
    const long fillNotices = counter.cells;

    size_t bytes = 0;
    double build = Ms([&] {
        for (int r = 1; r <= rows; ++r) bytes += s.BuildRecordText(TableCode::Plu, r).size();
    });

    double cells = Ms([&] {
        for (int r = 1; r <= rows; ++r)
            for (int c = 0; c < s.Columns(TableId::Plu); ++c) bytes += s.Cell(TableId::Plu, c, r).size();
    });

    double unbatched = Ms([&] {
        for (int r = 1; r <= rows; ++r) s.SetCell(TableId::Plu, 1, r, "Inna nazwa");
    });

    double shrink = Ms([&] { s.ApplyModel(0, PluRule::Capacity); });
    double grow = Ms([&] { s.ApplyModel(3, PluRule::Capacity); });

    std::printf("PLU rows                       %d\n", rows);
    std::printf("fill all rows in a batch       %.2f ms, %ld notice(s)\n", fill, fillNotices);
    std::printf("build all record texts         %.2f ms (%zu bytes read in all)\n", build, bytes);
    std::printf("read all cells                 %.2f ms\n", cells);
    std::printf("set one cell per row, no batch %.2f ms, %ld notices\n", unbatched,
                counter.cells - fillNotices);
    std::printf("model 3 -> 0 (drop rows, col)  %.2f ms\n", shrink);
    std::printf("model 0 -> 3 (grow, col back)  %.2f ms\n", grow);
    std::printf("reshape notices                %ld\n", counter.reshapes);
    return 0;
}
