#pragma once
// A slow, obviously correct model of a text, to check the line index against.
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace infemora::textoracle {

// Lines at CR LF, LF or CR, one character at a time.
inline std::vector<std::string> splitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::string current;
    bool open = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            open = false;
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            current += c;
            open = true;
        }
    }
    if (open)
        lines.push_back(current);
    return lines;
}

// The text with each line break as the single character '\n'.
inline std::string characters(const std::vector<std::string>& lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out += '\n';
        out += lines[i];
    }
    return out;
}

// Bytes of short lines with every kind of line break, NUL and high bytes among them.
inline std::string randomText(std::mt19937& rng, std::size_t size) {
    static const char alphabet[] = {'a', 'b', ' ', '\0', '\xFC', '\r', '\n', '\r', '\n', 'x'};
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof alphabet) - 1);
    std::string out(size, ' ');
    for (char& c : out)
        c = alphabet[pick(rng)];
    return out;
}

} // namespace infemora::textoracle
