#pragma once
// A booking's record lines and the compressed INI text they are stored in.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace infemora {

// One record line of a booking, Windows-1252 texts.
struct TPKPF_Blob_Rec {
    std::string Kennung;      // record identifier
    std::string WRDON;        // record kind code
    std::string Beschreibung; // description
    bool operator==(const TPKPF_Blob_Rec&) const = default;
};
using TPKPF_Blob_Arr = std::vector<TPKPF_Blob_Rec>;

void Clear_PKPF_Blob_Arr(TPKPF_Blob_Arr& arr);

// Bytes with a read position, as the blob and its decompressed text are handed around.
class TMemoryStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string bytes) : data_(std::move(bytes)) {}

    const std::string& Bytes() const { return data_; }
    std::int64_t Size() const { return static_cast<std::int64_t>(data_.size()); }
    std::int64_t Position() const { return static_cast<std::int64_t>(pos_); }
    void Seek(std::int64_t position); // clamped to 0..Size
    std::size_t Read(char* buffer, std::size_t count);
    void Write(std::string_view bytes); // at the position, overwriting and growing
    void Clear();
    std::string_view Rest() const { return std::string_view(data_).substr(pos_); }

private:
    std::string data_;
    std::size_t pos_ = 0;
};

// Decompresses the source from its position to its end (zlib format) into the target, which
// then holds exactly the decompressed bytes and stands at its start. An empty, truncated or
// damaged source, or one that would unpack to more than MaxBlobText bytes, raises EPkpfError.
void UnzipStream(TMemoryStream& target, TMemoryStream& source);
std::string UnzipBytes(std::string_view gepackt); // the same on bytes
// The same into a buffer the caller keeps, so that unpacking many blobs reuses its memory.
void UnzipBytesInto(std::string& ziel, std::string_view gepackt);
// The opposite, for whoever writes bookings: compresses the source from its position.
void ZipStream(TMemoryStream& target, TMemoryStream& source);

inline constexpr std::size_t MaxBlobText = 64u << 20;

// The INI text a booking's record lines are stored as: one section per line, in order, with
// the keys Kennung, WRDON and Beschreibung; CR LF line ends, Windows-1252.
std::string PkpfSaetzeAlsIniText(const TPKPF_Blob_Arr& saetze);
// Why a record line cannot be stored so that it reads back unchanged (a line break, blanks at
// either end of a value); empty when it can.
std::string PkpfSatzProblem(const TPKPF_Blob_Rec& satz);

} // namespace infemora
