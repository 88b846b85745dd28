#include "Konfiguracja.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#include "Cp1250.h"
#include "Main.h"
#include "Pomoc.h"
#include "Profile.h"
#include "Sciezka.h"
#include "Ui.h"

namespace {

QString FromCp1250(const std::string& text) {
    return QString::fromStdString(Cp1250ToUtf8(text));
}

std::string ToCp1250(const QString& text) { return Utf8ToCp1250(text.toStdString()); }

const char* const kDetectCaption = "Wykrywanie kasy";

// The search's progress in a window of its own, with "Przerwij" (and Esc).
// It is modal, so nothing else can use a port while the search runs; boxes
// go to the program's own Ui.
class SearchProgress final : public Ui {
public:
    SearchProgress(QWidget* parent, Ui& outer) : outer_(outer), dialog_(parent) {
        dialog_.setWindowTitle(QString::fromUtf8(kDetectCaption));
        dialog_.setCancelButtonText(QStringLiteral("Przerwij"));
        dialog_.setWindowModality(Qt::ApplicationModal);
        dialog_.setMinimumDuration(0);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.setMinimumWidth(360);
    }

    void Message(const std::string& text, const std::string& caption, UiIcon icon) override {
        outer_.Message(text, caption, icon);
    }
    bool Question(const std::string& text, const std::string& caption, UiIcon icon) override {
        return outer_.Question(text, caption, icon);
    }
    std::optional<std::string> Input(const std::string& prompt, const std::string& caption,
                                     const std::string& initial) override {
        return outer_.Input(prompt, caption, initial);
    }
    void ProgressShow(UiBar, int maximum) override {
        dialog_.setRange(0, std::max(maximum, 0));
        dialog_.setValue(0);
        dialog_.show();
    }
    void ProgressSetMaximum(UiBar, int maximum) override { dialog_.setMaximum(std::max(maximum, 0)); }
    void ProgressSetValue(UiBar, int value) override { dialog_.setValue(value); }
    void ProgressStep(UiBar, int by) override {
        dialog_.setValue(std::min(dialog_.value() + by, dialog_.maximum()));
    }
    void ProgressHide(UiBar) override { dialog_.hide(); }
    void ShowLabel(UiLabel, bool) override {}
    void SetLabel(UiLabel, const std::string& text) override {
        dialog_.setLabelText(QString::fromStdString(text));
    }
    void ProcessEvents() override { QCoreApplication::processEvents(); }
    bool StopRequested() override { return dialog_.wasCanceled(); }

private:
    Ui& outer_;
    QProgressDialog dialog_;
};

}  // namespace

ConfigurationTexts ReadConfigurationTexts(const std::string& dir) {
    return ConfigurationTextsFrom(LoadConfigFile(dir));
}

ConfigurationTexts ConfigurationTextsFrom(const Profile& file) {
    ConfigurationTexts t;
    t.port = file.Get("PORTRS", "NrPortu", "COM1");
    t.timeout = file.Get("PORTRS", "Timeout", "2");
    t.baud = file.Get("PORTRS", "Baud", "9600");
    t.errorMode = file.Get("USTAWIENIA", "ObslugaBledow", "1");
    t.maxPlu = file.Get("USTAWIENIA", "MaxPlu", "");
    // Any non-zero value turns the log on, so it shows as "TAK".
    t.logging = ConfigWholeNumber(file.Get("USTAWIENIA", "CzyLogowac", "0")).value_or(0) != 0 ? 1 : 0;
    return t;
}

bool SaveConfigurationTexts(const std::string& dir, const ConfigurationTexts& t) {
    const std::string path = ConfigFilePath(dir);
    Profile file;
    file.Load(path);
    file.Set("PORTRS", "NrPortu", t.port);
    file.Set("PORTRS", "Timeout", t.timeout);
    file.Set("PORTRS", "Baud", t.baud);
    file.Set("USTAWIENIA", "ObslugaBledow", t.errorMode);
    file.Set("USTAWIENIA", "MaxPlu", t.maxPlu);
    file.Set("USTAWIENIA", "CzyLogowac", std::to_string(t.logging));
    return file.Save(path);
}

