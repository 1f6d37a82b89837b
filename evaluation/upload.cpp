// The upload of the error evaluation report over HTTPS with libcurl (OpenSSL underneath).
#include "evaluation/upload.h"

#include "evaluation/autosend.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/settings.h"
#include "host/textfile.h"

#include <climits>
#include <curl/curl.h>
#include <memory>

namespace infemora {

namespace {

const char* const kKontext = "TVKT_InfoProtParser.SendMail";

// The service answers the challenge with a few digits; anything much longer is not its answer.
constexpr std::size_t kGroessteAntwort = 64 * 1024;

UploadZeitlimits g_zeitlimits;

// A failure of the transfer itself: it ends the upload quietly.
class EUploadFehler : public EInfemora {
public:
    using EInfemora::EInfemora;
};

void CurlGlobalEinmal() {
    // Once per process, before the first handle; the program has no other threads using curl.
    static const CURLcode rc = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (rc != CURLE_OK)
        throw EInfemora(std::string("libcurl kann nicht initialisiert werden: ") + curl_easy_strerror(rc));
}

struct CurlLoeschen {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct MimeLoeschen {
    void operator()(curl_mime* m) const { curl_mime_free(m); }
};
struct SlistLoeschen {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

struct Antwort {
    std::string text;
    bool zuLang = false;
};

std::size_t AntwortSammeln(char* data, std::size_t size, std::size_t count, void* user) {
    auto* antwort = static_cast<Antwort*>(user);
    const std::size_t n = size * count;
    if (antwort->text.size() + n > kGroessteAntwort) {
        antwort->zuLang = true;
        return 0; // ends the transfer with CURLE_WRITE_ERROR
    }
    antwort->text.append(data, n);
    return n;
}

template <typename T> void Setzen(CURL* h, CURLoption option, T wert, const char* was) {
    CURLcode rc = curl_easy_setopt(h, option, wert);
    if (rc != CURLE_OK)
        throw EUploadFehler(std::string(was) + ": " + curl_easy_strerror(rc));
}

void Feld(curl_mime* mime, const char* name, const std::string& wert) {
    curl_mimepart* part = curl_mime_addpart(mime);
    if (!part || curl_mime_name(part, name) != CURLE_OK ||
        curl_mime_data(part, wert.data(), wert.size()) != CURLE_OK)
        throw EUploadFehler(std::string("Feld ") + name + " kann nicht angelegt werden");
}

// One POST of the body as it stands. A transfer error or a status other than 2xx ends the
// upload; a redirect is not followed, since it would lead the report somewhere else.
void Senden(CURL* h, curl_mime* mime, Antwort& antwort, const char* anfrage, const char* fehlerPuffer) {
    Setzen(h, CURLOPT_MIMEPOST, mime, anfrage);
    antwort = Antwort{};
    CURLcode rc = curl_easy_perform(h);
    if (rc != CURLE_OK) {
        std::string grund = antwort.zuLang         ? std::string("Antwort zu lang")
                            : fehlerPuffer[0] != 0 ? std::string(fehlerPuffer)
                                                   : std::string(curl_easy_strerror(rc));
        throw EUploadFehler(std::string(anfrage) + ": " + grund);
    }
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299)
        throw EUploadFehler(std::string(anfrage) + ": HTTP-Status " + std::to_string(status));
}

} // namespace

std::string UploadUrlMitPfad(const std::string& url) {
    const std::size_t schema = url.find("://");
    if (url.empty() || schema == std::string::npos)
        return url;
    const std::size_t pfad = url.find_first_of("/?#", schema + 3);
    if (pfad == std::string::npos)
        return url + std::string(kUploadPfad);
    if (url.compare(pfad, std::string::npos, "/") == 0)
        return url.substr(0, pfad) + std::string(kUploadPfad);
    return url;
}

UploadZiel UploadZielAusEinstellungen() {
    const Settings& s = GetSettings();
    UploadZiel z;
    z.url = UploadUrlMitPfad(s.uploadUrl);
    z.konstante1 = s.konstante1;
    z.konstante2 = s.konstante2;
    z.konstante3 = s.konstante3;
    z.caFile = s.caFile;
    return z;
}

const UploadZeitlimits& AktuelleUploadZeitlimits() {
    return g_zeitlimits;
}
void SetUploadZeitlimitsForTesting(const UploadZeitlimits& limits) {
    g_zeitlimits = limits;
}

bool ChallengeAntwort(std::string_view challenge, long long k1, long long k2, long long k3,
                      long long& answer) {
    long long a = 0;
    long long b = 0;
    const std::size_t raute = challenge.find('#');
    if (raute == std::string_view::npos) {
        b = StrToIntDef(challenge, 0);
    } else {
        a = StrToIntDef(challenge.substr(0, raute), 0);
        b = StrToIntDef(challenge.substr(raute + 1), 0);
    }
    long long dividend = 0;
    long long divisor = 0;
    if (__builtin_sub_overflow(a, k1, &dividend) || __builtin_sub_overflow(b, k2, &divisor) || divisor == 0)
        return false;
    // LLONG_MIN % -1 overflows in the machine although the remainder is 0.
    const long long rest = divisor == -1 ? 0 : dividend % divisor;
    return !__builtin_mul_overflow(rest, k3, &answer);
}

UploadErgebnis SendMail(const UploadZiel& ziel, const std::string& FileName, const std::string& Kunde,
                        TDateTime DatumVon, TDateTime DatumBis, const std::string& Empf) {
    UploadErgebnis ergebnis;
    try {
        CurlGlobalEinmal();
        std::unique_ptr<CURL, CurlLoeschen> h(curl_easy_init());
        if (!h)
            throw EInfemora("libcurl: kein Handle");
        std::unique_ptr<curl_mime, MimeLoeschen> body(curl_mime_init(h.get()));
        if (!body)
            throw EInfemora("libcurl: kein Formular");
        std::unique_ptr<curl_slist, SlistLoeschen> kopf(curl_slist_append(nullptr, "Expect:"));
        char fehlerPuffer[CURL_ERROR_SIZE] = {};
        Antwort antwort;
        try {
            if (ziel.url.empty())
                throw EUploadFehler("kein Ziel eingestellt ([Upload] URL)");
            CURL* c = h.get();
            Setzen(c, CURLOPT_ERRORBUFFER, fehlerPuffer, "ERRORBUFFER");
            Setzen(c, CURLOPT_URL, ziel.url.c_str(), "URL");
            // Only HTTPS: the report must never travel in clear text.
            Setzen(c, CURLOPT_PROTOCOLS_STR, "https", "Protokolle");
            Setzen(c, CURLOPT_FOLLOWLOCATION, 0L, "Weiterleitungen");
            Setzen(c, CURLOPT_SSLVERSION,
                   static_cast<long>(CURL_SSLVERSION_TLSv1_0) |
                       static_cast<long>(CURL_SSLVERSION_MAX_TLSv1_2),
                   "TLS-Versionen");
            // A customer's error report goes only to a server that proves who it is.
            Setzen(c, CURLOPT_SSL_VERIFYPEER, 1L, "Zertifikatsprüfung");
            Setzen(c, CURLOPT_SSL_VERIFYHOST, 2L, "Namensprüfung");
            if (!ziel.caFile.empty()) {
                // curl reads the file by its name; a FIFO there would hold the unattended run.
                RefuseIrregularFile(ziel.caFile);
                Setzen(c, CURLOPT_CAINFO, ziel.caFile.c_str(), "CAFile");
            }
            Setzen(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1), "HTTP-Version");
            Setzen(c, CURLOPT_USERAGENT, kUploadUserAgent, "User-Agent");
            Setzen(c, CURLOPT_HTTPHEADER, kopf.get(), "Kopfzeilen");
            Setzen(c, CURLOPT_CONNECTTIMEOUT_MS, g_zeitlimits.verbindenMs, "Verbindungszeitlimit");
            Setzen(c, CURLOPT_TIMEOUT_MS, g_zeitlimits.gesamtMs, "Zeitlimit");
            Setzen(c, CURLOPT_NOSIGNAL, 1L, "NOSIGNAL");
            Setzen(c, CURLOPT_WRITEFUNCTION, &AntwortSammeln, "Antwort");
            Setzen(c, CURLOPT_WRITEDATA, static_cast<void*>(&antwort), "Antwort");

            Feld(body.get(), "Differenzierung", "");
            Senden(c, body.get(), antwort, "Anfrage 1", fehlerPuffer);
            long long loesung = 0;
            if (!ChallengeAntwort(antwort.text, ziel.konstante1, ziel.konstante2, ziel.konstante3, loesung))
                throw EUploadFehler("Anfrage 1: keine Antwort auf \"" + antwort.text.substr(0, 40) +
                                    "\" berechenbar (Division durch 0 oder Überlauf)");

            // The body of the first request grows by the answer and the report; the service
            // reads the second "Differenzierung".
            if (FileName.empty() || !FileExists(FileName))
                throw EUploadFehler("die Fehler-Auswertung " + FileName + " fehlt");
            const std::string bericht = ReadFileBytes(FileName);
            Feld(body.get(), "Differenzierung", std::to_string(loesung));
            Feld(body.get(), "Kunde", Kunde);
            Feld(body.get(), "DatumVon", DateToStr(DatumVon));
            Feld(body.get(), "DatumBis", DateToStr(DatumBis));
            Feld(body.get(), "Empf", GrossbuchstabenAscii(Empf));
            curl_mimepart* datei = curl_mime_addpart(body.get());
            const std::string name = ExtractFileName(FileName);
            // The content type follows from the file name (libcurl: .txt gives text/plain).
            if (!datei || curl_mime_name(datei, "Text") != CURLE_OK ||
                curl_mime_data(datei, bericht.data(), bericht.size()) != CURLE_OK ||
                curl_mime_filename(datei, name.c_str()) != CURLE_OK)
                throw EUploadFehler("Dateiteil kann nicht angelegt werden");
            fehlerPuffer[0] = 0;
            Senden(c, body.get(), antwort, "Anfrage 2", fehlerPuffer);
            ergebnis.gesendet = true;
        } catch (const EInfemora& e) {
            // Expected on a customer's machine (no network, service down): the operator finds it
            // in the error log; nobody is asked anything.
            ergebnis.fehler = e.what();
            Info().RegisterMessage(
                kKontext, "Upload der Fehler-Auswertung nach " + ziel.url + " abgebrochen: " + e.what(),
                false);
            Info().ResetErrorSpez();
        }
    } catch (...) {
        ergebnis.fehler = "unerwarteter Fehler";
        RegisterCurrentException(kKontext);
    }
    return ergebnis;
}

} // namespace infemora
