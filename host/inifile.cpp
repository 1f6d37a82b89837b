#include "host/inifile.h"

#include "host/errors.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <ini.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace infemora {

TQVRMemIniFile::TQVRMemIniFile(const Lines& lines) {
    parse(JoinLinesCrLf(lines));
}

TQVRMemIniFile TQVRMemIniFile::FromText(const std::string& text, TIniAbschnitte abschnitte) {
    TQVRMemIniFile f;
    f.abschnitte_ = abschnitte;
    f.parse(text);
    return f;
}

namespace {

// The program family's INI files are read as its own settings class reads them: every line is
// trimmed (no continuation lines), a value is all text after the first '=' or ':' (a ';' inside
// it is text, not a comment), values may be longer than inih's line buffer, and a section without
// keys still counts. inih, built with its defaults, does none of this, so it is handed each value
// as a short token and each section with a marker key; the handler puts the real values back.
constexpr char kSectionMarker[] = "\x01";

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Where inih ends a section name: at the first ']', unless an inline comment (a ';' after a
// blank) comes first; npos when the line is no section line for inih.
std::size_t sectionNameEnd(std::string_view line) {
    for (std::size_t i = 1; i < line.size(); ++i) {
        if (line[i] == ']')
            return i;
        if (line[i] == ';' && (line[i - 1] == ' ' || line[i - 1] == '\t'))
            return std::string_view::npos;
    }
    return std::string_view::npos;
}

// lineOf maps each line handed to inih (from 1) to the line of the original text. With
// sectionNames, every section line inih would take is handed over as "[\x02n]", n counting
// the sections, and its name is kept there: inih then keeps sections of the same name apart.
std::string protectValues(const std::string& text, std::vector<std::string>& values, std::vector<int>& lineOf,
                          std::vector<std::string>* sectionNames = nullptr) {
    std::string out;
    out.reserve(text.size());
    lineOf.assign(1, 0);
    int original = 0;
    for (const std::string& raw : SplitLines(text)) {
        ++original;
        lineOf.push_back(original);
        std::string_view line = trimBlanks(raw);
        const size_t sep = line.find_first_of("=:");
        // What inih sees of the line: a byte order mark before the first line and every kind of
        // white space at either end gone.
        std::string_view kopf = line;
        if (original == 1 && kopf.starts_with("\xEF\xBB\xBF"))
            kopf.remove_prefix(3);
        while (!kopf.empty() && std::isspace(static_cast<unsigned char>(kopf.front())))
            kopf.remove_prefix(1);
        while (!kopf.empty() && std::isspace(static_cast<unsigned char>(kopf.back())))
            kopf.remove_suffix(1);
        // Every line stays one line: inih would read the rest of a line longer than its buffer
        // as a line of its own, and a section or key could appear in the middle of a text.
        // Lines that carry nothing inih keeps go to it short.
        if (!kopf.empty() && kopf.front() == '[') {
            const std::size_t ende = sectionNameEnd(kopf);
            if (ende == std::string_view::npos) {
                out += '['; // no section: the error inih reports for the line
            } else if (sectionNames) {
                out += "[\x02" + std::to_string(sectionNames->size()) + "]";
                sectionNames->emplace_back(kopf.substr(1, ende - 1));
            } else {
                // inih keeps 49 characters of a name.
                out += '[';
                out.append(kopf.substr(1, std::min<std::size_t>(ende - 1, 49)));
                out += ']';
            }
            out += "\n";
            lineOf.push_back(original);
            out += kSectionMarker;
            out += '=';
        } else if (line.empty() || line.front() == ';' || line.front() == '#') {
            // A comment holds nothing.
        } else if (sep == std::string_view::npos) {
            out += '-'; // no key: the error inih reports for the line
        } else {
            out.append(line.substr(0, sep));
            out += "=\x01" + std::to_string(values.size());
            values.emplace_back(trimBlanks(line.substr(sep + 1)));
        }
        out += '\n';
    }
    return out;
}

// Marks, one bit per byte, where lines end (LF, CR) and where '=' or ':' stand; false when the text
// holds NUL, \x01, \v, \f or another byte below CR except tab and LF, which inih reads other than
// the direct reader would. One pass, sixteen bytes at a time: every record blob passes here, and
// its lines are short, so finding each line's end and separator by itself cost more than this.
bool markieren(std::string_view text, std::vector<std::uint64_t>& enden,
               std::vector<std::uint64_t>& trenner) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    enden.assign((n + 63) / 64, 0);
    trenner.assign((n + 63) / 64, 0);
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i below = _mm_set1_epi8(0x0C);
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i gleich = _mm_set1_epi8('=');
    const __m128i doppelpunkt = _mm_set1_epi8(':');
    __m128i found = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(v, below), v);
        const __m128i isLf = _mm_cmpeq_epi8(v, lf);
        found = _mm_or_si128(found, _mm_andnot_si128(_mm_or_si128(_mm_cmpeq_epi8(v, tab), isLf), low));
        const auto e =
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_or_si128(isLf, _mm_cmpeq_epi8(v, cr))));
        const auto t = static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, gleich), _mm_cmpeq_epi8(v, doppelpunkt))));
        enden[i / 64] |= std::uint64_t{e} << (i % 64);
        trenner[i / 64] |= std::uint64_t{t} << (i % 64);
    }
    if (_mm_movemask_epi8(found) != 0)
        return false;
