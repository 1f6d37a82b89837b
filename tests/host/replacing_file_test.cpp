#include "host/errors.h"
#include "host/replacing_file.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace infemora;

TEST(ReplacingFileWriter, TargetChangesOnlyOnCommit) {
    testenv::TempSite site;
    const std::string ziel = site.path("ziel.txt");
    site.writeFile(ziel, "alt");
    {
        ReplacingFileWriter w(ziel);
        w.WriteLine("neu");
    } // abandoned
    EXPECT_EQ(site.readFile(ziel), "alt");
    {
        ReplacingFileWriter w(ziel);
        std::string gross(3 << 20, 'x'); // larger than the write buffer
        w.WriteLine("kopf");
        w.Write(gross);
        w.WriteLine("");
        w.Commit();
        EXPECT_EQ(site.readFile(ziel), "kopf\r\n" + gross + "\r\n");
    }
    int dateien = 0;
    for (const auto& e : std::filesystem::directory_iterator(site.root()))
        dateien += e.is_regular_file();
    EXPECT_EQ(dateien, 1); // no temp file left beside it
}

// Callers that format in place fill the buffer themselves; whatever they leave in it when the
// buffer is full or at the end reaches the file once, in order.
TEST(ReplacingFileWriter, BytesFormattedInPlaceArriveInOrder) {
    testenv::TempSite site;
    const std::string ziel = site.path("export.csv");
    std::string erwartet;
    {
        ReplacingFileWriter w(ziel);
        for (int i = 0; i < 40000; ++i) {
            const std::string zeile =
                std::to_string(i) + std::string(static_cast<std::size_t>(i % 97), '-') + "\r\n";
            w.Buffer() += zeile;
            erwartet += zeile;
            w.BufferFilled();
            if (i % 1000 == 0) {
                w.Write("#\r\n");
                erwartet += "#\r\n";
            }
        }
        w.Commit();
    }
    EXPECT_EQ(site.readFile(ziel), erwartet);
    EXPECT_THROW(ReplacingFileWriter{site.root()}, EFileError); // a folder is never replaced
}
