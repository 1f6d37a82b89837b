#include "booking/buchungsprotokoll.h"

#include "host/datetime.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/inifile.h"
#include "host/messages.h"
#include "host/program.h"

#include <cstdio>

namespace infemora {

// ---- record model ----

void PKPFBlobAuslesen(TPKPF_Blob_Arr& saetze, TVKT_DBFile& datei) {
    try {
        Clear_PKPF_Blob_Arr(saetze);
        std::unique_ptr<TMemoryStream> blob = datei.CreateBlobStream();
        TMemoryStream text;
        try {
            UnzipStream(text, *blob);
            // Without a byte order mark the bytes are already the ANSI text the INI reader takes.
            const std::string& bytes = text.Bytes();
            const bool mitBom = bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") ||
                                bytes.starts_with("\xFE\xFF");
            if (!mitBom && bytes.find('\0') != std::string::npos)
                throw EPkpfError("Die Satzdaten der Buchung sind kein Text.");
            const TQVRMemIniFile ini =
                mitBom ? TQVRMemIniFile(DecodeTextBytes(bytes)) : TQVRMemIniFile::FromText(bytes);
            if (ini.parseError() > 0)
                throw EPkpfError("Die Satzdaten der Buchung sind kein INI-Text.");
            const std::vector<std::string> abschnitte = ini.ReadSections();
            saetze.resize(abschnitte.size());
            for (size_t i = 0; i < abschnitte.size(); ++i) {
                saetze[i].Kennung = ini.ReadString(abschnitte[i], "Kennung", "");
                saetze[i].WRDON = ini.ReadString(abschnitte[i], "WRDON", "");
                saetze[i].Beschreibung = ini.ReadString(abschnitte[i], "Beschreibung", "");
            }
        } catch (...) {
            // A damaged booking is shown as such; it is no failure of the viewer.
            Info().ResetErrorSpez();
            saetze.assign(1, TPKPF_Blob_Rec{"defekt", "", ""});
        }
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

// ---- export format ----

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

std::string zahl(const char* format, std::int32_t wert) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, static_cast<int>(wert));
    return buffer;
}

} // namespace

const TPKPFExportFelder& PKPFExportTitel() {
    static const TPKPFExportFelder titel = [] {
        TPKPFExportFelder t;
        for (std::size_t i = 0; i < PKPFExportFeldAnzahl; ++i)
            t[i] = exportSpalten[i].titel;
        return t;
    }();
    return titel;
}

std::string PKPFExportZeile(const TPKPFExportFelder& felder) {
    std::string zeile;
    zeile.reserve(600);
    for (std::size_t i = 0; i < PKPFExportFeldAnzahl; ++i) {
        const std::string& wert = felder[i];
        const std::size_t fehlt =
            wert.size() < exportSpalten[i].breite ? exportSpalten[i].breite - wert.size() : 0;
        if (exportSpalten[i].rechts)
            zeile.append(fehlt, ' ');
        zeile += wert;
        if (!exportSpalten[i].rechts)
            zeile.append(fehlt, ' ');
        zeile += "; ";
    }
    return zeile;
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

bool TBuchungsprotokoll::PKPFAnzeigeAktualisieren(const TPKPFAuswahl& auswahl,
                                                  std::vector<TPKPFKopfZeile>& zeilen) {
    try {
        if (auswahl.modus == TPKPFAnzeigeModus::Buchungsnummer && (auswahl.rNr == 0 || auswahl.lNrVon == 0))
            return false;
        zeilen.clear();

        PKPFFile_CiN();
        Tpkpffile* f = FPKPFFile.get();
        f->ExtendedFilterClear();
        f->SelectKey(KeyListe);

        FPKPFDatumVon = TDateTime();
        FPKPFDatumBis = TDateTime();
        FPKPFBuchungsNrVon = CLeeresIntPair;
        FPKPFBuchungsNrBis = CLeeresIntPair;

        auto datumsBedingungen = [&] {
            f->BuchDatum.SetWert(FPKPFDatumVon);
            f->ExtendedFilterAdd(f->BuchDatum, TDBComparisonCode::GroesserGleich, TDBLogicConnection::Und);
            f->BuchDatum.SetWert(FPKPFDatumBis);
            f->ExtendedFilterAdd(f->BuchDatum, TDBComparisonCode::KleinerGleich, TDBLogicConnection::Letzte);
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
                f->BuchungsNr.SetWert(FPKPFBuchungsNrVon);
                f->ExtendedFilterAdd(f->BuchungsNr, TDBComparisonCode::Gleich, TDBLogicConnection::Letzte);
            } else {
                f->BuchungsNr.SetWert(FPKPFBuchungsNrVon);
                f->ExtendedFilterAdd(f->BuchungsNr, TDBComparisonCode::GroesserGleich,
                                     TDBLogicConnection::Und);
                f->BuchungsNr.SetWert(FPKPFBuchungsNrBis);
                f->ExtendedFilterAdd(f->BuchungsNr, TDBComparisonCode::KleinerGleich,
                                     TDBLogicConnection::Letzte);
            }
            break;
        }

        f->Get_first_extMode();
        while (f->Found()) {
            TPKPFKopfZeile z;
            z.BuchungsNr = qvr_TIntPair2String_Ext(f->BuchungsNr.GetWert(), "-", false);
            const TDateTime datum = f->BuchDatum.GetWert();
            const TDateTime zeit = f->BuchZeit.GetWert();
            z.DatumZeit = FormatDatumUZeit(datum, zeit);
            z.DatumZeitSort = datum + zeit;
            z.Programm = f->Programm.GetWert();
            z.Vorfall = f->Vorfall.GetWert();
            z.Benutzer = f->BenutzerName.GetWert();
            z.SatzAnzahlSort = f->SatzAnzahl.GetWert();
            z.SatzAnzahl = std::to_string(z.SatzAnzahlSort);
            z.GesLaengeSort = f->GesLaenge.GetWert();
            z.GesLaenge = std::to_string(z.GesLaengeSort);
            zeilen.push_back(std::move(z));
            f->Get_next_extMode();
        }
    } catch (...) {
        RegisterCurrentException("TfrmParallel.PKPFAnzeigeAktualisieren");
        // A scan broken off must not keep the file's read open.
        if (FPKPFFile)
            FPKPFFile->ExtendedFilterClear();
    }
    return true;
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
            name +=
                "_" + FormatDateTime("yyMMdd", FPKPFDatumVon) + "-" + FormatDateTime("yyMMdd", FPKPFDatumBis);
        } else if (IntPairDefined(FPKPFBuchungsNrVon)) {
            name += "_" + qvr_TIntPair2String(FPKPFBuchungsNrVon);
            if (IntPairDefined(FPKPFBuchungsNrBis))
                name += "-" + qvr_TIntPair2String(FPKPFBuchungsNrBis);
        }
        name += "_" + FormatDateTime("yyMMddHHnnss", qvr_SyncTime()) + ".csv";
        return ConcatPathNames(verzeichnis, name);
    } catch (...) {
        RegisterCurrentException("NamenErmitteln");
        return {};
    }
}