Configuration AppliedConfiguration(const Configuration& inForce, const ConfigurationTexts& t) {
    Configuration c = inForce;
    c.portName = t.port;
    c.baud = ConfigWholeNumber(t.baud).value_or(inForce.baud);
    c.pollLimit = ConfigPollLimit(t.timeout).value_or(inForce.pollLimit);
    // As at start-up: below 0 is the model's default, above the largest
    // register's capacity is cut to it.
    if (std::optional<int> plu = ConfigWholeNumber(t.maxPlu)) c.pluCount = UsablePluCount(*plu);
    c.logging = t.logging != 0 ? 1 : 0;
    return c;
}

ConfigurationDialog::ConfigurationDialog(QWidget* parent, const QString& configDir)
    : ConfigurationDialog(parent, configDir, std::nullopt) {}

ConfigurationDialog::ConfigurationDialog(QWidget* parent, const QString& configDir,
                                         const ConfigurationTexts& texts)
    : ConfigurationDialog(parent, configDir, std::optional<ConfigurationTexts>(texts)) {}

ConfigurationDialog::ConfigurationDialog(QWidget* parent, const QString& configDir,
                                         const std::optional<ConfigurationTexts>& texts)
    : QDialog(parent) {
    setObjectName("Konfiguracja");
    setWindowTitle(QStringLiteral("Konfiguracja"));
    setModal(false);
    // The directory is fixed now: the file read at entry is the one saved to.
    dir_ = CorePath(configDir.isEmpty() ? QDir::currentPath() : configDir);

    portSource_ = ListSerialPorts;
    port_ = new QComboBox(this);
    port_->setObjectName("port");
    // A name typed in stays as typed: nothing is added to the list, and no
    // completion turns "COM3" into the text of a list entry.
    port_->setEditable(true);
    port_->setInsertPolicy(QComboBox::NoInsert);
    port_->setCompleter(nullptr);
    port_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    speed_ = new QComboBox(this);
    speed_->setObjectName("speed");
    // Editable, so that a speed from the file outside the list still shows.
    speed_->setEditable(true);
    speed_->setInsertPolicy(QComboBox::NoInsert);
    speed_->addItems({"9600", "19200", "38400"});
    timeout_ = new QLineEdit(this);
    timeout_->setObjectName("timeout");
    errorMode_ = new QLineEdit(this);
    errorMode_->setObjectName("errorMode");
    plu_ = new QLineEdit(this);
    plu_->setObjectName("maxPlu");
    logging_ = new QComboBox(this);
    logging_->setObjectName("logging");
    logging_->addItems({"NIE", "TAK"});

    auto* form = new QFormLayout();
    form->addRow(QString::fromUtf8("Numer portu RS232"), port_);
    form->addRow(QString::fromUtf8("Prędkość transmisji"), speed_);
    form->addRow(QString::fromUtf8("Time-OUT"), timeout_);
    form->addRow(QString::fromUtf8("Obsługa błędów"), errorMode_);
    form->addRow(QString::fromUtf8("Ograniczenie PLU"), plu_);
    form->addRow(QString::fromUtf8("Logowanie transmisji"), logging_);

    save_ = new QPushButton(QString::fromUtf8("Wyjście z zapisem"), this);
    save_->setObjectName("save");
    close_ = new QPushButton(QString::fromUtf8("Wyjście bez zapisu"), this);
    close_->setObjectName("close");
    // Enter in a field must not save by accident.
    save_->setAutoDefault(false);
    close_->setAutoDefault(false);
    detect_ = new QPushButton(QString::fromUtf8("&Wykryj kasę"), this);
    detect_->setObjectName("detect");
    detect_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(detect_);
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(save_, &QPushButton::clicked, this, &ConfigurationDialog::SaveClicked);
    connect(close_, &QPushButton::clicked, this, &ConfigurationDialog::CloseClicked);
    connect(detect_, &QPushButton::clicked, this, &ConfigurationDialog::DetectClicked);
    // Picking an entry sets the field's text to its text; the value is the name.
    connect(port_, &QComboBox::activated, this, &ConfigurationDialog::PortChosen);
    connect(port_, &QComboBox::currentIndexChanged, this, &ConfigurationDialog::PortChosen);

    RefreshPorts();
    SetTexts(texts ? *texts : ReadConfigurationTexts(dir_));
}

