#include "textview/log_follow.h"

#include "merge/infoprot_layout.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace infemora {

namespace {

constexpr std::int64_t kNoKey = std::numeric_limits<std::int64_t>::min();

// Closes on every path.
class ReadDescriptor {
public:
    explicit ReadDescriptor(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)) {}
    ~ReadDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ReadDescriptor(const ReadDescriptor&) = delete;
    ReadDescriptor& operator=(const ReadDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

AnhangLeser::AnhangLeser(std::string path, std::uint64_t offset) : path_(std::move(path)), offset_(offset) {
    std::uint64_t size = 0;
    known_ = identify(device_, inode_, size);
}

bool AnhangLeser::identify(std::uint64_t& device, std::uint64_t& inode, std::uint64_t& size) const {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    device = st.st_dev;
    inode = st.st_ino;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

AnhangLeser::Ergebnis AnhangLeser::Lesen(std::string& bytes, std::size_t maxBytes) {
    bytes.clear();
    ReadDescriptor fd(path_);
    struct stat st {};
    // Only a plain file is read: a FIFO put under the name must not stall the window.
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return Ergebnis::Fehlt;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    Ergebnis result = Ergebnis::Gewachsen;
    const bool other = known_ && (device_ != static_cast<std::uint64_t>(st.st_dev) ||
                                  inode_ != static_cast<std::uint64_t>(st.st_ino));
    if (!known_ && offset_ > 0 && size < offset_) {
        offset_ = 0; // a file that came back under the name after it was gone
        result = Ergebnis::Ersetzt;
    } else if (other || size < offset_) {
        offset_ = 0;
        result = Ergebnis::Ersetzt;
    }
    device_ = static_cast<std::uint64_t>(st.st_dev);
    inode_ = static_cast<std::uint64_t>(st.st_ino);
    known_ = true;
    if (size == offset_)
        return result == Ergebnis::Ersetzt ? result : Ergebnis::Unveraendert;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size - offset_, maxBytes));
    bytes.resize(want);
    std::size_t done = 0;
    while (done < want) {
        const ssize_t n =
            ::pread(fd.get(), bytes.data() + done, want - done, static_cast<off_t>(offset_ + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // cut short meanwhile: the next look sees it
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    offset_ += done;
    if (done == 0 && result != Ergebnis::Ersetzt)
        return Ergebnis::Unveraendert;
    return result;
}

// ---------------------------------------------------------------------------------------------

InfoFolger::InfoFolger(const std::vector<std::string>& files) {
    for (const auto& f : files) {
        struct stat st {};
        const std::uint64_t size = ::stat(f.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
        quellen_.push_back({AnhangLeser(f, size), {}, true, kNoKey, false});
    }
}

void InfoFolger::SetDatumsFilter(bool on, TDateTime von, TDateTime bis) {
    filter_ = on;
    von_ = von;
    bis_ = bis;
}

InfoFolger::Anhang InfoFolger::Lesen(std::int64_t newest) {
    struct Stueck {
        bool fortsetzung; // continues the entry shown before
        std::int64_t key;
        std::size_t quelle;
        bool zeigen;
        std::string bytes;
        bool gestempelt = false; // has a valid stamp of its own
    };
    Anhang out;
    std::vector<Stueck> stuecke;
    std::string got;
    for (std::size_t q = 0; q < quellen_.size(); ++q) {
        Quelle& quelle = quellen_[q];
        const AnhangLeser::Ergebnis r = quelle.leser.Lesen(got);
        if (r == AnhangLeser::Ergebnis::Ersetzt) {
            out.ersetzt = true;
            quelle.rest.clear();
        }
        quelle.rest += got;
        // Whole lines only: a CR at the very end may still get its LF.
        std::size_t cut = 0;
        for (std::size_t i = quelle.rest.size(); i-- > 0;) {
            const char c = quelle.rest[i];
            if (c == '\n' || (c == '\r' && i + 1 < quelle.rest.size())) {
                cut = i + 1;
                break;
            }
        }
        const std::string text = quelle.rest.substr(0, cut);
        quelle.rest.erase(0, cut);
        for (std::size_t pos = 0; pos < text.size();) {
            std::size_t eol = text.find_first_of("\r\n", pos);
            const std::string_view line(text.data() + pos, eol - pos);
            pos = eol + ((text[eol] == '\r' && eol + 1 < text.size() && text[eol + 1] == '\n') ? 2 : 1);
            if (IstStartZeile(line) || stuecke.empty() || stuecke.back().quelle != q) {
                const bool start = IstStartZeile(line);
                if (start) {
                    quelle.eintragZeigen = true;
                    quelle.stempelOffen = true;
                }
                stuecke.push_back({!start, start ? quelle.key : kNoKey, q, quelle.eintragZeigen, {}});
            }
            Stueck& s = stuecke.back();
            // The entry's first "##" line, also when it comes a look after the start line.
            if (quelle.stempelOffen && IstZeitstempelZeile(line)) {
                quelle.stempelOffen = false;
                TDateTime stamp;
                const bool valid = TryZeitstempelAusZeile(line, stamp);
                if (valid) {
                    quelle.key = s.key = stamp.ms;
                    s.gestempelt = true;
                }
                if (filter_)
                    s.zeigen = quelle.eintragZeigen = valid && von_ <= stamp && stamp <= bis_;
            }
            s.bytes.append(line);
            s.bytes.append("\r\n");
        }
    }
    // Continuations first, then the new entries by time; equal times keep the logs' order.
    std::stable_sort(stuecke.begin(), stuecke.end(), [](const Stueck& a, const Stueck& b) {
        if (a.fortsetzung != b.fortsetzung)
            return a.fortsetzung;
        return !a.fortsetzung && a.key < b.key;
    });
    out.neuester = newest;
    for (const Stueck& s : stuecke) {
        if (!s.zeigen)
            continue;
        out.bytes += s.bytes;
        if (s.gestempelt) {
            out.aelter = out.aelter || s.key < newest;
            out.neuester = std::max(out.neuester, s.key);
        }
    }
    return out;
}

} // namespace infemora
