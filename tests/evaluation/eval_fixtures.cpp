#include "eval_fixtures.h"

#include "host/codec1252.h"

#include <ctime>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>

namespace infemora::evaltest {

const std::string kTrenner(43, '-');

std::string Kopf(const std::string& datum, const std::string& zeit, const std::string& rest) {
    return "12345## " + datum + " " + zeit + " " + rest;
}

std::string FehlerKopf(const std::string& datum, const std::string& zeit, const std::string& user,
                       const std::string& programm, const std::string& code) {
    return Kopf(datum, zeit, user + " " + programm + " Fehler-Meldung: " + code);
}

Lines EintragZeilen(const Eintrag& e) {
    Lines out = {"12345<< Start", e.kopf};
    if (e.callStack.empty())
        return out;
    out.push_back(kTrenner);
    out.insert(out.end(), e.callStack.begin(), e.callStack.end());
    out.push_back(kTrenner);
    if (!e.zusatz.empty()) {
        out.insert(out.end(), e.zusatz.begin(), e.zusatz.end());
        out.push_back(kTrenner);
    }
    out.insert(out.end(), e.text.begin(), e.text.end());
    return out;
}

Lines LogZeilen(const std::vector<Eintrag>& eintraege) {
    Lines out;
    for (const auto& e : eintraege) {
        Lines l = EintragZeilen(e);
        out.insert(out.end(), l.begin(), l.end());
    }
    return out;
}

Parser::Parser(const testenv::TempSite& site, const std::string& von, const std::string& bis) {
    p.edtPfad = site.logDir();
    p.edtDatumCSV_Von = von;
    p.edtDatumCSV_Bis = bis;
    p.OnAusgabeZeile = [this](const std::string& line) { memo.push_back(line); };
    p.OnAusgabeLeeren = [this] { memo.clear(); };
}

std::vector<std::string> RegistrierteKontexte() {
    std::vector<std::string> out;
    for (const auto& r : Info().registered())
        out.push_back(r.context);
    return out;
}

std::vector<std::string> RegistrierteWarnungen() {
    std::vector<std::string> out;
    for (const auto& r : Info().warnings())
        out.push_back(r.context);
    return out;
}

std::vector<std::string> AlsUtf8(const Lines& lines) {
    std::vector<std::string> out;
    for (const auto& l : lines)
        out.push_back(Win1252ToUtf8(l));
    return out;
}

void SetzeAenderungszeit(const std::string& path, int jahr, int monat, int tag, int stunde, int minute,
                         int sekunde) {
    std::tm t{};
    t.tm_year = jahr - 1900;
    t.tm_mon = monat - 1;
    t.tm_mday = tag;
    t.tm_hour = stunde;
    t.tm_min = minute;
    t.tm_sec = sekunde;
    t.tm_isdst = -1;
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = std::mktime(&t);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        throw std::runtime_error("utimensat failed for " + path);
}

} // namespace infemora::evaltest
