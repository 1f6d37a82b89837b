// What one user's window remembers: values survive a round trip through the file whatever
// bytes they hold, lists keep the newest first, and two windows saving in turn keep each
// other's keys.
#include "host/user_state.h"

#include "support/test_env.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace infemora;

TEST(UserState, ValuesAndListsSurviveTheFileAndTwoWritersKeepEachOthersKeys) {
    testenv::TempSite site;
    const std::string path = site.path("infemora-test.state");
    const std::string awkward = "  ;# a=b [x] 100% \xE4\xF6\xFC\r\nzwei ";
    {
        UserState a(path);
        a.SetValue("Fenster", "Geometrie", "AdnQywADAAAAAAAA+/=");
        a.SetValue("Suchen", "Text", awkward);
        for (const char* t : {"eins", "zwei", "drei", "zwei"})
            a.Remember("Suchen", "Zuletzt", t, 3);
        ASSERT_TRUE(a.Save());
    }
    UserState b(path);
    UserState c(path);
    EXPECT_EQ(b.Value("Fenster", "Geometrie"), "AdnQywADAAAAAAAA+/=");
    EXPECT_EQ(b.Value("Suchen", "Text"), awkward);
    EXPECT_EQ(b.List("Suchen", "Zuletzt"), (std::vector<std::string>{"zwei", "drei", "eins"}));
    EXPECT_EQ(b.Value("Suchen", "Fehlt", "vorgabe"), "vorgabe");

    // Two windows: each saves only what it changed, over what the file holds by then.
    b.SetValue("Ordner", "Speichern", "/home/b");
    b.SetList("Suchen", "Zuletzt", {"neu"});
    ASSERT_TRUE(b.Save());
    c.SetValue("Ordner", "Drucken", "/home/c");
    ASSERT_TRUE(c.Save());
    UserState d(path);
    EXPECT_EQ(d.Value("Ordner", "Speichern"), "/home/b");
    EXPECT_EQ(d.Value("Ordner", "Drucken"), "/home/c");
    EXPECT_EQ(d.List("Suchen", "Zuletzt"), (std::vector<std::string>{"neu"}));
}

TEST(UserState, AFileThatIsNoPlainFileIsIgnoredAndNotReplaced) {
    testenv::TempSite site;
    const std::string fifo = site.path("fifo.state");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    UserState s(fifo); // would block forever if it were opened for reading
    EXPECT_EQ(s.Value("a", "b", "x"), "x");
    s.SetValue("a", "b", "c");
    EXPECT_FALSE(s.Save());
}
