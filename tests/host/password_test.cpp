#include "host/password.h"

#include <gtest/gtest.h>

using namespace infemora;

TEST(Password, HashChecksOnlyTheRightPassword) {
    std::string h = MakePasswordHash("Geheim-ä", 1000);
    EXPECT_TRUE(CheckPasswordHash("Geheim-ä", h));
    EXPECT_FALSE(CheckPasswordHash("geheim-ä", h));
    EXPECT_FALSE(CheckPasswordHash("", h));
    EXPECT_EQ(h.find("Geheim"), std::string::npos);
}

TEST(Password, SaltMakesEachHashDifferent) {
    EXPECT_NE(MakePasswordHash("x", 1000), MakePasswordHash("x", 1000));
}

TEST(Password, MalformedStoredHashNeverMatches) {
    for (const char* bad : {"", "geheim", "pbkdf2-sha256$", "pbkdf2-sha256$abc$00$00",
                            "pbkdf2-sha256$10$zz$00", "pbkdf2-sha256$0$00$00", "md5$1$00$00"})
        EXPECT_FALSE(CheckPasswordHash("geheim", bad)) << bad;
}
