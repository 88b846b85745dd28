#include "Ui.h"

namespace {

SilentUi silent;
Ui* current = &silent;

}  // namespace

Ui& CurrentUi() { return *current; }

void InstallUi(Ui* ui) { current = ui ? ui : &silent; }
