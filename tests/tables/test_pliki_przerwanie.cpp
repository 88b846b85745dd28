// Data-file operations stopped between records: a save writes nothing and the
// old file stays byte for byte; a load keeps the rows read up to the stop and
// leaves the others as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "Pliki.h"
#include "RecordingUi.h"
#include "Tabele.h"
#include "TempFiles.h"

namespace fs = std::filesystem;

namespace {

// Asks to stop once the bar has gone `stopAt` steps.
class StoppingUi : public RecordingUi {
public:
    int stopAt = 1 << 30;
    bool StopRequested() override { return bars[UiBar::Main].steps >= stopAt; }
};

// Model 1 (1000 PLU, 10 keys), every record row filled with `tag` in its name.
TableSet Filled(const std::string& tag) {
    TableSet s;
    s.ApplyModel(1, PluRule::Capacity);
    for (int r = 1; r <= s.Rows(TableId::Plu); ++r) {
        s.SetCell(TableId::Plu, 0, r, std::to_string(r));
        s.SetCell(TableId::Plu, 1, r, tag + std::to_string(r));
    }
    for (int r = 1; r <= 15; ++r) {
        s.SetCell(TableId::Packaging, 0, r, std::to_string(r));
        s.SetCell(TableId::Packaging, 1, r, tag + std::to_string(r));
    }
    return s;
}

class StoppedFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testfiles::MakeTempDir("pliki-stop");
        file = (dir / "dane.pod").string();
        InstallUi(&ui);
    }
    void TearDown() override {
        InstallUi(nullptr);
        fs::remove_all(dir);
    }
    fs::path dir;
    std::string file;
    StoppingUi ui;
};

TEST_F(StoppedFile, SaveWritesNothing) {
    struct Case {
        const char* name;
        std::function<bool(TableSet&, const std::string&)> save;
        int stopAt;
    };
    const Case cases[] = {
        {"whole set, in the fixed tables", SaveDataFile, 20},
        {"whole set, before the last record", SaveDataFile, 1000 + 10 + 50 - 1},
        {"PLU tab", [](TableSet& s, const std::string& p) { return SaveTableFile(s, 2, p); }, 700},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TableSet old = Filled("Stary");
        ui = StoppingUi();
        ASSERT_TRUE(SaveDataFile(old, file));
        const std::string before = testfiles::Slurp(file);

        TableSet now = Filled("Nowy");
        ui = StoppingUi();
        ui.stopAt = c.stopAt;
        EXPECT_FALSE(c.save(now, file));
        EXPECT_EQ(testfiles::Slurp(file), before) << "the old file stays as it was";
        EXPECT_EQ(ui.bars[UiBar::Main].steps, c.stopAt);
        EXPECT_FALSE(ui.bars[UiBar::Main].visible);
        EXPECT_EQ(ui.Messages(), std::vector<std::string>{}) << "a stop is no write error";
        EXPECT_FALSE(DataFileBusy());
        // A stopped save of a new file leaves no file at all.
        const std::string fresh = (dir / "nowy.pod").string();
        ui = StoppingUi();
        ui.stopAt = c.stopAt;
        EXPECT_FALSE(c.save(now, fresh));
        EXPECT_FALSE(fs::exists(fresh));
    }
}

TEST_F(StoppedFile, LoadKeepsTheRowsReadSoFar) {
    struct Case {
        const char* name;
        std::function<bool(TableSet&, const std::string&)> load;
        int stopAt;
        int packagingRead, pluRead;  // rows taken from the file
    };
    // The whole file reads the 15 packaging rows first and the PLU rows last.
    const Case cases[] = {
        {"whole set, in the packaging", LoadDataFile, 6, 6, 0},
        {"whole set, in the PLU table", LoadDataFile, 15 + 8 + 10 + 4 + 4 + 4 + 8 + 7 + 300, 15, 300},
        {"PLU tab", [](TableSet& s, const std::string& p) { return LoadTableFile(s, 2, p); }, 250, 0, 250},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TableSet inFile = Filled("Plik");
        ui = StoppingUi();
        ASSERT_TRUE(SaveDataFile(inFile, file));

        TableSet set = Filled("Stary");
        ui = StoppingUi();
        ui.stopAt = c.stopAt;
        EXPECT_TRUE(c.load(set, file));
        EXPECT_EQ(ui.bars[UiBar::Main].steps, c.stopAt);
        for (int r = 1; r <= 15; ++r)
            EXPECT_EQ(set.Cell(TableId::Packaging, 1, r), (r <= c.packagingRead ? "Plik" : "Stary") + std::to_string(r))
                << "packaging " << r;
        for (int r = 1; r <= set.Rows(TableId::Plu); ++r)
            ASSERT_EQ(set.Cell(TableId::Plu, 1, r), (r <= c.pluRead ? "Plik" : "Stary") + std::to_string(r))
                << "PLU " << r;
        EXPECT_FALSE(DataFileBusy());
    }
}

}  // namespace
