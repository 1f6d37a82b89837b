// The parameters of the unattended run, read from the command line by character positions.
#include "evaluation/autosend.h"

#include <gtest/gtest.h>

using namespace infemora;

namespace {

struct Fall {
    const char* name;
    std::vector<std::string> argumente; // argument 0 first
    int von, bis;
    std::string kunde, empf;
    bool ausfuehren;
};

TEST(AutoSendParameter, Cases) {
    const std::string lang(120, 'k');
    const Fall faelle[] = {
        {"period seven days ago to yesterday, texts upper-cased",
         {"/opt/infemora", "-AUTOSEND", "-VON=7", "-BIS=1", "-KUND=abc", "-EMPF=xyz"},
         7,
         1,
         "ABC",
         "XYZ",
         true},
        {"defaults: one day ago", {"/opt/infemora", "-AUTOSEND", "-KUND=a", "-EMPF=b"}, 1, 1, "A", "B", true},
        {"von before bis does nothing",
         {"/p", "-VON=1", "-BIS=3", "-KUND=a", "-EMPF=b"},
         1,
         3,
         "A",
         "B",
         false},
        {"without KUND", {"/p", "-VON=7", "-EMPF=b"}, 7, 1, "", "B", false},
        {"without EMPF", {"/p", "-VON=7", "-KUND=a"}, 7, 1, "A", "", false},
        {"empty KUND", {"/p", "-KUND=", "-EMPF=b"}, 1, 1, "", "B", false},
        {"no number gives 1", {"/p", "-VON=x7", "-BIS=", "-KUND=a", "-EMPF=b"}, 1, 1, "A", "B", true},
        {"beyond 32 bits gives 1", {"/p", "-VON=9999999999", "-KUND=a", "-EMPF=b"}, 1, 1, "A", "B", true},
        {"sign and separator are not checked, case does not matter",
         {"/p", "/von:5", "xbis#2", "\\kund-q", "-empf=r"},
         5,
         2,
         "Q",
         "R",
         true},
        {"a later argument wins",
         {"/p", "-VON=9", "-VON=4", "-KUND=a", "-KUND=b", "-EMPF=c"},
         4,
         1,
         "B",
         "C",
         true},
        {"negative days are taken",
         {"/p", "-VON=-1", "-BIS=-2", "-KUND=a", "-EMPF=b"},
         -1,
         -2,
         "A",
         "B",
         true},
        {"the key is read by position: KUNDE= leaves the '=' in the text",
         {"/p", "-KUNDE=abc", "-EMPF=b"},
         1,
         1,
         "=ABC",
         "B",
         true},
        {"VON is tested before KUND", {"/p", "-VONKUND=3", "-KUND=a", "-EMPF=b"}, 1, 1, "A", "B", true},
        {"too short to hold a key", {"/p", "-VO", "-", "", "-KUND=a", "-EMPF=b"}, 1, 1, "A", "B", true},
        {"argument 0 is read too", {"-KUND=pfad", "-EMPF=b"}, 1, 1, "PFAD", "B", true},
        {"texts end after 99 characters",
         {"/p", "-KUND=" + lang, "-EMPF=" + lang + "zz"},
         1,
         1,
         std::string(99, 'K'),
         std::string(99, 'K'),
         true},
        {"only ASCII letters change: UTF-8 stays whole",
         {"/p", "-KUND=m\xC3\xBCller", "-EMPF=\xC3\xA4z"},
         1,
         1,
         "M\xC3\xBCLLER",
         "\xC3\xA4Z",
         true},
    };
    for (const Fall& f : faelle) {
        const AutoSendParameter p = AutoSendParameterLesen(f.argumente);
        EXPECT_EQ(p.VonTage, f.von) << f.name;
        EXPECT_EQ(p.BisTage, f.bis) << f.name;
        EXPECT_EQ(p.Kunde, f.kunde) << f.name;
        EXPECT_EQ(p.Empf, f.empf) << f.name;
        EXPECT_EQ(p.Ausfuehren(), f.ausfuehren) << f.name;
    }
}

} // namespace
