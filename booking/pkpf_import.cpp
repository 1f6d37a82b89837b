#include "booking/pkpf_import.h"

#include "host/codec1252.h"
#include "host/fileutil.h"
#include "host/textfile.h"

#include <nlohmann/json.hpp>
#include <openssl/evp.h>

#include <cctype>
#include <cstdio>
#include <limits>
#include <set>

namespace infemora {

namespace {

using nlohmann::json;

[[noreturn]] void falsch(const std::string& feld, const std::string& was) {
    throw EPkpfError("Feld \"" + feld + "\": " + was);
}

// anzeige names the field in messages when it sits inside another ("Saetze[2].WRDON").
const json& feld(const json& obj, const std::string& name, const std::string& anzeige = {}) {
    auto it = obj.find(name);
    if (it == obj.end())
        falsch(anzeige.empty() ? name : anzeige, "fehlt");
    return *it;
}

std::int32_t alsInt32(const json& v, const std::string& name) {
    if (!v.is_number_integer())
        falsch(name, "ganze Zahl erwartet");
    const auto n = v.get<std::int64_t>();
    if (v.is_number_unsigned() && v.get<std::uint64_t>() > static_cast<std::uint64_t>(INT32_MAX))
        falsch(name, "Zahl außerhalb von 32 Bit");
    if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max())
        falsch(name, "Zahl außerhalb von 32 Bit");
    return static_cast<std::int32_t>(n);
}

std::string alsText(const json& v, const std::string& name) {
    if (!v.is_string())
        falsch(name, "Text erwartet");
    const std::string& utf8 = v.get_ref<const std::string&>();
    std::string text = Utf8ToWin1252(utf8);
    if (Win1252ToUtf8(text) != utf8)
        falsch(name, "enthält Zeichen, die es in Windows-1252 nicht gibt");
    return text;
}

TIntPair alsPaar(const json& v, const std::string& name) {
    if (!v.is_array() || v.size() != 2)
        falsch(name, "Paar aus zwei ganzen Zahlen erwartet, etwa [12, 345]");
    return TIntPair{alsInt32(v[0], name), alsInt32(v[1], name)};
}

bool ziffern(const std::string& s, size_t pos, size_t n) {
    for (size_t i = pos; i < pos + n; ++i)
        if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i])))
            return false;
    return true;
}

TDateTime alsDatum(const json& v, const std::string& name) {
    if (!v.is_string())
        falsch(name, "Datum \"JJJJ-MM-TT\" erwartet");
    const std::string& s = v.get_ref<const std::string&>();
    TDateTime d;
    if (s.size() != 10 || !ziffern(s, 0, 4) || s[4] != '-' || !ziffern(s, 5, 2) || s[7] != '-' ||
        !ziffern(s, 8, 2) ||
        !TryEncodeDate(std::stoi(s.substr(0, 4)), std::stoi(s.substr(5, 2)), std::stoi(s.substr(8, 2)), d))
        falsch(name, "\"" + s + "\" ist kein Datum \"JJJJ-MM-TT\"");
    return d;
}

TDateTime alsZeit(const json& v, const std::string& name) {
    if (!v.is_string())
        falsch(name, "Uhrzeit \"HH:MM:SS\" erwartet");
    const std::string& s = v.get_ref<const std::string&>();
    TDateTime t;
    if (s.size() != 8 || !ziffern(s, 0, 2) || s[2] != ':' || !ziffern(s, 3, 2) || s[5] != ':' ||
        !ziffern(s, 6, 2) ||
        !TryEncodeTime(std::stoi(s.substr(0, 2)), std::stoi(s.substr(3, 2)), std::stoi(s.substr(6, 2)), 0, t))
        falsch(name, "\"" + s + "\" ist keine Uhrzeit \"HH:MM:SS\"");
    return t;
}

