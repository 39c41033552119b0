// The byte scans the line reader spends its time in: each has a plain form
// and forms that look at sixteen (SSE2) or thirty-two (AVX2) bytes at a time,
// which find the same positions. The reader takes the widest form the
// processor has; the tests run every form this processor has on the same
// bytes as the plain one.
#pragma once

#include <cstddef>
#include <vector>

namespace marrowgate::scan {

enum class Width { Plain, Sse2, Avx2 };

// The widths this processor runs, the plain one first.
std::vector<Width> available_widths();
// The widest of them.
Width preferred_width();

// The first LF in [from, to) that ends an empty line or has no CR before it,
// or `to` when there is none. `floor` is the start of a line at or before
// `from`; the bytes before it count as a line end. Reads no byte before
// base + floor. With `feeds`, the LFs in [from, the position returned) are
// added to it, counted in the same pass over the bytes.
std::size_t line_event(Width width, const char* base, std::size_t floor, std::size_t from, std::size_t to,
                       std::size_t* feeds = nullptr);

// The first position in [from, to) of a space, a capital M or I and a space
// (the mark of a header line), or `to` when there is none.
std::size_t header_mark(Width width, const char* base, std::size_t from, std::size_t to);

// The position of the last LF among `size` bytes, or `size` when there is none.
std::size_t last_line_feed(Width width, const char* bytes, std::size_t size);

// The LFs among `size` bytes.
std::size_t line_feeds(Width width, const char* bytes, std::size_t size);

}  // namespace marrowgate::scan
