// What a sort run must write, worked out here independently of the engine:
// the part blocks of a library as an output file holds them, the pad counts of
// a decal library and the key of a part header line. Used by the fuzz check,
// the tests over generated and real libraries, and the benchmark's literal
// passes.
#pragma once

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sort/Sorts.h"
#include "text/LineReader.h"

namespace marrowgate::test {

// The lines of a file: a line ends at LF, and a CR just before that LF belongs
// to the line end; a last line without LF is still a line.
inline std::vector<std::string_view> model_lines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t from = 0;
    while (from < bytes.size()) {
        const std::size_t lf = bytes.find('\n', from);
        if (lf == std::string_view::npos) {
            lines.push_back(bytes.substr(from));
            break;
        }
        std::size_t end = lf;
        if (end > from && bytes[end - 1] == '\r') --end;
        lines.push_back(bytes.substr(from, end - from));
        from = lf + 1;
    }
    return lines;
}

inline bool model_is_header(std::string_view line) {
    return line.find(" M ") != std::string_view::npos || line.find(" I ") != std::string_view::npos;
}

// Field n (1-based) of the line cut at every space; empty when missing.
inline std::string_view model_field(std::string_view line, int n) {
    for (int i = 1; i < n; ++i) {
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos) return {};
        line.remove_prefix(space + 1);
    }
    return line.substr(0, line.find(' '));
}

inline std::string model_safe(std::string key) {
    for (char& ch : key) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 32 || byte == 127 || std::string_view("\\/:*?\"<>|").find(ch) != std::string_view::npos) ch = '_';
    }
    return key;
}

inline void model_replace_first(std::string& text, char from) {
    if (const auto at = text.find(from); at != std::string::npos) text[at] = '_';
}

struct Block {
    std::string header;
    std::string bytes;  // as an output library file holds it
    long long line = 0;  // of the header in its file
};

inline std::vector<Block> model_blocks(std::string_view file) {
    std::vector<Block> blocks;
    const auto lines = model_lines(file);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!model_is_header(lines[i])) continue;
        Block block{std::string(lines[i]), std::string(lines[i]) + "\r\n", static_cast<long long>(i) + 1};
        bool closed = false;
        while (!closed && ++i < lines.size()) {
            block.bytes.append(lines[i]).append("\r\n");
            closed = lines[i].empty();
        }
        if (!closed) block.bytes += "\r\n";
        blocks.push_back(std::move(block));
    }
    return blocks;
}

// The lines of a part-type file outside its part blocks that a run tells
// of: all but the first two, empty lines and "*END*".
inline long long model_stray_lines(std::string_view file) {
    const auto lines = model_lines(file);
    long long stray = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (model_is_header(lines[i])) {
            while (++i < lines.size() && !lines[i].empty()) {}
            continue;
        }
        stray += i >= 2 && !lines[i].empty() && lines[i] != "*END*";
    }
    return stray;
}

// Whether a run must refuse a header line as too long to hold: longer than
// the line reader holds, with its first mark, or the words its key is made
// of (`words`, counted after runs of spaces become one where `collapse`),
// not within its first kLongestHeld bytes.
inline bool model_too_long(std::string_view line, std::size_t words, bool collapse) {
    if (line.size() <= LineReader::kLongestHeld) return false;
    const std::string_view held = line.substr(0, LineReader::kLongestHeld);
    if (!model_is_header(held)) return true;
    std::size_t spaces = 0;
    for (std::size_t i = 0; i < held.size(); ++i) spaces += held[i] == ' ' && !(collapse && i > 0 && held[i - 1] == ' ');
    return spaces < words;
}

// The decal a decal header line defines, as (name, pad count): fields 1 and 9
// once runs of spaces are one; none where fewer than ten spaces remain.
inline std::optional<std::pair<std::string, std::string>> model_decal(std::string_view line) {
    std::string collapsed;
    for (const char ch : line)
        if (ch != ' ' || collapsed.empty() || collapsed.back() != ' ') collapsed += ch;
    if (std::count(collapsed.begin(), collapsed.end(), ' ') < 10) return std::nullopt;
    return std::pair{std::string(model_field(collapsed, 1)), std::string(model_field(collapsed, 9))};
}

// Decal name -> pad count; the first definition of a name decides.
inline std::map<std::string, std::string> model_decals(std::string_view file) {
    std::map<std::string, std::string> pads;
    for (const auto line : model_lines(file))
        if (model_is_header(line))
            if (auto decal = model_decal(line)) pads.insert(std::move(*decal));
    return pads;
}

// The first of the decals a part header line names (field 2 up to a ':').
inline std::string_view model_first_decal(std::string_view header) {
    const auto decals = model_field(header, 2);
    return decals.substr(0, decals.find(':'));
}

inline std::optional<std::string> model_key(SortKey key, std::string_view header,
                                            const std::map<std::string, std::string>& pads) {
    switch (key) {
        case SortKey::Alphanumeric: {
            std::string initial(model_field(header, 1).substr(0, 1));
            if (initial == "\\" || initial == "/" || initial == ".") initial = "_";
            return model_safe(initial);
        }
        case SortKey::LogicFamily: return model_safe(std::string(model_field(header, 4)));
        case SortKey::DecalName: {
            std::string name(model_first_decal(header));
            model_replace_first(name, '/');
            model_replace_first(name, '\\');
            model_replace_first(name, '.');
            return model_safe(name);
        }
        case SortKey::PadCount: {
            const auto it = pads.find(std::string(model_first_decal(header)));
            if (it == pads.end()) return std::nullopt;
            return model_safe(it->second);
        }
    }
    return std::nullopt;
}

// A part placed in no file: its name, its file (0-based), its number in the
// file and the line of its header.
struct ModelPart {
    std::string name;
    std::size_t file = 0;
    long long ordinal = 0;
    long long line = 0;
};

// What a run of `key` writes into lib: for every key, in the order first met,
// the blocks between the opening lines and "*END*"; how many parts there
// were, the parts that went to no file, and the lines outside the part
// blocks it tells of.
struct ModelRun {
    std::vector<std::pair<std::string, std::string>> outputs;
    long long parts = 0;
    std::vector<ModelPart> nowhere;
    long long stray = 0;
};

inline ModelRun model_run(SortKey key, const std::vector<std::string>& part_files,
                          const std::map<std::string, std::string>& pads) {
    ModelRun run;
    std::map<std::string, std::size_t> index;
    for (std::size_t file = 0; file < part_files.size(); ++file) {
        long long ordinal = 0;
        for (const auto& block : model_blocks(part_files[file])) {
            ++run.parts;
            ++ordinal;
            const auto found = model_key(key, block.header, pads);
            if (!found) {
                run.nowhere.push_back({block.header.substr(0, block.header.find(' ')), file, ordinal, block.line});
                continue;
            }
            const auto [it, added] = index.emplace(*found, run.outputs.size());
            if (added) run.outputs.emplace_back(*found, std::string());
            run.outputs[it->second].second += block.bytes;
        }
        run.stray += model_stray_lines(part_files[file]);
    }
    return run;
}

}  // namespace marrowgate::test
