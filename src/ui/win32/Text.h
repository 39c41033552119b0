// UTF-8, as the logic speaks it, and UTF-16, as every W call of Windows
// takes it.
#pragma once

#include <string>
#include <string_view>

namespace marrowgate::win32 {

std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view text);

}  // namespace marrowgate::win32
