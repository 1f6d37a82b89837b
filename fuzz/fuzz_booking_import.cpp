// Bookings as JSON lines. Every line either becomes a booking or is refused with the import's
// own error, and a booking written back as a line reads as the same booking. The import of the
// whole text is all or nothing: it either stores every booking, which the viewer's key read
// then finds with every field and record line as imported, or it stores nothing and leaves no
// database behind.
#include "booking/buchungsprotokoll.h"
#include "booking/pkpf_file.h"
#include "booking/pkpf_import.h"
#include "fuzz_support.h"
#include "host/messages.h"
#include "host/textfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

using namespace infemora;
using infemora::fuzz::Site;

namespace {

[[noreturn]] void Fehler(const std::string& was) {
    std::fprintf(stderr, "fuzz_booking_import: %s\n", was.c_str());
    std::abort();
}

bool Gleich(const TPKPF_Buchung& a, const TPKPF_Buchung& b) {
    return a.BuchungsNr == b.BuchungsNr && a.BuchDatum == b.BuchDatum && a.BuchZeit == b.BuchZeit &&
           a.Programm == b.Programm && a.Vorfall == b.Vorfall && a.SatzAnzahl == b.SatzAnzahl &&
           a.GesLaenge == b.GesLaenge && a.ProzessId == b.ProzessId && a.StartDatum == b.StartDatum &&
           a.StartZeit == b.StartZeit && a.EndeDatum == b.EndeDatum && a.EndeZeit == b.EndeZeit &&
           a.Terminal == b.Terminal && a.BenutzerId == b.BenutzerId && a.BenutzerName == b.BenutzerName &&
           a.Version == b.Version && a.VersionDatum == b.VersionDatum && a.Saetze == b.Saetze &&
           a.Blob == b.Blob;
}

// The booking as the viewer reads it from the file.
void WieGelesen(const TPKPF_Buchung& b) {
    Tpkpffile f;
    f.OpenNew(OpenNurLesen);
    f.ExtendedFilterClear();
    f.SelectKey(KeyBuchungsNr);
    f.BuchungsNr.SetKeyWert(b.BuchungsNr);
    f.Get_equal();
    if (!f.Found())
        Fehler("imported booking not found");
    if (f.BuchungsNr.GetWert() != b.BuchungsNr || f.BuchDatum.GetWert() != b.BuchDatum ||
        f.BuchZeit.GetWert() != b.BuchZeit || f.Programm.GetWert() != b.Programm ||
        f.Vorfall.GetWert() != b.Vorfall || f.SatzAnzahl.GetWert() != b.SatzAnzahl ||
        f.GesLaenge.GetWert() != b.GesLaenge || f.ProzessId.GetWert() != b.ProzessId ||
        f.StartDatum.GetWert() != b.StartDatum || f.StartZeit.GetWert() != b.StartZeit ||
        f.EndeDatum.GetWert() != b.EndeDatum || f.EndeZeit.GetWert() != b.EndeZeit ||
        f.Terminal.GetWert() != b.Terminal || f.BenutzerId.GetWert() != b.BenutzerId ||
        f.BenutzerName.GetWert() != b.BenutzerName || f.Version.GetWert() != b.Version ||
        f.VersionDatum.GetWert() != b.VersionDatum)
        Fehler("imported booking reads back with other header fields");
    if (b.Blob) {
        if (f.CreateBlobStream()->Bytes() != *b.Blob)
            Fehler("imported blob reads back with other bytes");
    } else {
        TPKPF_Blob_Arr saetze;
        PKPFBlobAuslesen(saetze, f);
        if (saetze != b.Saetze)
            Fehler("imported record lines read back otherwise");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Site& site = Site::Get();
    Site::ForgetFailures();
    std::string text(reinterpret_cast<const char*>(data), size);

    // Line by line, as the import checks them before it touches the database.
    std::string_view ohneBom = text;
    if (ohneBom.starts_with("\xEF\xBB\xBF"))
        ohneBom.remove_prefix(3);
    std::vector<TPKPF_Buchung> buchungen;
    bool alleGut = true;
    for (const std::string& line : SplitLines(ohneBom)) {
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        try {
            TPKPF_Buchung b = PkpfBuchungAusJson(line);
            const std::string wieder = PkpfBuchungAlsJson(b);
            if (!Gleich(PkpfBuchungAusJson(wieder), b))
                Fehler("booking written as a line reads back otherwise: " + wieder);
            buchungen.push_back(std::move(b));
        } catch (const EPkpfError&) {
            alleGut = false;
        } catch (const std::exception& e) {
            Fehler(std::string("line refused with a foreign error: ") + e.what());
        }
    }
    std::set<TIntPair> nummern;
    for (const auto& b : buchungen)
        alleGut = nummern.insert(b.BuchungsNr).second && alleGut;

    const std::string jsonl = site.root() + "/import.jsonl";
    const std::string db = GetSettings().buchungsDatei;
    fuzz::WriteFile(jsonl, text);
    std::error_code ec;
    std::filesystem::remove(db, ec);
    bool importiert = false;
    try {
        if (PkpfJsonlImportieren(jsonl, db) != buchungen.size())
            Fehler("import counts otherwise");
        importiert = true;
    } catch (const EPkpfError&) {
    } catch (const std::exception& e) {
        Fehler(std::string("import failed with a foreign error: ") + e.what());
    }
    if (importiert != alleGut)
        Fehler(alleGut ? "good lines not imported" : "bad lines imported");
    if (!importiert && (std::filesystem::exists(db, ec) || std::filesystem::exists(db + "-journal", ec)))
        Fehler("failed import left a database behind");
    if (importiert)
        for (const auto& b : buchungen)
            WieGelesen(b);
    if (!Info().registered().empty())
        Fehler("failure registered: " + Info().registered().front().context);
    std::filesystem::remove(db, ec);
    return 0;
}
