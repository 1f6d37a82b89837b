// The unattended evaluation and upload.
#include "evaluation/autosend.h"

#include "evaluation/infoprot_parser.h"
#include "evaluation/upload.h"
#include "host/datetime.h"
#include "host/messages.h"

namespace infemora {

namespace {

// Delphi's Copy: 1-based start, count; what lies outside the text is left out.
std::string Teil(const std::string& s, std::size_t start1, std::size_t anzahl) {
    if (start1 < 1 || start1 - 1 > s.size())
        return {};
    return s.substr(start1 - 1, anzahl);
}

} // namespace

std::string GrossbuchstabenAscii(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

AutoSendParameter AutoSendParameterLesen(const std::vector<std::string>& argumente) {
    AutoSendParameter p;
    for (const std::string& argument : argumente) {
        const std::string s = GrossbuchstabenAscii(argument);
        const std::string schluessel3 = Teil(s, 2, 3);
        if (schluessel3 == "VON") {
            p.VonTage = StrToIntDef(Teil(s, 6, 99), 1);
        } else if (schluessel3 == "BIS") {
            p.BisTage = StrToIntDef(Teil(s, 6, 99), 1);
        } else {
            const std::string schluessel4 = Teil(s, 2, 4);
            if (schluessel4 == "KUND")
                p.Kunde = Teil(s, 7, 99);
            else if (schluessel4 == "EMPF")
                p.Empf = Teil(s, 7, 99);
        }
    }
    return p;
}

void AutoExecute(InfoProtParser& parser, int VonTage, int BisTage, const std::string& Kunde,
                 const std::string& Empf) {
    try {
        // One instant for the period evaluated and the period declared to the service: a run
        // across midnight must not send other days than it evaluated.
        const TDateTime jetzt = qvr_Now();
        const TDateTime datumVon = jetzt.addDays(-VonTage);
        const TDateTime datumBis = jetzt.addDays(-BisTage);
        parser.edtDatumCSV_Von = DateToStr(datumVon);
        parser.edtDatumCSV_Bis = DateToStr(datumBis);

        // A log folder that is missing, no folder or unreadable (an unmounted share) has been
        // registered by the collection; a report of it would tell the service "no errors".
        // Nothing goes out then, and nothing goes out without this period's report.
        if (!parser.Auswerten())
            return;
        parser.btnAnalyseClick();
        std::string FileName;
        parser.Fehler_Auswertung(FileName);
        if (FileName.empty())
            return;

        SendMail(UploadZielAusEinstellungen(), FileName, Kunde, datumVon, datumBis, Empf);
    } catch (...) {
        RegisterCurrentException("TVKT_InfoProtParser.AutoExecute");
    }
}

} // namespace infemora
