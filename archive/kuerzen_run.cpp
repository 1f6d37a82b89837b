// The run of merge and shorten: reserve the archive names, split the three texts, write every
// part, and only then delete and rename the live logs.
#include "archive/kuerzen_run.h"

#include "host/errors.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "merge/discovery.h"
#include "merge/infoprot_layout.h"
#include "merge/merge_run.h"
#include "textview/log_document.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace infemora {

namespace {

constexpr std::size_t kPufferBytes = 1u << 20;

std::string errnoText() {
    return std::strerror(errno);
}

// Lines with CR LF after each, written through a buffer; every failure is an EFileError.
class ZeilenDatei {
public:
    ZeilenDatei(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~ZeilenDatei() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ZeilenDatei(const ZeilenDatei&) = delete;
    ZeilenDatei& operator=(const ZeilenDatei&) = delete;

    void zeile(std::string_view line) {
        puffer_.append(line);
        puffer_ += "\r\n";
        if (puffer_.size() >= kPufferBytes)
            leeren();
    }
    void leeren() {
        std::string_view rest = puffer_;
        while (!rest.empty()) {
            ssize_t n = ::write(fd_, rest.data(), rest.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw EFileError("Schreiben in " + path_ + " fehlgeschlagen: " + errnoText());
            rest.remove_prefix(static_cast<std::size_t>(n));
        }
        puffer_.clear();
    }
    void aufPlatte() {
        leeren();
        if (!SyncDescriptor(fd_, path_))
            throw EFileError("Datei " + path_ +
                             " kann nicht auf die Platte geschrieben werden: " + errnoText());
    }
    // Some file systems say only at closing that the data did not fit.
    void schliessen() {
        leeren();
        int fd = fd_;
        fd_ = -1;
        if (!CloseDescriptor(fd, path_))
            throw EFileError("Schlie\xC3\x9F"
                             "en von " +
                             path_ + " fehlgeschlagen: " + errnoText());
    }

private:
    int fd_;
    std::string path_;
    std::string puffer_;
};

// Reads the lines of a file this run wrote itself: bytes as they are, no byte-order mark guessed.
Lines ZeilenEinlesen(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        throw EFileError("Datei " + path +
                         " kann nicht ge\xC3\xB6"
                         "ffnet werden: " +
                         errnoText());
    std::unique_ptr<int, void (*)(int*)> guard(&fd, [](int* f) { ::close(*f); });
    Lines out;
    std::string current;
    bool nachCr = false;
    auto block = std::make_unique_for_overwrite<char[]>(kPufferBytes);
    for (;;) {
        ssize_t r = ::read(fd, block.get(), kPufferBytes);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            throw EFileError("Lesen von " + path + " fehlgeschlagen: " + errnoText());
        if (r == 0)
            break;
        const char* p = block.get();
        const char* end = p + r;
        while (p < end) {
            if (nachCr) {
                nachCr = false;
                if (*p == '\n') {
                    ++p;
                    continue;
                }
            }
            const char* brk = std::find_if(p, end, [](char c) { return c == '\r' || c == '\n'; });
            current.append(p, brk);
            if (brk == end)
                break;
            out.push_back(std::move(current));
            current.clear();
            nachCr = *brk == '\r';
            p = brk + 1;
        }
    }
    if (!current.empty())
        out.push_back(std::move(current));
    return out;
}

// The info text goes to the temp file in blocks of lines, never held whole.
void TextInDatei(const LogDocument* doc, const std::string& path) {
    ZeilenDatei out(CreateFreshFile(path), path);
    if (doc) {
        constexpr std::int64_t kBlockZeilen = 4096;
        std::vector<LineSpan> spans(kBlockZeilen);
        std::string bytes;
        const std::int64_t count = doc->lineCount();
        for (std::int64_t first = 0; first < count; first += kBlockZeilen) {
            const std::int64_t n = std::min(kBlockZeilen, count - first);
            doc->lineSpans(first, n, spans.data());
            const std::uint64_t begin = spans[0].byteStart;
            const std::uint64_t end = spans[n - 1].byteStart + spans[n - 1].length;
            bytes.resize(static_cast<std::size_t>(end - begin));
            bytes.resize(doc->readBytes(begin, bytes.data(), bytes.size()));
            for (std::int64_t i = 0; i < n; ++i) {
                const LineSpan& s = spans[static_cast<std::size_t>(i)];
                const std::uint64_t off = s.byteStart - begin;
                // A file cut short under the view reads as shorter lines, as the view shows them.
                if (off >= bytes.size())
                    out.zeile({});
                else
                    out.zeile(std::string_view(bytes).substr(off, static_cast<std::size_t>(s.length)));
            }
        }
    }
    out.schliessen();
}

void ZeilenInDatei(const Lines& lines, const std::string& path) {
    ZeilenDatei out(CreateFreshFile(path), path);
    for (const auto& l : lines)
        out.zeile(l);
    out.schliessen();
}

// The transfer or menu text to split, and whether the live file may go afterwards.
struct Seitentext {
    Lines zeilen;
    std::optional<DateiStempel> stempel; // the live file as read; none: it may not be deleted
};

// The view's lines when they are the file's or a beginning of it (a log that grew since the
// view was loaded); then the file, so that what is deleted is what is archived. A view that
// shows something else is split as it is, and the live file stays.
bool istAnfangVon(const Lines& anfang, const Lines& ganz) {
    if (anfang.size() > ganz.size())
        return false;
    if (anfang.empty())
        return true;
    const std::size_t last = anfang.size() - 1;
    if (!std::equal(anfang.begin(), anfang.begin() + static_cast<std::ptrdiff_t>(last), ganz.begin()))
        return false;
    // The view may have been loaded while the writer was in the middle of its last line.
    return ganz[last].starts_with(anfang[last]);
}

Seitentext SeitenprotokollLesen(const std::string& path, const std::optional<Lines>& ansicht) {
    Seitentext t;
    std::optional<DateiStempel> vorher = StempelVon(path);
    if (!vorher) {
        // Nothing to delete; a view of a file gone meanwhile is still archived.
        if (ansicht)
            t.zeilen = *ansicht;
        return t;
    }
    Lines datei = LoadTextFile(path);
    const bool unveraendert = StempelVon(path) == vorher;
    if (ansicht && !istAnfangVon(*ansicht, datei)) {
        t.zeilen = *ansicht;
        return t;
    }
    t.zeilen = std::move(datei);
    if (unveraendert)
        t.stempel = vorher;
    return t;
}

// A live log is deleted only while it is the file that was read and no other program has it.
bool liveDateiLoeschen(const std::string& path, const std::optional<DateiStempel>& gelesen) {
    if (!gelesen || StempelVon(path) != gelesen || CheckFileInUse(path, false))
        return false;
    return Ensure_DeleteFile(path, false);
}

void NamenReservieren(std::string_view prefix, const std::string& dir, std::string& alt, std::string& neu) {
    GetNextFileNames(std::string(prefix), alt, neu, dir);
    if (alt.empty() || neu.empty())
        throw EInfemora("F\xC3\xBCr " + std::string(prefix) + " ist kein freier Archivname zu finden");
}

} // namespace

std::optional<DateiStempel> StempelVon(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    DateiStempel s;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    return s;
}

std::vector<DateiStempel> StempelVon(const std::vector<std::string>& paths) {
    std::vector<DateiStempel> out;
    for (const auto& p : paths)
        if (auto s = StempelVon(p))
            out.push_back(*s);
    return out;
}

void NeueDateiSchreiben(const std::string& path, const Lines& lines) {
    std::string tmpl = HiddenTempTemplate(path);
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        throw EFileError("Datei " + path + " kann nicht geschrieben werden: " + errnoText());
    bool verlinkt = false;
    try {
        ZeilenDatei out(fd, path);
        // mkstemp makes the file private; an archive gets the user's default permissions.
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
        for (const auto& l : lines)
            out.zeile(l);
        out.aufPlatte();
        out.schliessen();
        if (!RenameNoReplace(tmpl, path))
            throw EFileError("Datei " + path +
                             " kann nicht angelegt werden (vorhanden oder nicht beschreibbar)");
        verlinkt = true;
        FlushFileToDisk(path);
    } catch (...) {
        ::unlink(tmpl.c_str());
        if (verlinkt)
            ::unlink(path.c_str());
        throw;
    }
}

KuerzenErgebnis ZusammenfuehrenUndKuerzen(const KuerzenEingabe& in, IProgress& progress) {
    KuerzenErgebnis res;
    bool loeschenBegonnen = false;
    try {
        // The working list and the six parts live only for this run.
        Lines arbeit, infoAlt, infoNeu, tranAlt, tranNeu, menuAlt, menuNeu;
        const std::string logDir = IncludeTrailingPathDelimiter(in.logDir);
        const std::string temp = ConcatPathNames(in.staTemp, TemoKuerName);
        progress.Show(std::string(KuerzenCaption));
        RemoveLeftoverLogTemps(logDir);

        // What the listed info logs are now; a log that changes before it is deleted stays.
        std::vector<std::optional<DateiStempel>> infoStempel;
        for (const auto& f : in.infoDateien)
            infoStempel.push_back(f == KeineDateienGefunden ? std::nullopt : StempelVon(f));
        const std::optional<DateiStempel> infoQuelle =
            in.infoText ? StempelVon(in.infoText->path()) : std::optional<DateiStempel>();

        // All names are taken before anything is written, so no part can take another's name.
        NamenReservieren(AltInfoPrefix, logDir, res.infoAlt, res.infoNeu);
        NamenReservieren(AltTranPrefix, logDir, res.tranAlt, res.tranNeu);
        NamenReservieren(AltMenuPrefix, logDir, res.menuAlt, res.menuNeu);

        if (in.infoTextVollstaendig) {
            Ensure_DeleteFile(temp, false);
            TextInDatei(in.infoText, temp);
            arbeit = ZeilenEinlesen(temp);
            InfoAufteilen(arbeit, in.stichtag, infoAlt, infoNeu, progress);
        }

        Seitentext transfer = SeitenprotokollLesen(logDir + std::string(TransferLogName), in.transferAnsicht);
        ZeilenInDatei(transfer.zeilen, temp);
        Lines().swap(transfer.zeilen);
        arbeit = ZeilenEinlesen(temp);
        ZeilenAufteilen(
            arbeit, [&](std::string_view l) { return CheckTransferDatum(l, in.stichtag); }, tranAlt, tranNeu,
            progress);

        Seitentext menu = SeitenprotokollLesen(logDir + std::string(MenuLogName), in.menuAnsicht);
        ZeilenInDatei(menu.zeilen, temp);
        Lines().swap(menu.zeilen);
        arbeit = ZeilenEinlesen(temp);
        ZeilenAufteilen(
            arbeit, [&](std::string_view l) { return CheckMenuDatum(l, in.stichtag); }, menuAlt, menuNeu,
            progress);

        res.infoAltZeilen = static_cast<std::int64_t>(infoAlt.size());
        res.infoNeuZeilen = static_cast<std::int64_t>(infoNeu.size());
        res.tranAltZeilen = static_cast<std::int64_t>(tranAlt.size());
        res.tranNeuZeilen = static_cast<std::int64_t>(tranNeu.size());
        res.menuAltZeilen = static_cast<std::int64_t>(menuAlt.size());
        res.menuNeuZeilen = static_cast<std::int64_t>(menuNeu.size());

        // Every part is complete on disk before the first live log goes.
        const std::function<void(const std::string&, const Lines&)> schreiben =
            in.teilSchreiben ? in.teilSchreiben
                             : std::function<void(const std::string&, const Lines&)>(NeueDateiSchreiben);
        auto teil = [&](const std::string& name, Lines& lines) {
            if (lines.empty())
                return false;
            const std::string path = logDir + name;
            schreiben(path, lines);
            res.geschrieben.push_back(path);
            Lines().swap(lines);
            return true;
        };
        teil(res.infoAlt, infoAlt);
        const bool infoNeuDa = teil(res.infoNeu, infoNeu);
        teil(res.tranAlt, tranAlt);
        const bool tranNeuDa = teil(res.tranNeu, tranNeu);
        teil(res.menuAlt, menuAlt);
        const bool menuNeuDa = teil(res.menuNeu, menuNeu);

        loeschenBegonnen = true;
        for (std::size_t i = 0; i < in.infoDateien.size(); ++i) {
            const std::string& f = in.infoDateien[i];
            // The placeholder of an empty search names no file.
            if (f == KeineDateienGefunden || !FileExists(f))
                continue;
            bool frei = in.infoTextVollstaendig && infoStempel[i].has_value();
            if (frei && in.infoStempelVorher) {
                const auto& vorher = *in.infoStempelVorher;
                frei = std::find(vorher.begin(), vorher.end(), *infoStempel[i]) != vorher.end() ||
                       infoStempel[i] == infoQuelle;
            }
            if (frei && liveDateiLoeschen(f, infoStempel[i]))
                res.geloescht.push_back(f);
            else
                res.behalten.push_back(f);
        }
        const std::string infemora = logDir + std::string(InfemoraName);
        if (infoNeuDa && RenameNoReplace(logDir + res.infoNeu, infemora))
            res.umbenannt.push_back(infemora);

        auto seitenprotokoll = [&](std::string_view name, const Seitentext& t, const std::string& neu,
                                   bool neuDa) {
            const std::string live = logDir + std::string(name);
            if (!FileExists(live))
                return;
            if (!liveDateiLoeschen(live, t.stempel)) {
                res.behalten.push_back(live);
                return;
            }
            res.geloescht.push_back(live);
            if (neuDa && RenameNoReplace(logDir + neu, live))
                res.umbenannt.push_back(live);
        };
        seitenprotokoll(TransferLogName, transfer, res.tranNeu, tranNeuDa);
        seitenprotokoll(MenuLogName, menu, res.menuNeu, menuNeuDa);

        Ensure_DeleteFile(temp, false);
        res.success = true;
    } catch (...) {
        // Nothing was deleted yet: the parts written so far would only repeat what the live logs
        // still hold, and their numbers stay free for the next run.
        if (!loeschenBegonnen) {
            for (const auto& path : res.geschrieben)
                Ensure_DeleteFile(path, false);
            res.geschrieben.clear();
        }
        RegisterCurrentException("CheckTransferDatum");
        res.success = false;
    }
    progress.Close();
    return res;
}

} // namespace infemora
