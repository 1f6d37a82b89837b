// The entry readers and the merge over up to three fuzzed logs: no crash, and every input line
// comes out exactly once (line ends made CR LF), whatever the bytes and the buffer size.
#include "host/textfile.h"
#include "merge/infoprot_readers.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace infemora;

namespace {

struct Sink : IEntrySink {
    std::string text;
    void Append(const char* data, std::size_t size) override { text.append(data, size); }
};

const std::string& workDir() {
    static std::string dir = [] {
        std::string t = "/tmp/infemora-fuzz-XXXXXX";
        if (!::mkdtemp(t.data()))
            std::abort();
        return t;
    }();
    return dir;
}

void writeFile(const std::string& path, std::string_view bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    ::close(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    // First byte: number of files and buffer size; the rest is cut into the files at 0x01 bytes
    // that follow a line end, so that seeds made of whole logs stay logs.
    const int files = 1 + data[0] % 3;
    const std::size_t buffer = 46 + data[1] * 4;
    std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    std::vector<std::string_view> parts;
    for (int i = 0; i < files - 1; ++i) {
        std::size_t cut = rest.find('\x01');
        if (cut == std::string_view::npos)
            break;
        parts.push_back(rest.substr(0, cut));
        rest.remove_prefix(cut + 1);
    }
    parts.push_back(rest);

    TBufferedFileStreams streams(buffer);
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string path = workDir() + "/inf" + std::to_string(i);
        writeFile(path, parts[i]);
        streams.Add(path);
        for (auto& l : SplitLines(parts[i]))
            expected.push_back(std::move(l));
    }
    Sink sink;
    {
        TParallelReader reader(streams);
        reader.Start();
        while (!reader.GetEos()) {
            if (reader.HasEntry())
                reader.Current().CopyTo(sink);
            if (!reader.HasEntry())
                reader.Recover();
            reader.Advance();
        }
        if (reader.HasEntry())
            reader.Current().CopyTo(sink);
    }
    streams.Clear();

    if (!sink.text.empty() && !sink.text.ends_with("\r\n"))
        std::abort();
    std::vector<std::string> got = SplitLines(sink.text);
    std::sort(expected.begin(), expected.end());
    std::sort(got.begin(), got.end());
    if (got != expected) {
        std::fprintf(stderr, "merge lost or repeated lines: %zu in, %zu out\n", expected.size(), got.size());
        std::abort();
    }
    return 0;
}
