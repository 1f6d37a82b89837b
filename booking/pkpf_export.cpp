#include "booking/pkpf_export.h"

#include "booking/buchungsprotokoll.h"

#include <algorithm>

namespace infemora {

namespace {

struct ExportSpalte {
    const char* titel;
    std::size_t breite;
    bool rechts;
};

// "%-15s; %-11s; %-10s; %-8s; %-7s; %11s; %10s; %18s; %-18s; %-17s; %-16s; %-15s; %-17s; %-17s;
//  %-72s; %-13s; %-17s; %-4s; %-5s; %-255s; "
constexpr ExportSpalte exportSpalten[PKPFExportFeldAnzahl] = {
    {"Protokollnummer", 15, false},
    {"Buch.-Datum", 11, false},
    {"Buch.-Zeit", 10, false},
    {"Programm", 8, false},
    {"Vorfall", 7, false},
    {"Satz-Anzahl", 11, true},
    {"Ges. L\xE4nge", 10, true},
    {"Verarb.-Prozess-Id", 18, true},
    {"Verarb.-Startdatum", 18, false},
    {"Verarb.-Startzeit", 17, false},
    {"Verarb.-Enddatum", 16, false},
    {"Verarb.-Endzeit", 15, false},
    {"Verarb.-Teriminal", 17, false},
    {"Buch.-Benutzer-Id", 17, false},
    {"Buch.-Benutzer-Name", 72, false},
    {"Buch.-Version", 13, false},
    {"Buch.-Vers.-Datum", 17, false},
    {"Satz", 4, false},
    {"WRDON", 5, false},
    {"Beschreibung", 255, false},
};

} // namespace

std::string_view PKPFExportText(std::string_view wert, std::string& puffer) {
    const auto steuerzeichen = [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F;
    };
    const bool formel =
        !wert.empty() && (wert[0] == '=' || wert[0] == '+' || wert[0] == '-' || wert[0] == '@');
    if (!formel && std::none_of(wert.begin(), wert.end(), steuerzeichen))
        return wert;
    puffer.clear();
    if (formel)
        puffer += '\'';
    for (const char c : wert)
        puffer += steuerzeichen(c) ? ' ' : c;
    return puffer;
}

const TPKPFExportFelder& PKPFExportTitel() {
    static const TPKPFExportFelder titel = [] {
        TPKPFExportFelder t;
        for (std::size_t i = 0; i < PKPFExportFeldAnzahl; ++i)
            t[i] = exportSpalten[i].titel;
        return t;
    }();
    return titel;
}

void PKPFExportZeileAnhaengen(std::string& ziel, const TPKPFExportWerte& felder) {
    for (std::size_t i = 0; i < PKPFExportFeldAnzahl; ++i) {
        const std::string_view wert = felder[i];
        const std::size_t fehlt =
            wert.size() < exportSpalten[i].breite ? exportSpalten[i].breite - wert.size() : 0;
        if (exportSpalten[i].rechts)
            ziel.append(fehlt, ' ');
        ziel += wert;
        if (!exportSpalten[i].rechts)
            ziel.append(fehlt, ' ');
        ziel += "; ";
    }
    ziel += "\r\n";
}

std::string PKPFExportZeile(const TPKPFExportFelder& felder) {
    TPKPFExportWerte werte;
    for (std::size_t i = 0; i < PKPFExportFeldAnzahl; ++i)
        werte[i] = felder[i];
    std::string zeile;
    zeile.reserve(600);
    PKPFExportZeileAnhaengen(zeile, werte);
    zeile.resize(zeile.size() - 2);
    return zeile;
}

void PKPFExportSatzAnhaengen(std::string& ziel, std::string_view kennung, std::string_view wrdon,
                             std::string_view beschreibung) {
    // The 17 empty columns before a record line's own three are the same on every record line.
    static const std::string leererKopf = [] {
        std::string zeile;
        PKPFExportZeileAnhaengen(zeile, TPKPFExportWerte{});
        std::size_t laenge = 0;
        for (std::size_t i = 0; i < 17; ++i)
            laenge += exportSpalten[i].breite + 2;
        zeile.resize(laenge);
        return zeile;
    }();
    ziel += leererKopf;
    thread_local std::string puffer[3];
    const std::string_view werte[3] = {PKPFExportText(kennung, puffer[0]), PKPFExportText(wrdon, puffer[1]),
                                       PKPFExportText(beschreibung, puffer[2])};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t breite = exportSpalten[17 + i].breite;
        ziel += werte[i];
        if (werte[i].size() < breite)
            ziel.append(breite - werte[i].size(), ' ');
        ziel += "; ";
    }
    ziel += "\r\n";
}

