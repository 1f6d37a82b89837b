// The evaluation's file buffer must see the same lines as the host's text file loading.
#include "evaluation/text_buffer.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/textfile.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace infemora;
using namespace std::string_literals;

namespace {

Lines AlleZeilen(TextBuffer&& b) {
    Lines out;
    std::size_t next = 0;
    for (std::size_t pos = 0; b.HasLine(pos); pos = next)
        out.emplace_back(b.LineAt(pos, next));
    return out;
}

} // namespace

TEST(TextBuffer, LinesAsTheHostSplitsThem) {
    const std::string faelle[] = {
        "",
        "a",
        "a\r\n",
        "a\r\nb",
        "a\nb\n",
        "a\rb\r",
        "\r\n\r\n",
        "a\r\r\nb",
        "a\n\rb",
        "\n",
        "\r",
        "x\r\n\r\ny\r\n",
        "\xEF\xBB\xBF"
        "a\xC3\xBC\r\nb",
        "\xFF\xFE"
        "a\0\r\0\n\0\xFC\0"s,
        "\xFE\xFF\0a\0\n"s,
    };
    for (const auto& bytes : faelle) {
        testenv::TempSite site;
        site.writeFile(site.path("datei"), bytes);
        EXPECT_EQ(AlleZeilen(TextBuffer::Open(site.path("datei"))), LoadTextFile(site.path("datei")))
            << bytes;
        EXPECT_EQ(AlleZeilen(TextBuffer::FromBytes(bytes)), DecodeTextBytes(bytes)) << bytes;
    }
}

TEST(TextBuffer, MissingFileOrFolderFails) {
    testenv::TempSite site;
    EXPECT_THROW(TextBuffer::Open(site.path("fehlt")), EFileError);
    EXPECT_THROW(TextBuffer::Open(site.logDir()), EFileError);
}
