#include "fuzz_support.h"

#include "host/datetime.h"

#include <fcntl.h>
#include <unistd.h>

namespace infemora::fuzz {

void WriteFile(const std::string& path, std::string_view bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    ::close(fd);
}

std::string ReadFile(const std::string& path) {
    std::string out;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return out;
    char buf[65536];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    return out;
}

bool MussInAnfuehrungszeichen(std::string_view wert) {
    for (char c : wert) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F || c == '"' || c == ';')
            return true;
    }
    return false;
}

bool CsvLesen(std::string_view text, std::vector<CsvZeile>& zeilen) {
    zeilen.clear();
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        CsvZeile zeile;
        for (;;) {
            CsvFeld feld;
            if (i < n && text[i] == '"') {
                feld.inAnfuehrungszeichen = true;
                ++i;
                for (;;) {
                    if (i >= n)
                        return false; // quote never closed
                    if (text[i] == '"') {
                        if (i + 1 < n && text[i + 1] == '"') {
                            feld.wert += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    feld.wert += text[i++];
                }
            } else {
                while (i < n && text[i] != ';' && text[i] != '\r') {
                    if (text[i] == '"' || text[i] == '\n')
                        return false;
                    feld.wert += text[i++];
                }
            }
            zeile.push_back(std::move(feld));
            if (i < n && text[i] == ';') {
                ++i;
                continue;
            }
            if (i + 1 < n && text[i] == '\r' && text[i + 1] == '\n') {
                i += 2;
                break;
            }
            return false; // something after a closing quote, a bare CR, or no line end at the end
        }
        zeilen.push_back(std::move(zeile));
    }
    return true;
}

bool CsvExportPruefen(const InfoProtParser& p, std::string& warum) {
    const std::string text = ReadFile(Site::Get().statemp() + "/INFOPROT.CSV");
    std::vector<CsvZeile> zeilen;
    if (!CsvLesen(text, zeilen)) {
        warum = "CSV file does not read back";
        return false;
    }
    if (zeilen.size() != static_cast<std::size_t>(p.FFehlerList.Count()) + 1) {
        warum = "CSV file has not one line per error";
        return false;
    }
    static const std::string kSpalten[10] = {"FEHLERTYP",  "FEHLERCODE", "USER",       "PROGRAMM",
                                             "DATUM",      "UHRZEIT",    "ERRORZEILE", "ERRORTEXT",
                                             "ZUSATZINFO", "CALLSTACK"};
    for (std::size_t k = 0; k < zeilen.size(); ++k) {
        if (zeilen[k].size() != 10) {
            warum = "CSV line " + std::to_string(k + 1) + " without ten fields";
            return false;
        }
        for (const auto& f : zeilen[k])
            if (f.inAnfuehrungszeichen != MussInAnfuehrungszeichen(f.wert)) {
                warum = "CSV field quoted against the rule in line " + std::to_string(k + 1);
                return false;
            }
        std::vector<std::string> soll(std::begin(kSpalten), std::end(kSpalten));
        if (k > 0) {
            const TFehlerRec& r = p.FFehlerList[static_cast<int>(k - 1)];
            soll = {r.FehlerTyp,           r.FehlerCode, r.User, r.Programm,   DateToStr(r.DateTime),
                    TimeToStr(r.DateTime), r.Zeile,      r.Text, r.ZusatzInfo, r.CallStack};
        }
        for (std::size_t f = 0; f < 10; ++f) {
            if (zeilen[k][f].wert != soll[f]) {
                warum = "CSV field " + std::to_string(f + 1) + " of line " + std::to_string(k + 1) +
                        " differs from what was written";
                return false;
            }
        }
    }
    return true;
}

} // namespace infemora::fuzz
