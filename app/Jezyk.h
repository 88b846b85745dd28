// Qt's own texts in Polish: the buttons of the message boxes, the file
// dialogs, the input box, the edit fields' menus.
#pragma once

class QApplication;

// Loads Qt's Polish translations, whatever the system's language: first from
// the "translations" folder beside the program (where the Windows package
// puts them), then from Qt's own translations folder. False when none was
// found; Qt's texts then stay English. The few texts of the file dialogs the
// catalogue lacks are Polish either way.
bool InstallPolishTranslations(QApplication& app);
