#pragma once
// The evaluation password is kept only as a salted PBKDF2 hash; the clear text is never stored.
#include <string>
#include <string_view>

namespace infemora {

// "pbkdf2-sha256$<iterations>$<salt hex>$<hash hex>"
std::string MakePasswordHash(std::string_view password, int iterations = 310000);
// Constant-time comparison; false for a malformed stored hash.
bool CheckPasswordHash(std::string_view password, std::string_view stored);

} // namespace infemora
