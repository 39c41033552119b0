// The four sort runs: by the initial of the part name, by logic family, by the
// first PCB decal name, and by the number of pads of the part's PCB decal.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "io/FileSystem.h"
#include "run/RunFrame.h"
#include "run/StatusDisplay.h"

namespace marrowgate {

struct Module1;

enum class SortKey { Alphanumeric = 0, LogicFamily = 1, DecalName = 2, PadCount = 3 };

// "alphanumeric", "logic-family", "decal-name", "pad-count".
std::optional<SortKey> sort_key_from_name(std::string_view name);
std::string sort_key_name(SortKey key);

// Keys of a part header line, before they are made safe for a file name.
std::string initial_key(std::string_view header);
std::string logic_family_key(std::string_view header);
std::string first_decal_name(std::string_view header);
std::string decal_name_key(std::string_view header);

RunResult SORT_by_Alpanumeric_Order(Module1& state, StatusDisplay& status, FileSystem& files);
RunResult SORT_by_Logic_Family(Module1& state, StatusDisplay& status, FileSystem& files);
RunResult SORT_by_PCB_Decal(Module1& state, StatusDisplay& status, FileSystem& files);
RunResult SORT_by_Number_of_Pads_in_PCB_Decal(Module1& state, StatusDisplay& status, FileSystem& files);

// The run of a key, as "Execute" dispatches on Sort_Option.
RunResult run_sort(Module1& state, SortKey key, StatusDisplay& status, FileSystem& files);

// Why the run of `key` would refuse its inputs before it began: one of them
// is a file it removes, replaces or writes besides its outputs (see
// check_inputs_are_not_own_files). The command line and the window ask
// before they make any folder; the run asks again.
std::optional<std::string> own_file_refusal(const Module1& state, SortKey key, FileSystem& files);

}  // namespace marrowgate
