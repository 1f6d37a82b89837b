#include "booking/buchungsprotokoll.h"

#include "host/datetime.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/inifile.h"
#include "host/messages.h"
#include "host/program.h"

#include <utility>

namespace infemora {

// ---- record model ----

void PKPFSaetzeDurchgehen(std::string_view blob, const TPKPFSatzFunktion& satz) {
    // The unpacked text and its values stay with the thread: an export reads thousands of blobs.
    thread_local std::string bytes;
    thread_local std::vector<std::string_view> werte;
    TPKPF_Blob_Arr saetze;
    bool direkt = false;
    try {
        UnzipBytesInto(bytes, blob);
        // Without a byte order mark the bytes are already the ANSI text the INI reader takes.
        const bool mitBom = bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") ||
                            bytes.starts_with("\xFE\xFF");
        static const std::vector<std::string_view> schluessel = {"Kennung", "WRDON", "Beschreibung"};
        direkt = !mitBom && TQVRMemIniFile::ReadSectionValuesDirect(bytes, schluessel, werte);
        if (!direkt) {
            // Only text that cannot be read as text is damaged. Lines that are neither a section,
            // a comment nor key=value hold no key and are passed over, as an INI reader does; text
            // without any section holds no record line.
            if (!mitBom && bytes.find('\0') != std::string::npos)
                throw EPkpfError("Die Satzdaten der Buchung sind kein Text.");
            const TQVRMemIniFile ini = TQVRMemIniFile::FromText(
                mitBom ? JoinLinesCrLf(DecodeTextBytes(bytes)) : bytes, TIniAbschnitte::Einzeln);
            for (std::size_t i = 0; i < ini.SectionCount(); ++i)
                saetze.push_back(TPKPF_Blob_Rec{ini.ReadStringAt(i, "Kennung", ""),
                                                ini.ReadStringAt(i, "WRDON", ""),
                                                ini.ReadStringAt(i, "Beschreibung", "")});
        }
    } catch (...) {
        // A damaged booking is shown as such; it is no failure of the viewer.
        satz("defekt", "", "");
        return;
    }
    if (direkt) {
        for (std::size_t i = 0; i + 2 < werte.size(); i += 3)
            satz(werte[i], werte[i + 1], werte[i + 2]);
    } else {
        for (const TPKPF_Blob_Rec& s : saetze)
            satz(s.Kennung, s.WRDON, s.Beschreibung);
    }
    // A rare huge blob must not stay with the thread.
    if (bytes.capacity() > (1u << 20)) {
        bytes = std::string();
        werte = std::vector<std::string_view>();
    }
}

void PKPFSaetzeAusBlob(TPKPF_Blob_Arr& saetze, std::string_view blob) {
    Clear_PKPF_Blob_Arr(saetze);
    PKPFSaetzeDurchgehen(blob, [&saetze](std::string_view kennung, std::string_view wrdon,
                                         std::string_view beschreibung) {
        saetze.push_back(TPKPF_Blob_Rec{std::string(kennung), std::string(wrdon), std::string(beschreibung)});
    });
}

void PKPFBlobAuslesen(TPKPF_Blob_Arr& saetze, TVKT_DBFile& datei) {
    try {
        Clear_PKPF_Blob_Arr(saetze);
        const std::unique_ptr<TMemoryStream> blob = datei.CreateBlobStream();
        PKPFSaetzeAusBlob(saetze, blob->Rest());
    } catch (...) {
        RegisterCurrentException("PKPFBlobAuslesen");
    }
}

TIntPair StringToIntPair(const std::string& text, char trenner) {
    try {
        TIntPair paar = CLeeresIntPair;
        const size_t pos = text.find(trenner);
        const std::string vorn = pos == std::string::npos ? std::string() : text.substr(0, pos);
        const std::string hinten = pos == std::string::npos ? text : text.substr(pos + 1);
        paar.R = StrToIntDef(vorn, 0);
        paar.L = StrToIntDef(hinten, 0);
        return paar;
    } catch (...) {
        RegisterCurrentException("TfrmParallel.StringToIntPair");
        return CLeeresIntPair;
    }
}

std::string FormatDatumUZeit(TDateTime datum, TDateTime zeit) {
    try {
        return DateToStr(datum) + ", " + TimeToStr(zeit);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.FormatDatumUZeit");
        return {};
    }
}

// ---- search ----

TPKPFSuchErgebnis BuchungSuchen(std::int32_t rNr, std::int32_t lNr, std::size_t anzahl,
                                const std::function<const std::string&(std::size_t)>& textAt) {
    TPKPFSuchErgebnis ergebnis;
    if (rNr == 0 || lNr == 0)
        return ergebnis;
    ergebnis.gesucht = true;
    const TIntPair gesucht{rNr, lNr};
    for (std::size_t i = 0; i < anzahl; ++i) {
        if (IntPairEqual(StringToIntPair(textAt(i), '-'), gesucht)) {
            ergebnis.zeile = i;
            break;
        }
    }
    return ergebnis;
}

TPKPFSuchErgebnis BuchungSuchen(std::int32_t rNr, std::int32_t lNr,
                                const std::vector<TPKPFKopfZeile>& zeilen) {
    return BuchungSuchen(rNr, lNr, zeilen.size(),
                         [&zeilen](std::size_t i) -> const std::string& { return zeilen[i].BuchungsNr; });
}

// ---- the viewer's state ----

TBuchungsprotokoll::~TBuchungsprotokoll() {
    PKPFFileFreigeben();
}

void TBuchungsprotokoll::PKPFFileFreigeben() {
    try {
        if (FPKPFFile)
            FPKPFFile->Close();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.FormDestroy", false);
    }
    FPKPFFile.reset();
}

void TBuchungsprotokoll::PKPFFile_CiN() {
    try {
        if (FPKPFFile)
            return;
        FPKPFFile = std::make_unique<Tpkpffile>();
        FPKPFFile->SetBusyTimeout(busyTimeoutMs_);
        FPKPFFile->OpenNew(OpenNurLesen);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.PKPFFile_CiN");
    }
}

TDateTime PKPFDatumAusFeld(const std::string& text) {
    auto teil = [&text](std::size_t pos) {
        return pos < text.size() ? StrToIntDef(text.substr(pos, 2), 0) : 0;
    };
    const int tag = teil(0);
    const int monat = teil(3);
    const int jj = teil(6);
    int jahr = 2000 + jj;
    if (jahr > DecodeDate(qvr_Now()).year)
        jahr = 1900 + jj;
    return EncodeDate(jahr, monat, tag);
}

namespace {

// In mode booking number a selection without cash desk or lower number reads nothing.
bool auswahlLesbar(const TPKPFAuswahl& auswahl) {
    return auswahl.modus != TPKPFAnzeigeModus::Buchungsnummer || (auswahl.rNr != 0 && auswahl.lNrVon != 0);
}

} // namespace

void TBuchungsprotokoll::auswahlEinstellen(const TPKPFAuswahl& auswahl, Tpkpffile& f) {
    FPKPFDatumVon = TDateTime();
    FPKPFDatumBis = TDateTime();
    FPKPFBuchungsNrVon = CLeeresIntPair;
    FPKPFBuchungsNrBis = CLeeresIntPair;

    auto datumsBedingungen = [&] {
        f.BuchDatum.SetWert(FPKPFDatumVon);
        f.ExtendedFilterAdd(f.BuchDatum, TDBComparisonCode::GroesserGleich, TDBLogicConnection::Und);
        f.BuchDatum.SetWert(FPKPFDatumBis);
        f.ExtendedFilterAdd(f.BuchDatum, TDBComparisonCode::KleinerGleich, TDBLogicConnection::Letzte);
    };
    switch (auswahl.modus) {
    case TPKPFAnzeigeModus::LetzteTage: {
        const int tage = StrToIntDef(auswahl.letzteTage, 30);
        FPKPFDatumVon = Today().addDays(-tage);
        FPKPFDatumBis = Today();
        datumsBedingungen();
        break;
    }
    case TPKPFAnzeigeModus::VonBis:
        FPKPFDatumVon = PKPFDatumAusFeld(auswahl.von);
        FPKPFDatumBis = PKPFDatumAusFeld(auswahl.bis);
        datumsBedingungen();
        break;
    case TPKPFAnzeigeModus::Buchungsnummer:
        FPKPFBuchungsNrVon = TIntPair{auswahl.rNr, auswahl.lNrVon};
        if (auswahl.lNrBis != 0)
            FPKPFBuchungsNrBis = TIntPair{auswahl.rNr, auswahl.lNrBis};
        if (!IntPairDefined(FPKPFBuchungsNrBis)) {
            f.BuchungsNr.SetWert(FPKPFBuchungsNrVon);
            f.ExtendedFilterAdd(f.BuchungsNr, TDBComparisonCode::Gleich, TDBLogicConnection::Letzte);
        } else {
            f.BuchungsNr.SetWert(FPKPFBuchungsNrVon);
            f.ExtendedFilterAdd(f.BuchungsNr, TDBComparisonCode::GroesserGleich, TDBLogicConnection::Und);
            f.BuchungsNr.SetWert(FPKPFBuchungsNrBis);
            f.ExtendedFilterAdd(f.BuchungsNr, TDBComparisonCode::KleinerGleich, TDBLogicConnection::Letzte);
        }
        break;
    }
}

bool TBuchungsprotokoll::PKPFAuswahlDurchgehen(const TPKPFAuswahl& auswahl,
                                               const std::function<void(Tpkpffile&)>& buchung,
                                               bool nurBuchungsNr) {
    FAuswahlVollstaendig = false;
    try {
        if (!auswahlLesbar(auswahl))
            return false;

        PKPFFile_CiN();
        Tpkpffile* f = FPKPFFile.get();
        f->ExtendedFilterClear();
        f->SelectKey(KeyListe);

        auswahlEinstellen(auswahl, *f);

        if (nurBuchungsNr)
            f->NurFelderLesen({&f->BuchungsNr});
        f->Get_first_extMode();
        while (f->Found()) {
            buchung(*f);
            f->Get_next_extMode();
        }
        FAuswahlVollstaendig = true;
    } catch (...) {
        RegisterCurrentException("TfrmParallel.PKPFAnzeigeAktualisieren");
        // A scan broken off must not keep the file's read open.
        if (FPKPFFile)
            FPKPFFile->ExtendedFilterClear();
    }
    return true;
}

bool TBuchungsprotokoll::PKPFAnzeigeAktualisieren(const TPKPFAuswahl& auswahl,
                                                  std::vector<TPKPFKopfZeile>& zeilen) {
    if (!auswahlLesbar(auswahl))
        return false;
    zeilen.clear();
    return PKPFAuswahlDurchgehen(auswahl, [&zeilen](Tpkpffile& f) {
        TPKPFKopfZeile z;
        z.BuchungsNr = qvr_TIntPair2String_Ext(f.BuchungsNr.GetWert(), "-", false);
        const TDateTime datum = f.BuchDatum.GetWert();
        const TDateTime zeit = f.BuchZeit.GetWert();
        z.DatumZeit = FormatDatumUZeit(datum, zeit);
        z.DatumZeitSort = datum + zeit;
        z.Programm = f.Programm.GetWert();
        z.Vorfall = f.Vorfall.GetWert();
        z.Benutzer = f.BenutzerName.GetWert();
        z.SatzAnzahlSort = f.SatzAnzahl.GetWert();
        z.SatzAnzahl = std::to_string(z.SatzAnzahlSort);
        z.GesLaengeSort = f.GesLaenge.GetWert();
        z.GesLaenge = std::to_string(z.GesLaengeSort);
        zeilen.push_back(std::move(z));
    });
}

bool TBuchungsprotokoll::PKPFBuchungsNummern(const TPKPFAuswahl& auswahl, std::vector<std::string>& nummern) {
    if (!auswahlLesbar(auswahl))
        return false;
    nummern.clear();
    return PKPFAuswahlDurchgehen(
        auswahl,
        [&nummern](Tpkpffile& f) {
            nummern.push_back(qvr_TIntPair2String_Ext(f.BuchungsNr.GetWert(), "-", false));
        },
        true);
}

Tpkpffile* TBuchungsprotokoll::BuchungLesen(const TIntPair& nummer) {
    PKPFFile_CiN();
    Tpkpffile* f = FPKPFFile.get();
    f->ExtendedFilterClear();
    f->SelectKey(KeyBuchungsNr);
    f->BuchungsNr.SetKeyWert(nummer);
    f->Get_equal();
    return f->Found() ? f : nullptr;
}

void TBuchungsprotokoll::TrvPKPFSaetzeEinstellen(const std::string* buchungsNrText, TPKPFDetails& details) {
    try {
        details = TPKPFDetails();
        if (!buchungsNrText)
            return;
        Tpkpffile* f = BuchungLesen(StringToIntPair(*buchungsNrText, '-'));
        if (!f)
            return;
        details.gefunden = true;
        details.Prozess = std::to_string(f->ProzessId.GetWert());
        details.Terminal = f->Terminal.GetWert();
        details.StartVerarb = FormatDatumUZeit(f->StartDatum.GetWert(), f->StartZeit.GetWert());
        details.EndeVerarb = FormatDatumUZeit(f->EndeDatum.GetWert(), f->EndeZeit.GetWert());
        details.Version = f->Version.GetWert() + " (" + DateToStr(f->VersionDatum.GetWert()) + ")";
        PKPFBlobAuslesen(details.Saetze, *f);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.TrvPKPFSaetzeEinstellen");
    }
}

std::string TBuchungsprotokoll::NamenErmitteln(const std::string& verzeichnis) {
    try {
        std::string name = "PkpfFileExport_" + std::to_string(Programm().GetRId());
        // A date counts as set from day 1 (31.12.1899) on; 0 is the empty date.
        if (FPKPFDatumVon.ms >= MsPerDay && FPKPFDatumBis.ms >= MsPerDay) {
            name += '_';
            name += FormatDateTime("yyMMdd", FPKPFDatumVon);
            name += '-';
            name += FormatDateTime("yyMMdd", FPKPFDatumBis);
        } else if (IntPairDefined(FPKPFBuchungsNrVon)) {
            name += '_';
            name += qvr_TIntPair2String(FPKPFBuchungsNrVon);
            if (IntPairDefined(FPKPFBuchungsNrBis)) {
                name += '-';
                name += qvr_TIntPair2String(FPKPFBuchungsNrBis);
            }
        }
        name += '_';
        name += FormatDateTime("yyMMddHHnnss", qvr_SyncTime());
        name += ".csv";
        return ConcatPathNames(verzeichnis, name);
    } catch (...) {
        RegisterCurrentException("NamenErmitteln");
        return {};
    }
}

namespace {

void titelAnfuegen(TPKPFExportZeilen& zeilen) {
    const TPKPFExportFelder& titel = PKPFExportTitel();
    TPKPFExportWerte werte;
    for (std::size_t i = 0; i < PKPFExportFeldAnzahl; ++i)
        werte[i] = titel[i];
    zeilen.Anfuegen(werte);
}

} // namespace

void TBuchungsprotokoll::UeberschriftWegschreiben(TPKPFExportZeilen& zeilen) {
    try {
        titelAnfuegen(zeilen);
    } catch (...) {
        RegisterCurrentException("UeberschriftWegschreiben");
    }
}

namespace {

// The values of the booking line of the record the file stands on.
TPKPFExportKopf exportKopf(const Tpkpffile& f) {
    TPKPFExportKopf kopf;
    kopf.BuchungsNr = f.BuchungsNr.GetWert();
    kopf.BuchDatum = f.BuchDatum.GetWert();
    kopf.BuchZeit = f.BuchZeit.GetWert();
    kopf.Programm = f.Programm.GetWert();
    kopf.Vorfall = f.Vorfall.GetWert();
    kopf.SatzAnzahl = f.SatzAnzahl.GetWert();
    kopf.GesLaenge = f.GesLaenge.GetWert();
    kopf.ProzessId = f.ProzessId.GetWert();
    kopf.StartDatum = f.StartDatum.GetWert();
    kopf.StartZeit = f.StartZeit.GetWert();
    kopf.EndeDatum = f.EndeDatum.GetWert();
    kopf.EndeZeit = f.EndeZeit.GetWert();
    kopf.Terminal = f.Terminal.GetWert();
    kopf.BenutzerId = f.BenutzerId.GetWert();
    kopf.BenutzerName = f.BenutzerName.GetWert();
    kopf.Version = f.Version.GetWert();
    kopf.VersionDatum = f.VersionDatum.GetWert();
    return kopf;
}

// Bookings read for an export at a time: each read block is over within a few milliseconds, so
// point-of-sale programs writing meanwhile wait no longer than that.
constexpr std::size_t kBuchungenJeLeseblock = 64;

} // namespace

bool TBuchungsprotokoll::BuchungLadenUndWegschreiben(TPKPFExportZeilen& zeilen, const TIntPair& nummer) {
    try {
        Tpkpffile* f = BuchungLesen(nummer);
        if (!f) {
            // Deleted since the list was loaded: the file holds every booking that is still there.
            Info().RegisterWarning("BuchungLadenUndWegschreiben",
                                   "Die Buchung " + qvr_TIntPair2String_Ext(nummer, "-", false) +
                                       " ist nicht mehr in der Buchungsprotokoll-Datei.");
            return true;
        }
        if (zeilen.empty())
            UeberschriftWegschreiben(zeilen);

        // The line is formatted by the list's writers, beside the next key reads.
        TPKPFExportKopf kopf = exportKopf(*f);

        // The record lines are unpacked by the list's writer. A blob that cannot even be read
        // (the file locked by a writer, a damaged page) makes the export incomplete.
        std::string blob;
        try {
            f->BlobKopieren(blob);
        } catch (...) {
            RegisterCurrentException("PKPFBlobAuslesen");
            return false;
        }
        zeilen.BuchungAnfuegen(std::move(kopf), std::move(blob));
        return true;
    } catch (...) {
        RegisterCurrentException("BuchungLadenUndWegschreiben");
        return false;
    }
}

std::string TBuchungsprotokoll::PKPFExportieren(const std::string& verzeichnis,
                                                const std::vector<std::string>& buchungsNrTexte) {
    try {
        std::string datei = NamenErmitteln(verzeichnis);
        if (datei.empty())
            throw EFileError("Die Exportdatei kann nicht geschrieben werden: ihr Name fehlt.");
        // Export names carry the time, so a killed export's leftover never meets its own target.
        RemoveLeftoverTemps(ExtractFilePath(datei),
                            [](std::string_view ziel) { return ziel.starts_with("PkpfFileExport_"); });
        ReplacingFileWriter ziel(datei);
        TPKPFExportZeilen zeilen(ziel);
        // Bookings are read in blocks that share one read lock.
        struct Leseblock {
            Tpkpffile* f = nullptr;
            void neu(Tpkpffile* datei) {
                ende();
                f = datei;
                if (f)
                    f->LeseblockBeginnen();
            }
            void ende() noexcept {
                if (f)
                    f->LeseblockBeenden();
                f = nullptr;
            }
            ~Leseblock() { ende(); }
        } block;
        for (std::size_t i = 0; i < buchungsNrTexte.size(); ++i) {
            if (i % kBuchungenJeLeseblock == 0) {
                PKPFFile_CiN();
                try {
                    block.neu(FPKPFFile.get());
                } catch (...) {
                    // Without a block every key read takes the lock itself.
                    block.ende();
                }
            }
            // One booking that cannot be read makes the export incomplete: it stops there, and no
            // file takes the export's name.
            if (!BuchungLadenUndWegschreiben(zeilen, StringToIntPair(buchungsNrTexte[i], '-')))
                throw EPkpfError("Der Export wurde abgebrochen: die Buchung " + buchungsNrTexte[i] +
                                 " konnte nicht gelesen werden; es wurde keine Exportdatei geschrieben.");
        }
        block.ende();
        zeilen.Abschliessen();
        ziel.Commit();
        Info().ShowMeldung(Programm().programId(), 1001, "Datei: " + datei);
        return datei;
    } catch (...) {
        RegisterCurrentException("TfrmParallel.btnPkpfSaveFileClick");
        return {};
    }
}

std::string TBuchungsprotokoll::PKPFAuswahlExportieren(const std::string& verzeichnis,
                                                       const TPKPFAuswahl& auswahl) {
    if (std::optional<std::string> datei = auswahlDirektExportieren(verzeichnis, auswahl))
        return *datei;
    std::vector<std::string> nummern;
    PKPFBuchungsNummern(auswahl, nummern);
    // A scan that broke off (the file locked by a writer, a damaged page) has been registered;
    // an export of the bookings read before it would pass for the whole selection.
    if (!FAuswahlVollstaendig)
        return {};
    return PKPFExportieren(verzeichnis, nummern);
}

std::optional<std::string> TBuchungsprotokoll::auswahlDirektExportieren(const std::string& verzeichnis,
                                                                        const TPKPFAuswahl& auswahl) {
    // The grid lists a selection by booking time, then number. A date range is read in that
    // order off the listing index; a number range of one cash desk off the number index, which
    // gives the same order as long as its bookings were booked in number order. Checked on the
    // way: at the first booking out of time order the file is given up, and the export goes the
    // way the grid's export goes.
    try {
        if (!auswahlLesbar(auswahl))
            return std::nullopt;
        PKPFFile_CiN();
        Tpkpffile* f = FPKPFFile.get();
        if (!f || !f->IsOpen())
            return std::nullopt;
        const bool nachNummer = auswahl.modus == TPKPFAnzeigeModus::Buchungsnummer;
        f->ExtendedFilterClear();
        f->SelectKey(nachNummer ? KeyBuchungsNr : KeyListe);
        auswahlEinstellen(auswahl, *f);
        f->BlockweiseMitBlobLesen(kBuchungenJeLeseblock);

        std::string datei = NamenErmitteln(verzeichnis);
        if (datei.empty())
            return std::nullopt;
        RemoveLeftoverTemps(ExtractFilePath(datei),
                            [](std::string_view ziel) { return ziel.starts_with("PkpfFileExport_"); });
        ReplacingFileWriter ziel(datei);
        TPKPFExportZeilen zeilen(ziel);
        TDateTime vorherDatum;
        TDateTime vorherZeit;
        bool erste = true;
        for (f->Get_first_extMode(); f->Found(); f->Get_next_extMode()) {
            TPKPFExportKopf kopf = exportKopf(*f);
            if (nachNummer && !erste &&
                std::pair(kopf.BuchDatum.ms, kopf.BuchZeit.ms) < std::pair(vorherDatum.ms, vorherZeit.ms)) {
                f->ExtendedFilterClear();
                return std::nullopt;
            }
            if (erste) {
                // Without UeberschriftWegschreiben's message: a failure here only gives up this way.
                titelAnfuegen(zeilen);
                erste = false;
            }
            vorherDatum = kopf.BuchDatum;
            vorherZeit = kopf.BuchZeit;
            std::string blob;
            f->BlobKopieren(blob);
            zeilen.BuchungAnfuegen(std::move(kopf), std::move(blob));
        }
        zeilen.Abschliessen();
        ziel.Commit();
        Info().ShowMeldung(Programm().programId(), 1001, "Datei: " + datei);
        return datei;
    } catch (...) {
        if (FPKPFFile)
            FPKPFFile->ExtendedFilterClear();
        return std::nullopt;
    }
}

} // namespace infemora
