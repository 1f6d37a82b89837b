#include "kuerzen_fixture.h"

#include "host/dir_lock.h"
#include "host/fileutil.h"

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace infemora::kuerzentest {

Lines Eintrag(const std::string& yyyymmdd, const std::string& hhmmss, const std::string& text) {
    return {"00001<< " + text, "00001## " + yyyymmdd + " " + hhmmss + " KASSE1 TESTPRG",
            "     Meldung: " + text};
}

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::string Jjjjmmtt(int daysFromToday) {
    return FormatDateTime("yyyyMMdd", Today().addDays(daysFromToday));
}
std::string MenuDatum(int daysFromToday) {
    return FormatDateTime("dd.MM.yyyy", Today().addDays(daysFromToday));
}

std::vector<std::string> Namen(const std::string& dir) {
    std::vector<std::string> out;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            // The lock file of the folder is its furniture, not one of its files.
            if (n != "." && n != ".." && n != LockFileName && FileExists(dir + "/" + n))
                out.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool Vorhanden(const std::string& path) {
    return FileExists(path);
}

Lines Zeilen(const std::string& path) {
    return FileExists(path) ? LoadTextFile(path) : Lines();
}

std::map<std::string, int> ZeilenBestand(const std::string& dir) {
    std::map<std::string, int> out;
    for (const auto& n : Namen(dir))
        // The bytes as they are: a decoding here would hide a changed line.
        for (const auto& l : SplitLines(ReadFileBytes(dir + "/" + n)))
            ++out[l];
    return out;
}

std::vector<std::string> Fehlende(const std::map<std::string, int>& vorher, const std::string& dir) {
    auto nachher = ZeilenBestand(dir);
    std::vector<std::string> out;
    for (const auto& [line, n] : vorher)
        if (nachher[line] < n)
            out.push_back(line);
    return out;
}

// Empty when both hold the same lines as often; else how many differ and the first few.
std::string Unterschiede(const std::map<std::string, int>& want, const std::map<std::string, int>& got) {
    std::vector<std::string> shown;
    std::size_t count = 0;
    auto note = [&](const std::string& line, int a, int b) {
        if (a == b)
            return;
        ++count;
        if (shown.size() < 3)
            shown.push_back(std::to_string(a) + "x expected, " + std::to_string(b) + "x found: \"" +
                            line.substr(0, 60) + (line.size() > 60 ? "..." : "") + "\"");
    };
    for (const auto& [line, n] : want) {
        auto it = got.find(line);
        note(line, n, it == got.end() ? 0 : it->second);
    }
    for (const auto& [line, n] : got)
        if (!want.count(line))
            note(line, 0, n);
    if (count == 0)
        return {};
    std::string out = std::to_string(count) + " line(s) differ";
    for (const auto& s : shown)
        out += "\n  " + s;
    return out;
}

} // namespace infemora::kuerzentest
