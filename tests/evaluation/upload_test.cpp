// The upload against a real HTTPS server on 127.0.0.1: what both requests carry, and every way
// it can fail without a message, a hang or a crash.
#include "bench/gensite.h"
#include "evaluation/autosend.h"
#include "evaluation/infoprot_parser.h"
#include "evaluation/upload.h"
#include "host/datetime.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "https_test_server.h"
#include "support/test_env.h"

#include <chrono>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace infemora;
using namespace std::chrono_literals;
using testenv::Aufzeichnung;
using testenv::ServerVerhalten;
using testenv::TestHttpsServer;

namespace {

constexpr const char* kPfad = "/vktservice/infoprotauswertung/index.php";

std::vector<std::string> Namen(const Aufzeichnung& a) {
    std::vector<std::string> n;
    for (const auto& t : a.teile)
        n.push_back(t.name);
    return n;
}

class Upload : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "infemora-certs-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        zertDir_ = tmpl;
        zert_ = new testenv::TestZertifikate(zertDir_);
        // A proxy of the machine must not stand between the client and the loopback server.
        setenv("no_proxy", "127.0.0.1", 1);
        setenv("NO_PROXY", "127.0.0.1", 1);
    }
    static void TearDownTestSuite() {
        delete zert_;
        zert_ = nullptr;
        std::error_code ec;
        std::filesystem::remove_all(zertDir_, ec);
    }

    void SetUp() override {
        Info().setNoticeSink(
            [this](const std::string& c, const std::string& m) { notices_.push_back(c + ": " + m); });
        Info().setMeldungSink([this](int n, const std::string&) { notices_.push_back(std::to_string(n)); });
        SetUploadZeitlimitsForTesting({5'000, 15'000});
    }
    void TearDown() override {
        Info().setNoticeSink(nullptr);
        Info().setMeldungSink(nullptr);
        SetUploadZeitlimitsForTesting({});
        EXPECT_TRUE(notices_.empty()) << notices_.front();
    }

    const testenv::TestZertifikate& zert() const { return *zert_; }

    UploadZiel Ziel(const std::string& url) const {
        UploadZiel z;
        z.url = url;
        z.konstante1 = 3;
        z.konstante2 = 7;
        z.konstante3 = 11;
        z.caFile = zert().caCert;
        return z;
    }

    // A report as the evaluation writes it: Windows-1252, CR LF.
    std::string Bericht() const {
        const std::string pfad = site_.statemp() + "/INFOPROT_Fehlerauswertung.txt";
        site_.writeFile(pfad, "\r\n\r\n\r\nDatum: 04.12.2026\r\n\r\nInsgesamt kam es zu 1 Meldungen.\r\n"
                              "KASSE: 1 Fehler\r\n1-mal STANDARD.12\r\n1-mal:\r\nFehler in M\xFCller\r\n");
        return pfad;
    }

    UploadErgebnis Senden(const UploadZiel& ziel, const std::string& datei, const std::string& kunde = "ABC",
                          const std::string& empf = "xyz") const {
        return SendMail(ziel, datei, kunde, EncodeDate(2026, 12, 4) + EncodeTime(9, 30, 0, 0),
                        EncodeDate(2026, 12, 10) + EncodeTime(9, 30, 0, 0), empf);
    }

    // The upload ended without a message; one line for the operator in the error log.
    void ErwarteStillenAbbruch(const UploadErgebnis& e) const {
        EXPECT_FALSE(e.gesendet);
        EXPECT_FALSE(e.fehler.empty());
        const auto reg = Info().registered();
        ASSERT_EQ(reg.size(), 1u);
        EXPECT_EQ(reg[0].context, "TVKT_InfoProtParser.SendMail");
        EXPECT_FALSE(reg[0].flag) << "the failure must not reach a notice";
        const std::string log = site_.readFile(site_.statemp() + "/INFEMORA_Fehler.log");
        EXPECT_NE(log.find("TVKT_InfoProtParser.SendMail"), std::string::npos);
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
    }

    testenv::TempSite site_;
    std::vector<std::string> notices_;

