#pragma once
// Comparisons of Windows-1252 text as the evaluation needs them: the program family's
// CompareText and UpperCase touch only the ASCII letters; every other byte compares by value.
#include <string>
#include <string_view>

namespace infemora {

constexpr char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string UpperCaseAscii(std::string_view text);

// Negative, zero or positive; a to z compare as A to Z, other bytes unsigned; a prefix first.
int CompareTextAscii(std::string_view a, std::string_view b);

// Case-sensitive substring test.
inline bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}
// Whether `text`, upper-cased as UpperCaseAscii does, contains `upperPart` (already upper-cased).
bool ContainsUpperAscii(std::string_view text, std::string_view upperPart);

// Part of `text` from 1-based position `index1`, at most `count` characters; positions outside
// the text give what there is, as the program family's string routines count.
inline std::string_view Copy(std::string_view text, std::size_t index1,
                             std::size_t count = std::string_view::npos) {
    if (index1 < 1 || index1 > text.size())
        return {};
    return text.substr(index1 - 1, count);
}

// Without leading and trailing blanks and control characters (every byte up to 0x20).
std::string_view TrimBlanks(std::string_view text);

// German collation without regard to letter case, as the locale sorts the evaluation's lists.
// Sort keys compare as byte strings (std::string's operator<); equal keys mean texts that differ
// at most in letter case.
class GermanCollator {
public:
    GermanCollator();
    ~GermanCollator();
    GermanCollator(const GermanCollator&) = delete;
    GermanCollator& operator=(const GermanCollator&) = delete;

    std::string SortKey(std::string_view text1252) const;
    int Compare(std::string_view a1252, std::string_view b1252) const;

private:
    struct Impl;
    Impl* impl_;
};

} // namespace infemora
