#include "host/errors.h"
#include "host/fileutil.h"
#include "host/replacing_file.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
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

// A large file is flushed piece by piece while it is written. A flush that fails on the way is
// reported by the kernel only once, so the final flush would succeed: the commit must still fail
// and the old file stay.
TEST(ReplacingFileWriter, AFlushThatFailsWhileWritingFailsTheCommit) {
    testenv::TempSite site;
    const std::string ziel = site.path("gross.csv");
    site.writeFile(ziel, "alt");
    const std::string stueck(1 << 20, 'y');
    std::atomic<int> flushes{0};
    std::atomic<int> fehlerBeimFlush{0}; // the flush that fails, counted from 1; 0: none
    SetFileFaultHookForTesting([&](FileStep step, const std::string&, int) {
        if (step != FileStep::Sync)
            return 0;
        return ++flushes == fehlerBeimFlush ? EIO : 0;
    });
    auto schreiben = [&] {
        ReplacingFileWriter w(ziel);
        for (int i = 0; i < 30; ++i)
            w.Write(stueck);
        w.Commit();
    };

    schreiben();
    EXPECT_GT(flushes.load(), 1) << "nothing was flushed before the end";
    EXPECT_EQ(std::filesystem::file_size(ziel), 30u << 20);

    site.writeFile(ziel, "alt");
    flushes = 0;
    fehlerBeimFlush = 1;
    EXPECT_THROW(schreiben(), EFileError);
    SetFileFaultHookForTesting({});
    EXPECT_EQ(site.readFile(ziel), "alt");
    int dateien = 0;
    for (const auto& e : std::filesystem::directory_iterator(site.root()))
        dateien += e.is_regular_file();
    EXPECT_EQ(dateien, 1);
}