private:
    static inline std::string zertDir_;
    static inline testenv::TestZertifikate* zert_ = nullptr;
};

TEST_F(Upload, BothRequestsCarryTheirPartsInOrder) {
    TestHttpsServer server(zert().serverCert, zert().serverKey);
    const std::string bericht = Bericht();
    UploadErgebnis e = Senden(Ziel(server.url()), bericht, "AbC", "xyz");
    EXPECT_TRUE(e.gesendet) << e.fehler;
    EXPECT_TRUE(Info().registered().empty());

    const auto anfragen = server.anfragen();
    ASSERT_EQ(anfragen.size(), 2u);
    for (const Aufzeichnung& a : anfragen) {
        EXPECT_EQ(a.pfad, kPfad);
        EXPECT_EQ(a.userAgent, "ORVA-ServletCommunicator/1.0 (Language=Delphi)");
        EXPECT_EQ(a.contentType.rfind("multipart/form-data; boundary=", 0), 0u) << a.contentType;
        // Offered up to TLS 1.2 although the server speaks 1.3.
        EXPECT_EQ(a.tlsVersion, TLS1_2_VERSION);
    }
    EXPECT_EQ(Namen(anfragen[0]), std::vector<std::string>{"Differenzierung"});
    EXPECT_EQ(anfragen[0].teile[0].inhalt, "");

    const auto& t = anfragen[1].teile;
    ASSERT_EQ(Namen(anfragen[1]), (std::vector<std::string>{"Differenzierung", "Differenzierung", "Kunde",
                                                            "DatumVon", "DatumBis", "Empf", "Text"}));
    EXPECT_EQ(t[0].inhalt, "");
    // Challenge 1000#57 with 3, 7, 11: (997 rem 50) * 11.
    EXPECT_EQ(t[1].inhalt, "517");
    EXPECT_EQ(t[2].inhalt, "AbC"); // as given
    EXPECT_EQ(t[3].inhalt, "04.12.2026");
    EXPECT_EQ(t[4].inhalt, "10.12.2026");
    EXPECT_EQ(t[5].inhalt, "XYZ");
    for (std::size_t i = 0; i + 1 < t.size(); ++i)
        EXPECT_EQ(t[i].filename, "") << t[i].name;
    EXPECT_EQ(t[6].filename, "INFOPROT_Fehlerauswertung.txt");
    EXPECT_EQ(t[6].contentType, "text/plain");
    EXPECT_EQ(t[6].inhalt, site_.readFile(bericht)); // byte for byte, CR LF and 1252 included
}

TEST_F(Upload, ChallengeWithoutHashIsReadAsB) {
    ServerVerhalten v;
    v.challenge = "57";
    TestHttpsServer server(zert().serverCert, zert().serverKey, v);
    EXPECT_TRUE(Senden(Ziel(server.url()), Bericht()).gesendet);
    const auto anfragen = server.anfragen();
    ASSERT_EQ(anfragen.size(), 2u);
    // A = 0: (-3 rem 50) * 11, the remainder keeps the dividend's sign.
    EXPECT_EQ(anfragen[1].teile[1].inhalt, "-33");
}

TEST(ChallengeAntwort, Cases) {
    struct Fall {
        const char* name;
        const char* challenge;
        long long k1, k2, k3;
        bool ok;
        long long erwartet;
    };
    const Fall faelle[] = {
        {"plain", "1000#57", 3, 7, 11, true, 517},
        {"negative dividend keeps its sign", "-1000#57", 3, 7, 11, true, -33},
        {"negative divisor", "1000#-57", 3, 7, 11, true, 407},
        {"no hash: A is 0", "57", 3, 7, 11, true, -33},
        {"A no number", "abc#57", 3, 7, 11, true, -33},
        {"B no number", "1000#x", 3, 7, 11, true, 33},
        {"second hash belongs to B", "1#2#3", 3, 7, 11, true, -22},
        {"A beyond 32 bits is no number", "99999999999#57", 3, 7, 11, true, -33},
        {"empty", "", 3, 7, 11, true, -33},
        {"divisor zero", "1000#7", 3, 7, 11, false, 0},
        {"divisor zero without hash", "7", 3, 7, 11, false, 0},
        {"difference overflows", "5#57", LLONG_MIN, 7, 11, false, 0},
        {"product overflows", "1000#57", 3, 7, LLONG_MAX, false, 0},
        {"divisor -1 with the smallest dividend", "-1#6", LLONG_MAX, 7, 11, true, 0},
    };
    for (const Fall& f : faelle) {
        long long antwort = 0;
        EXPECT_EQ(ChallengeAntwort(f.challenge, f.k1, f.k2, f.k3, antwort), f.ok) << f.name;
        if (f.ok) {
            EXPECT_EQ(antwort, f.erwartet) << f.name;
        }
    }
}

