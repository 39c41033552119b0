#include "cli/JsonSummary.h"

#include <cstdio>

#include "library/FileSystem.h"

namespace marrowgate::cli {

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0.
std::size_t utf8_length(const std::string& text, std::size_t i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = byte >= 0xF0 && byte <= 0xF4 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 && byte < 0xE0 ? 2 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    return length;
}

void append_escaped(std::string& out, unsigned code) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", code);
    out += buffer;
}

}  // namespace

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        switch (byte) {
            case '"': out += "\\\""; continue;
            case '\\': out += "\\\\"; continue;
            case '\n': out += "\\n"; continue;
            case '\r': out += "\\r"; continue;
            case '\t': out += "\\t"; continue;
            default: break;
        }
        if (byte < 0x20 || byte == 0x7F) {
            append_escaped(out, byte);
        } else if (byte < 0x80) {
            out += static_cast<char>(byte);
        } else if (const std::size_t length = utf8_length(text, i)) {
            out.append(text, i, length);
            i += length - 1;
        } else {
            append_escaped(out, byte);
        }
    }
    return out + "\"";
}

std::string json_summary(const RunResult& result, const std::string& key, const std::filesystem::path& lib,
                         bool dry_run) {
    std::string out = "{";
    out += "\"ok\": " + std::string(result.ok ? "true" : "false");
    out += ", \"dry_run\": " + std::string(dry_run ? "true" : "false");
    out += ", \"format\": " + json_string(result.format);
    out += ", \"key\": " + json_string(key);
    out += ", \"lib_folder\": " + json_string(display_path(lib));
    out += ", \"parts\": " + std::to_string(result.parts);
    out += ", \"outputs\": [";
    for (std::size_t i = 0; i < result.outputs.size(); ++i) {
        const auto& output = result.outputs[i];
        out += i ? ", " : "";
        out += "{\"file\": " + json_string(display_path(output.file)) + ", \"key\": " + json_string(output.key) +
               ", \"parts\": " + std::to_string(output.blocks) + "}";
    }
    out += "], \"unplaced\": [";
    for (std::size_t i = 0; i < result.unplaced.size(); ++i) {
        const auto& part = result.unplaced[i];
        out += i ? ", " : "";
        out += "{\"file\": " + json_string(display_path(part.file)) + ", \"part\": " + json_string(part.part) +
               ", \"decal\": " + json_string(part.decal) + "}";
    }
    out += "], \"warnings\": [";
    for (std::size_t i = 0; i < result.warnings.size(); ++i) {
        out += i ? ", " : "";
        out += json_string(result.warnings[i]);
    }
    out += "]";
    if (!result.ok) out += ", \"error\": " + json_string(result.error);
    out += "}\n";
    return out;
}

}  // namespace marrowgate::cli