#endif
    for (; i < n; ++i) {
        if (p[i] < 0x0D && p[i] != '\t' && p[i] != '\n')
            return false;
        if (p[i] == '\n' || p[i] == '\r')
            enden[i / 64] |= std::uint64_t{1} << (i % 64);
        if (p[i] == '=' || p[i] == ':')
            trenner[i / 64] |= std::uint64_t{1} << (i % 64);
    }
    return true;
}

// Whether a or b stands in the short text; a plain loop, where the library searches the set of
// characters once for every byte.
bool enthaelt(std::string_view text, char a, char b) {
    for (const char c : text)
        if (c == a || c == b)
            return true;
    return false;
}

// The first marked position in [von, bis), or bis.
std::size_t naechsteMarke(const std::vector<std::uint64_t>& marken, std::size_t von, std::size_t bis) {
    while (von < bis) {
        const std::size_t wort = von / 64;
        const std::uint64_t bits = marken[wort] & (~std::uint64_t{0} << (von % 64));
        if (bits != 0)
            return std::min(bis, wort * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
        von = (wort + 1) * 64;
    }
    return bis;
}

// The shape the program family writes (trimmed "[name]" lines and "key=value" lines between
// blank and comment lines) is read here directly, in the way inih reads it after the pre-pass
// above; anything else (a byte order mark, control characters, a line inih would reject or cut)
// is refused, for inih to read. A booking export reads thousands of record blobs, and inih with
// its pre-pass made up most of that time. onSection(name) and onKey(key, value) see the lines in
// order; false when the text needs inih.
template <class OnSection, class OnKey>
bool scanSimple(std::string_view text, OnSection&& onSection, OnKey&& onKey) {
    if (text.find("\xEF\xBB\xBF") != std::string_view::npos)
        return false;
    thread_local std::vector<std::uint64_t> enden;
    thread_local std::vector<std::uint64_t> trenner;
    if (!markieren(text, enden, trenner))
        return false;
    const std::size_t n = text.size();
    std::size_t pos = 0;
    while (pos < n) {
        // A line ends at LF, CR LF or a lone CR.
        const std::size_t ende = naechsteMarke(enden, pos, n);
        const std::size_t sepPos = naechsteMarke(trenner, pos, ende);
        const char* const trennzeichen = sepPos < ende ? text.data() + sepPos : nullptr;
        std::string_view line = trimBlanks(text.substr(pos, ende - pos));
        pos = ende;
        if (pos < n)
            pos += (text[pos] == '\r' && pos + 1 < n && text[pos + 1] == '\n') ? 2 : 1;
        if (line.empty())
            continue;
        if (line.front() == ';' || line.front() == '#') {
            // inih reads the rest of a long line as a line of its own.
            if (line.size() > 190)
                return false;
            continue;
        }
        if (line.front() == '[') {
            // inih keeps 49 characters of a section name and ends it at an inline comment.
            const std::string_view name = line.substr(1, line.size() - 1);
            if (line.size() < 3 || line.back() != ']' || name.size() - 1 > 49 ||
                enthaelt(name.substr(0, name.size() - 1), ']', ';'))
                return false;
            onSection(name.substr(0, name.size() - 1));
            continue;
        }
        // Trimming took blanks only, so the separator found before stands in the line.
        const std::size_t sep =
            trennzeichen ? static_cast<std::size_t>(trennzeichen - line.data()) : line.size();
        if (sep == line.size() || sep == 0 || sep > 150)
            return false;
        const std::string_view key = trimBlanks(line.substr(0, sep));
        if (key.empty() || enthaelt(key, ';', ';'))
            return false;
        onKey(key, trimBlanks(line.substr(sep + 1)));
    }
    return true;
}

// Names and keys are compared with ASCII letters folded, as in the C locale, whatever locale the
// program runs in: the window and the command line must find the same sections.
// The key of a name in the index: ASCII letters folded, everything else as it is.
std::string foldedName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y && ((x | 0x20) != (y | 0x20) || (x | 0x20) < 'a' || (x | 0x20) > 'z'))
            return false;
    }
    return true;
}

} // namespace

