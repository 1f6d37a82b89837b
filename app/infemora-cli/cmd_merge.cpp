// infemora-cli merge: the chronological merge of the info logs, as the window runs it, with the
// text the window would show written to a file or to standard output.
#include "app/infemora-cli/commands.h"

#include "host/codec1252.h"
#include "host/datetime.h"
#include "host/directories.h"
#include "host/direxplorer.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/progress.h"
#include "host/unique_fd.h"
#include "merge/discovery.h"
#include "merge/merge_run.h"
#include "merge/selektion_rules.h"
#include "textview/entry_filter.h"
#include "textview/log_document.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace infemora::cli {

namespace {

struct MergeOptions {
    bool consolidate = false;
    std::string von, bis, output;
    bool vonGiven = false, bisGiven = false;
    std::vector<std::string> files;
    EintragsFilter grep; // --grep / --grep-not, as the window's entry filter
};

std::string trim(std::string_view text) {
    auto b = text.find_first_not_of(' ');
    if (b == std::string_view::npos)
        return {};
    auto e = text.find_last_not_of(' ');
    return std::string(text.substr(b, e - b + 1));
}

// "TT.MM.JJJJ" or "TT.MM.JJJJ HH:MM:SS": the date field and the time field of the dialog.
void splitDateTime(const std::string& text, std::string& date, std::string& time) {
    std::string t = trim(text);
    auto blank = t.find(' ');
    date = t.substr(0, blank);
    time = blank == std::string::npos ? std::string() : trim(t.substr(blank + 1));
}

// Checks the window; prints why it cannot be built. False: a usage error.
bool buildWindow(const MergeOptions& o, TDateTime& von, TDateTime& bis) {
    std::string vonDatum, vonZeit, bisDatum, bisZeit;
    splitDateTime(o.von, vonDatum, vonZeit);
    splitDateTime(o.bis, bisDatum, bisZeit);
    SelektionErgebnis g = SelektionPruefen({vonDatum, vonZeit, bisDatum, bisZeit});
    TDateTime probe;
    auto readable = [&](const std::string& text, bool isDate) {
        return text.empty() || (isDate ? TryStrToDate(text, probe) : TryStrToTime(text, probe));
    };
    if (g.ok) {
        von = g.von;
        bis = g.bis;
        return true;
    }
    switch (g.leeren) {
    case SelektionFeld::VonDatum:
        std::cerr << "infemora-cli: Ungültiges Datum bei --von: '" << vonDatum << "' (erwartet TT.MM.JJJJ)\n";
        return false;
    case SelektionFeld::VonZeit:
        std::cerr << "infemora-cli: Ungültige Uhrzeit bei --von: '" << vonZeit << "' (erwartet HH:MM:SS)\n";
        return false;
    default:
        if (!readable(bisDatum, true)) {
            std::cerr << "infemora-cli: Ungültiges Datum bei --bis: '" << bisDatum
                      << "' (erwartet TT.MM.JJJJ)\n";
            return false;
        }
        if (!readable(bisZeit, false)) {
            std::cerr << "infemora-cli: Ungültige Uhrzeit bei --bis: '" << bisZeit
                      << "' (erwartet HH:MM:SS)\n";
            return false;
        }
        std::cerr << "infemora-cli: Der Zeitraum ist nicht gültig: --von liegt nach --bis.\n";
        return false;
    }
    return false;
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Streams the open file in into fd; the text is never held whole. The kernel copies where it can.
bool copyInto(int in, int fd, std::string& error) {
    off_t offset = 0;
    for (;;) {
        ssize_t n = ::sendfile(fd, in, &offset, 1 << 30);
        if (n > 0)
            continue;
        if (n == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno == EINVAL || errno == ENOSYS)
            break; // this kind of output takes plain writes only
        error = std::strerror(errno);
        return false;
    }
    std::vector<char> block(1 << 20);
    for (;;) {
        ssize_t r = ::pread(in, block.data(), block.size(), offset);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            error = std::strerror(errno);
            return false;
        }
        if (r == 0)
            return true;
        if (!writeAll(fd, block.data(), static_cast<std::size_t>(r))) {
            error = std::strerror(errno);
            return false;
        }
        offset += r;
    }
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// A regular output file is replaced only once the new text is complete; devices and pipes
// (/dev/null) are written directly. source is the merge's own result, open.
bool writeOutput(int source, const std::string& output) {
    std::string error;
    if (output.empty()) {
        if (copyInto(source, STDOUT_FILENO, error))
            return true;
        std::cerr << "infemora-cli: Ausgabe fehlgeschlagen: " << error << std::endl;
        return false;
    }
    struct stat st {};
    bool exists = ::stat(output.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        int fd = ::open(output.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
        bool ok = fd >= 0 && copyInto(source, fd, error);
        if (fd < 0)
            error = std::strerror(errno);
        if (fd >= 0 && ::close(fd) != 0 && ok) {
            ok = false;
            error = std::strerror(errno);
        }
        if (!ok)
            std::cerr << "infemora-cli: Ausgabe nach " << output << " fehlgeschlagen: " << error << std::endl;
        return ok;
    }
    RemoveLeftoverTempsOf(output);
    std::string tmpl = HiddenTempTemplate(output);
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) {
        std::cerr << "infemora-cli: Ausgabe nach " << output << " fehlgeschlagen: " << std::strerror(errno)
                  << std::endl;
        return false;
    }
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, exists ? (st.st_mode & 07777) : (0666 & ~mask));
    bool ok = copyInto(source, fd, error);
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        error = std::strerror(errno);
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = std::strerror(errno);
    }
    if (ok && ::rename(tmpl.c_str(), output.c_str()) != 0) {
        ok = false;
        error = std::strerror(errno);
    }
    if (!ok) {
        ::unlink(tmpl.c_str());
        std::cerr << "infemora-cli: Ausgabe nach " << output << " fehlgeschlagen: " << error << std::endl;
    }
    return ok;
}

