#include "host/user_state.h"

#include "host/fileutil.h"
#include "host/inifile.h"
#include "host/replacing_file.h"
#include "host/settings.h"
#include "host/textfile.h"

#include <algorithm>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace infemora {

namespace {

// Values are stored percent-encoded, so that blanks at either end, ';' and '#' (comments for
// the INI reader) and line breaks survive the round trip.
bool plainByte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           std::string_view("-_.:/+,@()!~*").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string encode(const std::string& value) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : value) {
        if (plainByte(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string decode(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size() && hexValue(value[i + 1]) >= 0 &&
            hexValue(value[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(value[i + 1]) * 16 + hexValue(value[i + 2]));
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

std::string userName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name && *pw->pw_name)
        return pw->pw_name;
    return std::to_string(::geteuid());
}

} // namespace

std::string UserState::DefaultPath() {
    const std::string settings = SettingsFilePath();
    std::string stem = ExtractFileName(settings);
    if (auto dot = stem.rfind('.'); dot != std::string::npos && dot > 0)
        stem.resize(dot);
    return ExtractFilePath(settings) + stem + "-" + userName() + ".state";
}

UserState& UserState::Instance() {
    static UserState state(DefaultPath());
    return state;
}

UserState::UserState(std::string path) : path_(std::move(path)), values_(readFile(path_)) {}

std::map<UserState::Key, std::string> UserState::readFile(const std::string& path) {
    std::map<Key, std::string> out;
    try {
        // Only a plain file; a FIFO or device put there must not stall the start.
        if (!IsPlainFileNoFollow(path))
            return out;
        TQVRMemROIniFile ini(path);
        for (const auto& section : ini.ReadSections())
            for (const auto& key : ini.ReadSection(section))
                out[{section, key}] = decode(ini.ReadString(section, key, ""));
    } catch (...) {
        // An unreadable state file only means nothing is remembered.
    }
    return out;
}

std::string UserState::Value(const std::string& section, const std::string& key,
                             const std::string& fallback) const {
    auto it = values_.find({section, key});
    return it == values_.end() ? fallback : it->second;
}

void UserState::SetValue(const std::string& section, const std::string& key, const std::string& value) {
    values_[{section, key}] = value;
    changed_[{section, key}] = value;
}

std::vector<std::string> UserState::List(const std::string& section, const std::string& key) const {
    std::vector<std::string> out;
    for (int i = 1;; ++i) {
        auto it = values_.find({section, key + std::to_string(i)});
        if (it == values_.end())
            return out;
        out.push_back(it->second);
    }
}

void UserState::SetList(const std::string& section, const std::string& key,
                        const std::vector<std::string>& items) {
    const std::size_t old = List(section, key).size();
    for (std::size_t i = 0; i < items.size(); ++i)
        SetValue(section, key + std::to_string(i + 1), items[i]);
    for (std::size_t i = items.size(); i < old; ++i) {
        Key k{section, key + std::to_string(i + 1)};
        values_.erase(k);
        changed_.erase(k);
        removed_.push_back(k);
    }
}

void UserState::Remember(const std::string& section, const std::string& key, const std::string& text,
                         std::size_t max) {
    std::vector<std::string> items = List(section, key);
    items.erase(std::remove(items.begin(), items.end(), text), items.end());
    items.insert(items.begin(), text);
    if (items.size() > max)
        items.resize(max);
    SetList(section, key, items);
}

bool UserState::Save() {
    std::map<Key, std::string> merged = readFile(path_);
    for (const auto& k : removed_)
        merged.erase(k);
    for (const auto& [k, v] : changed_)
        merged[k] = v;
    try {
        ReplacingFileWriter out(path_);
        std::string section;
        bool first = true;
        for (const auto& [k, v] : merged) {
            if (first || k.first != section) {
                if (!first)
                    out.WriteLine("");
                out.WriteLine("[" + k.first + "]");
                section = k.first;
                first = false;
            }
            out.WriteLine(k.second + "=" + encode(v));
        }
        out.Commit();
    } catch (...) {
        return false;
    }
    values_ = std::move(merged);
    changed_.clear();
    removed_.clear();
    return true;
}

} // namespace infemora
