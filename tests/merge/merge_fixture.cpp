#include "merge_fixture.h"

#include "host/textfile.h"
#include "merge/infoprot_layout.h"

#include <climits>

namespace infemora::mergetest {

std::string StartZeile(const std::string& tag) {
    return "xxxxx<< " + tag;
}
std::string StempelZeile(const std::string& stamp) {
    return "xxxxx## " + stamp + " user PROG";
}

std::vector<std::string> Eintrag(const std::string& tag, const std::string& stamp, int bodyLines) {
    std::vector<std::string> lines{StartZeile(tag)};
    if (!stamp.empty())
        lines.push_back(StempelZeile(stamp));
    for (int i = 0; i < bodyLines; ++i)
        lines.push_back(tag + " body " + std::to_string(i));
    return lines;
}

std::string CrLf(const std::vector<std::string>& lines) {
    return JoinLinesCrLf(lines);
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

namespace {

struct RefEntry {
    std::vector<std::string> lines;
    long long key;
};

std::vector<RefEntry> entriesOf(const std::string& bytes) {
    std::vector<RefEntry> entries;
    for (const auto& line : SplitLines(bytes)) {
        bool start = line.size() >= 7 && line.compare(5, 2, "<<") == 0;
        if (entries.empty() || start)
            entries.push_back({{}, 0});
        entries.back().lines.push_back(line);
    }
    long long previous = LLONG_MIN;
    for (auto& e : entries) {
        e.key = previous;
        for (const auto& line : e.lines) {
            if (line.size() >= 7 && line.compare(5, 2, "##") == 0) {
                TDateTime stamp;
                if (TryZeitstempelAusZeile(line, stamp))
                    e.key = previous = stamp.ms;
                break;
            }
        }
    }
    return entries;
}

} // namespace

std::string ReferenceMerge(const std::vector<std::string>& fileBytes) {
    std::vector<std::vector<RefEntry>> files;
    for (const auto& b : fileBytes)
        files.push_back(entriesOf(b));
    std::vector<std::size_t> next(files.size(), 0);
    std::vector<std::string> out;
    for (;;) {
        std::size_t best = files.size();
        for (std::size_t f = 0; f < files.size(); ++f) {
            if (next[f] == files[f].size())
                continue;
            if (best == files.size() || files[f][next[f]].key < files[best][next[best]].key)
                best = f;
        }
        if (best == files.size())
            break;
        Append(out, files[best][next[best]++].lines);
    }
    return JoinLinesCrLf(out);
}

std::int64_t CountLines(const std::string& bytes) {
    return static_cast<std::int64_t>(SplitLines(bytes).size());
}

std::string SingleLineEntries(const std::string& prefix, int n) {
    std::string out;
    out.reserve(static_cast<std::size_t>(n) * (prefix.size() + 20));
    for (int i = 1; i <= n; ++i)
        out += "xxxxx<< " + prefix + " " + std::to_string(i) + "\r\n";
    return out;
}

} // namespace infemora::mergetest
