// The upload URL of the settings: a server alone means the service's endpoint.
#include "evaluation/upload.h"

#include <gtest/gtest.h>

namespace infemora {
namespace {

TEST(UploadUrl, AServerWithoutPathMeansTheEndpoint) {
    const std::string pfad(kUploadPfad);
    struct Fall {
        const char* url;
        std::string erwartet;
    };
    const Fall faelle[] = {
        {"https://auswertung.example", "https://auswertung.example" + pfad},
        {"https://auswertung.example/", "https://auswertung.example" + pfad},
        {"https://auswertung.example:8443", "https://auswertung.example:8443" + pfad},
        {"https://auswertung.example/vktservice/infoprotauswertung/index.php",
         "https://auswertung.example/vktservice/infoprotauswertung/index.php"},
        {"https://auswertung.example/anderer/pfad", "https://auswertung.example/anderer/pfad"},
        {"", ""},
        {"kein url", "kein url"},
    };
    for (const auto& f : faelle)
        EXPECT_EQ(UploadUrlMitPfad(f.url), f.erwartet) << f.url;
}

} // namespace
} // namespace infemora
