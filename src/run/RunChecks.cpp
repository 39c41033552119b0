#include "run/RunChecks.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <system_error>
#include <type_traits>
#include <utility>

#include "io/RunError.h"
#include "keys/KeyNames.h"
#include "report/RunReportFile.h"
#include "run/KeyRule.h"
#include "workspace/ExistingNames.h"
#include "workspace/Folders.h"
#include "workspace/Staging.h"

namespace marrowgate {

void check_names_fit(const std::vector<std::filesystem::path>& targets) {
    constexpr std::size_t kLongestName = 255;  // bytes on Linux, UTF-16 units on Windows
    for (const auto& target : targets) {
        if (target.filename().native().size() > kLongestName)
            throw RunError(display_path(target) + ": cannot be created: the name is longer than the " +
                           std::to_string(kLongestName) +
                           " characters a file name may have, because its key is too long. Nothing was written.");
    }
}

void check_inputs_survive(const RunPlan& plan, const std::vector<std::filesystem::path>& targets, FileSystem& files) {
    const std::vector<std::filesystem::path> inputs = plan.read_files();
    std::vector<std::optional<FileIdentity>> identities;
    for (const auto& input : inputs) identities.push_back(files.identity(input));
    ExistingNames existing(files);
    for (const auto& target : targets) {
        if (!existing.may_hold(target)) continue;
        const std::optional<FileIdentity> identity = files.identity(target);
        if (!identity) continue;
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            std::error_code ec;
            const bool same = identities[i] ? *identities[i] == *identity
                                            : std::filesystem::equivalent(target, inputs[i], ec) && !ec;
            if (same)
                throw InputRefused("the output file " + display_path(target) + " is the input file " +
                               display_path(inputs[i]) +
                               "; sorting would destroy it. Move the input elsewhere. Nothing was written.");
        }
    }
}

void check_inputs_are_not_own_files(const RunPlan& plan, FileSystem& files) {
    const KeyRule& rule = *plan.rule;
    const std::vector<std::filesystem::path> inputs = plan.read_files();
    std::vector<std::optional<FileIdentity>> identities;
    for (const auto& input : inputs) identities.push_back(files.identity(input));
    const auto refuse_input = [&](const std::filesystem::path& own, const std::string& what) {
        const std::optional<FileIdentity> identity = files.identity(own);
        if (!identity) return;
        for (std::size_t i = 0; i < inputs.size(); ++i)
            if (identities[i] == identity)
                throw InputRefused(display_path(inputs[i]) + ": refused: it is " + what +
                                   ". Move it elsewhere. Nothing was written.");
    };
    // Everything a stopped run left: its files, and the files in its folders
    // (a link in them goes, not what it names).
    const std::function<void(const std::filesystem::path&, int)> left = [&](const std::filesystem::path& path,
                                                                            int depth) {
        switch (files.status(path, false).kind) {
            case FileEntry::Kind::File:
                refuse_input(path, display_path(path) + ", left by a run that was stopped, which the next run removes");
                break;
            case FileEntry::Kind::Folder:
                if (depth < 8)
                    for (const auto& name : files.names_in(path).value_or(std::vector<std::filesystem::path>()))
                        left(path / name, depth + 1);
                break;
            default: break;
        }
    };
    const std::filesystem::path& application = plan.folders.application;
    for (const auto& folder : {application, plan.folders.lib, plan.folders.tmp}) {
        refuse_input(run_lock_path(folder), "the lock file " + display_path(run_lock_path(folder)) +
                                                 ", which every run holds while it works");
        for (const auto& leftover : Staging::leftovers(files, folder)) left(leftover, 0);
    }
    refuse_input(run_report_path(application),
                 "the report " + display_path(run_report_path(application)) + ", which every run replaces");
    for (const auto& list : {application / rule.first_list_file(), application / rule.second_list_file()})
        refuse_input(list, "the list file " + display_path(list) + ", which every " + rule.name() + " run empties");
}

InputStamps::InputStamps(FileSystem& files, const RunPlan& plan) : files_(files), inputs_(plan.read_files()) {
    for (const auto& input : inputs_) stamps_.push_back(files_.status(input, true));
}

void InputStamps::check(std::size_t i) const {
    if (files_.status(inputs_[i], true) != stamps_[i])
        throw RunError(display_path(inputs_[i]) +
                       " changed while it was being sorted. Nothing was changed; sort it again once it is complete.");
}

void InputStamps::check_all() const {
    for (std::size_t i = 0; i < inputs_.size(); ++i) check(i);
}

}  // namespace marrowgate
