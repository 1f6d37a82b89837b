#include "textview/text_search.h"

#include "host/codec1252.h"

#include <algorithm>
#include <array>
#include <vector>

namespace infemora {

namespace {

constexpr std::uint64_t kBlockBytes = 4u << 20;

const std::array<char, 256>& foldTable() {
    static const std::array<char, 256> table = [] {
        std::array<char, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[i] = UpperChar1252(static_cast<char>(i));
        return t;
    }();
    return table;
}

// Lines [first, last) read in one piece and folded to upper case.
struct Block {
    std::int64_t first = 0, last = 0;
    std::uint64_t byteStart = 0;
    std::string bytes;

    void load(const LogDocument& doc, std::int64_t from, std::int64_t to) {
        first = from;
        last = to;
        byteStart = doc.lineByteStart(from);
        std::uint64_t end = to < doc.lineCount() ? doc.lineByteStart(to) : byteStart;
        if (to >= doc.lineCount()) {
            // The last line's end: its start plus its length and at most two line-break bytes.
            end = doc.lineByteStart(to - 1) + static_cast<std::uint64_t>(doc.lineLength(to - 1)) + 2;
        }
        bytes.resize(end - byteStart);
        bytes.resize(doc.readBytes(byteStart, bytes.data(), bytes.size()));
        const auto& fold = foldTable();
        for (char& c : bytes)
            c = fold[static_cast<unsigned char>(c)];
    }

    // The line's text inside the block; shorter when the file was cut meanwhile.
    std::string_view lineText(const LogDocument& doc, std::int64_t line) const {
        std::uint64_t off = doc.lineByteStart(line) - byteStart;
        if (off >= bytes.size())
            return {};
        auto len =
            std::min<std::uint64_t>(static_cast<std::uint64_t>(doc.lineLength(line)), bytes.size() - off);
        return std::string_view(bytes).substr(off, len);
    }
};

// How many lines from `from` on make about one block (at least one line).
std::int64_t blockEndForward(const LogDocument& doc, std::int64_t from) {
    std::int64_t n = doc.lineCount();
    std::uint64_t limit = doc.lineByteStart(from) + kBlockBytes;
    std::int64_t lo = from + 1, hi = n;
    while (lo < hi) {
        std::int64_t mid = lo + (hi - lo + 1) / 2;
        if (doc.lineByteStart(mid - 1) <= limit)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

std::int64_t blockStartBackward(const LogDocument& doc, std::int64_t to) {
    std::uint64_t endByte = doc.lineByteStart(to - 1);
    std::uint64_t limit = endByte > kBlockBytes ? endByte - kBlockBytes : 0;
    std::int64_t lo = 0, hi = to - 1;
    while (lo < hi) {
        std::int64_t mid = lo + (hi - lo) / 2;
        if (doc.lineByteStart(mid) >= limit)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

} // namespace

std::string SuchtextNormalisieren(std::string_view typed) {
    auto b = typed.find_first_not_of(' ');
    if (b == std::string_view::npos)
        return {};
    auto e = typed.find_last_not_of(' ');
    return UpperCase1252(typed.substr(b, e - b + 1));
}

std::int64_t SucheVorwaerts(const LogDocument& doc, std::string_view needle, std::int64_t start) {
    if (needle.empty() || doc.lineCount() == 0)
        return -1;
    LineColumn at = doc.lineColumn(std::max<std::int64_t>(0, start));
    Block block;
    for (std::int64_t line = at.line; line < doc.lineCount();) {
        block.load(doc, line, blockEndForward(doc, line));
        for (std::int64_t l = block.first; l < block.last; ++l) {
            std::string_view text = block.lineText(doc, l);
            std::size_t from = l == at.line ? static_cast<std::size_t>(at.column) : 0;
            if (from > text.size())
                continue;
            auto hit = text.find(needle, from);
            if (hit != std::string_view::npos)
                return doc.lineStart(l) + static_cast<std::int64_t>(hit);
        }
        line = block.last;
    }
    return -1;
}

std::int64_t SucheRueckwaerts(const LogDocument& doc, std::string_view needle, std::int64_t caret) {
    if (needle.empty() || doc.lineCount() == 0)
        return -1;
    // Lines that start after the caret are passed over.
    std::int64_t last = doc.lineColumn(std::max<std::int64_t>(0, caret)).line;
    if (doc.lineStart(last) > caret)
        --last;
    Block block;
    for (std::int64_t to = last + 1; to > 0;) {
        block.load(doc, blockStartBackward(doc, to), to);
        for (std::int64_t l = block.last - 1; l >= block.first; --l) {
            auto hit = block.lineText(doc, l).find(needle);
            if (hit == std::string_view::npos)
                continue;
            std::int64_t pos = doc.lineStart(l) + static_cast<std::int64_t>(hit);
            if (pos != caret)
                return pos;
        }
        to = block.first;
    }
    return -1;
}

} // namespace infemora
