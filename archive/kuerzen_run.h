#pragma once
// Merge and shorten: folds the live logs of the log directory into numbered archive files and
// keeps only the entries of the last days in the live logs.
//
// The info logs arrive as the merged text the view shows (in the window) or as the merge divided
// it while writing (without a window); the transfer and menu logs are read from their files (a
// view of them may be older than the file, and archiving it would repeat lines archived before).
// Each text is split into an old part (up to the first line or entry dated on or after the cutoff
// day), which goes to a new archive file, and a recent part, which replaces the live log.
//
// Every line stands in the log folder exactly once afterwards: a log is folded only when all of
// it can go (the info logs only all together), so a log that another program holds open or that
// changed after it was read is left whole and nothing of it is archived. Nothing is deleted
// before everything that replaces it is on disk, and no rename replaces a file.
#include "host/datetime.h"
#include "host/dir_lock.h"
#include "host/progress.h"
#include "host/textfile.h"
#include "merge/text_split.h"
#include "textview/line_cutter.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace infemora {

class LogDocument;

inline constexpr std::string_view AltTranPrefix = "ALT-TRAN";
inline constexpr std::string_view AltMenuPrefix = "ALT-MENU";
inline constexpr std::string_view TransferLogName = "TRANSFER.LOG";
inline constexpr std::string_view MenuLogName = "MENU.LOG";
// Caption of the progress window while shortening (UTF-8, as the progress interface takes it).
inline constexpr std::string_view KuerzenCaption = "Daten werden gek\xC3\xBCrzt ...";

// Today at 00:00 minus the days to keep; negative days put it into the future.
TDateTime KuerzStichtag(int kuerzTage);

// The line tests; true: the line still belongs to the old part.
// An entry start ("<<" at 6-7 followed by a "##" line) dated on or after the cutoff ends the old
// part; every other pair, also one whose date digits are no date, leaves it going on.
bool CheckInfoDatum(std::string_view line, std::string_view nextLine, TDateTime stichtag);
// Old when the first eight characters are no date YYYYMMDD or one before the cutoff.
bool CheckTransferDatum(std::string_view line, TDateTime stichtag);
// The text before the first "\xF8" as a locale short date (0 when it is none), before the cutoff.
bool CheckMenuDatum(std::string_view line, TDateTime stichtag);

// Splits the working list into old and recent lines, moving the lines out of it. Window
// messages run at every 250th line.
void InfoAufteilen(Lines& arbeit, TDateTime stichtag, Lines& alt, Lines& neu, IProgress& progress);
// Where the recent part of the merged info text begins, by the same rule as InfoAufteilen: the
// index of its first line, lineCount() when all of it is old. The text is read in blocks up to
// there only, never held whole.
std::int64_t InfoSchnitt(const LogDocument& text, TDateTime stichtag, IProgress& progress);
// The same cut found while the merged text is written, byte by byte in pieces of any size and
// with the line breaks of the view (CR LF, LF or CR): it names the offset of the recent part's
// first byte once the rule has decided it, which is when the line after the deciding pair begins
// (or the text ends). Holds only a few bytes of the last lines, whatever their length.
class InfoSchnittSuche final : public ITextSplit {
public:
    explicit InfoSchnittSuche(TDateTime stichtag) : stichtag_(stichtag) {}
    std::optional<std::uint64_t> Feed(const char* data, std::size_t size) override;
    std::optional<std::uint64_t> Finish() override;
    // After Finish: the index of the first recent line (all lines when none is recent) and the
    // number of lines of the text.
    std::int64_t schnittZeile() const { return schnitt_ ? schnittZeile_ : zeilen_; }
    std::int64_t zeilen() const { return zeilen_; }

private:
    friend class LineCutter<InfoSchnittSuche>;
    void content(const char* from, const char* to, std::uint64_t offset);
    void line(std::uint64_t start, std::uint64_t length, LineBreak lineBreak);

    // What the rule needs of a line: its start and first bytes, and where its content lies.
    struct Zeile {
        std::uint64_t start = 0;
        char kopf[16] = {};
        std::size_t kopfLaenge = 0;
        std::uint64_t erstesZeichen = 0, letztesZeichen = 0; // offsets of the first and last non-blank
        bool inhalt = false;                                 // a non-blank was seen
        std::string_view kopfText() const { return {kopf, kopfLaenge}; }
        std::uint64_t getrimmt() const { return inhalt ? letztesZeichen - erstesZeichen + 1 : 0; }
    };

    TDateTime stichtag_;
    LineCutter<InfoSchnittSuche> zeilenweise_{*this};
    Zeile aktuell_;                  // the line being read
    Zeile zeile1_, zeile2_, zeile3_; // the last three complete lines, the latest first
    std::int64_t zeilen_ = 0;        // complete lines so far
    std::optional<std::uint64_t> schnitt_;
    std::int64_t schnittZeile_ = 0;
};

