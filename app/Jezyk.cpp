#include "Jezyk.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

#include <cstring>

namespace {

// The kinds of entry a file dialog lists, which Qt's Polish catalogue leaves
// English. Consulted after the catalogue, so a catalogue that has them wins.
class FileKindTexts final : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override {
        if (!context || !source || std::strcmp(context, "QAbstractFileIconProvider") != 0) return {};
        static const char* const kTexts[][2] = {
            {"Drive", "Dysk"}, {"Folder", "Katalog"}, {"File Folder", "Katalog"}};
        for (const auto& text : kTexts)
            if (std::strcmp(source, text[0]) == 0) return QString::fromUtf8(text[1]);
        return {};
    }
};

}  // namespace

bool InstallPolishTranslations(QApplication& app) {
    // Installed first: the last installed translator is asked first.
    app.installTranslator(new FileKindTexts(&app));
    const QStringList folders = {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    // Linux distributions ship one catalogue per Qt module (qtbase_pl.qm);
    // windeployqt joins the deployed modules' catalogues into qt_pl.qm.
    const char* const names[] = {"qtbase_pl", "qt_pl"};
    for (const QString& folder : folders) {
        for (const char* name : names) {
            auto* translator = new QTranslator(&app);
            if (translator->load(QLatin1String(name), folder) && app.installTranslator(translator))
                return true;
            delete translator;
        }
    }
    return false;
}
