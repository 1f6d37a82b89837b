// Large log directories for the merge and evaluation benchmarks.
#include "bench/gensite.h"
#include "bench/logwriter.h"

#include "host/errors.h"
#include "host/fileutil.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace infemora::gensite {

namespace {

void PrepareEmptyDir(const std::string& dir) {
    std::error_code ec;
    if (fs::exists(dir, ec) && !fs::is_empty(dir, ec))
        throw EFileError(dir + " already holds files; benchmark data needs a fresh folder");
    if (!ForceDirectories(dir))
        throw EFileError("cannot create folder " + dir);
}

// Hands out time stamps that rise steadily over the whole period, so that the entries written
// until `targetBytes` is reached fill the period from its first to its last day.
class Timeline {
public:
    Timeline(const GenParams& p, std::int64_t targetBytes)
        : firstDay_(p.today.dateOnly().addDays(-(p.days - 1))),
          span_(double(p.days - 1) * 86400.0 + p.lastDayEndSecond + 1), target_(targetBytes) {}

    Stamp next(std::mt19937& rng, std::int64_t bytesSoFar) {
        if (entries_ % 256 == 0) {
            // Re-aim the mean step at the end of the period from the bytes an entry takes so far.
            const double perEntry = entries_ > 0 ? double(bytesSoFar) / double(entries_) : 450.0;
            const double remaining = std::max(1.0, double(target_ - bytesSoFar) / perEntry);
            step_ = std::max(0.0, (span_ - t_) / remaining);
        }
        ++entries_;
        t_ += step_ * std::uniform_real_distribution<double>(0.0, 2.0)(rng);
        const auto s = static_cast<std::int64_t>(std::min(t_, span_ - 1.0));
        return {firstDay_.addDays(s / 86400), static_cast<int>(s % 86400)};
    }

private:
    TDateTime firstDay_;
    double span_;
    std::int64_t target_;
    double t_ = 0.0;
    double step_ = 0.0;
    std::int64_t entries_ = 0;
};

const std::vector<std::string>& Programs() {
    static const std::vector<std::string> p = {"KASSE", "WAWI",     "FAKTURA",  "BONDRUCK", "VELSTOK",
                                               "KASSE", "DORNWISE", "VELSPOST", "INVENTUR", "VELSRECV"};
    return p;
}

std::size_t BufferFor(int files) {
    return std::clamp<std::size_t>((std::size_t(256) << 20) / std::size_t(std::max(files, 1)),
                                   std::size_t(64) << 10, std::size_t(4) << 20);
}

// Per file: who writes and whether the program's log is open.
struct Writer {
    Actor actor;
    std::vector<std::string> users;
    bool running = false;
};

Writer MakeWriter(int index) {
    Writer w;
    w.actor.program = Programs()[static_cast<std::size_t>(index) % Programs().size()];
    char user[32];
    for (int u = 0; u < 3; ++u) {
        std::snprintf(user, sizeof user, "BEDIENER%d", index * 3 + u + 1);
        w.users.emplace_back(user);
    }
    return w;
}

// One entry as a busy site writes them: mostly three to eight lines of text, a few program
// starts and ends, and error entries at the given share.
void WriteOneEntry(EntryWriter& e, std::string& out, Writer& w, const Stamp& s, double errorShare) {
    if (!w.running) {
        w.actor.tag = EntryWriter::tagFor(e.uniform(1000, 65000));
        w.actor.user = w.users[static_cast<std::size_t>(e.uniform(0, int(w.users.size()) - 1))];
        e.protokollEntry(out, w.actor, s, true);
        w.running = true;
        return;
    }
    const double r = e.percent();
    if (r < errorShare) {
        const ErrorKind kind = e.randomErrorKind();
        e.errorEntry(out, w.actor, s, kind);
        if (kind == ErrorKind::Beendet)
            w.running = false;
    } else if (r < errorShare + 0.2) {
        e.protokollEntry(out, w.actor, s, false);
        w.running = false;
    } else {
        e.infoEntry(out, w.actor, s, e.uniform(1, 6));
    }
}

} // namespace

void WriteMergeBench(const std::string& dir, int files, std::int64_t totalBytes, const GenParams& p) {
    if (files < 1 || totalBytes < 1 || p.days < 1)
        throw EInfemora("merge data needs at least one file, one byte and one day");
    PrepareEmptyDir(dir);
    std::mt19937 rng(p.seed);
    EntryWriter e(rng);
    std::vector<std::unique_ptr<OutFile>> out;
    std::vector<Writer> writers;
    const std::size_t buffer = BufferFor(files);
    for (int i = 0; i < files; ++i) {
        char name[32];
        if (i == 0)
            std::snprintf(name, sizeof name, "infoprot.tmp");
        else
            std::snprintf(name, sizeof name, "INFOPROT.%03d", i);
        out.push_back(std::make_unique<OutFile>(dir + "/" + name, buffer));
        writers.push_back(MakeWriter(i));
    }
    Timeline timeline(p, totalBytes);
    std::int64_t total = 0;
    while (total < totalBytes) {
        const Stamp s = timeline.next(rng, total);
        const auto f = static_cast<std::size_t>(e.uniform(0, files - 1));
        std::string& buf = out[f]->buffer();
        const std::size_t before = buf.size();
        WriteOneEntry(e, buf, writers[f], s, 1.0);
        total += static_cast<std::int64_t>(buf.size() - before);
        out[f]->commit();
    }
    for (auto& f : out)
        f->close();
}

void WriteEvalBench(const std::string& dir, int files, std::int64_t fileBytes, double errorSharePercent,
                    const GenParams& p) {
    if (files < 1 || fileBytes < 1 || p.days < 1)
        throw EInfemora("evaluation data needs at least one file, one byte and one day");
    if (errorSharePercent < 0.0 || errorSharePercent > 100.0)
        throw EInfemora("the error share is a per cent figure from 0 to 100");
    PrepareEmptyDir(dir);
    std::mt19937 rng(p.seed);
    EntryWriter e(rng);
    std::string entry;
    for (int i = 0; i < files; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "INFOPROT.%03d", i + 1);
        OutFile f(dir + "/" + name);
        Writer w = MakeWriter(i);
        Timeline timeline(p, fileBytes);
        while (f.size() < fileBytes) {
            entry.clear();
            WriteOneEntry(e, entry, w, timeline.next(rng, f.size()), errorSharePercent);
            // Larger files are skipped by the evaluation, so the file stops short of the limit.
            if (f.size() + static_cast<std::int64_t>(entry.size()) >= EvalFileLimit)
                break;
            f.buffer() += entry;
            f.commit();
        }
        f.close();
    }
}

} // namespace infemora::gensite
