#include "Konsola.h"

#include <algorithm>
#include <cstdio>

namespace {

const char* const kStartMessage = "Uruchom w kasie tryb komunikacji";
const char* const kNoReply = "Brak odpowiedzi z kasy";
const char* const kSilentQuestion = "Kasa nie odpowiada. Kontynuować?";

constexpr double kRedrawSeconds = 0.1;  // the line is rewritten at most this often

std::string Duration(double seconds) {
    long long s = seconds > 0 ? static_cast<long long>(seconds + 0.5) : 0;
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

// The core's message boxes break lines with '\r': one line on the console.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

}  // namespace

std::size_t DisplayWidth(const std::string& utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
    return n;
}

std::string ProgressText(const std::string& label, int done, int all, double elapsedSeconds) {
    if (all < 1) all = 1;
    if (done > all) done = all;
    if (done < 0) done = 0;
    std::string text = label.empty() ? std::string() : label + ": ";
    text += std::to_string(done) + "/" + std::to_string(all) + " (" + std::to_string(done * 100LL / all) + "%), " +
            Duration(elapsedSeconds);
    if (done > 0) text += ", zostało ok. " + Duration(elapsedSeconds * (all - done) / done);
    return text;
}

std::string ShortProgressText(const std::string& label, int done, int all, double elapsedSeconds) {
    if (all < 1) all = 1;
    done = std::clamp(done, 0, all);
    std::string text = label.empty() ? std::string() : label + " ";
    text += std::to_string(done) + " z " + std::to_string(all);
    if (done > 0 && done < all) text += ", zostało ok. " + Duration(elapsedSeconds * (all - done) / done);
    return text;
}

std::string CountWithNoun(long long n, const char* one, const char* few, const char* many) {
    const long long units = n % 10, tens = n % 100;
    const char* noun = n == 1 ? one : (units >= 2 && units <= 4 && (tens < 12 || tens > 14)) ? few : many;
    return std::to_string(n) + " " + noun;
}

ConsoleUi::ConsoleUi(std::ostream& err, Options options) : err_(err), options_(std::move(options)) {}

double ConsoleUi::Now() const {
    if (options_.clock) return options_.clock();
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void ConsoleUi::Message(const std::string& text, const std::string&, UiIcon) {
    // The window asks for the register's communication mode here; on the
    // console the technician has done that before typing the command.
    if (text == kStartMessage) return;
    if (text != kNoReply) {
        problems_.push_back(OneLine(text));
        return;
    }
    // One warning per missing reply: counted, never printed, or a register
    // that is switched off would fill the screen with thousands of lines.
    ++missing_;
    const std::uint64_t heard = options_.activity ? options_.activity->bytesIn : 0;
    if (missing_ == 1 || heard != bytesAtLastMissing_) missingInRow_ = 0;
    bytesAtLastMissing_ = heard;
    if (++missingInRow_ >= options_.silenceLimit) silenced_ = true;
    // A record read in modes 2 and 3 waits for two replies; it counts once.
    if (!barVisible_ || value_ != valueAtLastMissing_ || missing_ == 1) ++recordsWithoutReply_;
    valueAtLastMissing_ = barVisible_ ? value_ : -1;
}

// Every question is answered "No", without reading stdin, so a script never
// waits for a keyboard. The questions the tool can meet: the data file's
// "Pobierasz bazę z innej kasy..." (No keeps the model the connected register
// named at start-up, so the file is read in the sizes that register has; a
// file of another model is refused before this point unless --force), and the
// table set's question before dropping records (No keeps every record), and
// the transfer's question after three records in a row without their own
// reply: No stops it, as the silence rule above would.
bool ConsoleUi::Question(const std::string& text, const std::string&, UiIcon) {
    if (text == kSilentQuestion) silenced_ = true;
    return false;
}

// Nothing the tool runs asks for typed input; an input box counts as cancelled.
std::optional<std::string> ConsoleUi::Input(const std::string&, const std::string&, const std::string&) {
    return std::nullopt;
}

void ConsoleUi::ProgressShow(UiBar bar, int maximum) {
    if (bar != UiBar::Main) return;
    barVisible_ = true;
    maximum_ = maximum;
    value_ = 0;
    started_ = Now();
    lastDraw_ = -1;
    Draw(true);
}

void ConsoleUi::ProgressSetMaximum(UiBar bar, int maximum) {
    if (bar == UiBar::Main) maximum_ = maximum;
}

void ConsoleUi::ProgressSetValue(UiBar bar, int value) {
    if (bar == UiBar::Main) value_ = value;
}

void ConsoleUi::ProgressStep(UiBar bar, int by) {
    if (bar != UiBar::Main) return;
    value_ += by;
    if (value_ > maximum_) value_ = maximum_;
    if (barVisible_) Draw(false);
}

void ConsoleUi::ProgressHide(UiBar bar) {
    if (bar != UiBar::Main) return;
    barVisible_ = false;
    ClearLine();
}

void ConsoleUi::SetLabel(UiLabel label, const std::string& text) {
    if (label != UiLabel::Progress) return;
    // "Całkowity postęp:\tOdczytuje bazę PLU": the part after the tab names the table.
    const std::size_t tab = text.find('\t');
    coreLabel_ = tab == std::string::npos ? text : text.substr(tab + 1);
}

bool ConsoleUi::StopRequested() { return Interrupted() || silenced_; }

bool ConsoleUi::Interrupted() const { return options_.interrupt && options_.interrupt->load(); }

void ConsoleUi::SetTask(const std::string& label) { task_ = label; }

void ConsoleUi::Note(const std::string& line) {
    ClearLine();
    err_ << line << '\n';
    err_.flush();
}

void ConsoleUi::ResetMissing() {
    missing_ = 0;
    missingInRow_ = 0;
    recordsWithoutReply_ = 0;
    silenced_ = false;
    valueAtLastMissing_ = -1;
}

void ConsoleUi::Draw(bool force) {
    if (!options_.progress) return;
    const double now = Now();
    if (!force && lastDraw_ >= 0 && now - lastDraw_ < kRedrawSeconds && value_ < maximum_) return;
    lastDraw_ = now;
    const std::string& label = coreLabel_.empty() ? task_ : coreLabel_;
    if (options_.show) {
        const std::string text = ShortProgressText(label, value_, maximum_, now - started_);
        options_.show(text);
        drawnWidth_ = DisplayWidth(text);
        return;
    }
    const std::string text = ProgressText(label, value_, maximum_, now - started_);
    const std::size_t width = DisplayWidth(text);
    err_ << '\r' << text;
    if (width < drawnWidth_) err_ << std::string(drawnWidth_ - width, ' ');
    drawnWidth_ = width;
    err_.flush();
}

void ConsoleUi::ClearLine() {
    if (drawnWidth_ == 0) return;
    const std::size_t width = drawnWidth_;
    drawnWidth_ = 0;
    if (options_.show) {
        options_.show({});
        return;
    }
    err_ << '\r' << std::string(width, ' ') << '\r';
    err_.flush();
}