ConfigurationTexts ConfigurationDialog::Texts() const {
    ConfigurationTexts t;
    t.port = ToCp1250(PortEdit()->text());
    t.timeout = ToCp1250(timeout_->text());
    t.baud = ToCp1250(speed_->currentText());
    t.errorMode = ToCp1250(errorMode_->text());
    t.maxPlu = ToCp1250(plu_->text());
    t.logging = logging_->currentIndex() == 1 ? 1 : 0;
    return t;
}

void ConfigurationDialog::SetTexts(const ConfigurationTexts& t) {
    port_->setEditText(FromCp1250(t.port));
    speed_->setCurrentText(FromCp1250(t.baud));
    timeout_->setText(FromCp1250(t.timeout));
    errorMode_->setText(FromCp1250(t.errorMode));
    plu_->setText(FromCp1250(t.maxPlu));
    logging_->setCurrentIndex(t.logging != 0 ? 1 : 0);
}

void ConfigurationDialog::SaveClicked() {
    const ConfigurationTexts texts = Texts();
    // A file that cannot be written is said so; the values can still be used now.
    if (!SaveConfigurationTexts(dir_, texts))
        CurrentUi().Message("Nie udało się zapisać pliku config.cfg", "Uwaga!", UiIcon::Warning);
    if (CurrentUi().Question("Czy uwzględnić zmiany w bieżącej sesji programu",
                             "Uwzględnić zmiany ?"))
        emit applyRequested(texts);
    hide();
}

void ConfigurationDialog::CloseClicked() { hide(); }

QLineEdit* ConfigurationDialog::PortEdit() const { return port_->lineEdit(); }

void ConfigurationDialog::PortChosen(int index) {
    const QString name = port_->itemData(index).toString();
    if (index >= 0 && !name.isEmpty()) port_->setEditText(name);
}

void ConfigurationDialog::SetPortSource(std::function<std::vector<SerialPortInfo>()> source) {
    portSource_ = source ? std::move(source) : ListSerialPorts;
    RefreshPorts();
}

void ConfigurationDialog::RefreshPorts() {
    const QString typed = PortEdit()->text();
    const QSignalBlocker block(port_);
    port_->clear();
    for (const SerialPortInfo& p : portSource_()) {
        const QString name = QString::fromStdString(p.name);
        const QString shown = p.description.empty()
                                  ? name
                                  : name + QString::fromUtf8(" — ") + QString::fromStdString(p.description);
        port_->addItem(shown, name);
    }
    // No entry is the current one until the person picks one.
    port_->setCurrentIndex(-1);
    port_->setEditText(typed);
}

void ConfigurationDialog::showEvent(QShowEvent* event) {
    // A USB adapter plugged in since the dialog was last shown is listed.
    RefreshPorts();
    QDialog::showEvent(event);
}

std::vector<std::string> ConfigurationDialog::PortsToSearch() const {
    std::vector<std::string> ports;
    for (int i = 0; i < port_->count(); ++i) ports.push_back(port_->itemData(i).toString().toStdString());
    const std::string typed = PortEdit()->text().trimmed().toStdString();
    if (!typed.empty() && std::find(ports.begin(), ports.end(), typed) == ports.end())
        ports.push_back(typed);
    return ports;
}

