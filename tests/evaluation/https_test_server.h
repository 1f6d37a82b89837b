#pragma once
// A loopback HTTPS server for the upload tests: certificates made at test time with the openssl
// tool, a cpp-httplib server on 127.0.0.1 that records every request with its form parts in
// the order they came, and answers as the test tells it.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace infemora::testenv {

// A CA and server certificates for 127.0.0.1, written into `dir`.
struct TestZertifikate {
    explicit TestZertifikate(const std::string& dir);
    std::string caCert;     // the CA the client is told to trust
    std::string serverCert; // for 127.0.0.1, signed by the CA
    std::string serverKey;
    std::string fremdCert; // for 127.0.0.1, self-signed: nobody trusts it
    std::string fremdKey;
    std::string falscherNameCert; // signed by the CA, but for another host name
    std::string falscherNameKey;
};

struct FormTeil {
    std::string name;
    std::string filename;
    std::string contentType;
    std::string inhalt;
};

struct Aufzeichnung {
    std::string pfad;
    std::string userAgent;
    std::string contentType;
    std::vector<FormTeil> teile; // in the order of the body
    int tlsVersion = 0;          // as OpenSSL names it (TLS1_2_VERSION ...)
};

struct ServerVerhalten {
    std::string challenge = "1000#57"; // body of the first answer
    int status1 = 200;
    int status2 = 200;
    std::string weiterleitung;            // when set, the first request gets a 302 to this address
    std::chrono::milliseconds haengen{0}; // the first request gets no answer for this long
    bool nurTls13 = false;                // refuses everything older than TLS 1.3
    bool ohneTls = false;                 // plain HTTP
};

class TestHttpsServer {
public:
    TestHttpsServer(const std::string& cert, const std::string& key, ServerVerhalten verhalten = {});
    ~TestHttpsServer(); // stops the server, releases a hanging request first
    TestHttpsServer(const TestHttpsServer&) = delete;
    TestHttpsServer& operator=(const TestHttpsServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& pfad = "/vktservice/infoprotauswertung/index.php") const;
    std::vector<Aufzeichnung> anfragen() const;

private:
    ServerVerhalten verhalten_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable freigabe_;
    bool beenden_ = false;
    std::vector<Aufzeichnung> anfragen_;
};

// A port on 127.0.0.1 where nobody listens.
int FreierPort();

} // namespace infemora::testenv