TEST_F(Upload, NoServer) {
    const std::string url = "https://127.0.0.1:" + std::to_string(testenv::FreierPort()) + kPfad;
    ErwarteStillenAbbruch(Senden(Ziel(url), Bericht()));
}

TEST_F(Upload, NoUrlConfigured) {
    ErwarteStillenAbbruch(Senden(Ziel(""), Bericht()));
}

// An unverified server gets nothing, not even the challenge request's body.
TEST_F(Upload, CertificatesThatDoNotVerify) {
    {
        SCOPED_TRACE("self-signed, not in the CA file");
        TestHttpsServer server(zert().fremdCert, zert().fremdKey);
        ErwarteStillenAbbruch(Senden(Ziel(server.url()), Bericht()));
        EXPECT_TRUE(server.anfragen().empty());
    }
    Info().clearRegistered();
    std::filesystem::remove(site_.statemp() + "/INFEMORA_Fehler.log");
    {
        SCOPED_TRACE("signed by a CA the system does not know, no CA file");
        TestHttpsServer server(zert().serverCert, zert().serverKey);
        UploadZiel z = Ziel(server.url());
        z.caFile.clear();
        ErwarteStillenAbbruch(Senden(z, Bericht()));
        EXPECT_TRUE(server.anfragen().empty());
    }
    Info().clearRegistered();
    std::filesystem::remove(site_.statemp() + "/INFEMORA_Fehler.log");
    {
        SCOPED_TRACE("trusted CA, but made out for another host");
        TestHttpsServer server(zert().falscherNameCert, zert().falscherNameKey);
        ErwarteStillenAbbruch(Senden(Ziel(server.url()), Bericht()));
        EXPECT_TRUE(server.anfragen().empty());
    }
}

TEST_F(Upload, ServerThatOnlySpeaksTls13IsNotReached) {
    ServerVerhalten v;
    v.nurTls13 = true;
    TestHttpsServer server(zert().serverCert, zert().serverKey, v);
    ErwarteStillenAbbruch(Senden(Ziel(server.url()), Bericht()));
    EXPECT_TRUE(server.anfragen().empty());
}

TEST_F(Upload, PlainHttpIsRefused) {
    ServerVerhalten v;
    v.ohneTls = true;
    TestHttpsServer server("", "", v);
    ErwarteStillenAbbruch(Senden(Ziel(server.url()), Bericht()));
    EXPECT_TRUE(server.anfragen().empty());
}

TEST_F(Upload, HttpErrorOnTheChallengeStopsBeforeTheReport) {
    ServerVerhalten v;
    v.status1 = 500;
    TestHttpsServer server(zert().serverCert, zert().serverKey, v);
    ErwarteStillenAbbruch(Senden(Ziel(server.url()), Bericht()));
    EXPECT_EQ(server.anfragen().size(), 1u);
}

TEST_F(Upload, HttpErrorOnTheReportIsAFailure) {
    ServerVerhalten v;
    v.status2 = 500;
    TestHttpsServer server(zert().serverCert, zert().serverKey, v);
    ErwarteStillenAbbruch(Senden(Ziel(server.url()), Bericht()));
    EXPECT_EQ(server.anfragen().size(), 2u);
}

