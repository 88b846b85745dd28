#include "Profile.h"

#include <string_view>
#include <unordered_map>
#include <vector>

#include "Dysk.h"

namespace {

// Letter case folding for section and key names: ASCII and the letters of
// Windows-1250, so "Typ_kasy" and "TYP_KASY" name the same entry.
struct FoldTable {
    unsigned char map[256];
    FoldTable() {
        for (int i = 0; i < 256; ++i) map[i] = static_cast<unsigned char>(i);
        for (int c = 'A'; c <= 'Z'; ++c) map[c] = static_cast<unsigned char>(c + 32);
        for (int c = 0xC0; c <= 0xDE; ++c)
            if (c != 0xD7) map[c] = static_cast<unsigned char>(c + 32);
        const unsigned char pairs[][2] = {{0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E},
                                          {0x8F, 0x9F}, {0xA3, 0xB3}, {0xA5, 0xB9}, {0xAA, 0xBA},
                                          {0xAF, 0xBF}, {0xBC, 0xBE}};
        for (const auto& p : pairs) map[p[0]] = p[1];
    }
};
const FoldTable kFold;

std::string Fold(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(kFold.map[static_cast<unsigned char>(c)]);
    return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// Line breaks inside a name or value would split its line in two on the next
// read and turn the rest into a foreign entry; they become spaces.
std::string OneLine(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

enum class Eol : unsigned char { None, Lf, CrLf };

struct Line {
    std::string text;  // without its line end
    Eol eol = Eol::CrLf;
    // For entry lines: the key and the value, as offsets into text.
    size_t keyBegin = 0, keyEnd = 0, valueBegin = 0, valueEnd = 0;

    std::string_view Key() const { return std::string_view(text).substr(keyBegin, keyEnd - keyBegin); }
    std::string_view Value() const {
        return std::string_view(text).substr(valueBegin, valueEnd - valueBegin);
    }
};

Line EntryLine(std::string_view key, std::string_view value) {
    Line l;
    l.text.reserve(key.size() + 1 + value.size());
    l.text.append(key).append("=").append(value);
    l.keyEnd = key.size();
    l.valueBegin = key.size() + 1;
    l.valueEnd = l.text.size();
    return l;
}

}  // namespace

struct Profile::Impl {
    // A section: its header line (none for the lines before the first header),
    // the lines that follow it as read, and the entries added by Set, which go
    // after the section's last entry line and before any trailing foreign lines.
    struct Section {
        std::vector<Line> lines;      // as read; never grows after parsing
        std::vector<Line> added;      // new entries, written at insertAt
        size_t insertAt = 0;          // index into lines
        std::unordered_map<std::string, size_t> keys;  // folded key -> entry index

        Line& Entry(size_t i) { return i < lines.size() ? lines[i] : added[i - lines.size()]; }
        const Line& Entry(size_t i) const {
            return i < lines.size() ? lines[i] : added[i - lines.size()];
        }
    };

    std::vector<Section> sections;  // sections[0]: the lines before the first header
    std::unordered_map<std::string, size_t> index;  // folded name -> first section of that name
    // The file exists but could not be read: saving over it would lose its lines.
    bool unreadable = false;

    Impl() { sections.emplace_back(); }

    const Section* Find(const std::string& section) const {
        auto it = index.find(Fold(section));
        return it == index.end() ? nullptr : &sections[it->second];
    }
    const Line* FindEntry(const std::string& section, const std::string& key) const {
        const Section* s = Find(section);
        if (!s) return nullptr;
        auto it = s->keys.find(Fold(key));
        return it == s->keys.end() ? nullptr : &s->Entry(it->second);
    }

    void ParseLine(std::string_view raw, Eol eol, bool first);
};

void Profile::Impl::ParseLine(std::string_view raw, Eol eol, bool first) {
    Line line;
    line.text.assign(raw);
    line.eol = eol;
    // A UTF-8 byte order mark that some editors put first is kept but not read.
    std::string_view body = raw;
    if (first && body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    std::string_view t = Trim(body);

    if (!t.empty() && t.front() == '[') {
        size_t close = t.find(']');
        if (close != std::string_view::npos) {
            std::string name = Fold(Trim(t.substr(1, close - 1)));
            sections.emplace_back();
            Section& s = sections.back();
            s.lines.push_back(std::move(line));
            s.insertAt = 1;
            index.emplace(std::move(name), sections.size() - 1);  // the first one wins
            return;
        }
    }

    Section& s = sections.back();
    size_t eq = body.find('=');
    bool comment = !t.empty() && (t.front() == ';' || t.front() == '#');
    if (eq != std::string_view::npos && !comment && sections.size() > 1) {
        std::string_view key = Trim(body.substr(0, eq));
        if (!key.empty()) {
            std::string_view value = Trim(body.substr(eq + 1));
            line.keyBegin = static_cast<size_t>(key.data() - raw.data());
            line.keyEnd = line.keyBegin + key.size();
            line.valueBegin = static_cast<size_t>(value.data() - raw.data());
            line.valueEnd = line.valueBegin + value.size();
            s.keys.emplace(Fold(key), s.lines.size());  // the first one wins
            s.lines.push_back(std::move(line));
            s.insertAt = s.lines.size();
            return;
        }
    }
    s.lines.push_back(std::move(line));
}

Profile::Profile() : impl_(std::make_unique<Impl>()) {}
Profile::~Profile() = default;
Profile::Profile(Profile&&) noexcept = default;
Profile& Profile::operator=(Profile&&) noexcept = default;

void Profile::Load(const std::string& path, std::size_t maxSize) {
    std::string text;
    const FileRead result = ReadWholeFile(path, maxSize, text);
    Parse(text);
    impl_->unreadable = result == FileRead::Unreadable;
}

bool Profile::Unreadable() const { return impl_->unreadable; }

void Profile::Parse(const std::string& text) {
    impl_ = std::make_unique<Impl>();
    std::string_view rest(text);
    bool first = true;
    while (!rest.empty()) {
        size_t nl = rest.find('\n');
        if (nl == std::string_view::npos) {
            impl_->ParseLine(rest, Eol::None, first);
            break;
        }
        std::string_view raw = rest.substr(0, nl);
        Eol eol = Eol::Lf;
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
            eol = Eol::CrLf;
        }
        impl_->ParseLine(raw, eol, first);
        first = false;
        rest.remove_prefix(nl + 1);
    }
}

std::string Profile::Get(const std::string& section, const std::string& key,
                         const std::string& def) const {
    const Line* l = impl_->FindEntry(section, key);
    return l ? std::string(l->Value()) : def;
}

bool Profile::Has(const std::string& section, const std::string& key) const {
    return impl_->FindEntry(section, key) != nullptr;
}

void Profile::Set(const std::string& section, const std::string& key, const std::string& value) {
    std::string k = OneLine(Trim(key));
    if (k.empty()) return;  // "=value" would read back as a foreign line
    std::string v = OneLine(value);
    std::string folded = Fold(k);

    Impl& d = *impl_;
    std::string sname = OneLine(section);
    std::string sfolded = Fold(Trim(sname));
    auto sit = d.index.find(sfolded);
    if (sit == d.index.end()) {
        Impl::Section s;
        Line header;
        header.text = "[" + sname + "]";
        s.lines.push_back(std::move(header));
        s.insertAt = 1;
        d.sections.push_back(std::move(s));
        sit = d.index.emplace(std::move(sfolded), d.sections.size() - 1).first;
    }
    Impl::Section& s = d.sections[sit->second];

    auto kit = s.keys.find(folded);
    if (kit != s.keys.end()) {
        Line& l = s.Entry(kit->second);
        if (l.Value() == v) return;  // unchanged: the line stays byte for byte
        // Rewritten in place, keeping the key as the file spells it.
        Line fresh = EntryLine(l.Key(), v);
        l = std::move(fresh);
        return;
    }
    s.keys.emplace(std::move(folded), s.lines.size() + s.added.size());
    s.added.push_back(EntryLine(k, v));
}

std::string Profile::Text() const {
    size_t total = 0;
    for (const auto& s : impl_->sections) {
        for (const auto& l : s.lines) total += l.text.size() + 2;
        for (const auto& l : s.added) total += l.text.size() + 2;
    }
    std::string out;
    out.reserve(total);
    bool open = false;  // the last line written had no line end (end of the file as read)
    auto put = [&](const Line& l) {
        if (open) out += "\r\n";
        out += l.text;
        open = l.eol == Eol::None;
        if (l.eol == Eol::CrLf) out += "\r\n";
        else if (l.eol == Eol::Lf) out += '\n';
    };
    for (const auto& s : impl_->sections) {
        for (size_t i = 0; i < s.insertAt && i < s.lines.size(); ++i) put(s.lines[i]);
        for (const auto& l : s.added) put(l);
        for (size_t i = s.insertAt; i < s.lines.size(); ++i) put(s.lines[i]);
    }
    return out;
}

bool Profile::Save(const std::string& path) const {
    if (path.empty() || impl_->unreadable) return false;
    return ReplaceWholeFile(path, Text());
}

std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& def) {
    Profile p;
    p.Load(path);
    return p.Get(section, key, def);
}

bool WriteProfileString(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value) {
    Profile p;
    p.Load(path);
    p.Set(section, key, value);
    return p.Save(path);
}
