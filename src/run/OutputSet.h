// The output library files of one run. Each starts with the marker line and a
// line of one carriage return, receives its part blocks in input order and
// ends with "*END*". Blocks are gathered per file in memory within a fixed
// budget shared by all files and appended in large writes, so a run costs a
// few opens per file instead of one per block, whatever the number of keys.
// The creation pass creates or empties every file; its opening lines go out
// with the first bytes gathered for it.
//
// The file operations are carried out behind the run, each file's in the
// order they were asked for, on a thread of their own, while the run goes on
// reading; where no thread is to be had or none is wanted, each in line as it
// is asked for. When more is waiting to be written than the budget allows,
// the run writes beside that thread instead of waiting for it: appends to
// files that no write is busy with. Files stay open between writes, as many
// as the system allows a run (see files_open_at_once()), the least recently
// written closed first, so that a run with a thousand keys does not reopen a
// file for every write. A failure is reported by the next operation asked
// for, or at the latest by the closing pass; after it, nothing more is
// written to the file that failed.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "io/Background.h"
#include "io/FileSystem.h"

namespace marrowgate {

class OutputSet {
public:
#ifdef MARROWGATE_OUTPUT_BUDGET
    // The fuzz build's: small, so that its small cases fill it.
    static constexpr std::size_t kDefaultBudget = MARROWGATE_OUTPUT_BUDGET;
#else
    static constexpr std::size_t kDefaultBudget = std::size_t{8} << 20;
#endif
    // Where the file operations are carried out; behind wherever the engine
    // uses threads of its own.
    enum class Writing { Behind, InLine };
    static Writing default_writing() { return background_threads() ? Writing::Behind : Writing::InLine; }

    OutputSet(FileSystem& files, std::string marker, std::size_t budget = kDefaultBudget,
              std::size_t most_open = files_open_at_once(), Writing writing = default_writing());
    ~OutputSet();
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;

    // Registers the file of the next key; returns its index.
    std::size_t add(std::filesystem::path path);
    std::size_t size() const { return outputs_.size(); }
    const std::filesystem::path& path(std::size_t index) const { return outputs_[index].path; }

    // Creation pass: creates or empties every file, in order; its two opening
    // lines are the first bytes gathered for it.
    void create_all();
    // Appends one line and its CR LF to the file of `index`.
    void write_line(std::size_t index, std::string_view line);
    // Appends bytes as they are (whole lines with their CR LF, or a piece of
    // a long line).
    void write_bytes(std::size_t index, std::string_view bytes);
    // Fetches into the processor's cache the memory that the next `bytes`
    // for the file of `index` will be gathered in (up to 2 KB of it), so
    // that a copy a few blocks later finds it there.
    void prefetch(std::size_t index, std::uint64_t bytes) const {
#if defined(__GNUC__)
        const std::string& pending = outputs_[index].pending;
        const char* const at = pending.data() + pending.size();
        const std::uint64_t most = std::min<std::uint64_t>(pending.capacity() - pending.size(), kMostPrefetched);
        for (std::uint64_t offset = 0; offset < std::min(bytes, most); offset += kCacheLine) {
            __builtin_prefetch(at + offset, 1, 3);
            // GCC 12 drops a loop that only fetches, as one without effects;
            // this empty statement, which it must keep, keeps the loop.
            asm volatile("" : : "r"(at + offset));
        }
#else
        (void)index;
        (void)bytes;
#endif
    }
    // Closing pass: appends what is gathered and "*END*" to every file, in
    // order, and waits until all is stored. Throws the first failure.
    void close_all();
    // The closing pass asked for, not waited for: wait_closed() tells when
    // each file is complete.
    void finish_all();
    // Waits until the closing pass has closed the files up to `index`;
    // throws the first failure met so far, of whichever file. Where it has
    // to wait, it waits until the kClosedAtOnce - 1 files after `index` are
    // closed as well (or the last): a caller that works on each file as it
    // is closed (renames it) would otherwise be woken, and the writer stop to
    // wake it, for every file.
    void wait_closed(std::size_t index);
    static constexpr std::size_t kClosedAtOnce = 32;
    // Waits until every operation asked for is done; throws the first failure.
    void wait();

private:
    struct Entry {
        std::filesystem::path path;
        std::string pending;
        bool failed = false;  // a write to it failed: it gets nothing more
    };
    // One file operation: create (truncate) or append `data`, and with
    // `last` close the file.
    struct Job {
        std::size_t index = 0;
        WriteMode mode = WriteMode::Append;
        std::string data;
        bool last = false;
    };

    // Appends to the bytes gathered for a file; what goes beyond its share
    // of the budget is written in slices of that share, never gathered whole.
    void gather(Entry& entry, std::string_view bytes);
    void flush(Entry& entry, std::string_view tail = {}, bool last = false);
    // `hold`: while the bytes waiting to be written are over half the
    // budget, the run writes beside the writer, or waits.
    void post(Job job, bool hold = true);
    // Takes the first job that may be carried out now: the first of its
    // file in the queue, while no other job of that file is being carried
    // out; with `appends_only`, one that appends without closing. Called with
    // the mutex held.
    bool take_job(Job& job, bool appends_only = false);
    // After a job taken with take_job(), with the mutex held.
    void job_done(const Job& job, std::size_t bytes);
    void carry_out(Job& job);
    OutputFile& open_file(std::size_t index, WriteMode mode);
    // Takes the file of `index` out of those open.
    std::unique_ptr<OutputFile> let_go(std::size_t index);
    void close_file(std::size_t index, std::unique_ptr<OutputFile> file);
    void close_open_files() noexcept;
    void run();
    void rethrow_failure();
    void wait_idle(std::unique_lock<std::mutex>& lock);

    FileSystem& files_;
    std::string marker_;
    std::string opening_;
    std::size_t budget_;
    std::size_t per_file_ = 0;
    std::vector<Entry> outputs_;

    // Writing behind: jobs in order, the bytes they hold bounded by half the
    // budget.
    std::mutex mutex_;
    std::condition_variable work_;  // for the writer: jobs to do, or stop
    std::condition_variable done_;  // for the run: jobs done
    static constexpr std::size_t kPage = 4096;
    static constexpr std::size_t kCacheLine = 64;
    static constexpr std::uint64_t kMostPrefetched = 2048;
    static constexpr std::size_t kWakeBytes = std::size_t{1} << 20;
    static constexpr std::size_t kWakeJobs = 64;
    std::deque<Job> jobs_;
    std::size_t queued_bytes_ = 0;
    std::size_t busy_ = 0;  // jobs being carried out
    std::vector<char> in_flight_;  // of each file: one of its jobs is being carried out
    std::vector<std::uint64_t> met_;  // of each file: the last take_job() that met a job of it
    std::uint64_t scan_ = 0;
    bool stop_ = false;
    std::size_t closed_ = 0;  // files the closing pass has closed, in order
    static constexpr std::size_t kNoneAwaited = static_cast<std::size_t>(-1);
    std::size_t awaited_ = kNoneAwaited;  // the file wait_closed() waits for
    std::exception_ptr failure_;     // the first one
    std::vector<std::string> spare_;  // buffers of jobs done, for reuse
    // Files open between writes, shared by whoever carries out the jobs
    // (guarded by the mutex; a file's own entry only by the one carrying
    // out its job).
    std::vector<std::unique_ptr<OutputFile>> open_;
    std::vector<std::uint64_t> last_write_;
    std::size_t most_open_;
    std::size_t open_count_ = 0;
    std::uint64_t writes_ = 0;
    std::thread thread_;
};

}  // namespace marrowgate