TEST_F(Upload, RedirectIsNotFollowed) {
    TestHttpsServer server(zert().serverCert, zert().serverKey);
    ServerVerhalten v;
    v.weiterleitung = server.url("/anderswo");
    TestHttpsServer umleiter(zert().serverCert, zert().serverKey, v);
    ErwarteStillenAbbruch(Senden(Ziel(umleiter.url()), Bericht()));
    EXPECT_EQ(umleiter.anfragen().size(), 1u);
    EXPECT_TRUE(server.anfragen().empty());
}

TEST_F(Upload, DivisionByZeroSendsNoReport) {
    ServerVerhalten v;
    v.challenge = "1000#7"; // B equals the second constant
    TestHttpsServer server(zert().serverCert, zert().serverKey, v);
    ErwarteStillenAbbruch(Senden(Ziel(server.url()), Bericht()));
    EXPECT_EQ(server.anfragen().size(), 1u);
}

TEST_F(Upload, MissingReportFile) {
    TestHttpsServer server(zert().serverCert, zert().serverKey);
    ErwarteStillenAbbruch(Senden(Ziel(server.url()), site_.statemp() + "/INFOPROT_Fehlerauswertung.txt"));
    EXPECT_EQ(server.anfragen().size(), 1u);
}

TEST_F(Upload, StallingServerIsLeftAfterTheTimeLimit) {
    ServerVerhalten v;
    v.haengen = 20s;
    TestHttpsServer server(zert().serverCert, zert().serverKey, v);
    SetUploadZeitlimitsForTesting({1'000, 1'500});
    const auto start = std::chrono::steady_clock::now();
    UploadErgebnis e = Senden(Ziel(server.url()), Bericht());
    const auto dauer = std::chrono::steady_clock::now() - start;
    ErwarteStillenAbbruch(e);
    EXPECT_LT(dauer, 10s);
    EXPECT_EQ(server.anfragen().size(), 1u);
}

