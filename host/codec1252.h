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

// Well-formed UTF-8: no stray or missing continuation byte, no overlong form, no surrogate,
// nothing above U+10FFFF. Pure ASCII is.
bool IsValidUtf8(std::string_view bytes);
// A text that may be either: a line the program writes in Windows-1252 may hold a path, which
// this file system keeps in UTF-8. Valid UTF-8 is taken as it is, anything else as Windows-1252
// (an umlaut in Windows-1252 is never valid UTF-8). The result is UTF-8.
std::string Utf8OrWin1252ToUtf8(std::string_view bytes);

// Upper case as the locale does it for Windows-1252 text (ä -> Ä, ß stays).
char UpperChar1252(char c);
std::string UpperCase1252(std::string_view text);
std::string LowerCase1252(std::string_view text);

} // namespace infemora