std::string base64Lesen(const json& v, const std::string& name) {
    if (!v.is_string())
        falsch(name, "Base64-Text erwartet");
    const std::string& s = v.get_ref<const std::string&>();
    if (s.size() % 4 != 0)
        falsch(name, "kein gültiges Base64");
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const bool padding = c == '=' && i + 2 >= s.size() && (i + 1 == s.size() || s[i + 1] == '=');
        if (!std::isalnum(c) && c != '+' && c != '/' && !padding)
            falsch(name, "kein gültiges Base64");
    }
    std::string out(s.size() / 4 * 3, '\0');
    const int n =
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(s.data()), static_cast<int>(s.size()));
    if (n < 0)
        falsch(name, "kein gültiges Base64");
    size_t len = static_cast<size_t>(n);
    if (!s.empty() && s.back() == '=')
        --len;
    if (s.size() >= 2 && s[s.size() - 2] == '=')
        --len;
    out.resize(len);
    return out;
}

std::string base64Schreiben(const std::string& bytes) {
    std::string out((bytes.size() + 2) / 3 * 4 + 1, '\0');
    const int n =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

const std::set<std::string>& kopfFelder() {
    static const std::set<std::string> names = {
        "BuchungsNr", "BuchDatum",  "BuchZeit",     "Programm",  "Vorfall",     "SatzAnzahl",
        "GesLaenge",  "ProzessId",  "StartDatum",   "StartZeit", "EndeDatum",   "EndeZeit",
        "Terminal",   "BenutzerId", "BenutzerName", "Version",   "VersionDatum"};
    return names;
}

std::string datumText(TDateTime d) {
    return FormatDateTime("yyyy-MM-dd", d);
}
std::string zeitText(TDateTime t) {
    return FormatDateTime("HH:mm:ss", t);
}

} // namespace

TPKPF_Buchung PkpfBuchungAusJson(const std::string& line) {
    json obj;
    try {
        obj = json::parse(line);
    } catch (const json::exception& e) {
        throw EPkpfError(std::string("kein gültiges JSON (") + e.what() + ")");
    }
    if (!obj.is_object())
        throw EPkpfError("ein JSON-Objekt {...} erwartet");
    for (const auto& [key, value] : obj.items())
        if (!kopfFelder().count(key) && key != "Saetze" && key != "BlobBase64")
            falsch(key, "unbekanntes Feld");

    TPKPF_Buchung b;
    b.BuchungsNr = alsPaar(feld(obj, "BuchungsNr"), "BuchungsNr");
    if (b.BuchungsNr.R < 0 || b.BuchungsNr.L < 0)
        falsch("BuchungsNr", "die Teile dürfen nicht negativ sein");
    b.BuchDatum = alsDatum(feld(obj, "BuchDatum"), "BuchDatum");
    b.BuchZeit = alsZeit(feld(obj, "BuchZeit"), "BuchZeit");
    b.Programm = alsText(feld(obj, "Programm"), "Programm");
    b.Vorfall = alsText(feld(obj, "Vorfall"), "Vorfall");
    b.SatzAnzahl = alsInt32(feld(obj, "SatzAnzahl"), "SatzAnzahl");
    b.GesLaenge = alsInt32(feld(obj, "GesLaenge"), "GesLaenge");
    b.ProzessId = alsInt32(feld(obj, "ProzessId"), "ProzessId");
    b.StartDatum = alsDatum(feld(obj, "StartDatum"), "StartDatum");
    b.StartZeit = alsZeit(feld(obj, "StartZeit"), "StartZeit");
    b.EndeDatum = alsDatum(feld(obj, "EndeDatum"), "EndeDatum");
    b.EndeZeit = alsZeit(feld(obj, "EndeZeit"), "EndeZeit");
    b.Terminal = alsText(feld(obj, "Terminal"), "Terminal");
    b.BenutzerId = alsPaar(feld(obj, "BenutzerId"), "BenutzerId");
    b.BenutzerName = alsText(feld(obj, "BenutzerName"), "BenutzerName");
    b.Version = alsText(feld(obj, "Version"), "Version");
    b.VersionDatum = alsDatum(feld(obj, "VersionDatum"), "VersionDatum");

    const bool saetze = obj.contains("Saetze");
    const bool blob = obj.contains("BlobBase64");
    if (saetze == blob)
        throw EPkpfError("genau eines der Felder \"Saetze\" und \"BlobBase64\" wird erwartet");
    if (blob) {
        b.Blob = base64Lesen(obj["BlobBase64"], "BlobBase64");
        return b;
    }
    const json& liste = obj["Saetze"];
    if (!liste.is_array())
        falsch("Saetze", "Liste von Sätzen erwartet");
    int nr = 0;
    for (const json& s : liste) {
        const std::string name = "Saetze[" + std::to_string(++nr) + "]";
        if (!s.is_object())
            falsch(name, "Objekt {\"Kennung\", \"WRDON\", \"Beschreibung\"} erwartet");
        for (const auto& [key, value] : s.items())
            if (key != "Kennung" && key != "WRDON" && key != "Beschreibung")
                falsch(name + "." + key, "unbekanntes Feld");
        TPKPF_Blob_Rec rec;
        rec.Kennung = alsText(feld(s, "Kennung", name + ".Kennung"), name + ".Kennung");
        rec.WRDON = alsText(feld(s, "WRDON", name + ".WRDON"), name + ".WRDON");
        rec.Beschreibung = alsText(feld(s, "Beschreibung", name + ".Beschreibung"), name + ".Beschreibung");
        if (std::string problem = PkpfSatzProblem(rec); !problem.empty())
            falsch(name, problem + "; so ließe er sich nicht unverändert speichern");
        b.Saetze.push_back(std::move(rec));
    }
    return b;
}

