// How every program of the project reads its command line, with CLI11: the
// command line, the window and the benchmark alike.
//   - An option's value follows it (--name VALUE) or its equals sign
//     (--name=VALUE, empty after a bare "--name="), and is taken as it is,
//     even when it begins with '-'. The last of a repeated option counts.
//   - Before "--", a word that begins with '-' (other than "-" itself) is an
//     option; every other word, and every word after "--", is an operand.
//   - The first wrong word is named: "unknown option --x", "--x needs a
//     value", or what the option's own check says.
//   - Each program writes its own help text: no flag or text of CLI11's.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace marrowgate::arguments {

// A command line that cannot be read; what() names the word and the reason.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CommandLine {
public:
    CommandLine();

    // A flag ("--json"); `words` are other spellings of it ("-h"), taken
    // only as they stand ("-hx" is no -h) and only before "--".
    void flag(const std::string& names, bool& set, const std::vector<std::string>& words = {});
    // An option with a value, given to `take` where it comes on the line, so
    // that a value `take` refuses (by throwing) is reported in its turn.
    void value(const std::string& name, std::function<void(const std::string&)> take);

    // Reads the words after the program's name and returns the operands.
    // Throws UsageError naming the first wrong word.
    std::vector<std::string> parse(const std::vector<std::string>& args);

private:
    std::vector<std::string> with_empty_values(const std::vector<std::string>& args) const;
    std::vector<std::string> operands() const;

    CLI::App app_;
    std::vector<std::string> value_names_;  // "--sort", ...
    std::map<std::string, bool*> words_;
};

}  // namespace marrowgate::arguments
