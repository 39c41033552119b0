#include "library/FirstPass.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "library/Background.h"
#include "library/DuplicateNames.h"
#include "library/KeyTable.h"
#include "library/LineReader.h"
#include "library/Progress.h"
#include "library/RunFrame.h"
#include "state/Module1.h"

namespace marrowgate {

namespace {

// The keys of one listed file in order of first appearance, and the failure
// that ended its reading, if any. At most `most` keys: once a file alone
// holds more keys than the table can, the table is full before its last one.
// Every 256 parts and at the end, the parts read are added to `parts`.
struct FileKeys {
    std::vector<std::string> keys;
    std::exception_ptr failure;
};

FileKeys keys_of_file(const Module1& state, int i, const KeyRule& rule, FileSystem& files, std::size_t most,
                      bool ignore_case, DuplicateNames& names, std::atomic<long long>& parts) {
    KeyTable seen(most, ignore_case);
    FileKeys result;
    long long unreported = 0;
    try {
        LineReader lines(files, listed_file_path(state, i), read_ahead_beside(2));  // two files side by side
        PartBlockReader blocks(lines);
        std::string looked_up;
        std::string_view header;
        KeySourceCache met(most);
        while (seen.keys().size() < most && blocks.next_header(header)) {
            if (++unreported == 256) {
                parts.fetch_add(unreported, std::memory_order_relaxed);
                unreported = 0;
            }
            add_key(header, rule, looked_up, met, seen);
            names.add_name(static_cast<std::size_t>(i - 1), header.substr(0, header.find(' ')));
            blocks.skip_body();
        }
    } catch (...) {
        result.failure = std::current_exception();
    }
    parts.fetch_add(unreported, std::memory_order_relaxed);
    result.keys = seen.keys();
    return result;
}

// The collection pass over several files on a machine with more than one
// processor: the files are read side by side, two at a time, and their keys
// enter the table in file order, so that the table, and the first failure
// met, are what reading them one after another gives. Where the pass shows
// its progress, this thread shows it from the parts read so far, every
// percentage in turn, and lets pending events run meanwhile.
void collect_keys(const Module1& state, const KeyRule& rule, FileSystem& files, KeyTable& table,
                  DuplicateNames& names, Progress* progress) {
    const auto count = static_cast<std::size_t>(state.File_Count);
    std::vector<FileKeys> per_file(count);
    std::atomic<std::size_t> next{0};
    std::atomic<long long> parts{0};
    std::atomic<int> working{0};
    std::mutex mutex;
    std::condition_variable finished;
    const std::size_t most = rule.capacity() + 1;
    const bool ignore_case = table.ignores_case();
    const auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < count;)
            per_file[i] = keys_of_file(state, static_cast<int>(i + 1), rule, files, most, ignore_case, names, parts);
        std::lock_guard lock(mutex);
        --working;
        finished.notify_all();
    };
    std::vector<std::thread> helpers;
    for (int n = 0; n < (progress ? 2 : 1); ++n) {
        try {
            ++working;
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            --working;  // no thread to be had: fewer files side by side
        }
    }
    if (!progress || helpers.empty()) {
        ++working;
        work();
    }
    if (progress) {
        std::unique_lock lock(mutex);
        while (working > 0) {
            finished.wait_for(lock, std::chrono::milliseconds(20));
            lock.unlock();
            progress->advance_to(parts.load(std::memory_order_relaxed));
            lock.lock();
        }
    }
    for (auto& helper : helpers) helper.join();
    if (progress) progress->advance_to(parts.load());
    for (const FileKeys& file : per_file) {
        for (const auto& key : file.keys) table.add(key);
        if (file.failure) std::rethrow_exception(file.failure);
    }
}

}  // namespace

void collection_pass(const Module1& state, const KeyRule& rule, FileSystem& files, KeyTable& table,
                     DuplicateNames& names, Progress* progress) {
    if (state.File_Count > 1 && background_threads()) {
        collect_keys(state, rule, files, table, names, progress);
        return;
    }
    KeySourceCache met(rule.capacity());
    std::string looked_up;
    for (int i = 1; i <= state.File_Count; ++i) {
        LineReader lines(files, listed_file_path(state, i));
        PartBlockReader blocks(lines);
        std::string_view header;
        while (blocks.next_header(header)) {
            if (progress) {
                progress->step();
                progress->check_stop();
            }
            add_key(header, rule, looked_up, met, table);
            names.add_name(static_cast<std::size_t>(i - 1), header.substr(0, header.find(' ')));
            blocks.skip_body();
        }
    }
}

}  // namespace marrowgate
