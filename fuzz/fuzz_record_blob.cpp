// A booking's record blob as the booking file holds it. With the first byte even, the rest is
// the INI text a point-of-sale program packs: the record lines read from the packed text must be
// those the full INI reader finds in it. With it odd, the rest is a blob as stored, sound or not:
// the unpacking must agree with zlib's, and reading its record lines must not fail.
#include "booking/buchungsprotokoll.h"
#include "booking/pkpf_blob.h"
#include "host/inifile.h"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace infemora;

namespace {

// Every section on its own, in order; lines the reader cannot use are passed over.
TPKPF_Blob_Arr lesenWieDerVolleLeser(const std::string& text) {
    const TQVRMemIniFile ini = TQVRMemIniFile::FromText(text, TIniAbschnitte::Einzeln);
    TPKPF_Blob_Arr saetze;
    for (std::size_t i = 0; i < ini.SectionCount(); ++i)
        saetze.push_back(TPKPF_Blob_Rec{ini.ReadStringAt(i, "Kennung", ""), ini.ReadStringAt(i, "WRDON", ""),
                                        ini.ReadStringAt(i, "Beschreibung", "")});
    return saetze;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    TPKPF_Blob_Arr saetze;
    if ((data[0] & 1) == 0) {
        // Texts with a byte order mark are decoded first and those with NUL bytes refused; both
        // have tests of their own.
        if (rest.empty() || rest.find('\0') != std::string::npos || rest.starts_with("\xEF\xBB\xBF") ||
            rest.starts_with("\xFF\xFE") || rest.starts_with("\xFE\xFF"))
            return 0;
        TMemoryStream text(rest);
        TMemoryStream gepackt;
        ZipStream(gepackt, text);
        PKPFSaetzeAusBlob(saetze, gepackt.Bytes());
        if (saetze != lesenWieDerVolleLeser(rest))
            std::abort();
        return 0;
    }
    std::string erwartet(1u << 20, '\0');
    uLongf n = static_cast<uLongf>(erwartet.size());
    uLong gelesen = static_cast<uLong>(rest.size());
    const int rc = uncompress2(reinterpret_cast<Bytef*>(erwartet.data()), &n,
                               reinterpret_cast<const Bytef*>(rest.data()), &gelesen);
    if (rc == Z_BUF_ERROR && n == erwartet.size())
        return 0; // more than the comparison holds
    const bool zlibOk = rc == Z_OK;
    erwartet.resize(n);
    bool ok = true;
    std::string bytes;
    try {
        bytes = UnzipBytes(rest);
    } catch (const EPkpfError&) {
        ok = false;
    }
    if (ok != zlibOk || (ok && bytes != erwartet))
        std::abort();
    PKPFSaetzeAusBlob(saetze, rest);
    if (saetze.empty() && !ok)
        std::abort(); // an unreadable blob gives its "defekt" line
    return 0;
}