TEST(UploadLimits, DefaultsAreSet) {
    // A run that nobody watches must end even when the service hangs.
    EXPECT_EQ(AktuelleUploadZeitlimits().verbindenMs, 30'000);
    EXPECT_EQ(AktuelleUploadZeitlimits().gesamtMs, 120'000);
}

// ---------------------------------------------------------------------------------------------
// The unattended evaluation over a generated site, in this process and as the built program.

class AutoSendLauf : public Upload {
protected:
    void SetUp() override {
        Upload::SetUp();
        heute_ = EncodeDate(2026, 12, 11);
        SetClockForTesting(heute_ + EncodeTime(10, 0, 0, 0));
        gensite::GenParams p;
        p.today = heute_;
        p.days = 14;
        gensite::WriteDemoSite(site_.root(), p);
    }

    void MitServer(const TestHttpsServer& server) {
        Settings s = site_.settings();
        s.uploadUrl = server.url();
        s.konstante1 = 3;
        s.konstante2 = 7;
        s.konstante3 = 11;
        s.caFile = zert().caCert;
        SetSettingsForTesting(s);
    }

    TDateTime heute_;
};

TEST_F(AutoSendLauf, EvaluatesThePeriodAndUploadsItsReport) {
    TestHttpsServer server(zert().serverCert, zert().serverKey);
    MitServer(server);
    InfoProtParser parser;
    parser.FormCreate();
    AutoExecute(parser, 7, 1, "ABC", "xyz");
    EXPECT_TRUE(Info().registered().empty());

    const auto anfragen = server.anfragen();
    ASSERT_EQ(anfragen.size(), 2u);
    const auto& t = anfragen[1].teile;
    ASSERT_EQ(t.size(), 7u);
    EXPECT_EQ(t[1].inhalt, "517");
    EXPECT_EQ(t[2].inhalt, "ABC");
    EXPECT_EQ(t[3].inhalt, "04.12.2026");
    EXPECT_EQ(t[4].inhalt, "10.12.2026");
    EXPECT_EQ(t[5].inhalt, "XYZ");
    const std::string bericht = site_.readFile(site_.statemp() + "/INFOPROT_Fehlerauswertung.txt");
    EXPECT_EQ(t[6].inhalt, bericht);
    // Seven days, the first and the last of the period, each once; the generated logs hold errors.
    EXPECT_NE(bericht.find("Datum: 04.12.2026\r\n"), std::string::npos);
    EXPECT_NE(bericht.find("Datum: 10.12.2026\r\n"), std::string::npos);
    EXPECT_EQ(bericht.find("Datum: 03.12.2026"), std::string::npos);
    EXPECT_EQ(bericht.find("Datum: 11.12.2026"), std::string::npos);
    EXPECT_NE(bericht.find("-mal:"), std::string::npos);
}

// When the report cannot be saved, the report of an earlier run still lies there; it must not
// go out as this period's.
TEST_F(AutoSendLauf, ReportThatCouldNotBeSavedIsNotSent) {
    TestHttpsServer server(zert().serverCert, zert().serverKey);
    MitServer(server);
    site_.writeFile(site_.statemp() + "/INFOPROT_Fehlerauswertung.txt", "alter Bericht\r\n");
    InfoProtParser parser;
    parser.FormCreate();

    rlimit alt{};
    getrlimit(RLIMIT_FSIZE, &alt);
    auto altesSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit klein = alt;
    klein.rlim_cur = 200; // the new report is larger than this: its write fails
    setrlimit(RLIMIT_FSIZE, &klein);
    AutoExecute(parser, 7, 1, "ABC", "XYZ");
    setrlimit(RLIMIT_FSIZE, &alt);
    std::signal(SIGXFSZ, altesSignal);

    EXPECT_EQ(site_.readFile(site_.statemp() + "/INFOPROT_Fehlerauswertung.txt"), "alter Bericht\r\n");
    for (const Aufzeichnung& a : server.anfragen())
        for (const auto& teil : a.teile)
            EXPECT_NE(teil.inhalt, "alter Bericht\r\n");
    bool berichtFehler = false;
    for (const auto& r : Info().registered())
        berichtFehler |= r.context == "TVKT_InfoProtParser.Fehler_Auswertung";
    EXPECT_TRUE(berichtFehler);
    EXPECT_LE(server.anfragen().size(), 1u);
    // The unattended program installs no notice display; here the failure of the report reached
    // the test's sink, which is all it may have reached.
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].rfind("TVKT_InfoProtParser.Fehler_Auswertung: ", 0), 0u);
    notices_.clear();
}

// An unmounted share or a typo: a log folder that is missing or is a file gives no report and
// no upload (a report of nothing would tell the service "no errors"), and is not made.
TEST_F(AutoSendLauf, LogFolderMissingOrAFileUploadsNothing) {
    struct Fall {
        const char* name;
        bool alsDatei;
    } faelle[] = {{"missing", false}, {"a file", true}};
    for (const Fall& f : faelle) {
        TestHttpsServer server(zert().serverCert, zert().serverKey);
        MitServer(server);
        Settings s = GetSettings();
        s.infoprot = site_.path(std::string("infoprot-") + (f.alsDatei ? "datei" : "fehlt"));
        if (f.alsDatei)
            site_.writeFile(s.infoprot, "kein Ordner");
        SetSettingsForTesting(s);
        site_.writeFile(site_.statemp() + "/INFOPROT_Fehlerauswertung.txt", "alter Bericht\r\n");
        Info().clearRegistered();
        InfoProtParser parser;
        parser.FormCreate();
        AutoExecute(parser, 7, 1, "ABC", "XYZ");

        EXPECT_TRUE(server.anfragen().empty()) << f.name;
        EXPECT_EQ(FileExists(s.infoprot), f.alsDatei) << f.name;
        EXPECT_FALSE(DirectoryExists(s.infoprot)) << f.name << ": the log folder was made";
        EXPECT_EQ(site_.readFile(site_.statemp() + "/INFOPROT_Fehlerauswertung.txt"), "alter Bericht\r\n");
        const auto fehler = Info().registered();
        ASSERT_EQ(fehler.size(), 1u) << f.name;
        EXPECT_EQ(fehler[0].context, "TVKT_InfoProtParser.Auswerten") << f.name;
        EXPECT_NE(fehler[0].message.find(s.infoprot), std::string::npos) << fehler[0].message;
        const std::string log = site_.readFile(site_.statemp() + "/INFEMORA_Fehler.log");
        EXPECT_NE(log.find("TVKT_InfoProtParser.Auswerten\tDas Infoprotverzeichnis " + s.infoprot),
                  std::string::npos)
            << log;
        notices_.clear();
    }
}

