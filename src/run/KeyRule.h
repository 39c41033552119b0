#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "io/FileSystem.h"
#include "report/RunResult.h"

namespace marrowgate {

// How one sort run finds the key of a part.
class KeyRule {
public:
    virtual ~KeyRule() = default;
    // The key's name on the command line and in the window.
    virtual std::string name() const = 0;
    virtual std::string title() const = 0;
    virtual std::size_t capacity() const = 0;
    // The list files, relative to the application folder.
    virtual std::filesystem::path first_list_file() const = 0;
    virtual std::filesystem::path second_list_file() const = 0;
    // Whether the collection pass shows "First pass..." with its percentage.
    virtual bool shows_first_pass() const { return false; }
    // Work done once before the collection pass (reading the decal library).
    // `check_stop` is called as it reads (it throws RunStopped where the user
    // asked the run to stop).
    virtual void prepare(FileSystem&, RunResult&, const std::function<void()>& /*check_stop*/) {}
    // The key of a part header line, made safe for a file name; nothing when
    // the part can be placed in no file (then `looked_up` says what was sought).
    // Where a run has several files and the machine more than one processor,
    // the collection pass reads them side by side: key_of is then called from
    // two threads at once.
    virtual std::optional<std::string> key_of(std::string_view header, std::string& looked_up) const = 0;
    // Why a part that key_of placed nowhere, having looked up `looked_up`,
    // was placed nowhere.
    virtual Unplaced why_unplaced(std::string_view) const { return Unplaced::DecalNotInLibrary; }
    // The bytes of a header line that its key is made from, where equal bytes
    // always give the same key (or none): the run then works a key out once
    // for each distinct value instead of once for every part. Nothing where
    // the rule has no such bytes.
    virtual std::optional<std::string_view> key_source(std::string_view) const { return std::nullopt; }
};

}  // namespace marrowgate
