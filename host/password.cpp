#include "host/password.h"

#include "host/errors.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <vector>

namespace infemora {

namespace {

std::string toHex(const unsigned char* p, size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out;
}

bool fromHex(std::string_view hex, std::vector<unsigned char>& out) {
    if (hex.size() % 2 != 0 || hex.empty())
        return false;
    out.clear();
    auto val = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < hex.size(); i += 2) {
        int a = val(hex[i]), b = val(hex[i + 1]);
        if (a < 0 || b < 0)
            return false;
        out.push_back(static_cast<unsigned char>(a * 16 + b));
    }
    return true;
}

std::vector<unsigned char> derive(std::string_view pw, const std::vector<unsigned char>& salt, int iterations,
                                  size_t length) {
    std::vector<unsigned char> key(length);
    if (PKCS5_PBKDF2_HMAC(pw.data(), static_cast<int>(pw.size()), salt.data(), static_cast<int>(salt.size()),
                          iterations, EVP_sha256(), static_cast<int>(length), key.data()) != 1)
        throw EInfemora("Passwort-Hash kann nicht berechnet werden");
    return key;
}

} // namespace

std::string MakePasswordHash(std::string_view password, int iterations) {
    std::vector<unsigned char> salt(16);
    if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1)
        throw EInfemora("Keine Zufallszahlen für den Passwort-Hash verfügbar");
    auto key = derive(password, salt, iterations, 32);
    return "pbkdf2-sha256$" + std::to_string(iterations) + "$" + toHex(salt.data(), salt.size()) + "$" +
           toHex(key.data(), key.size());
}

bool CheckPasswordHash(std::string_view password, std::string_view stored) {
    // pbkdf2-sha256$iterations$salt$hash
    const std::string_view prefix = "pbkdf2-sha256$";
    if (stored.substr(0, prefix.size()) != prefix)
        return false;
    stored.remove_prefix(prefix.size());
    auto p1 = stored.find('$');
    if (p1 == std::string_view::npos)
        return false;
    auto p2 = stored.find('$', p1 + 1);
    if (p2 == std::string_view::npos)
        return false;
    int iterations = 0;
    for (char c : stored.substr(0, p1)) {
        if (c < '0' || c > '9' || iterations > 100'000'000)
            return false;
        iterations = iterations * 10 + (c - '0');
    }
    std::vector<unsigned char> salt, expected;
    if (iterations < 1 || !fromHex(stored.substr(p1 + 1, p2 - p1 - 1), salt) ||
        !fromHex(stored.substr(p2 + 1), expected))
        return false;
    auto key = derive(password, salt, iterations, expected.size());
    return CRYPTO_memcmp(key.data(), expected.data(), expected.size()) == 0;
}

} // namespace infemora