void ConfigurationDialog::DetectClicked() {
    RefreshPorts();
    const std::vector<std::string> ports = PortsToSearch();
    std::vector<PortProbe> results;
    // The search closes the program's own port for a while: not while a
    // transfer or a fiscal memory reading uses it. A dialog of its own has
    // no port to give back.
    auto* main = qobject_cast<MainWindow*>(parentWidget());
    Connection none;
    Connection& own = main ? main->Link() : none;
    auto search = [&] {
        SearchProgress progress(this, CurrentUi());
        results = DetectRegister(own, ports, progress);
    };
    bool ran = true;
    if (main)
        ran = main->RunExclusive(search);
    else
        search();
    if (!ran) {
        CurrentUi().Message("Trwa wymiana danych z kasą - kasę można wykryć po jej zakończeniu", "Uwaga!",
                            UiIcon::Warning);
        return;
    }

    DetectionResultsDialog chooser(results, this);
    if (chooser.exec() != QDialog::Accepted) return;
    if (const PortProbe* chosen = chooser.Chosen()) {
        port_->setEditText(QString::fromStdString(chosen->port));
        speed_->setCurrentText(QString::number(chosen->baud));
    }
}

DetectionResultsDialog::DetectionResultsDialog(const std::vector<PortProbe>& results, QWidget* parent)
    : QDialog(parent), results_(results) {
    setObjectName("detectionResults");
    setWindowTitle(QString::fromUtf8(kDetectCaption));
    setModal(true);

    const auto answered = std::count_if(results_.begin(), results_.end(), [](const PortProbe& p) {
        return p.outcome == ProbeOutcome::Answered;
    });
    const char* heading =
        answered == 0 ? "Nie znaleziono kasy. Sprawdź kabel i czy w kasie włączono tryb komunikacji."
        : answered == 1 ? "Znaleziono kasę. Naciśnij OK, aby wpisać jej port i prędkość."
                        : "Kasa odpowiedziała na kilku portach. Wybierz jeden i naciśnij OK.";
    heading_ = new QLabel(QString::fromUtf8(heading), this);
    heading_->setWordWrap(true);

    list_ = new QListWidget(this);
    list_->setObjectName("results");
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    int first = -1;
    for (std::size_t i = 0; i < results_.size(); ++i) {
        auto* item = new QListWidgetItem(QString::fromStdString(ProbeText(results_[i])), list_);
        item->setData(Qt::UserRole, static_cast<int>(i));
        if (results_[i].outcome != ProbeOutcome::Answered) {
            item->setFlags(Qt::NoItemFlags);  // shown, not chosen
        } else if (first < 0) {
            first = static_cast<int>(i);
        }
    }
    if (first >= 0) list_->setCurrentRow(first);

    auto* box = new QDialogButtonBox(this);
    ok_ = box->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cancel_ = box->addButton(QString::fromUtf8(answered ? "Anuluj" : "Zamknij"), QDialogButtonBox::RejectRole);
    ok_->setVisible(answered > 0);
    ok_->setEnabled(first >= 0);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::currentRowChanged, this, [this] { ok_->setEnabled(Chosen() != nullptr); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] {
        if (Chosen()) accept();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(list_);
    layout->addWidget(box);
    resize(520, 260);
}

const PortProbe* DetectionResultsDialog::Chosen() const {
    const QListWidgetItem* item = list_->currentItem();
    if (!item || !(item->flags() & Qt::ItemIsEnabled)) return nullptr;
    const int i = item->data(Qt::UserRole).toInt();
    if (i < 0 || i >= static_cast<int>(results_.size())) return nullptr;
    return results_[static_cast<std::size_t>(i)].outcome == ProbeOutcome::Answered ? &results_[static_cast<std::size_t>(i)]
                                                                                    : nullptr;
}
