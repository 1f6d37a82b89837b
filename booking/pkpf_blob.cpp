#include "booking/pkpf_blob.h"

#include "booking/sqlite_db.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace infemora {

void Clear_PKPF_Blob_Arr(TPKPF_Blob_Arr& arr) {
    arr.clear();
}

void TMemoryStream::Seek(std::int64_t position) {
    pos_ = static_cast<std::size_t>(std::clamp<std::int64_t>(position, 0, Size()));
}

std::size_t TMemoryStream::Read(char* buffer, std::size_t count) {
    std::size_t n = std::min(count, data_.size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return n;
}

void TMemoryStream::Write(std::string_view bytes) {
    if (pos_ + bytes.size() > data_.size())
        data_.resize(pos_ + bytes.size());
    std::memcpy(data_.data() + pos_, bytes.data(), bytes.size());
    pos_ += bytes.size();
}

void TMemoryStream::Clear() {
    data_.clear();
    pos_ = 0;
}

void UnzipStream(TMemoryStream& target, TMemoryStream& source) {
    std::string out = UnzipBytes(source.Rest());
    source.Seek(source.Size());
    target = TMemoryStream(std::move(out));
}

namespace {

// One decompressor per thread. Blobs are a few hundred bytes: zlib's set-up for each and its
// stream-wise inflating cost more than the unpacking; libdeflate unpacks whole buffers at once.
class Inflater {
public:
    Inflater() : d_(libdeflate_alloc_decompressor()) {
        if (!d_)
            throw EPkpfError("Die Satzdaten der Buchung lassen sich nicht entpacken: kein Speicher.");
    }
    ~Inflater() { libdeflate_free_decompressor(d_); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    void entpacken(std::string& out, std::string_view in) {
        if (puffer_.empty())
            puffer_.resize(kStartGroesse);
        for (;;) {
            std::size_t gelesen = 0;
            std::size_t erzeugt = 0;
            // As zlib does, whatever follows the end of the compressed data is ignored.
            const libdeflate_result rc = libdeflate_zlib_decompress_ex(
                d_, in.data(), in.size(), puffer_.data(), puffer_.size(), &gelesen, &erzeugt);
            if (rc == LIBDEFLATE_SUCCESS) {
                out.assign(puffer_.data(), erzeugt);
                break;
            }
            if (rc != LIBDEFLATE_INSUFFICIENT_SPACE) {
                loslassen();
                throw EPkpfError("Die Satzdaten der Buchung lassen sich nicht entpacken: die Daten sind "
                                 "beschädigt oder brechen ab.");
            }
            if (puffer_.size() >= MaxBlobText) {
                loslassen();
                throw EPkpfError("Die Satzdaten der Buchung sind unplausibel groß.");
            }
            puffer_.resize(std::min(puffer_.size() * 4, MaxBlobText));
        }
        loslassen();
    }

private:
    // A rare huge blob, whole or refused, must not stay with the thread.
    void loslassen() {
        if (puffer_.size() > kBehalteHoechstens)
            puffer_ = std::vector<char>();
    }

    static constexpr std::size_t kStartGroesse = 64u << 10;
    static constexpr std::size_t kBehalteHoechstens = 1u << 20;
    libdeflate_decompressor* d_;
    std::vector<char> puffer_;
};

} // namespace

void UnzipBytesInto(std::string& out, std::string_view in) {
    if (in.empty())
        throw EPkpfError("Die Satzdaten der Buchung sind leer.");
    thread_local Inflater inflater;
    inflater.entpacken(out, in);
}

std::string UnzipBytes(std::string_view in) {
    std::string out;
    UnzipBytesInto(out, in);
    return out;
}

void ZipStream(TMemoryStream& target, TMemoryStream& source) {
    std::string_view in = source.Rest();
    uLongf size = compressBound(static_cast<uLong>(in.size()));
    std::string out(size, '\0');
    int rc = compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(in.data()),
                       static_cast<uLong>(in.size()), Z_DEFAULT_COMPRESSION);
    if (rc != Z_OK)
        throw EPkpfError("Die Satzdaten lassen sich nicht packen (zlib " + std::to_string(rc) + ").");
    out.resize(size);
    source.Seek(source.Size());
    target = TMemoryStream(std::move(out));
}

std::string PkpfSaetzeAlsIniText(const TPKPF_Blob_Arr& saetze) {
    std::string text;
    int nr = 0;
    for (const TPKPF_Blob_Rec& s : saetze) {
        text += "[Satz" + std::to_string(++nr) + "]\r\n";
        text += "Kennung=" + s.Kennung + "\r\n";
        text += "WRDON=" + s.WRDON + "\r\n";
        text += "Beschreibung=" + s.Beschreibung + "\r\n";
    }
    return text;
}

std::string PkpfSatzProblem(const TPKPF_Blob_Rec& satz) {
    const std::pair<const char*, const std::string*> felder[] = {
        {"Kennung", &satz.Kennung}, {"WRDON", &satz.WRDON}, {"Beschreibung", &satz.Beschreibung}};
    for (const auto& [name, wert] : felder) {
        if (wert->find_first_of("\r\n") != std::string::npos)
            return std::string(name) + " enthält einen Zeilenumbruch";
        if (wert->find('\0') != std::string::npos)
            return std::string(name) + " enthält ein Nullzeichen";
        if (!wert->empty() &&
            (wert->front() == ' ' || wert->front() == '\t' || wert->back() == ' ' || wert->back() == '\t'))
            return std::string(name) + " beginnt oder endet mit Leerraum";
    }
    return {};
}

} // namespace infemora