void TBuchungsprotokoll::UeberschriftWegschreiben(Lines& zeilen) {
    try {
        zeilen.push_back(PKPFExportZeile(PKPFExportTitel()));
    } catch (...) {
        RegisterCurrentException("UeberschriftWegschreiben");
    }
}

void TBuchungsprotokoll::BuchungLadenUndWegschreiben(Lines& zeilen, const TIntPair& nummer) {
    try {
        Tpkpffile* f = BuchungLesen(nummer);
        if (!f)
            return;
        if (zeilen.empty())
            UeberschriftWegschreiben(zeilen);

        TPKPFExportFelder kopf;
        kopf[0] = qvr_TIntPair2String_Ext(f->BuchungsNr.GetWert(), "-", true);
        kopf[1] = DateToStr(f->BuchDatum.GetWert());
        kopf[2] = TimeToStr(f->BuchZeit.GetWert());
        kopf[3] = f->Programm.GetWert();
        kopf[4] = f->Vorfall.GetWert();
        kopf[5] = zahl("%9d", f->SatzAnzahl.GetWert());
        kopf[6] = zahl("%9d", f->GesLaenge.GetWert());
        kopf[7] = zahl("%6d", f->ProzessId.GetWert());
        kopf[8] = DateToStr(f->StartDatum.GetWert());
        kopf[9] = TimeToStr(f->StartZeit.GetWert());
        kopf[10] = DateToStr(f->EndeDatum.GetWert());
        kopf[11] = TimeToStr(f->EndeZeit.GetWert());
        kopf[12] = f->Terminal.GetWert();
        kopf[13] = qvr_TIntPair2String_Ext(f->BenutzerId.GetWert(), "-", true);
        kopf[14] = f->BenutzerName.GetWert();
        kopf[15] = f->Version.GetWert();
        kopf[16] = DateToStr(f->VersionDatum.GetWert());
        zeilen.push_back(PKPFExportZeile(kopf));

        TPKPF_Blob_Arr saetze;
        PKPFBlobAuslesen(saetze, *f);
        for (const TPKPF_Blob_Rec& s : saetze) {
            TPKPFExportFelder satz;
            satz[17] = s.Kennung;
            satz[18] = s.WRDON;
            satz[19] = s.Beschreibung;
            zeilen.push_back(PKPFExportZeile(satz));
        }
    } catch (...) {
        RegisterCurrentException("BuchungLadenUndWegschreiben");
    }
}

std::string TBuchungsprotokoll::PKPFExportieren(const std::string& verzeichnis,
                                                const std::vector<std::string>& buchungsNrTexte) {
    try {
        const std::string datei = NamenErmitteln(verzeichnis);
        Lines zeilen;
        for (const std::string& text : buchungsNrTexte)
            BuchungLadenUndWegschreiben(zeilen, StringToIntPair(text, '-'));
        if (datei.empty())
            throw EFileError("Die Exportdatei kann nicht geschrieben werden: ihr Name fehlt.");
        SaveLinesReplacing(datei, zeilen);
        Info().ShowMeldung(Programm().programId(), 1001);
        return datei;
    } catch (...) {
        RegisterCurrentException("TfrmParallel.btnPkpfSaveFileClick");
        return {};
    }
}

} // namespace infemora
