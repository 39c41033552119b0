// The counts a part block holds, read field by field where the layout of
// its version is known.
//
// The layout read here is the one "PADS ASCII Format Specification, PADS
// Layout 2007" (Mentor Graphics, 2007; sections "Part Type Header Format",
// "Signal Format" and the part type definition) gives for part types, which
// V2007 and V9 part-type libraries follow:
//
//   NAME DECAL[:DECAL...] UNITS LOGFAM ATTRS GATES SIGPINS PINMAP FLAGS
//   TIMESTAMP yyyy.mm.dd.hh.mm.ss
//   ATTRS attribute lines, each "NAME" VALUE
//   GATES times: GATE DECALS PINS SWAP, DECALS gate decal names, PINS pin lines
//   SIGPINS times: SIGPIN PIN WIDTH SIGNAL
//   PINMAP lines of alphanumeric pin names
//
// A part's pins are the pins of its gates and its signal pins. Earlier
// versions (V4, V5, V2005) write other gate and pin lines, which no public
// description at hand settles; their blocks are not read field by field.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace marrowgate {

// Whether the blocks of a version ("V9", from MarkerRule::version_of) are
// read field by field.
bool block_fields_known(std::string_view version);

// The counts of one part block, fed its lines in order.
class BlockFields {
public:
    // The header line with its runs of spaces made one.
    explicit BlockFields(std::string_view collapsed_header);
    void line(std::string_view line);

    // The pins the block names: the PINS field of every gate line and one a
    // signal pin line; nothing where it names none, or a gate's PINS field
    // is no number.
    std::optional<long long> pins() const;
    // What the header's ATTRS, GATES and SIGPINS fields say against the
    // lines of the block, in words ("3 attributes in the header, 2 lines");
    // empty where they agree or the header holds no such fields.
    std::string count_mismatches() const;

private:
    std::optional<long long> header_attributes_, header_gates_, header_signal_pins_;
    long long attribute_lines_ = 0, gate_lines_ = 0, signal_pin_lines_ = 0;
    long long gate_pins_ = 0;
    bool pins_readable_ = true;
    long long gate_lines_left_ = 0;  // gate decal names and pin lines still to come after a GATE line
};

// A whole number of at most nine digits; nothing for anything else.
std::optional<long long> count_field(std::string_view field);

}  // namespace marrowgate
