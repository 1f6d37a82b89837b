// Reading a booking's record lines from its compressed blob, intact or not.
#include "booking_fixture.h"

#include <zlib.h>

#include <random>

using namespace infemora;
using namespace infemora::booktest;

namespace {

class BlobTest : public BookingTest {
protected:
    // Stores one booking with the given blob bytes and reads its record lines.
    TPKPF_Blob_Arr Lesen(const std::string& blob) {
        TPKPF_Buchung b = Buchung({1, ++nr_}, Tag(2024, 1, 1));
        b.Blob = blob;
        Schreiben({b});
        return LesenNr({1, nr_});
    }
    TPKPF_Blob_Arr LesenNr(TIntPair nr) {
        Tpkpffile f;
        f.OpenNew(-1);
        f.ExtendedFilterClear();
        f.SelectKey(KeyBuchungsNr);
        f.BuchungsNr.SetKeyWert(nr);
        f.Get_equal();
        EXPECT_TRUE(f.Found());
        TPKPF_Blob_Arr saetze{{"alt", "alt", "alt"}};
        PKPFBlobAuslesen(saetze, f);
        return saetze;
    }
    static bool IstDefekt(const TPKPF_Blob_Arr& s) {
        return s.size() == 1 && s[0].Kennung == "defekt" && s[0].WRDON.empty() && s[0].Beschreibung.empty();
    }

    std::int32_t nr_ = 0;
};

TEST_F(BlobTest, RecordLinesComeBackInStoredOrderWithTheirTextsUnchanged) {
    TPKPF_Buchung b = Buchung({7, 1}, Tag(2024, 1, 1));
    b.Saetze = {{"S3", "RW", "Preis ge\xE4ndert; alt 4,99 ; neu 5,49"},
                {"S1", "DE", std::string(255, 'x')},
                {"S2", "", "Kennung=doppelt: a=b"},
                {"", "ZA", ""}};
    Schreiben({b});
    TPKPF_Blob_Arr s = LesenNr({7, 1});
    ASSERT_EQ(s.size(), 4u);
    for (size_t i = 0; i < s.size(); ++i) {
        EXPECT_EQ(s[i].Kennung, b.Saetze[i].Kennung) << i;
        EXPECT_EQ(s[i].WRDON, b.Saetze[i].WRDON) << i;
        EXPECT_EQ(s[i].Beschreibung, b.Saetze[i].Beschreibung) << i;
    }
    EXPECT_TRUE(Info().registered().empty());
}

TEST_F(BlobTest, SectionsGiveTheLinesAndMissingKeysGiveEmptyTexts) {
    TPKPF_Blob_Arr s =
        Lesen(Zip("[Z]\r\nBeschreibung=nur Text\r\n[Leer]\r\n[Y]\r\nwrdon=DE\r\nKennung=K9\r\nAnders=1\r\n"));
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].Kennung, "");
    EXPECT_EQ(s[0].WRDON, "");
    EXPECT_EQ(s[0].Beschreibung, "nur Text");
    EXPECT_EQ(s[1].Kennung, "");
    EXPECT_EQ(s[1].WRDON, "");
    EXPECT_EQ(s[1].Beschreibung, "");
    EXPECT_EQ(s[2].Kennung, "K9");
    EXPECT_EQ(s[2].WRDON, "DE");
}

TEST_F(BlobTest, TextWithoutSectionsGivesNoLines) {
    EXPECT_TRUE(Lesen(Zip("")).empty());
    EXPECT_TRUE(Lesen(Zip("; nur ein Kommentar\r\nKennung=ohne Abschnitt\r\n")).empty());
    EXPECT_TRUE(Info().registered().empty());
}

TEST_F(BlobTest, TextWithAByteOrderMarkIsReadAsUtf8) {
    TPKPF_Blob_Arr s = Lesen(Zip("\xEF\xBB\xBF[S]\r\nBeschreibung=R\xC3\xBC"
                                 "ckgabe\r\n"));
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].Beschreibung, "R\xFC"
                                 "ckgabe");
}

TEST_F(BlobTest, TextInUtf16WithItsMarkIsRead) {
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("[S]\r\nKennung=\xC4rger\r\n"))
        utf16 += std::string{c, '\0'};
    TPKPF_Blob_Arr s = Lesen(Zip(utf16));
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].Kennung, "\xC4rger");
}