std::string PkpfBuchungAlsJson(const TPKPF_Buchung& b) {
    // ordered_json keeps the fields in the order of the booking, as a reader expects them.
    nlohmann::ordered_json obj;
    auto text = [](const std::string& s) { return Win1252ToUtf8(s); };
    obj["BuchungsNr"] = {b.BuchungsNr.R, b.BuchungsNr.L};
    obj["BuchDatum"] = datumText(b.BuchDatum);
    obj["BuchZeit"] = zeitText(b.BuchZeit);
    obj["Programm"] = text(b.Programm);
    obj["Vorfall"] = text(b.Vorfall);
    obj["SatzAnzahl"] = b.SatzAnzahl;
    obj["GesLaenge"] = b.GesLaenge;
    obj["ProzessId"] = b.ProzessId;
    obj["StartDatum"] = datumText(b.StartDatum);
    obj["StartZeit"] = zeitText(b.StartZeit);
    obj["EndeDatum"] = datumText(b.EndeDatum);
    obj["EndeZeit"] = zeitText(b.EndeZeit);
    obj["Terminal"] = text(b.Terminal);
    obj["BenutzerId"] = {b.BenutzerId.R, b.BenutzerId.L};
    obj["BenutzerName"] = text(b.BenutzerName);
    obj["Version"] = text(b.Version);
    obj["VersionDatum"] = datumText(b.VersionDatum);
    if (b.Blob) {
        obj["BlobBase64"] = base64Schreiben(*b.Blob);
    } else {
        obj["Saetze"] = nlohmann::ordered_json::array();
        for (const TPKPF_Blob_Rec& s : b.Saetze)
            obj["Saetze"].push_back({{"Kennung", text(s.Kennung)},
                                     {"WRDON", text(s.WRDON)},
                                     {"Beschreibung", text(s.Beschreibung)}});
    }
    return obj.dump();
}

std::size_t PkpfJsonlImportieren(const std::string& jsonlPath, const std::string& dbPath) {
    // Every line is checked before the database is touched.
    std::string bytes = ReadFileBytes(jsonlPath);
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.erase(0, 3);
    const Lines lines = SplitLines(bytes);
    std::vector<std::pair<size_t, TPKPF_Buchung>> buchungen;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        try {
            buchungen.emplace_back(i + 1, PkpfBuchungAusJson(line));
        } catch (const EPkpfError& e) {
            throw EPkpfError("Zeile " + std::to_string(i + 1) + ": " + e.what() + "; nichts importiert.");
        }
    }

    const bool neu = !FileExists(dbPath);
    try {
        BookingWriter writer(dbPath);
        writer.begin();
        for (const auto& [zeile, buchung] : buchungen) {
            try {
                writer.insert(buchung);
            } catch (const EPkpfError& e) {
                throw EPkpfError("Zeile " + std::to_string(zeile) + ": " + e.what() + " Nichts importiert.");
            }
        }
        writer.commit();
    } catch (...) {
        if (neu) {
            Ensure_DeleteFile(dbPath);
            Ensure_DeleteFile(dbPath + "-journal");
        }
        throw;
    }
    return buchungen.size();
}

} // namespace infemora
