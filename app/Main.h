// The main window: the top line, the nine tabs with their grids and buttons,
// the menu, and the start-up that runs while the window is built.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>
#include <optional>
#include <functional>
#include <memory>
#include <vector>

#include "Identyfikacja.h"
#include "Polaczenie.h"
#include "Tabele.h"
#include "Zmiany.h"

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;
class QTableWidget;
class QTimer;
class QWidget;
class Connection;
class FmreaderWindow;
class ModelChoiceDialog;
class PluEditor;
class QtUi;
class RecordEditor;
class TableModel;
struct ConfigurationTexts;

// The buttons of one of tabs 1-8; those a tab does not have stay null.
struct TabButtons {
    QPushButton* read = nullptr;          // "Odczytaj z &kasy"
    QPushButton* send = nullptr;          // "&Wyslij do kasy"
    QPushButton* sendChanges = nullptr;   // tabs 1-6: "Wyślij z&miany"
    QPushButton* deleteTable = nullptr;   // "&Usuń bazę z kasy"
    QPushButton* deleteRecord = nullptr;  // "U&suń rekord"
    QPushButton* deleteRecord2 = nullptr; // tab 5, under the surcharges: "Usuń rekord"
    QPushButton* loadTable = nullptr;     // "O&dczytaj bazę"
    QPushButton* saveTable = nullptr;     // "&Zapisz bazę"
    QPushButton* csv = nullptr;           // "&Arkusz", a menu of the three below
    QAction* exportCsv = nullptr;         // "&Eksport do pliku CSV…"
    QAction* exportXlsx = nullptr;        // "Eksport do &skoroszytu Excel (.xlsx)…"
    QAction* importCsv = nullptr;         // "&Import z arkusza (CSV, .xlsx, .ods)…"
};

// The buttons and items of the service tab.
struct ServiceTab {
    QPushButton* checkConnection = nullptr;  // "&Sprawdź polączenie"
    QPushButton* readAll = nullptr;          // "Pobierz &bazy z kasy"
    QPushButton* sendAll = nullptr;          // "&Wyślij bazy do kasy"
    QPushButton* sendChanges = nullptr;      // "Wyślij z&miany do kasy"
    QPushButton* information = nullptr;      // "Pobierz &informacje kasowe"
    QPushButton* fiscalMemory = nullptr;     // "Odczytaj pamięć &fisk"
    QPushButton* endCommunication = nullptr; // "Zakończ &komunikacje"
    QLabel* progressLabel = nullptr;         // "Postęp"
    QProgressBar* overallBar = nullptr;
    QPushButton* overallStop = nullptr;      // "Przerwij", while the bar runs
    QLabel* pluLabel = nullptr;              // "Odczytalem PLU nr"
    QLabel* informationHeading = nullptr;    // "Informacje kasowe"
    QTableWidget* informationGrid = nullptr;
};

// Other windows the main window opens; created after it, at program entry.
struct AuxiliaryWindows {
    QDialog* configuration = nullptr;
    ModelChoiceDialog* modelChoice = nullptr;
    QDialog* registerSettings = nullptr;
    FmreaderWindow* fiscalMemory = nullptr;
    QDialog* about = nullptr;
};

class MainWindow : public QMainWindow, public TableListener {
    Q_OBJECT
public:
    // Builds the window and runs start-up. `ui`, when given, gets the window's
    // bars and labels before start-up talks to the register; config.cfg is
    // read from `configDir` (the current directory when empty). The window
    // talks to its register through `link` for as long as it lives.
    explicit MainWindow(Connection& link, QtUi* ui = nullptr, const QString& configDir = QString());
    ~MainWindow() override;

    void SetAuxiliaryWindows(const AuxiliaryWindows& windows);