TEST_F(BlobTest, DamagedBlobsGiveOneDefektLineWithoutAMessage) {
    const std::string gut = Zip("[S]\r\nKennung=1\r\n");
    const char binaer[] = "[S]\r\nKennung=a\0b\r\n";
    const std::string faelle[] = {
        "",                                                     // empty blob
        "das ist kein zlib",                                    // not compressed at all
        gut.substr(0, gut.size() - 5),                          // cut off
        gut.substr(0, 2) + std::string(gut.size() - 2, '\x5A'), // header fine, body garbage
        Zip(std::string(binaer, sizeof binaer - 1)),            // binary
    };
    int i = 0;
    for (const std::string& blob : faelle) {
        EXPECT_TRUE(IstDefekt(Lesen(blob))) << "Fall " << i;
        ++i;
    }
    EXPECT_TRUE(Info().registered().empty());
}

TEST_F(BlobTest, FailureBeforeUnpackingIsRegisteredAndLeavesTheListEmpty) {
    Schreiben({Buchung({1, 1}, Tag(2024, 1, 1))});
    Tpkpffile f;
    f.OpenNew(-1);
    f.ExtendedFilterClear(); // no record positioned
    TPKPF_Blob_Arr saetze{{"alt", "", ""}};
    PKPFBlobAuslesen(saetze, f);
    EXPECT_TRUE(saetze.empty());
    EXPECT_EQ(Kontexte(), (std::vector<std::string>{"PKPFBlobAuslesen"}));
}

TEST(Streams, UnzipLeavesTheTargetAtItsStartAndRefusesGarbage) {
    TMemoryStream text(std::string(100000, 'a') + "Ende");
    TMemoryStream packed;
    ZipStream(packed, text);
    EXPECT_LT(packed.Size(), 2000);
    TMemoryStream target;
    target.Write("vorher");
    UnzipStream(target, packed);
    EXPECT_EQ(target.Position(), 0);
    EXPECT_EQ(target.Bytes(), text.Bytes());

    TMemoryStream garbage(std::string("\x78\x9C\xFF\xFF\xFF", 5));
    EXPECT_THROW(UnzipStream(target, garbage), EPkpfError);
}

// Blobs are written with zlib; whatever zlib makes of a blob, intact, cut or with a byte
// changed, the unpacking makes of it too: the same bytes, or a failure.
TEST(Streams, UnpackingAgreesWithZlibOnIntactAndDamagedBlobs) {
    std::mt19937 zufall(11);
    auto text = [&zufall](std::size_t n) {
        std::string t(n, ' ');
        for (char& c : t)
            c = static_cast<char>("[]=Satz1234 \r\nKennungWRDONBeschreibung\xE4\xFC"[zufall() % 40]);
        return t;
    };
    auto zlib = [](const std::string& blob, std::string& out) {
        out.assign(1u << 20, '\0');
        uLongf n = static_cast<uLongf>(out.size());
        uLong gelesen = static_cast<uLong>(blob.size());
        const int rc = uncompress2(reinterpret_cast<Bytef*>(out.data()), &n,
                                   reinterpret_cast<const Bytef*>(blob.data()), &gelesen);
        out.resize(n);
        return rc == Z_OK;
    };
    // Sizes around the unpacking buffer's steps, and one that it must give back afterwards.
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{700}, std::size_t{65536},
                          std::size_t{65537}, std::size_t{300000}, std::size_t{3u << 20}, std::size_t{900}}) {
        const std::string t = text(n);
        EXPECT_EQ(UnzipBytes(Zip(t)), t) << n;
        EXPECT_EQ(UnzipBytes(Zip(t) + "danach"), t) << n; // what follows the data is ignored
    }
    const std::string blob = Zip(text(2000));
    std::string erwartet;
    for (std::size_t laenge = 0; laenge < blob.size(); ++laenge)
        EXPECT_THROW(UnzipBytes(blob.substr(0, laenge)), EPkpfError) << laenge;
    int gleich = 0;
    for (std::size_t i = 0; i < blob.size(); ++i) {
        for (unsigned bit : {0x01u, 0x10u, 0x80u}) {
            std::string kaputt = blob;
            kaputt[i] = static_cast<char>(kaputt[i] ^ bit);
            if (zlib(kaputt, erwartet)) {
                EXPECT_EQ(UnzipBytes(kaputt), erwartet) << i;
                ++gleich;
            } else {
                EXPECT_THROW(UnzipBytes(kaputt), EPkpfError) << i << " bit " << bit;
            }
        }
    }
    EXPECT_LT(gleich, 10); // the checksum catches almost every change
}

} // namespace
