// The marker line that opens a PADS library file and names its kind and
// version.
#pragma once

#include <string>
#include <string_view>

namespace marrowgate {

// Which marker lines a file may carry.
class MarkerRule {
public:
    // Only the V4 marker, as the window accepts it.
    static MarkerRule part_types_v4();
    static MarkerRule decals_v4();
    // Any version: *PADS-LIBRARY-PART-TYPES-V<version>* (V4, V5, V2005, V2007, V9 ...).
    static MarkerRule part_types_any_version();
    static MarkerRule decals_any_version();

    bool matches(std::string_view line) const;
    // The marker of the V4 form, kept in Staged_Marker.
    const std::string& v4_marker() const { return v4_; }
    // "*PADS-LIBRARY-PART-TYPES-V4*" or "*PADS-LIBRARY-PART-TYPES-V<version>*".
    std::string description() const;
    // "V9" for "*PADS-LIBRARY-PART-TYPES-V9*": the version of a marker line of
    // this rule's kind, whatever versions the rule takes; empty for any other line.
    std::string version_of(std::string_view line) const;
    // "part-type" or "PCB decal": the kind of library the rule takes.
    std::string kind_name() const;
    // Every version of the other kind of library: a decal library given
    // where a part-type library is asked for is named as what it is.
    MarkerRule other_kind() const;

private:
    MarkerRule(std::string prefix, bool any_version);
    std::string prefix_;
    std::string v4_;
    bool any_version_;
};

}  // namespace marrowgate