    // The register the window talks to: the model in force and the serial
    // number of the last identification (empty OFF-LINE).
    RegisterIdentity Identity() const;
    TableSet& Tables() { return tables_; }
    Connection& Link() { return link_; }
    bool OnLine() const { return onLine_; }
    const Configuration& Settings() const { return config_; }
    // The configuration dialog's texts as start-up read them from config.cfg.
    const ConfigurationTexts& ConfigurationTextsAtStart() const { return *configTextsAtStart_; }

    // The 34 controls that exchange data with the register.
    const std::vector<QPushButton*>& RegisterControls() const { return registerControls_; }
    // ON-LINE state of the controls; while the fiscal memory is being read they
    // stay disabled and take this state when the reading ends.
    void SetRegisterControlsEnabled(bool enabled);

    // OFF-LINE: the top line says so (with `serial` as the serial number), the
    // register controls are disabled.
    void EnterOffLine(const QString& serial = QString());

    // Top line.
    void ShowIdentification(const Identification& id);
    void ShowOffLine(const QString& serial = QString());
    QLabel* ModelLabel() const { return modelLabel_; }
    QLabel* SerialLabel() const { return serialLabel_; }
    QLabel* VersionLabel() const { return versionLabel_; }
    QLabel* ProgramVersionLabel() const { return programVersionLabel_; }

    QTabWidget* Tabs() const { return tabs_; }
    // Tab n = 1..8; the entry area under each grid (tab 5: two).
    const TabButtons& Buttons(int tab) const { return buttons_.at(tab - 1); }
    QWidget* EntryArea(int tab, int which = 0) const;
    // The entry row in that area (tab 5: 0 discounts, 1 surcharges).
    RecordEditor* Editor(int tab, int which = 0) const;
    PluEditor* PluEntry() const { return pluEditor_; }
    QTableView* Grid(TableId table) const { return views_.at(static_cast<int>(table)); }
    TableModel* GridModel(TableId table) const { return models_.at(static_cast<int>(table)); }
    const ServiceTab& Service() const { return service_; }
    QProgressBar* MainBar() const { return mainBar_; }
    // Beside the main bar: "Przerwij", and the records done with the time left.
    QPushButton* StopButton() const { return mainStop_; }
    QLabel* MainCount() const { return mainCount_; }
    QLabel* PluTabLabel() const { return pluTabLabel_; }
    QAction* GoToPluAction() const { return goToPlu_; }
    QAction* ClockAction() const { return clockAction_; }

    // Runs `work`, an exchange with the register, unless another one (or a
    // data-file operation, or a fiscal memory reading) is under way: the
    // sequences let the window handle events, and a second command on the
    // line would take the first one's replies. False when refused.
    bool RunExclusive(const std::function<void()>& work);
    bool Busy() const { return busy_; }

    // TableListener: the grids follow the table set.
    void CellsChanged(TableId table, int firstRow, int lastRow) override;
    void Reshaped(TableId table) override;
    void ModelApplied(int model) override;
    void PluPartApplied(int model) override;

signals:
    // The model's sizes were applied (the editors show or hide model-bound fields).
    void ModelSizesApplied(int model, bool pluPartOnly);

public slots:
    void CheckConnectionClicked();
    void EndCommunicationClicked();
    void FiscalMemoryClicked();
    void FiscalReadingActive(bool active);
    void OpenDataFile();
    void SaveDataFileAs();
    // What the two menu items do once the file dialog has given a path.
    void OpenDataFileFrom(const QString& chosen);
    void SaveDataFileTo(const QString& chosen);
    void LoadTableClicked(int tab);
    void SaveTableClicked(int tab);
    // The tab's table to and from a spreadsheet file; the *To/*From forms
    // take the path the file dialog gave (and the export, the file's encoding).
    void ExportCsvClicked(int tab);
    void ImportCsvClicked(int tab);
    void ExportCsvTo(int tab, const QString& chosen, bool cp1250 = false);
    // The import takes CSV, .xlsx and .ods alike.
    void ImportCsvFrom(int tab, const QString& chosen);
    void ExportXlsxClicked(int tab);
    void ExportXlsxTo(int tab, const QString& chosen);
    void ShowAbout();
    void ShowTab(int index);
    // Transfers of tabs 1-8 and of the service tab.
    void ReadTableClicked(int tab);
    void SendTableClicked(int tab);
    // "Wyślij zmiany" of tab 1-6, or of the service tab (0): only the records
    // that differ from what the register was last seen to hold.
    void SendChangesClicked(int tab);
    void SendTableOnly(int tab);  // the tab's full send, without the copy
    void DeleteTableClicked(int tab);
    void DeleteRecordClicked(int tab, int which);
    void ReadAllClicked();
    void SendAllClicked();
    // Register services.
    void InformationClicked();
    void ClockClicked();
    void ShowRegisterSettings();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenu();
    void BuildTopLine(QWidget* parent, class QBoxLayout* layout);
    QWidget* BuildTableTab(int tab);
    QWidget* BuildDiscountTab();
    QWidget* BuildServiceTab();
    QTableView* MakeGrid(TableId table, QWidget* parent);
    void MakeTabButtons(int tab, QWidget* parent, class QBoxLayout* layout);
    void StartTimerFired();
    void BuildEditor(int tab, int which, TableId table);
    void WireTransfers();