namespace {

// A number right-aligned in a field of the width, as "%9d" writes it.
std::string zahl(int breite, std::int32_t wert) {
    std::string text;
    AppendPaddedInt(text, wert, breite, ' ');
    return text;
}

} // namespace

void PKPFExportKopfAnhaengen(std::string& ziel, const TPKPFExportKopf& kopf) {
    const std::string texte[17] = {qvr_TIntPair2String_Ext(kopf.BuchungsNr, "-", true),
                                   DateToStr(kopf.BuchDatum),
                                   TimeToStr(kopf.BuchZeit),
                                   kopf.Programm,
                                   kopf.Vorfall,
                                   zahl(9, kopf.SatzAnzahl),
                                   zahl(9, kopf.GesLaenge),
                                   zahl(6, kopf.ProzessId),
                                   DateToStr(kopf.StartDatum),
                                   TimeToStr(kopf.StartZeit),
                                   DateToStr(kopf.EndeDatum),
                                   TimeToStr(kopf.EndeZeit),
                                   kopf.Terminal,
                                   qvr_TIntPair2String_Ext(kopf.BenutzerId, "-", true),
                                   kopf.BenutzerName,
                                   kopf.Version,
                                   DateToStr(kopf.VersionDatum)};
    TPKPFExportWerte werte{};
    for (std::size_t i = 0; i < 17; ++i)
        werte[i] = texte[i];
    // The texts the point-of-sale programs wrote; the rest is formatted here.
    std::string puffer[5];
    std::size_t p = 0;
    for (const std::size_t i : {3u, 4u, 12u, 14u, 15u})
        werte[i] = PKPFExportText(texte[i], puffer[p++]);
    PKPFExportZeileAnhaengen(ziel, werte);
}

// ---- the list of lines ----

namespace {
// Bookings handed over at a time, and how many such batches may wait: enough to keep the
// threads busy, little enough that memory stays flat however many bookings are exported.
constexpr std::size_t kBuchungenJeAbgabe = 64;
constexpr std::size_t kWartendeAbgaben = 8;
// Unpacking and formatting cost about twice what reading the booking file costs.
constexpr std::size_t kSchreiber = 2;
// A thread that is this many batches ahead of the file waits: memory stays bounded while a slow
// batch holds up the writing.
constexpr std::size_t kFertigVoraus = 4;
} // namespace

TPKPFExportZeilen::TPKPFExportZeilen(ReplacingFileWriter& datei) : datei_(datei) {
    sammlung_.reserve(kBuchungenJeAbgabe);
    try {
        for (std::size_t i = 0; i < kSchreiber; ++i)
            schreiber_.emplace_back([this] { schreiben(); });
    } catch (...) {
        anhalten();
        throw;
    }
}

TPKPFExportZeilen::~TPKPFExportZeilen() {
    anhalten();
}

void TPKPFExportZeilen::anhalten() noexcept {
    {
        std::lock_guard lock(mutex_);
        ende_ = true;
    }
    platzFrei_.notify_all();
    arbeit_.notify_all();
    geschriebenCv_.notify_all();
    for (std::thread& t : schreiber_)
        if (t.joinable())
            t.join();
}

void TPKPFExportZeilen::Anfuegen(const TPKPFExportWerte& felder) {
    Eintrag e;
    e.zeile.reserve(600);
    PKPFExportZeileAnhaengen(e.zeile, felder);
    aufnehmen(std::move(e));
}

void TPKPFExportZeilen::BuchungAnfuegen(TPKPFExportKopf kopf) {
    Eintrag e;
    e.kopf = std::move(kopf);
    aufnehmen(std::move(e));
}

