#pragma once
// Windows-1252 case folding for searching and filtering logs of hundreds of megabytes: many
// bytes folded at a time, with the same result as UpperChar1252 byte by byte.
#include <cstddef>
#include <string>
#include <string_view>

namespace infemora {

void FoldBytes1252(const unsigned char* in, unsigned char* out, std::size_t n);

// The first occurrence of the (upper-case) needle in text at or after from, compared without
// regard to case; npos when there is none. scratch holds the folded text afterwards.
std::size_t FindFolded(std::string_view text, std::string_view upperNeedle, std::size_t from,
                       std::string& scratch);

} // namespace infemora
