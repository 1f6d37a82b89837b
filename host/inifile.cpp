#include "host/inifile.h"

#include "host/errors.h"

#include <ini.h>
#include <strings.h>

namespace infemora {

namespace {

bool equalNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

} // namespace

TQVRMemIniFile::TQVRMemIniFile(const Lines& lines) {
    parse(JoinLinesCrLf(lines));
}

TQVRMemIniFile TQVRMemIniFile::FromText(const std::string& text) {
    TQVRMemIniFile f;
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

// lineOf maps each line handed to inih (from 1) to the line of the original text.
std::string protectValues(const std::string& text, std::vector<std::string>& values,
                          std::vector<int>& lineOf) {
    std::string out;
    out.reserve(text.size());
    lineOf.assign(1, 0);
    int original = 0;
    for (const std::string& raw : SplitLines(text)) {
        ++original;
        lineOf.push_back(original);
        std::string_view line = trimBlanks(raw);
        const size_t sep = line.find_first_of("=:");
        if (!line.empty() && line.front() == '[') {
            out.append(line);
            out += "\n";
            lineOf.push_back(original);
            out += kSectionMarker;
            out += '=';
        } else if (line.empty() || line.front() == ';' || line.front() == '#' ||
                   sep == std::string_view::npos) {
            out.append(line);
        } else {
            out.append(line.substr(0, sep));
            out += "=\x01" + std::to_string(values.size());
            values.emplace_back(trimBlanks(line.substr(sep + 1)));
        }
        out += '\n';
    }
    return out;
}

} // namespace

void TQVRMemIniFile::parse(const std::string& rawText) {
    sections_.clear();
    std::vector<std::string> values;
    std::vector<int> lineOf;
    const std::string text = protectValues(rawText, values, lineOf);
    struct Context {
        TQVRMemIniFile* self;
        const std::vector<std::string>* values;
    } context{this, &values};
    auto handler = [](void* user, const char* section, const char* name, const char* token) -> int {
        auto* ctx = static_cast<Context*>(user);
        auto* self = ctx->self;
        std::string sec = section ? section : "";
        const bool marker = name && std::string_view(name) == kSectionMarker;
        std::string valueText;
        if (token && token[0] == '\x01') {
            const size_t index = std::stoul(token + 1);
            if (index < ctx->values->size())
                valueText = (*ctx->values)[index];
        }
        const char* value = valueText.c_str();
        if (self->sections_.empty() || self->sections_.back().name != sec) {
            // inih reports a section again when it reappears later; merge into the first one.
            Section* existing = nullptr;
            for (auto& s : self->sections_)
                if (equalNoCase(s.name, sec))
                    existing = &s;
            if (!existing) {
                self->sections_.push_back(Section{sec, {}});
                existing = &self->sections_.back();
            }
            if (name && !marker)
                existing->values.emplace_back(name, value);
            return 1;
        }
        if (name && !marker)
            self->sections_.back().values.emplace_back(name, value);
        return 1;
    };
    parseError_ = ini_parse_string(text.c_str(), handler, &context);
    if (parseError_ < 0)
        parseError_ = 0;
    else if (parseError_ > 0 && static_cast<size_t>(parseError_) < lineOf.size())
        parseError_ = lineOf[static_cast<size_t>(parseError_)];
}

const TQVRMemIniFile::Section* TQVRMemIniFile::find(const std::string& section) const {
    for (const auto& s : sections_)
        if (equalNoCase(s.name, section))
            return &s;
    return nullptr;
}

std::vector<std::string> TQVRMemIniFile::ReadSections() const {
    std::vector<std::string> out;
    for (const auto& s : sections_)
        if (!s.name.empty())
            out.push_back(s.name);
    return out;
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
