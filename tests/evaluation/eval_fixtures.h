#pragma once
// Building blocks for evaluation tests: info-log error entries as the point-of-sale programs
// write them, and a parser whose output lines are captured.
#include "evaluation/infoprot_parser.h"
#include "host/messages.h"
#include "host/textfile.h"
#include "support/test_env.h"

#include <string>
#include <vector>

namespace infemora::evaltest {

extern const std::string kTrenner; // 43 hyphens

// The time-stamp line of an entry: "12345## <datum> <zeit> <rest>".
std::string Kopf(const std::string& datum, const std::string& zeit, const std::string& rest);
// The header of an error entry: user, program, "Fehler-Meldung: " and code.
std::string FehlerKopf(const std::string& datum, const std::string& zeit, const std::string& user,
                       const std::string& programm, const std::string& code);

// One log entry: its start line, the header, and for error entries the blocks in their order.
struct Eintrag {
    Eintrag(std::string k, Lines cs = {}, Lines z = {}, Lines t = {})
        : kopf(std::move(k)), callStack(std::move(cs)), zusatz(std::move(z)), text(std::move(t)) {}
    std::string kopf;
    Lines callStack; // empty: a plain info entry without blocks
    Lines zusatz;    // without the "Zusatzinfo:" line is no block; give it in full
    Lines text;
};
Lines EintragZeilen(const Eintrag& e);
Lines LogZeilen(const std::vector<Eintrag>& eintraege);

// A parser over a TempSite: the log directory and a period, memoOutput captured.
struct Parser {
    InfoProtParser p;
    Lines memo;
    explicit Parser(const testenv::TempSite& site, const std::string& von = "01.03.2024",
                    const std::string& bis = "31.03.2024");
};

// Contexts of the failures registered since the TempSite was made.
std::vector<std::string> RegistrierteKontexte();
// The contexts of the warnings registered so far.
std::vector<std::string> RegistrierteWarnungen();

// Text of memo lines as UTF-8, for comparing with literals that hold umlauts.
std::vector<std::string> AlsUtf8(const Lines& lines);

// Sets the modification time of a file to a local date and time.
void SetzeAenderungszeit(const std::string& path, int jahr, int monat, int tag, int stunde, int minute,
                         int sekunde);

} // namespace infemora::evaltest
