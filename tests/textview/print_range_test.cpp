// The lines a print puts out: counted without decoding, and the same lines the selected text
// gives when it is split at its line breaks.
#include "host/textfile.h"
#include "text_oracle.h"
#include "textview/print_range.h"

#include <gtest/gtest.h>

#include <random>

namespace infemora {
namespace {

Lines gedruckt(const DruckZeilen& z) {
    Lines out;
    for (std::int64_t i = 0; i < z.anzahl(); ++i)
        out.push_back(z.zeile(i));
    return out;
}

TEST(DruckZeilen, AllLinesOfTheView) {
    LogDocument doc;
    doc.setBytes("eins\r\nzwei\ndrei\r\n");
    const DruckZeilen z = DruckZeilen::Alle(doc);
    EXPECT_EQ(gedruckt(z), (Lines{"eins", "zwei", "drei"}));
}

TEST(DruckZeilen, SelectionGivesTheLinesOfTheSelectedText) {
    std::mt19937 rng(11);
    const std::string bytes = textoracle::randomText(rng, 2000);
    LogDocument doc;
    doc.setBytes(bytes);
    std::uniform_int_distribution<std::int64_t> anyPos(0, doc.textLength());
    std::uniform_int_distribution<std::int64_t> anyLength(0, 120);
    for (int i = 0; i < 1500; ++i) {
        const std::int64_t start = anyPos(rng);
        const std::int64_t length = std::min(anyLength(rng), doc.textLength() - start);
        ASSERT_EQ(gedruckt(DruckZeilen::Auswahl(doc, start, length)), SplitLines(doc.text(start, length)))
            << start << "+" << length;
    }
}

TEST(DruckZeilen, SelectionEdgeCases) {
    LogDocument doc;
    doc.setBytes("ab\r\ncd\r\n\r\nef");
    struct Fall {
        const char* name;
        std::int64_t start, length;
        Lines erwartet;
    };
    const Fall faelle[] = {
        {"nothing selected", 3, 0, {}},
        {"inside one line", 0, 1, {"a"}},
        {"a line with its break", 0, 3, {"ab"}},
        {"only a line break", 2, 1, {""}},
        {"from behind a line end", 2, 3, {"", "cd"}},
        {"over an empty line", 3, 5, {"cd", "", "e"}},
    };
    for (const auto& f : faelle)
        EXPECT_EQ(gedruckt(DruckZeilen::Auswahl(doc, f.start, f.length)), f.erwartet) << f.name;
}

TEST(DruckZeilen, PageRangesKeepTheLinesOfThosePages) {
    LogDocument doc;
    Lines zeilen;
    for (int i = 1; i <= 25; ++i)
        zeilen.push_back("z" + std::to_string(i));
    doc.setLines(zeilen);
    struct Fall {
        const char* name;
        int von, bis;
        std::int64_t anzahl;
        std::string erste;
    };
    const Fall faelle[] = {
        {"all pages", 0, 0, 25, "z1"},
        {"the second page", 2, 2, 10, "z11"},
        {"pages two to three, the last one short", 2, 3, 15, "z11"},
        {"past the end", 4, 9, 0, ""},
        {"up to a page past the end", 1, 9, 25, "z1"},
    };
    for (const auto& f : faelle) {
        DruckZeilen z = DruckZeilen::Alle(doc);
        z.Seiten(10, f.von, f.bis);
        EXPECT_EQ(z.anzahl(), f.anzahl) << f.name;
        if (f.anzahl > 0) {
            EXPECT_EQ(z.zeile(0), f.erste) << f.name;
        }
    }
}

TEST(DruckZeilen, PagesOfASelectionCountFromItsFirstLine) {
    LogDocument doc;
    doc.setLines({"a1", "a2", "a3", "a4", "a5"});
    DruckZeilen z = DruckZeilen::Auswahl(doc, 3, 11); // from "a2" to the end
    z.Seiten(2, 2, 2);
    EXPECT_EQ(gedruckt(z), (Lines{"a4", "a5"}));
}

} // namespace
} // namespace infemora