// The program as the scheduler starts it.
TEST_F(AutoSendLauf, BuiltProgramUploadsAndEndsByItself) {
    SetClockForTesting(TDateTime()); // the program runs on the real clock
    TestHttpsServer server(zert().serverCert, zert().serverKey);
    testenv::TempSite echt; // a site whose logs end today
    gensite::GenParams p;
    p.today = Today();
    p.days = 14;
    p.lastDayEndSecond = 0;
    gensite::WriteDemoSite(echt.root(), p);
    const std::string ini = echt.path("autosend.ini");
    echt.writeFile(ini, "[Verzeichnisse]\nINFOPROT=" + echt.logDir() + "\nSTATEMP=" + echt.statemp() +
                            "\nEINSTELLUNGEN=" + echt.settingsDir() + "\n[Upload]\nURL=" + server.url() +
                            "\nKonstante1=3\nKonstante2=7\nKonstante3=11\nCAFile=" + zert().caCert + "\n");

    std::vector<std::string> umgebung;
    for (char** e = environ; *e; ++e) {
        std::string v = *e;
        if (v.rfind("INFEMORA_CONFIG=", 0) != 0 && v.rfind("QT_QPA_PLATFORM=", 0) != 0)
            umgebung.push_back(v);
    }
    umgebung.push_back("INFEMORA_CONFIG=" + ini);
    umgebung.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (auto& v : umgebung)
        envp.push_back(v.data());
    envp.push_back(nullptr);

    std::vector<std::string> argv = {testenv::BinaryDir() + "/app/infemora/infemora",
                                     "-AUTOSEND",
                                     "-VON=7",
                                     "-BIS=1",
                                     "-KUND=abc",
                                     "-EMPF=xyz"};
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    const std::string stderrDatei = echt.path("stderr.txt");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, stderrDatei.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, args[0], &fa, nullptr, args.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&fa);

    int status = 0;
    bool beendet = false;
    for (auto ende = std::chrono::steady_clock::now() + 60s; std::chrono::steady_clock::now() < ende;) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            beendet = true;
            break;
        }
        std::this_thread::sleep_for(50ms);
    }
    if (!beendet) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(beendet) << "the unattended run did not end by itself";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // Nothing registered: the message service would have echoed it here.
    const std::string fehlerAusgabe = echt.readFile(stderrDatei);
    EXPECT_EQ(fehlerAusgabe.find("infemora:"), std::string::npos) << fehlerAusgabe;
    EXPECT_FALSE(FileExists(echt.statemp() + "/INFEMORA_Fehler.log"));

    const auto anfragen = server.anfragen();
    ASSERT_EQ(anfragen.size(), 2u);
    const auto& t = anfragen[1].teile;
    ASSERT_EQ(t.size(), 7u);
    EXPECT_EQ(t[1].inhalt, "517");
    EXPECT_EQ(t[2].inhalt, "ABC");
    EXPECT_EQ(t[3].inhalt, DateToStr(Today().addDays(-7)));
    EXPECT_EQ(t[4].inhalt, DateToStr(Today().addDays(-1)));
    EXPECT_EQ(t[5].inhalt, "XYZ");
    EXPECT_EQ(t[6].filename, "INFOPROT_Fehlerauswertung.txt");
    const std::string bericht = echt.readFile(echt.statemp() + "/INFOPROT_Fehlerauswertung.txt");
    EXPECT_EQ(t[6].inhalt, bericht);
    EXPECT_NE(bericht.find("Datum: " + DateToStr(Today().addDays(-7))), std::string::npos);
    EXPECT_NE(bericht.find("-mal:"), std::string::npos);
}

} // namespace
