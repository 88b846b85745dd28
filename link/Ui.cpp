#include "Ui.h"

namespace {

class SilentUi final : public Ui {
public:
    void Message(const std::string&, const std::string&, UiIcon) override {}
    bool Question(const std::string&, const std::string&, UiIcon) override { return false; }
    std::optional<std::string> Input(const std::string&, const std::string&,
                                     const std::string&) override { return std::nullopt; }
    void ProgressShow(UiBar, int) override {}
    void ProgressSetMaximum(UiBar, int) override {}
    void ProgressSetValue(UiBar, int) override {}
    void ProgressStep(UiBar, int) override {}
    void ProgressHide(UiBar) override {}
    void ShowLabel(UiLabel, bool) override {}
    void SetLabel(UiLabel, const std::string&) override {}
    void ProcessEvents() override {}
};

SilentUi silent;
Ui* current = &silent;

}  // namespace

Ui& CurrentUi() { return *current; }

void InstallUi(Ui* ui) { current = ui ? ui : &silent; }
