#include "support/Json.h"

#include <cstdlib>

namespace marrowgate::test {

namespace {

class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    Json document() {
        Json value = parse_value();
        skip_space();
        if (pos_ != text_.size()) fail("trailing text");
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& what) {
        throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(pos_));
    }
    void skip_space() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' || text_[pos_] == '\r' ||
                                       text_[pos_] == '\t'))
            ++pos_;
    }
    bool take(char c) {
        skip_space();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    void expect(char c) {
        if (!take(c)) fail(std::string("expected ") + c);
    }
    bool take_word(const char* word) {
        const std::string w(word);
        if (text_.compare(pos_, w.size(), w) != 0) return false;
        pos_ += w.size();
        return true;
    }

    Json parse_value() {
        skip_space();
        if (pos_ >= text_.size()) fail("unexpected end");
        const char c = text_[pos_];
        if (c == '{') return parse_object();
        if (c == '[') return parse_array();
        if (c == '"') return Json{parse_string()};
        if (take_word("true")) return Json{true};
        if (take_word("false")) return Json{false};
        if (take_word("null")) return Json{nullptr};
        char* end = nullptr;
        const double number = std::strtod(text_.c_str() + pos_, &end);
        if (end == text_.c_str() + pos_) fail("unexpected character");
        pos_ = static_cast<std::size_t>(end - text_.c_str());
        return Json{number};
    }

    Json parse_object() {
        expect('{');
        auto object = std::make_shared<Json::Object>();
        if (!take('}')) {
            do {
                skip_space();
                std::string key = parse_string();
                expect(':');
                (*object)[key] = parse_value();
            } while (take(','));
            expect('}');
        }
        return Json{object};
    }

    Json parse_array() {
        expect('[');
        auto array = std::make_shared<Json::Array>();
        if (!take(']')) {
            do array->push_back(parse_value());
            while (take(','));
            expect(']');
        }
        return Json{array};
    }

    void append_utf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::string parse_string() {
        if (pos_ >= text_.size() || text_[pos_] != '"') fail("expected a string");
        ++pos_;
        std::string out;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            const char c = text_[pos_++];
            if (static_cast<unsigned char>(c) < 0x20) fail("control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) fail("unfinished escape");
            const char e = text_[pos_++];
            switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'u': {
                    if (pos_ + 4 > text_.size()) fail("short \\u escape");
                    append_utf8(out, static_cast<unsigned>(std::stoul(text_.substr(pos_, 4), nullptr, 16)));
                    pos_ += 4;
                    break;
                }
                default: fail("unknown escape");
            }
        }
        if (pos_ >= text_.size()) fail("unfinished string");
        ++pos_;
        return out;
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

}  // namespace

Json Json::parse(const std::string& text) { return Parser(text).document(); }

}  // namespace marrowgate::test
