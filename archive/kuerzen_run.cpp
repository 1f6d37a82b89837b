// The run of merge and shorten: reserve the archive names, split the three texts, write every
// part, and only then delete and rename the live logs.
#include "archive/kuerzen_run.h"

#include "host/dir_lock.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/unique_fd.h"
#include "merge/discovery.h"
#include "merge/infoprot_layout.h"
#include "merge/merge_run.h"
#include "textview/line_scanner.h"
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

// The transfer or menu log to split, and whether it may go afterwards.
struct Seitentext {
    Lines zeilen;
    std::optional<DateiStempel> stempel; // the live file as read; none: there is none to replace
    std::string hinweis;                 // why the log stays as it is
};

Seitentext SeitenprotokollLesen(const std::string& path) {
    Seitentext t;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return t;
    if (!S_ISREG(st.st_mode)) {
        t.hinweis = path + " ist keine gew\xC3\xB6hnliche Datei und bleibt, wie es ist.";
        return t;
    }
    if (CheckFileInUse(path, false)) {
        t.hinweis = path + " wird von einem anderen Programm benutzt und bleibt, wie es ist.";
        return t;
    }
    std::optional<DateiStempel> vorher = StempelVon(path);
    // The bytes as they are: whatever the file holds is archived and kept unchanged.
    Lines datei = SplitLines(ReadFileBytes(path));
    if (!vorher || StempelVon(path) != vorher) {
        t.hinweis = path + " wurde w\xC3\xA4hrend des Lesens ge\xC3\xA4ndert und bleibt, wie es ist.";
        return t;
    }
    t.zeilen = std::move(datei);
    t.stempel = vorher;
    return t;
}

// A live log is deleted only while it is the file that was read and no other program has it.
bool liveDateiLoeschen(const std::string& path, const std::optional<DateiStempel>& gelesen) {
    if (!gelesen || StempelVon(path) != gelesen || CheckFileInUse(path, false))
        return false;
    return Ensure_DeleteFile(path, false);
}

// The recent info part takes the name INFEMORA.000, which no other program writes. Where the
// folder allows no second link to a file (the usual way, which never replaces anything), it is
// renamed while the name is still free: the folder is this run's, so nobody else takes it.
bool infemoraEinsetzen(const std::string& teil, const std::string& infemora) {
    if (RenameNoReplace(teil, infemora))
        return true;
    struct stat st {};
    return ::lstat(infemora.c_str(), &st) != 0 && errno == ENOENT && RenameReplacing(teil, infemora);
}

void NamenReservieren(std::string_view prefix, const std::string& dir, std::string& alt, std::string& neu) {
    GetNextFileNames(std::string(prefix), alt, neu, dir);
    if (alt.empty() || neu.empty())
        throw EInfemora("F\xC3\xBCr " + std::string(prefix) + " ist kein freier Archivname zu finden");
}

} // namespace

