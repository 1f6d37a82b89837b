#pragma once
// Text is kept as the files hold it: bytes in Windows-1252, the code page of the point-of-sale
// programs. Decoding to Unicode happens only at the view or where UTF-8 is printed.
#include <string>
#include <string_view>

namespace infemora {

// Unicode code point of one Windows-1252 byte. The five bytes without a character
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control points of the same value, so that every
// byte survives a round trip.
char32_t Win1252ToUnicode(unsigned char byte);
// The byte for a code point, or -1 when Windows-1252 has none.
int UnicodeToWin1252(char32_t cp);

std::string Win1252ToUtf8(std::string_view bytes);
// Characters without a Windows-1252 byte become '?'. Malformed UTF-8 bytes are taken as
// Windows-1252 bytes, so nothing is dropped.
std::string Utf8ToWin1252(std::string_view utf8);
std::string Utf16ToWin1252(std::u16string_view text);

// Upper case as the locale does it for Windows-1252 text (ä -> Ä, ß stays).
char UpperChar1252(char c);
std::string UpperCase1252(std::string_view text);
std::string LowerCase1252(std::string_view text);

} // namespace infemora