TQVRMemIniFile::Section& TQVRMemIniFile::sectionNamed(std::string_view name) {
    auto [it, neu] = index_.try_emplace(foldedName(name), sections_.size());
    if (neu)
        sections_.push_back(Section{std::string(name), {}});
    return sections_[it->second];
}

bool TQVRMemIniFile::parseSimple(std::string_view text) {
    sections_.clear();
    index_.clear();
    const bool einzeln = abschnitte_ == TIniAbschnitte::Einzeln;
    Section* current = nullptr;
    const bool ok = scanSimple(
        text,
        [&](std::string_view name) {
            if (einzeln) {
                sections_.push_back(Section{std::string(name), {}});
                current = &sections_.back();
            } else {
                current = &sectionNamed(name);
            }
        },
        [&](std::string_view key, std::string_view value) {
            if (!current) {
                // Keys before the first section: the unnamed section, which belongs to no record.
                if (einzeln)
                    return;
                current = &sectionNamed("");
            }
            current->values.emplace_back(std::string(key), std::string(value));
        });
    parseError_ = 0;
    return ok;
}

bool TQVRMemIniFile::ReadSectionValuesDirect(std::string_view text, const std::vector<std::string_view>& keys,
                                             std::vector<std::string_view>& values) {
    values.clear();
    // Sections in order, each on its own, with its keys' first values. A reader of thousands of
    // small texts reuses the thread's list.
    thread_local std::vector<char> seen;
    seen.clear();
    std::size_t current = std::string_view::npos;
    std::size_t anzahl = 0;
    const bool ok = scanSimple(
        text,
        [&](std::string_view) {
            values.resize(values.size() + keys.size());
            seen.resize(seen.size() + keys.size(), 0);
            current = anzahl++;
        },
        [&](std::string_view key, std::string_view value) {
            // Keys before the first section belong to the unnamed one, which is not listed.
            if (current == std::string_view::npos)
                return;
            for (std::size_t k = 0; k < keys.size(); ++k) {
                const std::size_t at = current * keys.size() + k;
                if (!seen[at] && equalNoCase(key, keys[k])) {
                    values[at] = value;
                    seen[at] = 1;
                }
            }
        });
    if (!ok)
        values.clear();
    return ok;
}

void TQVRMemIniFile::parse(const std::string& text) {
    if (!parseSimple(text))
        parseWithInih(text);
}

