#include "text/MarkerRule.h"

#include <cctype>
#include <utility>

namespace marrowgate {

MarkerRule::MarkerRule(std::string prefix, bool any_version)
    : prefix_(std::move(prefix)), v4_(prefix_ + "4*"), any_version_(any_version) {}

MarkerRule MarkerRule::part_types_v4() { return MarkerRule("*PADS-LIBRARY-PART-TYPES-V", false); }
MarkerRule MarkerRule::decals_v4() { return MarkerRule("*PADS-LIBRARY-PCB-DECALS-V", false); }
MarkerRule MarkerRule::part_types_any_version() { return MarkerRule("*PADS-LIBRARY-PART-TYPES-V", true); }
MarkerRule MarkerRule::decals_any_version() { return MarkerRule("*PADS-LIBRARY-PCB-DECALS-V", true); }

bool MarkerRule::matches(std::string_view line) const {
    if (!any_version_) return line == v4_;
    return !version_of(line).empty();
}

std::string MarkerRule::version_of(std::string_view line) const {
    if (line.size() < prefix_.size() + 2 || line.substr(0, prefix_.size()) != prefix_ || line.back() != '*')
        return {};
    const std::string_view version = line.substr(prefix_.size(), line.size() - prefix_.size() - 1);
    for (const char c : version) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.') return {};
    }
    std::string name(1, 'V');
    return name.append(version);
}

std::string MarkerRule::kind_name() const {
    return prefix_.find("DECALS") != std::string::npos ? "PCB decal" : "part-type";
}

MarkerRule MarkerRule::other_kind() const {
    return prefix_.find("DECALS") != std::string::npos ? part_types_any_version() : decals_any_version();
}

std::string MarkerRule::description() const { return any_version_ ? prefix_ + "<version>*" : v4_; }

}  // namespace marrowgate
