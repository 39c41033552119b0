#include "cli/CommandLine.h"

#include <algorithm>

namespace marrowgate::arguments {

CommandLine::CommandLine() {
    app_.set_help_flag();                     // each program prints its own text
    app_.allow_extras();                      // operands and unknown options: see operands()
    app_.allow_windows_style_options(false);  // "/name" is a file, on Windows too
}

void CommandLine::flag(const std::string& names, bool& set, const std::vector<std::string>& words) {
    // "--json=yes" is refused, as an unknown option (see parse).
    app_.add_flag(names, set)->disable_flag_override();
    for (const std::string& word : words) words_[word] = &set;
}

void CommandLine::value(const std::string& name, std::function<void(const std::string&)> take) {
    app_.add_option_function<std::string>(name, std::move(take))->trigger_on_parse();
    value_names_.push_back(name);
}

std::vector<std::string> CommandLine::parse(const std::vector<std::string>& args) {
    const std::vector<std::string> words = with_empty_values(args);
    std::vector<std::string> left(words.rbegin(), words.rend());  // CLI11 takes the words from the back
    try {
        app_.parse(left);
    } catch (const CLI::ParseError& error) {
        operands();  // an unknown option before the failing word is named first
        // CLI11 fails on the word it took last: an option whose value is
        // missing, or a flag given a value.
        if (!dynamic_cast<const CLI::ArgumentMismatch*>(&error) || left.size() >= words.size())
            throw UsageError(error.what());
        const std::string& word = words[words.size() - left.size() - 1];
        throw UsageError(word.find('=') != std::string::npos ? "unknown option " + word : word + " needs a value");
    } catch (const UsageError&) {
        operands();
        throw;
    }
    return operands();
}

// CLI11 reads "--name=" as "--name" and takes the next word for its value;
// the equals sign says the value is empty.
std::vector<std::string> CommandLine::with_empty_values(const std::vector<std::string>& args) const {
    const auto takes_value = [&](const std::string& word) {
        return std::find(value_names_.begin(), value_names_.end(), word) != value_names_.end();
    };
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--") {
            words.insert(words.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
            break;
        }
        words.push_back(word);
        if (takes_value(word) && i + 1 < args.size()) {
            words.push_back(args[++i]);
        } else if (word.ends_with('=') && takes_value(word.substr(0, word.size() - 1))) {
            words.back().pop_back();
            words.emplace_back();
        }
    }
    return words;
}

// The words CLI11 left (allow_extras): operands, unknown options and "--".
std::vector<std::string> CommandLine::operands() const {
    std::vector<std::string> operands;
    bool after_marker = false;
    for (const std::string& word : app_.remaining()) {
        if (after_marker) {
            operands.push_back(word);
        } else if (word == "--") {
            after_marker = true;
        } else if (const auto alias = words_.find(word); alias != words_.end()) {
            *alias->second = true;
        } else if (word.size() > 1 && word[0] == '-') {
            throw UsageError("unknown option " + word);
        } else {
            operands.push_back(word);
        }
    }
    return operands;
}

}  // namespace marrowgate::arguments
