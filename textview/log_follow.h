#pragma once
// Following logs that grow while they are shown. A file is looked at by its name each time:
// opened, read with pread from where the last look ended, and closed again, so that it is never
// held against deletion or renaming longer than one read and no lock is ever taken that its
// writer might wait for.
#include "host/datetime.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace infemora {

class AnhangLeser {
public:
    enum class Ergebnis {
        Unveraendert, // nothing new
        Gewachsen,    // bytes were appended
        Ersetzt,      // another file stands under the name, or the file got shorter: read from its start
        Fehlt,        // no file (or no plain file) under the name
    };

    // Reads on from offset; the file now under the name is taken as the one read so far.
    AnhangLeser(std::string path, std::uint64_t offset);

    // At most maxBytes per look; what is left comes with the next.
    Ergebnis Lesen(std::string& bytes, std::size_t maxBytes = std::size_t{16} << 20);

    const std::string& path() const { return path_; }
    std::uint64_t offset() const { return offset_; }

private:
    bool identify(std::uint64_t& device, std::uint64_t& inode, std::uint64_t& size) const;

    std::string path_;
    std::uint64_t offset_;
    std::uint64_t device_ = 0, inode_ = 0;
    bool known_ = false;
};

// Follows the info logs behind a merged view: whole lines only, cut into entries (an entry
// begins with its "<<" line), each line ended by CR LF as the merge writes it. What the logs
// got in one look is put in order by time stamp, whichever log it came from; a log keeps its
// own order, and the lines that continue an entry shown before come first.
class InfoFolger {
public:
    // Each file from its size now.
    explicit InfoFolger(const std::vector<std::string>& files);
    // Entries must pass this date filter (as the merge's, see DateienSortieren_CheckFilter).
    void SetDatumsFilter(bool on, TDateTime von, TDateTime bis);

    struct Anhang {
        std::string bytes;         // the lines to show next, CR LF each
        bool aelter = false;       // an entry is older than the newest shown before
        bool ersetzt = false;      // a log was replaced or cut and is read from its start
        std::int64_t neuester = 0; // newest stamp shown so far (ms), for the next look
    };
    // newest: the newest stamp shown so far (TDateTime ms; INT64_MIN for none).
    Anhang Lesen(std::int64_t newest);

private:
    struct Quelle {
        AnhangLeser leser;
        std::string rest;          // bytes of a line whose end has not come yet
        bool eintragZeigen = true; // the entry in progress passed the filter
        std::int64_t key;          // the key of the entry in progress (as the merge keys them)
        bool stempelOffen = false; // the entry in progress has not had its "##" line yet
    };
    std::vector<Quelle> quellen_;
    bool filter_ = false;
    TDateTime von_, bis_;
};

} // namespace infemora