std::optional<DateiStempel> StempelVon(const std::string& path) {
    struct stat st {};
    // A link is no log of its own: it has no stamp, and so it is never deleted.
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
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

std::int64_t Teil::anzahl() const {
    return zeilen ? static_cast<std::int64_t>(zeilen->size()) : text ? bis - von : 0;
}

void Teil::jedeZeile(const std::function<void(std::string_view)>& nimm) const {
    if (zeilen) {
        for (const auto& l : *zeilen)
            nimm(l);
        return;
    }
    if (!text || bis <= von)
        return;
    LineScanner scan(*text, von, bis);
    std::int64_t line = 0;
    std::string_view bytes;
    std::int64_t gelesen = 0;
    while (scan.next(line, bytes)) {
        // A text cut short under the run would archive shorter lines than it showed.
        if (static_cast<std::int64_t>(bytes.size()) != text->lineLength(line))
            throw EFileError("Der zusammengef\xC3\xBChrte Text " + text->path() +
                             " ist k\xC3\xBCrzer geworden");
        nimm(bytes);
        ++gelesen;
    }
    if (gelesen != bis - von)
        throw EFileError("Der zusammengef\xC3\xBChrte Text " + text->path() + " ist k\xC3\xBCrzer geworden");
}

void NeueDateiSchreiben(const std::string& path, const Lines& lines) {
    NeueDateiSchreiben(path, Teil{&lines});
}

void NeueDateiSchreiben(const std::string& path, const Teil& teil) {
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
        teil.jedeZeile([&](std::string_view l) { out.zeile(l); });
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

namespace {

// Gives a file the merge wrote in the log folder an archive's name, flushed and without replacing
// anything.
void TextEinsetzen(const std::string& datei, const std::string& path) {
    UniqueFd fd(::open(datei.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd || !SyncDescriptor(fd.get(), path) || !CloseDescriptor(fd.release(), path))
        throw EFileError("Datei " + path + " kann nicht geschrieben werden: " + errnoText());
    if (!RenameNoReplace(datei, path))
        throw EFileError("Datei " + path + " kann nicht angelegt werden (vorhanden oder nicht beschreibbar)");
    try {
        FlushFileToDisk(path);
    } catch (...) {
        // Not known to be on disk whole: no archive, the logs stay as they are.
        ::unlink(path.c_str());
        throw;
    }
}

// Whether the info logs may be folded: all of them or none, so that no line ends up both in an
// archive and in a log that stays. Empty: they may; otherwise why not.
std::string infoHindernis(const KuerzenEingabe& in, const std::string& logDir,
                          const std::vector<std::optional<DateiStempel>>& infoStempel,
                          const std::optional<DateiStempel>& infoQuelle) {
    if (!in.infoTextVollstaendig)
        return "Die Infoprotokolle konnten nicht vollst\xC3\xA4ndig zusammengef\xC3\xBChrt werden; sie "
               "bleiben, "
               "wie sie sind.";
    bool infemoraGelistet = false;
    const std::string infemora = logDir + std::string(InfemoraName);
    for (std::size_t i = 0; i < in.infoDateien.size(); ++i) {
        const std::string& f = in.infoDateien[i];
        if (f == KeineDateienGefunden)
            continue;
        if (!infoStempel[i])
            return f + " ist keine gew\xC3\xB6hnliche Datei; die Infoprotokolle bleiben, wie sie sind.";
        if (CheckFileInUse(f, false))
            return f + " wird von einem anderen Programm benutzt; die Infoprotokolle bleiben, wie sie sind.";
        if (in.infoStempelVorher) {
            const auto& vorher = *in.infoStempelVorher;
            if (std::find(vorher.begin(), vorher.end(), *infoStempel[i]) == vorher.end() &&
                infoStempel[i] != infoQuelle)
                return f +
                       " wurde seit dem Zusammenf\xC3\xBChren ge\xC3\xA4ndert; die Infoprotokolle bleiben, "
                       "wie sie sind.";
        }
        if (StempelVon(infemora) == infoStempel[i])
            infemoraGelistet = true;
    }
    if (!infemoraGelistet && ::access(infemora.c_str(), F_OK) == 0)
        return infemora +
               " ist nicht unter den zusammengef\xC3\xBChrten Dateien; die Infoprotokolle bleiben, "
               "wie sie sind.";
    return {};
}

} // namespace

std::vector<DirLock> KuerzenSperre(const std::string& logDir, IProgress& progress, KuerzenErgebnis& res) {
    std::string warum;
    bool besetzt = false;
    std::vector<DirLock> sperre =
        LockFolders({logDir}, LockKind::Exclusive, LockWaitTime(), progress, warum, besetzt);
    if (sperre.empty()) {
        res.gesperrt = besetzt;
        res.hinweise.push_back(warum);
    }
    return sperre;
}

KuerzenErgebnis ZusammenfuehrenUndKuerzen(const KuerzenEingabe& in, IProgress& progress) {
    KuerzenErgebnis res;
    bool loeschenBegonnen = false;
    try {
        // The working list and the six parts live only for this run.
        Lines tranAlt, tranNeu, menuAlt, menuNeu;
        // The info text is split where its recent part begins; it is never held whole.
        Teil infoAlt, infoNeu;
        const std::string logDir = IncludeTrailingPathDelimiter(in.logDir);
        progress.Show(std::string(KuerzenCaption));

        // The folder is this run's until it ends; a caller holding it already keeps it.
        std::vector<DirLock> sperre = KuerzenSperre(in.logDir, progress, res);
        if (sperre.empty())
            throw EInfemora(res.hinweise.back());
        RemoveLeftoverLogTemps(logDir);

        // What the listed info logs are now; a log that changes before it is deleted stays.
        std::vector<std::optional<DateiStempel>> infoStempel;
        for (const auto& f : in.infoDateien)
            infoStempel.push_back(f == KeineDateienGefunden ? std::nullopt : StempelVon(f));
        const std::optional<DateiStempel> infoQuelle =
            in.infoText ? StempelVon(in.infoText->path()) : std::optional<DateiStempel>();
        const std::string infoGrund = infoHindernis(in, logDir, infoStempel, infoQuelle);
        const bool infoFalten = infoGrund.empty();
        if (!infoFalten)
            res.hinweise.push_back(infoGrund);

        // All names are taken before anything is written, so no part can take another's name.
        NamenReservieren(AltInfoPrefix, logDir, res.infoAlt, res.infoNeu);
        NamenReservieren(AltTranPrefix, logDir, res.tranAlt, res.tranNeu);
        NamenReservieren(AltMenuPrefix, logDir, res.menuAlt, res.menuNeu);

        const KuerzenEingabe::GeteilterText* geteilt =
            infoFalten && in.infoGeteilt ? &*in.infoGeteilt : nullptr;
        if (infoFalten && in.infoText && !geteilt) {
            const std::int64_t schnitt = InfoSchnitt(*in.infoText, in.stichtag, progress);
            infoAlt = Teil{nullptr, in.infoText, 0, schnitt};
            infoNeu = Teil{nullptr, in.infoText, schnitt, in.infoText->lineCount()};
        }

        // The programs that write the two logs do not agree on the letter case of their names.
        auto liveName = [&](std::string_view name) {
            const std::string found = FindFileIgnoringCase(logDir, std::string(name));
            return found.empty() ? logDir + std::string(name) : found;
        };
        const std::string transferLive = liveName(TransferLogName), menuLive = liveName(MenuLogName);
        Seitentext transfer = SeitenprotokollLesen(transferLive);
        ZeilenAufteilen(
            transfer.zeilen, [&](std::string_view l) { return CheckTransferDatum(l, in.stichtag); }, tranAlt,
            tranNeu, progress);
        Seitentext menu = SeitenprotokollLesen(menuLive);
        ZeilenAufteilen(
            menu.zeilen, [&](std::string_view l) { return CheckMenuDatum(l, in.stichtag); }, menuAlt, menuNeu,
            progress);
        for (const Seitentext* t : {&transfer, &menu})
            if (!t->hinweis.empty())
                res.hinweise.push_back(t->hinweis);

        res.infoAltZeilen = geteilt ? geteilt->altZeilen : infoAlt.anzahl();
        res.infoNeuZeilen = geteilt ? geteilt->neuZeilen : infoNeu.anzahl();
        res.tranAltZeilen = static_cast<std::int64_t>(tranAlt.size());
        res.tranNeuZeilen = static_cast<std::int64_t>(tranNeu.size());
        res.menuAltZeilen = static_cast<std::int64_t>(menuAlt.size());
        res.menuNeuZeilen = static_cast<std::int64_t>(menuNeu.size());

        // Every part is complete on disk before the first live log goes.
        const std::function<void(const std::string&, const Teil&)> schreiben =
            in.teilSchreiben
                ? in.teilSchreiben
                : std::function<void(const std::string&, const Teil&)>(
                      static_cast<void (*)(const std::string&, const Teil&)>(NeueDateiSchreiben));
        auto teil = [&](const std::string& name, const Teil& t) {
            if (t.anzahl() == 0)
                return false;
            const std::string path = logDir + name;
            schreiben(path, t);
            res.geschrieben.push_back(path);
            return true;
        };
        bool infoNeuDa = false;
        if (geteilt) {
            auto einsetzen = [&](const std::string& datei, std::int64_t zeilen, const std::string& name) {
                if (zeilen == 0)
                    return false;
                const std::string path = logDir + name;
                TextEinsetzen(datei, path);
                res.geschrieben.push_back(path);
                return true;
            };
            einsetzen(geteilt->altDatei, geteilt->altZeilen, res.infoAlt);
            infoNeuDa = einsetzen(geteilt->neuDatei, geteilt->neuZeilen, res.infoNeu);
        } else {
            teil(res.infoAlt, infoAlt);
            infoNeuDa = teil(res.infoNeu, infoNeu);
        }
        teil(res.tranAlt, Teil{&tranAlt});
        const bool tranNeuDa = teil(res.tranNeu, Teil{&tranNeu});
        teil(res.menuAlt, Teil{&menuAlt});
        const bool menuNeuDa = teil(res.menuNeu, Teil{&menuNeu});

        loeschenBegonnen = true;
        for (std::size_t i = 0; i < in.infoDateien.size(); ++i) {
            const std::string& f = in.infoDateien[i];
            // The placeholder of an empty search names no file.
            if (f == KeineDateienGefunden || !FileExists(f))
                continue;
            if (infoFalten && liveDateiLoeschen(f, infoStempel[i]))
                res.geloescht.push_back(f);
            else
                res.behalten.push_back(f);
        }
        const std::string infemora = logDir + std::string(InfemoraName);
        if (infoNeuDa && infemoraEinsetzen(logDir + res.infoNeu, infemora))
            res.umbenannt.push_back(infemora);

        auto seitenprotokoll = [&](const std::string& live, const Seitentext& t, const std::string& neu,
                                   bool neuDa) {
            if (!t.stempel) {
                if (!t.hinweis.empty())
                    res.behalten.push_back(live);
                return;
            }
            if (!liveDateiLoeschen(live, t.stempel)) {
                res.behalten.push_back(live);
                return;
            }
            res.geloescht.push_back(live);
            if (neuDa && RenameNoReplace(logDir + neu, live))
                res.umbenannt.push_back(live);
        };
        seitenprotokoll(transferLive, transfer, res.tranNeu, tranNeuDa);
        seitenprotokoll(menuLive, menu, res.menuNeu, menuNeuDa);
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

KuerzenErgebnis ProtokollverzeichnisKuerzen(const std::string& logDir, TDateTime stichtag,
                                            IProgress& progress) {
    KuerzenErgebnis res;
    std::vector<DirLock> sperre = KuerzenSperre(logDir, progress, res);
    if (sperre.empty())
        return res;
    KuerzenEingabe in;
    in.stichtag = stichtag;
    in.logDir = logDir;
    KuerzenEingabe::GeteilterText geteilt;
    const std::size_t registriertVorher = Info().registered().size();
    try {
        std::vector<std::string> uebersprungen;
        in.infoDateien = AlleInfoDateien(logDir, &uebersprungen);
        in.infoStempelVorher = StempelVon(in.infoDateien);
        for (const auto& u : uebersprungen)
            Info().RegisterWarning("TfrmParallel.AlleDateien1Click", u);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.AlleDateien1Click");
        in.infoTextVollstaendig = false;
    }
    if (in.infoDateien.empty()) {
        in.infoDateien.push_back(std::string(KeineDateienGefunden));
    } else if (in.infoTextVollstaendig) {
        MergeRunInput merge;
        merge.files = in.infoDateien;
        merge.allowConsolidation = false;
        merge.logDir = logDir;
        // The merged text is divided where its recent part begins while it is written, into two
        // files in the log folder that become the two parts as they are.
        merge.tempPath = IncludeTrailingPathDelimiter(logDir) + "TEMOKUER.TXT";
        InfoSchnittSuche schnitt(stichtag);
        merge.split = &schnitt;
        MergeRunResult m = DateienSortieren(merge, progress);
        geteilt.altDatei = m.ownFile;
        geteilt.neuDatei = m.ownSplitFile;
        in.infoTextVollstaendig = m.success && Info().registered().size() == registriertVorher;
        if (in.infoTextVollstaendig) {
            in.infoDateien = m.files;
            geteilt.altZeilen = schnitt.schnittZeile();
            geteilt.neuZeilen = schnitt.zeilen() - geteilt.altZeilen;
            in.infoGeteilt = geteilt;
            // The logs have been read and are deleted once the parts are in place: the memory
            // that holds their text serves what is written next.
            for (const auto& datei : in.infoDateien)
                DropCachedText(datei);
        }
    }
    res = ZusammenfuehrenUndKuerzen(in, progress);
    for (const std::string* datei : {&geteilt.altDatei, &geteilt.neuDatei})
        if (!datei->empty())
            Ensure_DeleteFile(*datei, false);
    // As the window shows what is left afterwards, TEMOSORT.TXT holds it too.
    if (res.success) {
        try {
            MergeRunInput danach;
            danach.files = AlleInfoDateien(logDir);
            danach.allowConsolidation = false;
            danach.logDir = logDir;
            if (!danach.files.empty())
                DateienSortieren(danach, progress);
        } catch (...) {
            RegisterCurrentException("TfrmParallel.AlleDateien1Click");
        }
    }
    return res;
}

} // namespace infemora
