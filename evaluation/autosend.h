#pragma once
// The unattended evaluation started with AUTOSEND: the parameters of the command line, the run
// over the logs of the last days and the upload of the report.
#include <string>
#include <string_view>
#include <vector>

namespace infemora {

class InfoProtParser;

struct AutoSendParameter {
    int VonTage = 1; // first day of the period, in days before now
    int BisTage = 1; // last day of the period, in days before now
    std::string Kunde;
    std::string Empf;

    // Nothing is evaluated without a customer and a recipient, or with the period reversed.
    bool Ausfuehren() const { return !Kunde.empty() && !Empf.empty() && VonTage >= BisTage; }
};

// ASCII letters to upper case; every other byte stays, so UTF-8 text is not broken.
std::string GrossbuchstabenAscii(std::string_view text);

// Reads every argument, the program path (argument 0) included, upper-cased: "?VON?n", "?BIS?n"
// (n a decimal integer, 1 when it is none), "?KUND?text", "?EMPF?text" (at most 99 characters).
// The first character and the one after the key may be anything. A later argument wins.
AutoSendParameter AutoSendParameterLesen(const std::vector<std::string>& argumente);

// Evaluates the parser's directory from VonTage to BisTage days before now, writes the error
// evaluation report and uploads it. The parser's directory is taken as it is. Nothing is uploaded
// when the collection failed (the folder missing or no folder: registered) or no report was
// written.
void AutoExecute(InfoProtParser& parser, int VonTage, int BisTage, const std::string& Kunde,
                 const std::string& Empf);

} // namespace infemora