void TQVRMemIniFile::parseWithInih(const std::string& text) {
    sections_.clear();
    index_.clear();
    const bool einzeln = abschnitte_ == TIniAbschnitte::Einzeln;
    std::vector<std::string> values;
    std::vector<int> lineOf;
    std::vector<std::string> namen;
    const std::string prepared = protectValues(text, values, lineOf, einzeln ? &namen : nullptr);
    if (einzeln)
        for (std::string& name : namen)
            sections_.push_back(Section{std::move(name), {}});
    struct Context {
        TQVRMemIniFile* self;
        const std::vector<std::string>* values;
        bool einzeln;
    } ctx{this, &values, einzeln};
    auto handler = [](void* user, const char* section, const char* name, const char* value) -> int {
        auto& c = *static_cast<Context*>(user);
        const std::string_view sec = section ? section : "";
        Section* target = nullptr;
        if (!c.einzeln) {
            target = &c.self->sectionNamed(sec);
        } else {
            // "\x02n", the n-th section of the text; keys before the first section belong to none.
            std::size_t n = c.self->sections_.size();
            if (sec.size() > 1 && sec[0] == '\x02' &&
                std::from_chars(sec.data() + 1, sec.data() + sec.size(), n).ptr != sec.data() + sec.size())
                n = c.self->sections_.size();
            if (n >= c.self->sections_.size())
                return 1;
            target = &c.self->sections_[n];
        }
        if (!name || std::strcmp(name, kSectionMarker) == 0)
            return 1;
        std::string v = value ? value : "";
        if (!v.empty() && v[0] == '\x01') {
            // inih cuts lines at its buffer size, which may cut the token short: such a key
            // gets no value, and no exception may cross inih's C code.
            std::size_t idx = c.values->size();
            const char* end = v.data() + v.size();
            if (std::from_chars(v.data() + 1, end, idx).ptr != end)
                idx = c.values->size();
            v = idx < c.values->size() ? (*c.values)[idx] : std::string();
        }
        target->values.emplace_back(name, v);
        return 1;
    };
    const int rc = ini_parse_string(prepared.c_str(), handler, &ctx);
    parseError_ = rc > 0 && rc < static_cast<int>(lineOf.size()) ? lineOf[rc] : 0;
}

const TQVRMemIniFile::Section* TQVRMemIniFile::find(const std::string& section) const {
    if (abschnitte_ == TIniAbschnitte::Zusammenfassen) {
        const auto it = index_.find(foldedName(section));
        return it == index_.end() ? nullptr : &sections_[it->second];
    }
    for (const auto& s : sections_)
        if (equalNoCase(s.name, section))
            return &s;
    return nullptr;
}

std::vector<std::string> TQVRMemIniFile::ReadSections() const {
    std::vector<std::string> out;
    out.reserve(sections_.size());
    for (const auto& s : sections_)
        if (!s.name.empty() || abschnitte_ == TIniAbschnitte::Einzeln)
            out.push_back(s.name);
    return out;
}

std::size_t TQVRMemIniFile::SectionCount() const {
    return abschnitte_ == TIniAbschnitte::Einzeln ? sections_.size() : ReadSections().size();
}

std::string TQVRMemIniFile::ReadStringAt(std::size_t index, const std::string& key,
                                         const std::string& def) const {
    if (abschnitte_ == TIniAbschnitte::Zusammenfassen) {
        const std::vector<std::string> namen = ReadSections();
        return index < namen.size() ? ReadString(namen[index], key, def) : def;
    }
    if (index < sections_.size())
        for (const auto& [k, v] : sections_[index].values)
            if (equalNoCase(k, key))
                return v;
    return def;
}

std::vector<std::string> TQVRMemIniFile::ReadSection(const std::string& section) const {
    std::vector<std::string> out;
    if (const Section* s = find(section))
        for (const auto& [k, v] : s->values)
            out.push_back(k);
    return out;
}

std::string TQVRMemIniFile::ReadString(const std::string& section, const std::string& key,
                                       const std::string& def) const {
    if (const Section* s = find(section))
        for (const auto& [k, v] : s->values)
            if (equalNoCase(k, key))
                return v;
    return def;
}

bool TQVRMemIniFile::SectionExists(const std::string& section) const {
    return find(section) != nullptr;
}

TQVRMemROIniFile::TQVRMemROIniFile(const std::string& path) {
    std::string bytes = ReadFileBytes(path);
    Lines lines = DecodeTextBytes(bytes);
    parse(JoinLinesCrLf(lines));
}

} // namespace infemora
