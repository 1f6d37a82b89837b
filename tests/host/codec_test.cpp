#include "host/codec1252.h"

#include <gtest/gtest.h>

using namespace infemora;

TEST(Codec1252, EveryByteSurvivesTheRoundTripThroughUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    std::string utf8 = Win1252ToUtf8(all);
    EXPECT_EQ(Utf8ToWin1252(utf8), all);
}

TEST(Codec1252, GermanLettersAndSpecialSigns) {
    EXPECT_EQ(Win1252ToUtf8("\xE4\xF6\xFC\xDF\xF8\x80"), "äöüßø€");
    EXPECT_EQ(Utf8ToWin1252("Menüprotokoll ø €"), "Men\xFCprotokoll \xF8 \x80");
    EXPECT_EQ(Utf8ToWin1252("漢"), "?"); // no Windows-1252 byte for it
}

TEST(Codec1252, MalformedUtf8KeepsItsBytes) {
    EXPECT_EQ(Utf8ToWin1252("a\xFF"
                            "b"),
              "a\xFF"
              "b");
    EXPECT_EQ(Utf8ToWin1252("\xC3"), "\xC3"); // cut in the middle of a sequence
}

TEST(Codec1252, Utf16WithSurrogatesBecomesQuestionMark) {
    std::u16string text = u"Grüße \U0001F600";
    EXPECT_EQ(Utf16ToWin1252(text), "Gr\xFC\xDF"
                                    "e ?");
}

TEST(Codec1252, UpperCaseFollowsTheCodePage) {
    EXPECT_EQ(UpperCase1252("infoprot.tmp"), "INFOPROT.TMP");
    EXPECT_EQ(UpperCase1252("\xE4\xF6\xFC\xDF\xFF\x9A"), "\xC4\xD6\xDC\xDF\x9F\x8A");
    EXPECT_EQ(UpperCase1252("\xF7"), "\xF7"); // the division sign has no capital
    EXPECT_EQ(LowerCase1252("\xC4XY\x8A"), "\xE4xy\x9A");
}
