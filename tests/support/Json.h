// A small JSON reader for tests that parse the command line's output back.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace marrowgate::test {

struct Json {
    using Array = std::vector<Json>;
    using Object = std::map<std::string, Json>;
    std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<Array>, std::shared_ptr<Object>> value;

    const Json& operator[](const std::string& key) const { return std::get<std::shared_ptr<Object>>(value)->at(key); }
    const Json& operator[](std::size_t index) const { return std::get<std::shared_ptr<Array>>(value)->at(index); }
    std::size_t size() const {
        if (auto array = std::get_if<std::shared_ptr<Array>>(&value)) return (*array)->size();
        return std::get<std::shared_ptr<Object>>(value)->size();
    }
    const std::string& str() const { return std::get<std::string>(value); }
    double num() const { return std::get<double>(value); }
    bool boolean() const { return std::get<bool>(value); }
    bool has(const std::string& key) const { return std::get<std::shared_ptr<Object>>(value)->count(key) > 0; }

    // Throws std::runtime_error on malformed text or trailing garbage.
    static Json parse(const std::string& text);
};

}  // namespace marrowgate::test
