#include "booking/pkpf_blob.h"

#include "booking/sqlite_db.h"

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

namespace {

[[noreturn]] void zlibFailure(const char* what, int rc, const z_stream& zs) {
    throw EPkpfError(std::string("Die Satzdaten der Buchung lassen sich nicht entpacken: ") + what +
                     " (zlib " + std::to_string(rc) + (zs.msg ? std::string(", ") + zs.msg : std::string()) +
                     ")");
}

} // namespace

void UnzipStream(TMemoryStream& target, TMemoryStream& source) {
    std::string out = UnzipBytes(source.Rest());
    source.Seek(source.Size());
    target = TMemoryStream(std::move(out));
}

namespace {

// One inflater per thread, reset for every blob: setting one up allocates its state and a
// 32 KiB window, which for blobs of a few hundred bytes costs more than the unpacking.
class Inflater {
public:
    Inflater() {
        const int rc = inflateInit(&zs_);
        if (rc != Z_OK)
            zlibFailure("Start", rc, zs_);
        bereit_ = true;
    }
    ~Inflater() {
        if (bereit_)
            inflateEnd(&zs_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    void entpacken(std::string& out, std::string_view in) {
        const int rcReset = inflateReset(&zs_);
        if (rcReset != Z_OK)
            zlibFailure("Start", rcReset, zs_);
        if (puffer_.empty())
            puffer_.resize(kStartGroesse);
        zs_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        zs_.avail_in = static_cast<uInt>(in.size());
        std::size_t produced = 0;
        for (;;) {
            if (produced == puffer_.size()) {
                if (puffer_.size() >= MaxBlobText)
                    throw EPkpfError("Die Satzdaten der Buchung sind unplausibel groß.");
                puffer_.resize(std::min(puffer_.size() * 2, MaxBlobText));
            }
            zs_.next_out = reinterpret_cast<Bytef*>(puffer_.data() + produced);
            zs_.avail_out = static_cast<uInt>(puffer_.size() - produced);
            const int rc = inflate(&zs_, Z_NO_FLUSH);
            produced = puffer_.size() - zs_.avail_out;
            if (rc == Z_STREAM_END)
                break;
            if (rc == Z_BUF_ERROR && zs_.avail_in == 0)
                zlibFailure("die Daten brechen ab", rc, zs_);
            if (rc != Z_OK && rc != Z_BUF_ERROR)
                zlibFailure("die Daten sind beschädigt", rc, zs_);
        }
        out.assign(puffer_.data(), produced);
        // A rare huge blob must not stay with the thread.
        if (puffer_.size() > kBehalteHoechstens)
            puffer_ = std::vector<char>();
    }

private:
    static constexpr std::size_t kStartGroesse = 64u << 10;
    static constexpr std::size_t kBehalteHoechstens = 1u << 20;
    z_stream zs_{};
    bool bereit_ = false;
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
