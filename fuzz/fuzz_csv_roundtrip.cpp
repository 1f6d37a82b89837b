// The evaluation's CSV writer, read back by an independent reader. First any set of fields
// through the field writer: every byte, line breaks and quotes included, must come back, and a
// field is quoted exactly when it holds a blank, a control character, a double quote or a ";".
// Then error entries built from the same kind of texts go through the real export, and the file
// must read back as the collected errors.
#include "evaluation/infoprot_parser.h"
#include "fuzz_support.h"
#include "host/messages.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace infemora;
using infemora::fuzz::Site;

namespace {

[[noreturn]] void Fehler(const std::string& was) {
    std::fprintf(stderr, "fuzz_csv_roundtrip: %s\n", was.c_str());
    std::abort();
}

void FelderZurueck(FuzzedDataProvider& fdp) {
    std::vector<std::vector<std::string>> soll(fdp.ConsumeIntegralInRange<int>(1, 4));
    std::string text;
    for (auto& zeile : soll) {
        zeile.resize(fdp.ConsumeIntegralInRange<int>(1, 12));
        for (std::size_t f = 0; f < zeile.size(); ++f) {
            zeile[f] = fdp.ConsumeRandomLengthString(300);
            if (f > 0)
                text += ';';
            text += InfoProtParser::CsvFeld(zeile[f]);
        }
        text += "\r\n";
    }
    std::vector<fuzz::CsvZeile> gelesen;
    if (!fuzz::CsvLesen(text, gelesen))
        Fehler("fields do not read back");
    if (gelesen.size() != soll.size())
        Fehler("number of lines differs");
    for (std::size_t z = 0; z < soll.size(); ++z) {
        if (gelesen[z].size() != soll[z].size())
            Fehler("number of fields differs");
        for (std::size_t f = 0; f < soll[z].size(); ++f) {
            if (gelesen[z][f].wert != soll[z][f])
                Fehler("field differs");
            if (gelesen[z][f].inAnfuehrungszeichen != fuzz::MussInAnfuehrungszeichen(soll[z][f]))
                Fehler("field quoted against the rule");
        }
    }
}

// Up to three error entries whose header parts and blocks are fuzzed texts, exported.
void Export(FuzzedDataProvider& fdp) {
    const std::string kTrenner(43, '-');
    std::string log;
    const int anzahl = fdp.ConsumeIntegralInRange<int>(1, 3);
    for (int e = 0; e < anzahl; ++e) {
        char stempel[32];
        std::snprintf(stempel, sizeof stempel, "%04d%02d%02d %02d%02d%02d",
                      fdp.ConsumeIntegralInRange(2000, 2099), fdp.ConsumeIntegralInRange(1, 12),
                      fdp.ConsumeIntegralInRange(1, 28), fdp.ConsumeIntegralInRange(0, 23),
                      fdp.ConsumeIntegralInRange(0, 59), fdp.ConsumeIntegralInRange(0, 59));
        const std::string user = fdp.ConsumeRandomLengthString(20);
        const std::string programm = fdp.ConsumeRandomLengthString(20);
        const std::string code = fdp.ConsumeRandomLengthString(30);
        const std::string stack = fdp.ConsumeRandomLengthString(200);
        const bool zusatz = fdp.ConsumeBool();
        const std::string zusatzText = zusatz ? fdp.ConsumeRandomLengthString(100) : std::string();
        const std::string meldung = fdp.ConsumeRandomLengthString(300);
        log += "4711<<==========\r\n4711## " + std::string(stempel) + " " + user + " " + programm +
               " Fehler-Meldung: " + code + "\r\n" + kTrenner + "\r\n" + stack + "\r\n" + kTrenner + "\r\n";
        if (zusatz)
            log += "Zusatzinfo: " + zusatzText + "\r\n" + kTrenner + "\r\n";
        log += meldung + "\r\n";
    }
    fuzz::WriteFile(Site::Get().logDir() + "/inf.log", log);

    InfoProtParser p;
    p.edtPfad = Site::Get().logDir();
    p.edtDatumCSV_Von = "01.01.2000";
    p.edtDatumCSV_Bis = "31.12.2099";
    if (!p.btncsvExportzClick())
        Fehler("CSV export refused");
    for (const auto& r : Info().registered())
        if (r.context != "TVKT_InfoProtParser.Fehler_Hinzufuegen")
            Fehler(r.context + ": " + r.message);
    if (std::string warum; !fuzz::CsvExportPruefen(p, warum))
        Fehler(warum);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Site::Get();
    Site::ForgetFailures();
    FuzzedDataProvider fdp(data, size);
    FelderZurueck(fdp);
    Export(fdp);
    return 0;
}