void TPKPFExportZeilen::BuchungAnfuegen(TPKPFExportKopf kopf, std::string blob) {
    Eintrag e;
    e.kopf = std::move(kopf);
    e.blob = std::move(blob);
    e.mitSaetzen = true;
    aufnehmen(std::move(e));
}

void TPKPFExportZeilen::aufnehmen(Eintrag e) {
    sammlung_.push_back(std::move(e));
    ++anzahl_;
    if (sammlung_.size() >= kBuchungenJeAbgabe)
        abgeben();
}

void TPKPFExportZeilen::abgeben() {
    if (sammlung_.empty())
        return;
    std::unique_lock lock(mutex_);
    platzFrei_.wait(lock, [this] { return warteschlange_.size() < kWartendeAbgaben || fehler_ || ende_; });
    // After a failed write the rest is dropped; Abschliessen reports the failure.
    if (!fehler_)
        warteschlange_.push_back(Abgabe{abgegeben_++, std::move(sammlung_)});
    lock.unlock();
    arbeit_.notify_one();
    sammlung_ = {};
    sammlung_.reserve(kBuchungenJeAbgabe);
}

void TPKPFExportZeilen::schreiben() {
    std::string text;
    const TPKPFSatzFunktion satzAnhaengen = [&text](std::string_view kennung, std::string_view wrdon,
                                                    std::string_view beschreibung) {
        PKPFExportSatzAnhaengen(text, kennung, wrdon, beschreibung);
    };
    for (;;) {
        Abgabe abgabe;
        {
            std::unique_lock lock(mutex_);
            arbeit_.wait(lock, [this] { return !warteschlange_.empty() || ende_ || fehler_; });
            if (warteschlange_.empty() || fehler_)
                return;
            abgabe = std::move(warteschlange_.front());
            warteschlange_.pop_front();
        }
        platzFrei_.notify_one();
        try {
            text.clear();
            for (const Eintrag& e : abgabe.eintraege) {
                if (e.zeile.empty())
                    PKPFExportKopfAnhaengen(text, e.kopf);
                else
                    text += e.zeile;
                if (e.mitSaetzen)
                    PKPFSaetzeDurchgehen(e.blob, satzAnhaengen);
            }
            std::unique_lock lock(mutex_);
            // The batch due next is with the other thread (batches are taken in order), which
            // never waits here; so this wait always ends.
            geschriebenCv_.wait(lock, [&] { return abgabe.nr < geschrieben_ + kFertigVoraus || fehler_; });
            if (fehler_)
                return;
            fertig_.emplace(abgabe.nr, std::move(text));
            text = std::string();
            if (!frei_.empty()) {
                text = std::move(frei_.back());
                frei_.pop_back();
            }
            if (schreibend_)
                continue;
            schreibend_ = true;
            for (auto naechste = fertig_.find(geschrieben_); naechste != fertig_.end() && !fehler_;
                 naechste = fertig_.find(geschrieben_)) {
                std::string stueck = std::move(naechste->second);
                fertig_.erase(naechste);
                lock.unlock();
                datei_.Write(stueck);
                stueck.clear();
                lock.lock();
                ++geschrieben_;
                frei_.push_back(std::move(stueck));
                geschriebenCv_.notify_all();
            }
            schreibend_ = false;
        } catch (...) {
            std::lock_guard lock(mutex_);
            if (!fehler_)
                fehler_ = std::current_exception();
            warteschlange_.clear();
            fertig_.clear();
            schreibend_ = false;
            platzFrei_.notify_all();
            arbeit_.notify_all();
            geschriebenCv_.notify_all();
            return;
        }
    }
}

void TPKPFExportZeilen::Abschliessen() {
    abgeben();
    anhalten();
    if (fehler_)
        std::rethrow_exception(fehler_);
    if (geschrieben_ != abgegeben_)
        throw EFileError("Die Exportdatei ist unvollständig: " + std::to_string(abgegeben_ - geschrieben_) +
                         " Teile wurden nicht geschrieben.");
}

} // namespace infemora
