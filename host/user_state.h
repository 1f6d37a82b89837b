#pragma once
// What the program remembers for one user between runs: window geometry, splitters, the last
// folders of file dialogs, recent search texts, view toggles. It lives in a file of its own
// beside the settings file, one per user, because the settings file may be a site's and shared
// by everyone who looks after it. Losing this file loses nothing but comfort, so reading and
// writing it never fails loudly.
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace infemora {

class UserState {
public:
    // The file beside the settings file: "<stem>-<user>.state".
    static std::string DefaultPath();
    // The process-wide state, read on first use from DefaultPath().
    static UserState& Instance();

    explicit UserState(std::string path);

    std::string Value(const std::string& section, const std::string& key,
                      const std::string& fallback = {}) const;
    void SetValue(const std::string& section, const std::string& key, const std::string& value);
    // A list stored as numbered keys; the first item is the newest.
    std::vector<std::string> List(const std::string& section, const std::string& key) const;
    void SetList(const std::string& section, const std::string& key, const std::vector<std::string>& items);
    // Puts text at the head of a list, removing an earlier equal item and keeping at most max.
    void Remember(const std::string& section, const std::string& key, const std::string& text,
                  std::size_t max);

    // Writes what this process changed over what the file holds now, so that two windows of
    // one user keep each other's keys. False when the file could not be written.
    bool Save();

    const std::string& path() const { return path_; }

private:
    using Key = std::pair<std::string, std::string>;
    static std::map<Key, std::string> readFile(const std::string& path);
    std::string path_;
    std::map<Key, std::string> values_;
    std::map<Key, std::string> changed_;
    std::vector<Key> removed_;
};

} // namespace infemora
