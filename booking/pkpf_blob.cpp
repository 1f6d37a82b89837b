#include "booking/pkpf_blob.h"

#include "booking/sqlite_db.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

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

std::string UnzipBytes(std::string_view in) {
    if (in.empty())
        throw EPkpfError("Die Satzdaten der Buchung sind leer.");
    z_stream zs{};
    int rc = inflateInit(&zs);
    if (rc != Z_OK)
        zlibFailure("Start", rc, zs);
    std::string out;
    out.resize(std::min(std::max<std::size_t>(in.size() * 4, 4096), MaxBlobText));
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = static_cast<uInt>(in.size());
    std::size_t produced = 0;
    for (;;) {
        if (produced == out.size()) {
            if (out.size() >= MaxBlobText) {
                inflateEnd(&zs);
                throw EPkpfError("Die Satzdaten der Buchung sind unplausibel groß.");
            }
            out.resize(std::min(out.size() * 2, MaxBlobText));
        }
        zs.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        zs.avail_out = static_cast<uInt>(out.size() - produced);
        rc = inflate(&zs, Z_NO_FLUSH);
        produced = out.size() - zs.avail_out;
        if (rc == Z_STREAM_END)
            break;
        if (rc == Z_BUF_ERROR && zs.avail_in == 0) {
            inflateEnd(&zs);
            zlibFailure("die Daten brechen ab", rc, zs);
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            z_stream copy = zs;
            inflateEnd(&zs);
            zlibFailure("die Daten sind beschädigt", rc, copy);
        }
    }
    inflateEnd(&zs);
    out.resize(produced);
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
