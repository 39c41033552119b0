#include "sort/Sorts.h"

#include <memory>
#include <utility>

#include "io/RunError.h"
#include "run/RunChecks.h"
#include "sort/DecalIndex.h"
#include "state/Module1.h"
#include "text/PartHeader.h"
#include "workspace/Folders.h"

namespace marrowgate {

std::optional<SortKey> sort_key_from_name(std::string_view name) {
    if (name == "alphanumeric") return SortKey::Alphanumeric;
    if (name == "logic-family") return SortKey::LogicFamily;
    if (name == "decal-name") return SortKey::DecalName;
    if (name == "pad-count") return SortKey::PadCount;
    return std::nullopt;
}

std::string sort_key_name(SortKey key) {
    switch (key) {
        case SortKey::Alphanumeric: return "alphanumeric";
        case SortKey::LogicFamily: return "logic-family";
        case SortKey::DecalName: return "decal-name";
        case SortKey::PadCount: return "pad-count";
    }
    return "";
}

namespace {
void replace_first(std::string& text, char from) {
    const auto pos = text.find(from);
    if (pos != std::string::npos) text[pos] = '_';
}
}  // namespace

std::string initial_key(std::string_view header) {
    const std::string_view name = word<1>(header);
    if (name.empty()) return {};
    const char first = name.front();
    if (first == '\\' || first == '/' || first == '.') return "_";
    return std::string(1, first);
}

std::string logic_family_key(std::string_view header) { return std::string(word<4>(header)); }

namespace {
std::string_view first_decal_view(std::string_view header) {
    const std::string_view decals = word<2>(header);
    return decals.substr(0, decals.find(':'));
}
}  // namespace

std::string first_decal_name(std::string_view header) { return std::string(first_decal_view(header)); }

std::string decal_name_key(std::string_view header) {
    std::string key = first_decal_name(header);
    replace_first(key, '/');
    replace_first(key, '\\');
    replace_first(key, '.');
    return key;
}

namespace {

using KeyFunction = std::string (*)(std::string_view);
using SourceFunction = std::string_view (*)(std::string_view);

// The bytes each key is made from.
// Word 1 ends at the first space: its first byte is the line's, unless the
// line starts with one.
std::string_view initial_source(std::string_view header) {
    return header.empty() || header.front() == ' ' ? std::string_view() : header.substr(0, 1);
}
std::string_view family_source(std::string_view header) { return word<4>(header); }

class WordKeyRule final : public KeyRule {
public:
    WordKeyRule(SortKey sort_key, const char* title, KeyFunction key, SourceFunction source, std::size_t capacity,
                const char* first_list, const char* second_list)
        : sort_key_(sort_key), title_(title), key_(key), source_(source), capacity_(capacity), first_(first_list),
          second_(second_list) {}
    std::string name() const override { return sort_key_name(sort_key_); }
    std::string title() const override { return title_; }
    std::size_t capacity() const override { return capacity_; }
    std::filesystem::path first_list_file() const override { return std::filesystem::path("tmp") / first_; }
    std::filesystem::path second_list_file() const override { return std::filesystem::path("tmp") / second_; }
    std::optional<std::string> key_of(std::string_view header, std::string&) const override {
        std::string key = key_(header);
        make_file_name_safe(key);
        return key;
    }
    std::optional<std::string_view> key_source(std::string_view header) const override { return source_(header); }

private:
    SortKey sort_key_;
    const char* title_;
    KeyFunction key_;
    SourceFunction source_;
    std::size_t capacity_;
    const char* first_;
    const char* second_;
};

class PadCountRule final : public KeyRule {
public:
    explicit PadCountRule(std::filesystem::path decal_file) : decal_file_(std::move(decal_file)) {}
    std::string name() const override { return sort_key_name(SortKey::PadCount); }
    std::string title() const override { return "PCB Decal Pads Number"; }
    std::size_t capacity() const override { return 1024; }
    std::filesystem::path first_list_file() const override {
        return std::filesystem::path("tmp") / "Pads_Number_in_Decals.dat";
    }
    std::filesystem::path second_list_file() const override { return "Pads_Number_in_Decals.dat"; }
    bool shows_first_pass() const override { return true; }
    void prepare(FileSystem& files, RunResult& result, const std::function<void()>& check_stop) override {
        if (decal_file_.empty()) {
            result.warnings.add(WarningKind::NoDecalFile, "No PCB decal file was chosen, so no part could be placed.");
            return;
        }
        index_.load(files, decal_file_, result.warnings, check_stop);
    }
    std::optional<std::string_view> key_source(std::string_view header) const override {
        return first_decal_view(header);
    }
    std::optional<std::string> key_of(std::string_view header, std::string& looked_up) const override {
        looked_up.assign(first_decal_view(header));
        const auto pads = index_.pad_count(looked_up);
        if (!pads) return std::nullopt;
        std::string key(*pads);
        make_file_name_safe(key);
        return key;
    }
    Unplaced why_unplaced(std::string_view looked_up) const override {
        if (decal_file_.empty()) return Unplaced::NoDecalLibrary;
        return index_.passed_over(looked_up) ? Unplaced::DecalWithoutPadCount : Unplaced::DecalNotInLibrary;
    }

private:
    std::filesystem::path decal_file_;  // empty where none was chosen
    DecalIndex index_;
};

// The rule of each key, with the list files of its run.
std::unique_ptr<KeyRule> rule_for(SortKey key, const Module1& state) {
    // Only the pad count reads a file of its own: the decal library, from the state once.
    switch (key) {
        case SortKey::Alphanumeric:
            return std::make_unique<WordKeyRule>(SortKey::Alphanumeric, "Alphanumeric Order", &initial_key,
                                                 &initial_source, 50, "Alphanumeric.dat", "Alphabetic.dat");
        case SortKey::LogicFamily:
            return std::make_unique<WordKeyRule>(SortKey::LogicFamily, "Logic Family", &logic_family_key,
                                                 &family_source, 50, "Logic_Families.dat", "Logic_Families.dat");
        case SortKey::DecalName:
            return std::make_unique<WordKeyRule>(SortKey::DecalName, "PCB Decal Name", &decal_name_key,
                                                 &first_decal_view, 1024, "Decals.dat", "Decals.dat");
        case SortKey::PadCount: break;
    }
    return std::make_unique<PadCountRule>(decal_file_path(state));
}

}  // namespace

RunResult SORT_by_Alpanumeric_Order(Module1& state, StatusDisplay& status, FileSystem& files) {
    return run_frame(state, *rule_for(SortKey::Alphanumeric, state), status, files);
}

RunResult SORT_by_Logic_Family(Module1& state, StatusDisplay& status, FileSystem& files) {
    return run_frame(state, *rule_for(SortKey::LogicFamily, state), status, files);
}

RunResult SORT_by_PCB_Decal(Module1& state, StatusDisplay& status, FileSystem& files) {
    return run_frame(state, *rule_for(SortKey::DecalName, state), status, files);
}

RunResult SORT_by_Number_of_Pads_in_PCB_Decal(Module1& state, StatusDisplay& status, FileSystem& files) {
    return run_frame(state, *rule_for(SortKey::PadCount, state), status, files);
}

std::optional<std::string> own_file_refusal(const Module1& state, SortKey key, FileSystem& files) {
    try {
        const auto rule = rule_for(key, state);
        check_inputs_are_not_own_files(plan_run(state, rule.get()), files);
    } catch (const InputRefused& refused) {
        return std::string(refused.what());
    }
    return std::nullopt;
}

RunResult run_sort(Module1& state, SortKey key, StatusDisplay& status, FileSystem& files) {
    switch (key) {
        case SortKey::Alphanumeric: return SORT_by_Alpanumeric_Order(state, status, files);
        case SortKey::LogicFamily: return SORT_by_Logic_Family(state, status, files);
        case SortKey::DecalName: return SORT_by_PCB_Decal(state, status, files);
        case SortKey::PadCount: return SORT_by_Number_of_Pads_in_PCB_Decal(state, status, files);
    }
    return {};
}

}  // namespace marrowgate
