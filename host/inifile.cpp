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

TQVRMemIniFile::TQVRMemIniFile(const Lines& lines) { parse(JoinLinesCrLf(lines)); }

TQVRMemIniFile TQVRMemIniFile::FromText(const std::string& text) {
    TQVRMemIniFile f;
    f.parse(text);
    return f;
}

void TQVRMemIniFile::parse(const std::string& text) {
    sections_.clear();
    auto handler = [](void* user, const char* section, const char* name, const char* value) -> int {
        auto* self = static_cast<TQVRMemIniFile*>(user);
        std::string sec = section ? section : "";
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
            if (name)
                existing->values.emplace_back(name, value ? value : "");
            return 1;
        }
        if (name)
            self->sections_.back().values.emplace_back(name, value ? value : "");
        return 1;
    };
    parseError_ = ini_parse_string(text.c_str(), handler, this);
    if (parseError_ < 0)
        parseError_ = 0;
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

bool TQVRMemIniFile::SectionExists(const std::string& section) const { return find(section) != nullptr; }

TQVRMemROIniFile::TQVRMemROIniFile(const std::string& path) {
    std::string bytes = ReadFileBytes(path);
    Lines lines = DecodeTextBytes(bytes);
    parse(JoinLinesCrLf(lines));
}

} // namespace infemora