// An output that would overwrite what is merged, or land in the log folder under a name the next
// search takes for a log (merged twice next time, deleted by the next consolidation), is refused.
std::string ausgabeVerboten(const std::string& output, const std::vector<std::string>& inputs,
                            const std::string& logDir) {
    if (output.empty())
        return {};
    for (const auto& in : inputs)
        if (sameFile(output, in))
            return output + " ist eine der zusammengeführten Dateien";
    const std::string dir = ExtractFileDir(ExpandFileName(output));
    struct stat a {
    }, b{};
    if (::stat(dir.c_str(), &a) == 0 && ::stat(logDir.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
        a.st_ino == b.st_ino &&
        (MatchesMask(ExtractFileName(output), "inf*.*") ||
         MatchesMask(ExtractFileName(output), "transfer.log") ||
         MatchesMask(ExtractFileName(output), "menu.log")))
        return output + " läge im Protokollverzeichnis unter einem Namen, der als Protokoll gelesen wird";
    return {};
}

int runMerge(const MergeOptions& o) {
    MergeRunInput in;
    in.allowConsolidation = o.consolidate;
    in.consolidationRequired = o.consolidate;
    in.AFilter = o.vonGiven || o.bisGiven;
    if (in.AFilter && !buildWindow(o, in.FSelVon, in.FSelBis))
        return 2;
    std::size_t registeredBefore = Info().registered().size();
    std::string logDir;
    try {
        logDir = GetDirWwsByName("INFOPROT", "");
    } catch (...) {
        RegisterCurrentException("TfrmParallel.AlleDateien1Click");
        return 1;
    }
    // Without files the log folder is searched by the run itself, once no other run changes it.
    if (o.files.empty())
        in.discoverIn = logDir;
    else
        in.files = o.files;
    if (std::string why = ausgabeVerboten(o.output, in.files, logDir); !why.empty()) {
        std::cerr << "infemora-cli: Die Ausgabe wird nicht geschrieben: " << why << "." << std::endl;
        return 2;
    }
    if (o.consolidate && in.AFilter)
        std::cerr << "infemora-cli: Hinweis: Mit --von/--bis wird nicht archiviert; die Protokolle "
                     "bleiben, wie sie sind."
                  << std::endl;
    HinweiseAufStderr progress;
    MergeRunResult res = DateienSortieren(in, progress);
    for (const auto& u : res.skipped)
        Info().RegisterWarning("TfrmParallel.AlleDateien1Click", u);
    if (!res.success && res.lockBusy) {
        std::cerr << "infemora-cli: " << res.lockFailure << std::endl;
        return 1;
    }
    if (res.success && res.files.empty()) {
        std::cerr << "infemora-cli: " << KeineDateienGefunden << std::endl;
        // The view stays empty; so does the output.
        UniqueFd empty(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        return ExitCodeAfterRun(writeOutput(empty.get(), o.output));
    }
    // The entry filter gives the bytes the window's filtered view shows.
    std::unique_ptr<GefilterteKopie> gefiltert;
    if (res.success && res.viewText && !o.grep.empty()) {
        LogDocument text;
        text.openDescriptor(res.viewText->get(), res.viewFile);
        gefiltert = std::make_unique<GefilterteKopie>(text, EntryLayout::Info, o.grep);
    }
    bool ok = res.success && res.viewText &&
              writeOutput(gefiltert ? gefiltert->fd() : res.viewText->get(), o.output);
    if (res.success && !res.deleted.empty())
        std::cerr << "infemora-cli: " << res.archiveParts.size() << " Archivteil(e) angelegt, "
                  << res.deleted.size() << " Protokolldatei(en) gelöscht; Ergebnis in " << res.viewFile
                  << std::endl;
    if (res.success && o.consolidate && !res.notConsolidated.empty()) {
        std::cerr << "infemora-cli: Nicht archiviert: " << res.notConsolidated
                  << ". Die Protokolle bleiben, wie sie sind; die Ausgabe ist vollständig." << std::endl;
        ok = false;
    }
    return ExitCodeAfterRun(ok && Info().registered().size() == registeredBefore);
}

} // namespace

void AddMergeCommand(CLI::App& app, Action& action) {
    auto opts = std::make_shared<MergeOptions>();
    auto* cmd =
        app.add_subcommand("merge", "Infoprotokolle zeitlich geordnet zusammenführen und den Text ausgeben");
    cmd->add_flag(
        "--consolidate", opts->consolidate,
        "Große Ergebnisse wie im Fenster in Archivteile und INFEMORA.000 aufteilen und die Quellen löschen");
    auto* von =
        cmd->add_option("--von", opts->von, "Beginn des Zeitraums: TT.MM.JJJJ oder \"TT.MM.JJJJ HH:MM:SS\"");
    auto* bis =
        cmd->add_option("--bis", opts->bis, "Ende des Zeitraums: TT.MM.JJJJ oder \"TT.MM.JJJJ HH:MM:SS\"");
    cmd->add_option("--output", opts->output, "Ausgabedatei (ohne: Standardausgabe)");
    AddGrepOptions(cmd, opts->grep);
    cmd->add_option(
        "FILE", opts->files,
        "Infoprotokolle in dieser Reihenfolge (ohne: alle aktuellen des Protokollverzeichnisses)");
    cmd->callback([&action, opts, von, bis] {
        opts->vonGiven = von->count() > 0;
        opts->bisGiven = bis->count() > 0;
        action = [opts] { return runMerge(*opts); };
    });
}

} // namespace infemora::cli
