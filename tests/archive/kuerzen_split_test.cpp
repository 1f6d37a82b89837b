// The cutoff day, the three line tests and the one-pass split.
#include "archive/kuerzen_run.h"
#include "host/datetime.h"
#include "host/messages.h"
#include "kuerzen_fixture.h"
#include "support/test_env.h"
#include "textview/log_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

namespace infemora {
namespace {

using kuerzentest::Concat;
using kuerzentest::Eintrag;

class KuerzenZeilen : public ::testing::Test {
protected:
    void SetUp() override {
        SetClockForTesting(EncodeDate(2026, 12, 8) + EncodeTime(14, 30, 0, 0));
        stichtag = KuerzStichtag(10);
    }
    void TearDown() override { SetClockForTesting(TDateTime()); }

    testenv::TempSite site; // German formats, quiet message service
    TDateTime stichtag;
    kuerzentest::RecordingProgress progress;
};

TEST_F(KuerzenZeilen, TenDaysOnTheEighthOfDecemberKeepFromTheTwentyEighthOfNovember) {
    EXPECT_EQ(stichtag, EncodeDate(2026, 11, 28)) << "the time of day is not part of the cutoff";
    EXPECT_TRUE(CheckTransferDatum("20261127 Abruf", stichtag));
    EXPECT_FALSE(CheckTransferDatum("20261128 Abruf", stichtag));
    EXPECT_EQ(KuerzStichtag(-5), EncodeDate(2026, 12, 13)) << "negative days put the cutoff after today";
    EXPECT_EQ(KuerzStichtag(0), EncodeDate(2026, 12, 8));
}

TEST_F(KuerzenZeilen, TransferLinesWithoutADateCountAsOld) {
    struct Fall {
        const char* line;
        bool alt;
    } faelle[] = {
        {"20261128", false}, // exactly the date, nothing after it
        {"20261208 heute", false},  {"20270101 Zukunft", false}, {"", true}, // empty line
        {"2026112", true},                                                   // shorter than the date
        {"   Fortsetzung", true},                                            // continuation line
        {"2026113x Abruf", true},                                            // letters in the digits
        {"20261131 Abruf", true},                                            // no such day
        {"2026-11-30 Abruf", true},
    };
    for (const auto& f : faelle)
        EXPECT_EQ(CheckTransferDatum(f.line, stichtag), f.alt) << "'" << f.line << "'";
}

TEST_F(KuerzenZeilen, MenuLinesAreDatedByTheTextBeforeTheFirstSeparator) {
    struct Fall {
        const char* line;
        bool alt;
    } faelle[] = {
        {"28.11.2026\xF8"
         "10:00:00\xF8"
         "BEDIENER1",
         false},
        {"27.11.2026\xF8"
         "10:00:00\xF8"
         "BEDIENER1",
         true},
        {"28.11.26\xF8Kasse", false}, // the two-digit year reads as 2026
        {"27.11.26\xF8Kasse", true},
        {" 28.11.2026 \xF8Kasse", false}, // blanks around the date
        {"28.11.2026 Kasse ohne Trenner", true},
        {"\xF8"
         "28.11.2026",
         true}, // nothing before the separator
        {"Montag\xF8Kasse", true},
        {"31.11.2026\xF8Kasse", true},
        {"", true},
    };
    for (const auto& f : faelle)
        EXPECT_EQ(CheckMenuDatum(f.line, stichtag), f.alt) << "'" << f.line << "'";

    // A date that is none reads as 30.12.1899, which is old even for a cutoff far back.
    EXPECT_FALSE(CheckMenuDatum("kein Datum", TDateTime()));
    EXPECT_TRUE(CheckMenuDatum("kein Datum", EncodeDate(1899, 12, 31)));
}

TEST_F(KuerzenZeilen, OnlyARecentEntryStartEndsTheOldInfoPart) {
    const std::string start = "00001<< Eintrag";
    EXPECT_FALSE(CheckInfoDatum(start, "00001## 20261128 080000 KASSE1", stichtag));
    EXPECT_TRUE(CheckInfoDatum(start, "00001## 20261127 235959 KASSE1", stichtag));
    EXPECT_TRUE(CheckInfoDatum("00001   Text", "00001## 20261208 080000", stichtag)) << "no entry start";
    EXPECT_TRUE(CheckInfoDatum(start, "00001<< noch ein Start", stichtag)) << "no stamp line after it";
    EXPECT_TRUE(CheckInfoDatum(start, "00001## 2026-12-08 080000", stichtag))
        << "date digits that are no date";
    EXPECT_TRUE(CheckInfoDatum(start, "00001## 20261232 080000", stichtag));
    EXPECT_TRUE(CheckInfoDatum(start, "00001## 202612", stichtag)) << "stamp line shorter than the date";
    EXPECT_TRUE(CheckInfoDatum(start, "00001##", stichtag));
    EXPECT_TRUE(CheckInfoDatum("0001<<", "00001## 20261208", stichtag)) << "too short for an entry start";
    EXPECT_TRUE(CheckInfoDatum("", "", stichtag));
    EXPECT_TRUE(Info().registered().empty());
}

TEST_F(KuerzenZeilen, TheOldPartEndsOnceAndForAll) {
    Lines arbeit = {"20261101 a", "   weiter", "20261127 b", "20261128 c", "20261101 d", "   weiter", "x"};
    Lines alt, neu;
    ZeilenAufteilen(
        arbeit, [&](std::string_view l) { return CheckTransferDatum(l, stichtag); }, alt, neu, progress);
    EXPECT_EQ(alt, Lines({"20261101 a", "   weiter", "20261127 b"}));
    EXPECT_EQ(neu, Lines({"20261128 c", "20261101 d", "   weiter", "x"}))
        << "after the first recent line even old or undated lines stay recent";
    EXPECT_TRUE(arbeit.empty());
}

TEST_F(KuerzenZeilen, AnEmptySeparatorLineTravelsWithTheFirstRecentEntry) {
    Lines alteEintraege =
        Concat({Eintrag("20261101", "080000", "alt1"), Eintrag("20261127", "235959", "alt2")});
    Lines neueEintraege =
        Concat({Eintrag("20261128", "000000", "neu1"), Eintrag("20261205", "120000", "neu2")});
    Lines arbeit = Concat({alteEintraege, {"00001 \t "}, neueEintraege});
    Lines alt, neu;
    InfoAufteilen(arbeit, stichtag, alt, neu, progress);
    EXPECT_EQ(alt, alteEintraege);
    EXPECT_EQ(neu, Concat({{"00001 \t "}, neueEintraege}));
}

TEST_F(KuerzenZeilen, ASeparatorWithContentStaysWithTheOldPart) {
    Lines alteEintraege = Eintrag("20261101", "080000", "alt1");
    Lines neueEintraege =
        Concat({Eintrag("20261128", "000000", "neu1"), Eintrag("20261205", "120000", "neu2")});
    // Six characters after trimming are content; only one line travels, not two.
    Lines arbeit = Concat({alteEintraege, {" 123456 ", "00001", "  "}, neueEintraege});
    Lines alt, neu;
    InfoAufteilen(arbeit, stichtag, alt, neu, progress);
    EXPECT_EQ(alt, Concat({alteEintraege, {" 123456 ", "00001"}}));
    EXPECT_EQ(neu, Concat({{"  "}, neueEintraege}));
}

TEST_F(KuerzenZeilen, LinesBeforeTheFirstRecentEntryAreArchived) {
    Lines arbeit =
        Concat({{"Kopfzeile der Datei", "00002## 20261101"}, Eintrag("20261201", "080000", "neu")});
    Lines alt, neu;
    InfoAufteilen(arbeit, stichtag, alt, neu, progress);
    EXPECT_EQ(alt, Lines({"Kopfzeile der Datei", "00002## 20261101"}));
    EXPECT_EQ(neu, Eintrag("20261201", "080000", "neu"));

    arbeit = Eintrag("20261201", "080000", "neu");
    alt.clear();
    neu.clear();
    InfoAufteilen(arbeit, stichtag, alt, neu, progress);
    EXPECT_TRUE(alt.empty()) << "a text that starts recent has no old part";
    EXPECT_EQ(neu.size(), 3u);
}

TEST_F(KuerzenZeilen, ARecentEntryAmongTheLastTwoLinesDoesNotEndTheOldPart) {
    Lines alteEintraege = Eintrag("20261101", "080000", "alt");
    // The recent start and its stamp are the last two lines: never tested.
    Lines arbeit = Concat({alteEintraege, {"00001<< neu", "00001## 20261208 080000"}});
    Lines alt, neu;
    InfoAufteilen(arbeit, stichtag, alt, neu, progress);
    EXPECT_EQ(alt.size(), 5u);
    EXPECT_TRUE(neu.empty());

    // One line more and the start is tested.
    arbeit = Concat({alteEintraege, {"00001<< neu", "00001## 20261208 080000", "     Text"}});
    alt.clear();
    InfoAufteilen(arbeit, stichtag, alt, neu, progress);
    EXPECT_EQ(alt, alteEintraege);
    EXPECT_EQ(neu.size(), 3u);
}

TEST_F(KuerzenZeilen, AnEntryWithoutAValidDateDoesNotEndTheOldPart) {
    Lines arbeit = Concat({Eintrag("2026120x", "080000", "kaputt"), Eintrag("20261202", "080000", "neu")});
    Lines alt, neu;
    InfoAufteilen(arbeit, stichtag, alt, neu, progress);
    EXPECT_EQ(alt, Eintrag("2026120x", "080000", "kaputt"));
    EXPECT_EQ(neu, Eintrag("20261202", "080000", "neu"));
}

TEST_F(KuerzenZeilen, WindowMessagesRunEveryTwoHundredFiftyLines) {
    Lines arbeit(501, "20261101 alt");
    Lines alt, neu;
    ZeilenAufteilen(
        arbeit, [&](std::string_view l) { return CheckTransferDatum(l, stichtag); }, alt, neu, progress);
    EXPECT_EQ(progress.pumps, 3); // lines 0, 250, 500
    arbeit.assign(500, "x");
    InfoAufteilen(arbeit, stichtag, alt, neu, progress);
    EXPECT_EQ(progress.pumps, 5); // lines 0, 250
}

// The run splits the merged text where InfoAufteilen would, reading it as a file: the same cut
// for every shape the rule knows.
TEST_F(KuerzenZeilen, TheCutInTheMergedTextIsWhereTheSplitOfItsLinesWouldBe) {
    const Lines alt1 = Eintrag("20261101", "080000", "alt1"), alt2 = Eintrag("20261127", "235959", "alt2");
    const Lines neu1 = Eintrag("20261128", "000000", "neu1"), neu2 = Eintrag("20261205", "120000", "neu2");
    const std::vector<Lines> texte = {
        {},
        Concat({alt1, alt2}),
        Concat({neu1, neu2}),
        Concat({alt1, {"00001 \t "}, neu1, neu2}),
        Concat({alt1, {" 123456 ", "00001", "  "}, neu1}),
        Concat({{"Kopf", "ohne Eintrag"}, alt1, neu1}),
        Concat({alt1, {"00001<< x"}, neu1}),
        Concat({alt1, {"00001<< spaet", "00001## 20261208 080000"}}), // among the last two lines
        Concat({alt2, Eintrag("2026-12-x", "080000", "kein Datum"), neu2}),
    };
    for (std::size_t t = 0; t < texte.size(); ++t) {
        Lines arbeit = texte[t], alt, neu;
        InfoAufteilen(arbeit, stichtag, alt, neu, progress);
        LogDocument text;
        text.setLines(texte[t]);
        EXPECT_EQ(InfoSchnitt(text, stichtag, progress), static_cast<std::int64_t>(alt.size()))
            << "text " << t;
    }
}

// The cut found while the text is written, in pieces of any size, is the cut of the text read
// as the view reads it: the same line, and its first byte. Random texts of the lines the rule
// looks at, with every kind of line break (also a CR at the end of a piece), blank and long
// lines, and no break after the last line.
TEST_F(KuerzenZeilen, TheCutFoundWhileWritingIsTheCutOfTheWrittenText) {
    const std::vector<std::string> bausteine = {
        "00001<< alt",
        "00001## 20261127 235959 alt",
        "00001<< neu",
        "00001## 20261128 000000 neu",
        "00001## 2026113x 000000 kein Datum",
        "00001##",
        "Text einer Meldung, l\xE4nger als der Kopf, den sich die Suche merkt",
        "",
        "  \t ",
        " 12345 ",
        "123456",
        "x",
        std::string(100, ' ') + "x" + std::string(100, ' '),
    };
    const std::vector<std::string> umbrueche = {"\r\n", "\r\n", "\n", "\r", "\r\r\n"};
    std::mt19937 zufall(20261209);
    auto wahl = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(zufall); };
    for (int runde = 0; runde < 400; ++runde) {
        std::string bytes;
        const std::size_t zeilen = wahl(30);
        for (std::size_t z = 0; z < zeilen; ++z) {
            bytes += bausteine[wahl(bausteine.size())];
            if (z + 1 < zeilen || wahl(2) == 0)
                bytes += umbrueche[wahl(umbrueche.size())];
        }
        LogDocument text;
        text.setBytes(bytes);
        const std::int64_t erwartet = InfoSchnitt(text, stichtag, progress);

        InfoSchnittSuche suche(stichtag);
        std::optional<std::uint64_t> offset;
        for (std::size_t von = 0; von < bytes.size();) {
            const std::size_t n = std::min(bytes.size() - von, 1 + wahl(runde % 2 ? 3 : 40));
            const std::optional<std::uint64_t> jetzt = suche.Feed(bytes.data() + von, n);
            von += n;
            if (offset) {
                EXPECT_EQ(jetzt, offset) << "the cut, once named, stays";
            } else if (jetzt) {
                EXPECT_LE(*jetzt, von);
                offset = jetzt;
            }
        }
        if (!offset)
            offset = suche.Finish();
        else
            suche.Finish();
        const std::string fall = "round " + std::to_string(runde);
        EXPECT_EQ(suche.zeilen(), text.lineCount()) << fall;
        EXPECT_EQ(suche.schnittZeile(), erwartet) << fall;
        EXPECT_EQ(offset.has_value(), erwartet < text.lineCount()) << fall;
        if (offset && erwartet < text.lineCount()) {
            EXPECT_EQ(*offset, text.lineByteStart(erwartet)) << fall;
        }
    }
}

} // namespace
} // namespace infemora
