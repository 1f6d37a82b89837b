#include "https_test_server.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <fstream>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace infemora::testenv {

namespace {

void Ausfuehren(const std::string& befehl) {
    // The test may stand in a folder that is gone; the paths are absolute.
    if (std::system(("cd / && " + befehl + " >/dev/null 2>&1").c_str()) != 0)
        throw std::runtime_error("failed: " + befehl);
}

// A key and a signing request for `cn`, then a certificate signed by the CA with `san`.
void SigniertesZertifikat(const std::string& dir, const std::string& name, const std::string& cn,
                          const std::string& san) {
    const std::string basis = dir + "/" + name;
    {
        std::ofstream ext(basis + ".ext");
        ext << "subjectAltName=" << san << "\nbasicConstraints=CA:FALSE\n"
            << "keyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n";
    }
    Ausfuehren("openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj '/CN=" + cn +
               "' -keyout '" + basis + ".key' -out '" + basis + ".csr'");
    Ausfuehren("openssl x509 -req -in '" + basis + ".csr' -CA '" + dir + "/ca.pem' -CAkey '" + dir +
               "/ca.key' -CAcreateserial -days 2 -out '" + basis + ".pem' -extfile '" + basis + ".ext'");
}

} // namespace

TestZertifikate::TestZertifikate(const std::string& dir) {
    Ausfuehren("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
               "-subj '/CN=infemora test CA' -addext basicConstraints=critical,CA:TRUE "
               "-addext keyUsage=critical,keyCertSign,cRLSign -keyout '" +
               dir + "/ca.key' -out '" + dir + "/ca.pem'");
    SigniertesZertifikat(dir, "server", "127.0.0.1", "IP:127.0.0.1");
    SigniertesZertifikat(dir, "falscher-name", "anderer-host.invalid", "DNS:anderer-host.invalid");
    Ausfuehren("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
               "-subj '/CN=127.0.0.1' -addext subjectAltName=IP:127.0.0.1 -keyout '" +
               dir + "/fremd.key' -out '" + dir + "/fremd.pem'");
    caCert = dir + "/ca.pem";
    serverCert = dir + "/server.pem";
    serverKey = dir + "/server.key";
    fremdCert = dir + "/fremd.pem";
    fremdKey = dir + "/fremd.key";
    falscherNameCert = dir + "/falscher-name.pem";
    falscherNameKey = dir + "/falscher-name.key";
}

TestHttpsServer::TestHttpsServer(const std::string& cert, const std::string& key, ServerVerhalten verhalten)
    : verhalten_(std::move(verhalten)) {
    if (verhalten_.ohneTls) {
        server_ = std::make_unique<httplib::Server>();
    } else {
        auto ssl = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
        if (!ssl->is_valid())
            throw std::runtime_error("test server: certificate not usable: " + cert);
        if (verhalten_.nurTls13)
            SSL_CTX_set_min_proto_version(ssl->ssl_context(), TLS1_3_VERSION);
        server_ = std::move(ssl);
    }
    server_->Post(".*", [this](const httplib::Request& req, httplib::Response& res,
                               const httplib::ContentReader& reader) {
        Aufzeichnung a;
        a.pfad = req.path;
        a.userAgent = req.get_header_value("User-Agent");
        a.contentType = req.get_header_value("Content-Type");
        if (req.ssl)
            a.tlsVersion = SSL_version(req.ssl);
        if (req.is_multipart_form_data()) {
            reader(
                [&](const httplib::MultipartFormData& teil) {
                    a.teile.push_back({teil.name, teil.filename, teil.content_type, {}});
                    return true;
                },
                [&](const char* data, std::size_t len) {
                    a.teile.back().inhalt.append(data, len);
                    return true;
                });
        } else {
            a.teile.push_back({});
            reader([&](const char* data, std::size_t len) {
                a.teile.back().inhalt.append(data, len);
                return true;
            });
        }
        std::size_t nummer = 0;
        {
            std::unique_lock lock(mutex_);
            anfragen_.push_back(std::move(a));
            nummer = anfragen_.size();
            if (nummer == 1 && verhalten_.haengen.count() > 0)
                freigabe_.wait_for(lock, verhalten_.haengen, [this] { return beenden_; });
        }
        if (nummer == 1) {
            if (!verhalten_.weiterleitung.empty()) {
                res.set_redirect(verhalten_.weiterleitung);
                return;
            }
            res.status = verhalten_.status1;
            res.set_content(verhalten_.challenge, "text/plain");
        } else {
            res.status = verhalten_.status2;
            res.set_content("OK", "text/plain");
        }
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        throw std::runtime_error("test server: no port on 127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() does nothing before the accept loop runs; a quick test would otherwise never end.
    while (!server_->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestHttpsServer::~TestHttpsServer() {
    {
        std::lock_guard lock(mutex_);
        beenden_ = true;
    }
    freigabe_.notify_all();
    server_->stop();
    if (thread_.joinable())
        thread_.join();
}

std::string TestHttpsServer::url(const std::string& pfad) const {
    return std::string(verhalten_.ohneTls ? "http" : "https") + "://127.0.0.1:" + std::to_string(port_) +
           pfad;
}

std::vector<Aufzeichnung> TestHttpsServer::anfragen() const {
    std::lock_guard lock(mutex_);
    return anfragen_;
}

int FreierPort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(s);
    return port;
}

} // namespace infemora::testenv
