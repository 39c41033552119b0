#include "check/BlockFields.h"

#include "text/PartHeader.h"

namespace marrowgate {

bool block_fields_known(std::string_view version) { return version == "V2007" || version == "V9"; }

std::optional<long long> count_field(std::string_view field) {
    if (field.empty() || field.size() > 9) return std::nullopt;
    long long value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

BlockFields::BlockFields(std::string_view collapsed_header) {
    Words<10> words{};
    // ATTRS, GATES and SIGPINS are words 5 to 7; a header cut short holds none of them.
    if (split_words<10>(collapsed_header, words) < 8) return;
    header_attributes_ = count_field(words[5]);
    header_gates_ = count_field(words[6]);
    header_signal_pins_ = count_field(words[7]);
}

void BlockFields::line(std::string_view line) {
    if (gate_lines_left_ > 0) {
        --gate_lines_left_;
        return;
    }
    if (line.starts_with("GATE ")) {
        ++gate_lines_;
        Words<4> words{};
        split_words<4>(line, words);
        const auto decals = count_field(words[2]);
        const auto pins = count_field(words[3]);
        if (!decals || !pins) {
            pins_readable_ = false;
            return;
        }
        gate_pins_ += *pins;
        gate_lines_left_ = *decals + *pins;
    } else if (line.starts_with("SIGPIN ")) {
        ++signal_pin_lines_;
    } else if (line.starts_with("\"") && gate_lines_ == 0 && signal_pin_lines_ == 0) {
        ++attribute_lines_;
    }
}

std::optional<long long> BlockFields::pins() const {
    if (!pins_readable_ || (gate_lines_ == 0 && signal_pin_lines_ == 0)) return std::nullopt;
    return gate_pins_ + signal_pin_lines_;
}

std::string BlockFields::count_mismatches() const {
    std::string text;
    const auto compare = [&](const std::optional<long long>& header, long long lines, const char* what) {
        if (!header || *header == lines) return;
        text += (text.empty() ? "" : "; ") + std::to_string(*header) + " " + what + " in the header, " +
                std::to_string(lines) + " in the block";
    };
    compare(header_attributes_, attribute_lines_, "attributes");
    compare(header_gates_, gate_lines_, "gates");
    compare(header_signal_pins_, signal_pin_lines_, "signal pins");
    return text;
}

}  // namespace marrowgate