    Connection& link_;
    std::string serial_;  // of the identified register, Windows-1250; empty OFF-LINE
    // Per tab 1-8: the register its table was last read from (the model as
    // the top line shows it, UTF-8; the serial number), for a workbook's
    // properties; none after a file or an import filled it.
    std::array<std::optional<std::pair<std::string, std::string>>, 8> readFrom_;
    TableSet tables_;
    Configuration config_;
    std::unique_ptr<ConfigurationTexts> configTextsAtStart_;
    bool onLine_ = false;
    bool onLineAtStart_ = false;  // the model choice is offered only after an OFF-LINE start
    bool busy_ = false;  // one exchange at a time
    bool fiscalReading_ = false;
    bool controlsOn_ = false;
    AuxiliaryWindows windows_;

    QLabel* modelLabel_ = nullptr;
    QLabel* serialLabel_ = nullptr;
    QLabel* versionLabel_ = nullptr;
    QLabel* programVersionLabel_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QProgressBar* mainBar_ = nullptr;
    QPushButton* mainStop_ = nullptr;
    QLabel* mainCount_ = nullptr;
    QLabel* pluTabLabel_ = nullptr;
    QAction* goToPlu_ = nullptr;
    QAction* clockAction_ = nullptr;
    QTimer* startTimer_ = nullptr;

    std::array<TabButtons, 8> buttons_{};
    std::array<QWidget*, 9> entryAreas_{};  // tabs 1-8, then tab 5's second
    std::array<QTableView*, kTableCount> views_{};
    std::array<TableModel*, kTableCount> models_{};
    std::array<RecordEditor*, 9> editors_{};  // as entryAreas_
    PluEditor* pluEditor_ = nullptr;
    ServiceTab service_;
    std::vector<QPushButton*> registerControls_;

    // ---- The configuration dialog ("Us&tawienia" -> "&Programu") ----
public:
    // Shows `dialog` from the menu and applies what it hands over.
    void AttachConfigurationDialog(class ConfigurationDialog* dialog);
    // The dialog's values take effect now: the port is reopened with the new
    // settings and the program goes OFF-LINE on model 0. The error-handling
    // mode is left for the next start.
    void ApplyConfiguration(const struct ConfigurationTexts& texts);
    void ShowConfiguration();

private:
    QPointer<class ConfigurationDialog> configurationDialog_;

    // ---- "P&rogramowanie" -> "&Wyślij do wielu kas…" ----
public:
    // The dialog, made when first asked for; it lives as long as the window.
    class ManyRegistersDialog* ManyRegisters();
    void ShowManyRegisters();

private:
    QPointer<class ManyRegistersDialog> manyRegisters_;
};

// The main window's caption.
inline constexpr const char* kMainCaption = "ZELTRA SA - program serwisowy do kas fiskalnych";