void ZeilenAufteilen(Lines& arbeit, const std::function<bool(std::string_view)>& istAlt, Lines& alt,
                     Lines& neu, IProgress& progress);

// What a file was when it was read: a live log is deleted only while it is still exactly that.
struct DateiStempel {
    std::uint64_t device = 0, inode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const DateiStempel&) const = default;
};
std::optional<DateiStempel> StempelVon(const std::string& path);
std::vector<DateiStempel> StempelVon(const std::vector<std::string>& paths);

// The lines of one part to write: a list, or the lines [von, bis) of the merged text.
struct Teil {
    const Lines* zeilen = nullptr;
    const LogDocument* text = nullptr;
    std::int64_t von = 0, bis = 0;
    std::int64_t anzahl() const;
    // Each line in order, without its line end.
    void jedeZeile(const std::function<void(std::string_view)>& nimm) const;
};

struct KuerzenEingabe {
    TDateTime stichtag;
    // The merged info text; null stands for an empty one.
    const LogDocument* infoText = nullptr;
    // Instead of infoText: the merged text as the merge divided it while writing (see
    // InfoSchnittSuche), in two files of its own in the log folder, which become the old and the
    // recent part as they are, so that a large text is written once and never copied. The caller
    // removes what is left of them.
    struct GeteilterText {
        std::string altDatei, neuDatei; // neuDatei empty when no line is recent
        std::int64_t altZeilen = 0, neuZeilen = 0;
    };
    std::optional<GeteilterText> infoGeteilt;
    // False when the merge behind the info text failed: the info logs are then left alone, as
    // deleting them would lose what the text lacks.
    bool infoTextVollstaendig = true;
    // The info logs as found (real paths); the placeholder of an empty search may stand in it.
    std::vector<std::string> infoDateien;
    // The info logs as they were before the merge read them. When given, a log that differs from
    // all of them (a program wrote to it meanwhile) is kept; the file the info text was read
    // from is the exception, as it is that text.
    std::optional<std::vector<DateiStempel>> infoStempelVorher;
    std::string logDir; // where the live logs and the archives lie
    // Writes one archive or recent part as a new file, never replacing one; the default writes a
    // temp file beside it, flushes it and links it into place (the info parts of a divided text
    // are files already and only take their names). Tests put a failing one here.
    std::function<void(const std::string& path, const Teil& teil)> teilSchreiben;
};

struct KuerzenErgebnis {
    bool success = false;
    // Reserved names, old part and recent part, of ALT-INFO, ALT-TRAN and ALT-MENU.
    std::string infoAlt, infoNeu, tranAlt, tranNeu, menuAlt, menuNeu;
    std::int64_t infoAltZeilen = 0, infoNeuZeilen = 0, tranAltZeilen = 0, tranNeuZeilen = 0,
                 menuAltZeilen = 0, menuNeuZeilen = 0;
    std::vector<std::string> geschrieben; // full paths, in write order
    std::vector<std::string> geloescht;   // live logs deleted
    std::vector<std::string> behalten;    // live logs kept although listed (in use, changed, failed)
    std::vector<std::string> umbenannt;   // live names a recent part took
    // Why a log was left as it was (German, one sentence each); empty when all three were folded.
    std::vector<std::string> hinweise;
    // Another run held the log folder; the run did nothing.
    bool gesperrt = false;
    bool vollstaendig() const { return success && behalten.empty() && hinweise.empty(); }
};

// The log folder held for merge and shorten, waiting for another run a while (see DirLock).
// Empty when it could not be had; res then says why (hinweise) and whether another run held it.
std::vector<DirLock> KuerzenSperre(const std::string& logDir, IProgress& progress, KuerzenErgebnis& res);

// The run. It holds the log folder to itself (waiting for another run a while, see DirLock; a
// caller that holds it already keeps it). Failures are registered under "CheckTransferDatum";
// the result then says success = false and no live log was deleted. The progress window shows
// the shortening caption from the start and is closed on every path.
KuerzenErgebnis ZusammenfuehrenUndKuerzen(const KuerzenEingabe& eingabe, IProgress& progress);

// The whole action without a window, as the command line and the unattended start run it: with
// the folder held, every info log of it is merged (without consolidating: the shorten folds them
// itself), then the run above. A merge that failed leaves the info logs alone.
KuerzenErgebnis ProtokollverzeichnisKuerzen(const std::string& logDir, TDateTime stichtag,
                                            IProgress& progress);

// Writes the lines as a new file under path: temp file beside it, flushed, linked into place.
// EFileError when anything fails or path exists; nothing is left behind then.
void NeueDateiSchreiben(const std::string& path, const Teil& teil);
void NeueDateiSchreiben(const std::string& path, const Lines& lines);

} // namespace infemora
