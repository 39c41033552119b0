#include "workspace/ExistingNames.h"

#include <type_traits>
#include <utility>

#include "keys/KeyNames.h"

namespace marrowgate {

namespace {

std::optional<std::filesystem::path::string_type> folded(std::filesystem::path::string_type name) {
    using Unit = std::make_unsigned_t<std::filesystem::path::value_type>;
    for (const auto c : name)
        if (static_cast<Unit>(c) > 0x7F) return std::nullopt;
    return ascii_lower(std::move(name));
}

}  // namespace

bool ExistingNames::may_hold(const std::filesystem::path& target) {
    const std::filesystem::path parent = target.parent_path();
    auto [folder, listed] = folders_.try_emplace(parent.empty() ? std::filesystem::path(".") : parent);
    if (listed) list(folder->first, folder->second);
    const std::optional<std::filesystem::path::string_type> name = folded(target.filename().native());
    return !folder->second.complete || !name || folder->second.names.count(*name) > 0;
}

void ExistingNames::list(const std::filesystem::path& path, Folder& folder) {
    const auto names = files_.names_in(path);
    if (!names) {
        folder.complete = files_.status(path, true).kind == FileEntry::Kind::None;  // no folder, no file
        return;
    }
    for (const auto& entry : *names) {
        const auto name = folded(entry.native());
        if (!name) return;
        folder.names.insert(*name);
    }
    folder.complete = true;
}

}  // namespace marrowgate
