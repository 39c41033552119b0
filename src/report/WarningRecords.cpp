#include "report/WarningRecords.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace marrowgate {

namespace {

constexpr std::size_t kPiece = std::size_t{16} << 10;

void put_number(std::string& out, std::uint64_t value) {
    do {
        const auto low = static_cast<char>(value & 0x7F);
        value >>= 7;
        out += static_cast<char>(low | (value ? 0x80 : 0));
    } while (value);
}

}  // namespace

void put_record(std::string& out, std::initializer_list<std::uint64_t> numbers,
                std::initializer_list<std::string_view> fields) {
    for (const std::uint64_t number : numbers) put_number(out, number);
    for (const std::string_view field : fields) put_number(out, field.size());
    for (const std::string_view field : fields) out.append(field);
}

RecordReader::RecordReader(std::unique_ptr<InputFile> input, std::filesystem::path path)
    : input_(std::move(input)), path_(std::move(path)) {}

RecordReader::RecordReader(std::string_view bytes) : bytes_(bytes) {}

bool RecordReader::ensure(std::size_t bytes) {
    if (bytes_.size() >= bytes) return true;
    if (!input_) return false;
    // The bytes not read yet go to the front of the buffer, then more after
    // them; the buffer grows only for a record longer than it.
    const std::size_t kept = bytes_.size();
    // (Before the first read there are no bytes, and no pointer to copy from.)
    if (buffer_.size() < std::max(kPiece, bytes)) {
        std::string bigger(std::max(kPiece, bytes), '\0');
        if (kept > 0) std::memcpy(bigger.data(), bytes_.data(), kept);
        buffer_.swap(bigger);
    } else if (kept > 0) {
        std::memmove(buffer_.data(), bytes_.data(), kept);
    }
    std::size_t have = kept;
    while (have < bytes) {
        const std::size_t got = input_->read(buffer_.data() + have, buffer_.size() - have);
        if (got == 0) break;
        have += got;
    }
    bytes_ = std::string_view(buffer_.data(), have);
    return have >= bytes;
}

std::uint64_t RecordReader::number() {
    if (bytes_.size() < 10) ensure(10);  // a number takes 10 bytes at most; fewer at the end
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes_.size() && i < 10; ++i) {
        const auto byte = static_cast<unsigned char>(bytes_[i]);
        value |= static_cast<std::uint64_t>(byte & 0x7F) << (7 * i);
        if (!(byte & 0x80)) {
            bytes_.remove_prefix(i + 1);
            return value;
        }
    }
    throw FileError(path_, "the file ends inside a record");
}

bool RecordReader::next(std::span<std::uint64_t> numbers, std::span<std::string_view> fields) {
    if (fields.size() > kMostFields) throw std::logic_error("a record of too many fields");
    if (!ensure(1)) return false;
    for (auto& value : numbers) value = number();
    std::uint64_t lengths[kMostFields] = {};
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) total += lengths[i] = number();
    if (!ensure(static_cast<std::size_t>(total))) throw FileError(path_, "the file ends inside a record");
    for (std::size_t i = 0; i < fields.size(); ++i) {
        fields[i] = bytes_.substr(0, static_cast<std::size_t>(lengths[i]));
        bytes_.remove_prefix(static_cast<std::size_t>(lengths[i]));
    }
    return true;
}

}  // namespace marrowgate
