#include "LiteralSort.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "state/Module1.h"
#include "support/LibraryModel.h"

namespace marrowgate::bench {
namespace {

namespace fs = std::filesystem;

std::FILE* open_file(const fs::path& path, const char* mode) {
#ifdef _WIN32
    const std::wstring wide(mode, mode + std::strlen(mode));
    return _wfopen(path.c_str(), wide.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

std::runtime_error failure(const fs::path& path, const char* what) {
    return std::runtime_error(path.string() + ": " + what + ": " + std::strerror(errno));
}

// An input file read one line at a time. A line ends at CR LF or at a lone LF
// (some tools write LF alone); a lone CR is an ordinary byte of its line, and
// a last line without a line end is still a line.
class InputLines {
public:
    explicit InputLines(const fs::path& path) : path_(path), file_(open_file(path, "rb")), buffer_(1 << 16) {
        if (!file_) throw failure(path, "cannot be opened");
    }
    ~InputLines() { std::fclose(file_); }
    InputLines(const InputLines&) = delete;
    InputLines& operator=(const InputLines&) = delete;

    // The next line into `line`; false at the end of the file.
    bool read(std::string& line) {
        line.clear();
        bool any = false;
        for (;;) {
            if (pos_ == size_) {
                size_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
                pos_ = 0;
                if (size_ == 0) {
                    if (std::ferror(file_)) throw failure(path_, "cannot be read");
                    return any;
                }
            }
            any = true;
            const char* start = buffer_.data() + pos_;
            const void* feed = std::memchr(start, '\n', size_ - pos_);
            if (!feed) {
                line.append(start, size_ - pos_);
                pos_ = size_;
                continue;
            }
            const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(feed) - start);
            line.append(start, length);
            pos_ += length + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
    }

private:
    fs::path path_;
    std::FILE* file_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t size_ = 0;
};

// An output file opened for writing or appending, written line by line, each
// line followed by CR LF.
class OutputLines {
public:
    OutputLines(const fs::path& path, const char* mode) : path_(path), file_(open_file(path, mode)) {
        if (!file_) throw failure(path, "cannot be created");
    }
    ~OutputLines() {
        if (file_) std::fclose(file_);
    }
    OutputLines(const OutputLines&) = delete;
    OutputLines& operator=(const OutputLines&) = delete;

    void write_line(const std::string& line) {
        if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fwrite("\r\n", 1, 2, file_) != 2)
            throw failure(path_, "cannot be written");
    }
    void close() {
        std::FILE* file = file_;
        file_ = nullptr;
        if (std::fclose(file) != 0) throw failure(path_, "cannot be written");
    }

private:
    fs::path path_;
    std::FILE* file_;
};

// The distinct keys in order of first appearance; every addition compares the
// candidate with all used positions.
class KeyTable {
public:
    explicit KeyTable(std::size_t capacity) : capacity_(capacity) {}
    void add(const std::string& key) {
        bool found = false;
        for (const std::string& used : keys_) found = found || used == key;
        if (found) return;
        if (keys_.size() == capacity_)
            throw LiteralKeyTableFull("key table full at " + std::to_string(capacity_) + " keys: " + key);
        keys_.push_back(key);
    }
    const std::vector<std::string>& keys() const { return keys_; }

private:
    std::size_t capacity_;
    std::vector<std::string> keys_;
};

class LiteralRun {
public:
    explicit LiteralRun(const Module1& state) : state_(state) {
        const std::string& marker = state.File_Marker[1];
        marker_ = state.File_Count > 0 && !marker.empty() ? marker : std::string(kPartTypeMarkerV4);
    }

    // A key of the header line's words alone, which every part has.
    //
    // Sorting rules, in the model's key: a header line of fewer words does not
    // fail, the word where the spaces run out holds the rest of the line and
    // the later words are empty (later PADS versions write nine words, and
    // "NAME DECAL I " has an empty family); a character that Windows or Linux
    // refuses in a file name becomes "_", so every key names a file of its own.
    void word_key(SortKey key, std::size_t capacity, const char* first_list, const char* second_list) {
        frame(
            [key](const std::string& header, const KeyAction& act) {
                act(*test::model_key(key, header, {}));
                return true;
            },
            capacity, tmp(first_list), tmp(second_list));
    }

    void pad_count() {
        frame([this](const std::string& header, const KeyAction& act) { return look_up(header, act); }, 1024,
              tmp("Pads_Number_in_Decals.dat"), state_.Application_Folder / "Pads_Number_in_Decals.dat");
    }

private:
    using KeyAction = std::function<void(const std::string&)>;
    // Calls the action with the key of a part header line (for the pad count,
    // inside the decal look-up); returns false when the part has no key.
    using Placement = std::function<bool(const std::string&, const KeyAction&)>;

    void frame(const Placement& place, std::size_t capacity, const fs::path& first_list, const fs::path& second_list) {
        KeyTable table(capacity);
        std::string line;
        // Collection pass.
        for (int i = 1; i <= state_.File_Count; ++i) {
            InputLines in(listed_file_path(state_, i));
            while (in.read(line)) {
                if (!test::model_is_header(line)) continue;
                place(line, [&](const std::string& key) { table.add(key); });
                skip_block(in);
            }
        }
        empty_list_file(first_list);
        for (const std::string& key : table.keys()) create_output(key);
        // Copy pass.
        for (int i = 1; i <= state_.File_Count; ++i) {
            InputLines in(listed_file_path(state_, i));
            while (in.read(line)) {
                if (!test::model_is_header(line)) continue;
                const std::string saved = line;
                // Sorting rule: a part without a key (its decal is not in the
                // decal library) is passed over with its whole block; its
                // lines are not read as header lines of further parts.
                if (!place(saved, [&](const std::string& key) { copy_block(in, saved, key); })) skip_block(in);
            }
        }
        empty_list_file(second_list);
        for (const std::string& key : table.keys()) close_output(key);
    }

    // Reads the decal library from its first line to its last for the decal
    // the part names first, and calls `act` with the key of its pad count.
    // Returns whether it was found.
    //
    // Sorting rules: where a decal is defined more than once, its first
    // definition decides, in both passes (a second definition neither adds a
    // pad count nor copies the part again); a decal header line with fewer
    // than ten spaces after the collapse holds no pad count and is passed over.
    bool look_up(const std::string& header, const KeyAction& act) const {
        const std::string_view name = test::model_first_decal(header);
        std::map<std::string, std::string> found;  // this decal only
        for (int e = 1; e <= state_.Decal_Count; ++e) {
            InputLines decals(decal_file_path(state_));
            std::string line;
            while (decals.read(line)) {
                if (!test::model_is_header(line)) continue;
                if (auto decal = test::model_decal(line); decal && decal->first == name) found.insert(std::move(*decal));
            }
        }
        const auto key = test::model_key(SortKey::PadCount, header, found);
        if (key) act(*key);
        return key.has_value();
    }

    // Sorting rule: a key comes only from a part header line that opens a
    // block. The lines inside a block are never tested, in the collection pass
    // as in the copy pass, so an attribute value such as "Class I device"
    // makes no key and no empty output file.
    static void skip_block(InputLines& in) {
        std::string line;
        while (in.read(line) && !line.empty()) {
        }
    }

    void copy_block(InputLines& in, const std::string& header, const std::string& key) {
        OutputLines out(output(key), "ab");
        out.write_line(header);
        std::string line;
        for (;;) {
            // Sorting rule: a block that reaches the end of its file is closed
            // with the empty line it lacks, so the next block or "*END*" does
            // not run into it.
            if (!in.read(line)) {
                out.write_line("");
                break;
            }
            out.write_line(line);
            if (line.empty()) break;
        }
        out.close();
    }

    void create_output(const std::string& key) {
        OutputLines out(output(key), "wb");
        out.write_line(marker_);
        out.write_line("\r");
        out.close();
    }

    void close_output(const std::string& key) {
        OutputLines out(output(key), "ab");
        out.write_line("*END*");
        out.close();
    }

    static void empty_list_file(const fs::path& path) { OutputLines(path, "wb").close(); }

    fs::path output(const std::string& key) const {
        return state_.Application_Folder / "lib" / fs::path("LIB_" + key + ".p");
    }
    fs::path tmp(const char* name) const { return state_.Application_Folder / "tmp" / name; }

    const Module1& state_;
    std::string marker_;
};

}  // namespace

void literal_sort(const Module1& state, SortKey key) {
    LiteralRun run(state);
    switch (key) {
        case SortKey::Alphanumeric: return run.word_key(key, 50, "Alphanumeric.dat", "Alphabetic.dat");
        case SortKey::LogicFamily: return run.word_key(key, 50, "Logic_Families.dat", "Logic_Families.dat");
        case SortKey::DecalName: return run.word_key(key, 1024, "Decals.dat", "Decals.dat");
        case SortKey::PadCount: return run.pad_count();
    }
}

}  // namespace marrowgate::bench
