#pragma once
// The upload of the error evaluation report to the evaluation service: two HTTPS POST requests
// with multipart/form-data bodies, the second one answering the challenge the first one gets.
//
// The upload runs unattended. Whatever goes wrong ends it quietly: no message, no retry, one line
// in the error log for the operator.
#include "host/datetime.h"

#include <string>
#include <string_view>

namespace infemora {

// Where the report goes and what the service shares with us.
struct UploadZiel {
    std::string url;
    long long konstante1 = 0;
    long long konstante2 = 1;
    long long konstante3 = 1;
    // Certificates to trust besides the system's store; empty: the system's store only.
    std::string caFile;
};

// The path of the evaluation service's endpoint.
inline constexpr std::string_view kUploadPfad = "/vktservice/infoprotauswertung/index.php";
// A URL of the service without a path ("https://auswertung.example" or with a trailing "/")
// means its endpoint; a URL with a path of its own is taken as it is.
std::string UploadUrlMitPfad(const std::string& url);

// [Upload] of the settings.
UploadZiel UploadZielAusEinstellungen();

// Time limits of each of the two requests. A server that stops answering must not keep the
// unattended run alive for ever.
struct UploadZeitlimits {
    long verbindenMs = 30'000;
    long gesamtMs = 120'000;
};
const UploadZeitlimits& AktuelleUploadZeitlimits();
// Tests shorten the limits; they are no setting of the installation.
void SetUploadZeitlimitsForTesting(const UploadZeitlimits& limits);

inline constexpr const char* kUploadUserAgent = "ORVA-ServletCommunicator/1.0 (Language=Delphi)";

// The answer to the challenge "A#B" (text before the first '#' and after it, each 0 when it is
// no integer; without '#' A is 0 and B the whole text): (A - k1) rem (B - k2) * k3, the
// remainder with the sign of the dividend. False when there is none: the divisor is 0 or the
// result does not fit.
bool ChallengeAntwort(std::string_view challenge, long long k1, long long k2, long long k3,
                      long long& answer);

// Why an upload ended; empty when both requests went through.
struct UploadErgebnis {
    bool gesendet = false;
    std::string fehler; // UTF-8, as the error log gets it
};

// Posts the challenge request, then the answer with the customer, the period (short date
// format), the recipient in upper case and the report file FileName as file part "Text".
// Never throws. A failure is written to the error log under "TVKT_InfoProtParser.SendMail"
// without a notice.
UploadErgebnis SendMail(const UploadZiel& ziel, const std::string& FileName, const std::string& Kunde,
                        TDateTime DatumVon, TDateTime DatumBis, const std::string& Empf);

} // namespace infemora
