#include "run/OutputSet.h"

#include <algorithm>
#include <bit>
#include <system_error>

namespace marrowgate {

OutputSet::OutputSet(FileSystem& files, std::string marker, std::size_t budget, std::size_t most_open,
                     Writing writing)
    : files_(files),
      marker_(std::move(marker)),
      opening_(marker_ + "\r\n\r\r\n"),
      budget_(budget),
      most_open_(std::max<std::size_t>(most_open, 1)) {
    if (writing == Writing::Behind) {
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // No thread to be had: every operation is carried out when asked for.
        }
    }
}

OutputSet::~OutputSet() {
    {
        std::unique_lock lock(mutex_);
        // What was asked for is carried out before the files are let go.
        wait_idle(lock);
        stop_ = true;
    }
    work_.notify_one();
    if (thread_.joinable()) thread_.join();
    close_open_files();
}

std::size_t OutputSet::add(std::filesystem::path path) {
    outputs_.push_back(Entry{std::move(path), {}, false});
    return outputs_.size() - 1;
}

void OutputSet::create_all() {
    // Half the budget gathers, half waits to be written; each file's share
    // is at least 32 KB (32 MB for 1,024 keys). A share of a page or more is
    // rounded up to a power of two, so that every write of a file begins on
    // a multiple of its length (see gather()): ext4 can then cache each
    // write in one folio of that size instead of several smaller ones. With
    // a thousand files, writes of 24 KB from offsets that were multiples of
    // 24 KB made the decal name key a tenth slower on ext4 than writes of
    // 32 KB, and shares of 112 KB in place of 128 KB made the initials key
    // slower by as much.
    per_file_ = std::clamp<std::size_t>(budget_ / 2 / std::max<std::size_t>(outputs_.size(), 1),
                                        std::min<std::size_t>(32 << 10, budget_ / 2), 1 << 20);
    if (per_file_ >= kPage) per_file_ = std::bit_ceil(per_file_);
    open_.resize(outputs_.size());
    last_write_.assign(outputs_.size(), 0);
    in_flight_.assign(outputs_.size(), 0);
    met_.assign(outputs_.size(), 0);
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
        // The opening lines go out with the first bytes gathered: one write
        // fewer for every file.
        outputs_[i].pending.reserve(per_file_);
        outputs_[i].pending.assign(opening_);
        post(Job{i, WriteMode::Truncate, {}});
    }
}

void OutputSet::write_line(std::size_t index, std::string_view line) {
    Entry& entry = outputs_[index];
    gather(entry, line);
    gather(entry, "\r\n");
}

void OutputSet::write_bytes(std::size_t index, std::string_view bytes) { gather(outputs_[index], bytes); }

void OutputSet::gather(Entry& entry, std::string_view bytes) {
    // A file's bytes go out in writes of exactly its share, the last one
    // excepted, a block cut where the share is full. So every write begins
    // and ends on a page of the file: a write that ends inside a new page
    // makes ext4 fill the rest of that page with zeros first, which took
    // about a tenth of a run with a thousand files. A long line (a header
    // line whole, a body line a chunk of the line reader at a time) goes out
    // the same way, so that no buffer grows with the length of a line.
    while (per_file_ > 0 && entry.pending.size() + bytes.size() >= per_file_) {
        const std::size_t slice = per_file_ > entry.pending.size() ? per_file_ - entry.pending.size() : 0;
        entry.pending.append(bytes.substr(0, slice));
        bytes.remove_prefix(slice);
        flush(entry);
    }
    entry.pending.append(bytes);
}

void OutputSet::flush(Entry& entry, std::string_view tail, bool last) {
    // The gathered bytes leave the entry before they are written; it takes a
    // buffer written already for what comes next.
    std::string data;
    if (!last) {
        std::lock_guard lock(mutex_);
        if (!spare_.empty()) {
            data = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    data.swap(entry.pending);
    data.append(tail);  // one write for both
    if (!last && entry.pending.capacity() < per_file_) entry.pending.reserve(per_file_);
    // The closing pass holds no more bytes than were gathered: it need not
    // wait for the writer.
    post(Job{static_cast<std::size_t>(&entry - outputs_.data()), WriteMode::Append, std::move(data), last}, !last);
}

void OutputSet::post(Job job, bool hold) {
    if (!thread_.joinable()) {
        // In line: the operation is done now and a failure thrown at once.
        carry_out(job);
        rethrow_failure();
        return;
    }
    bool wake = false;
    {
        std::unique_lock lock(mutex_);
        // Bytes waiting to be written are held to half the budget; once
        // there, the run writes beside the writer until they are down to a
        // quarter: it takes the jobs that append to a file no job is writing,
        // so each file still gets its bytes in order, and leaves the files'
        // creation and closing to the writer, in order. The writer alone set
        // the pace of the copy pass: the run waited for it a fifth to a third
        // of that pass. Where it can take no job, it waits; with one file
        // open at a time, the two could not both write.
        if (hold && queued_bytes_ > budget_ / 2) {
            work_.notify_one();
            while (queued_bytes_ > budget_ / 4 && !failure_) {
                Job other;
                if (most_open_ == 1 || !take_job(other, true)) {
                    done_.wait(lock);
                    continue;
                }
                const std::size_t bytes = other.data.size();
                lock.unlock();
                carry_out(other);
                lock.lock();
                job_done(other, bytes);
            }
        }
        queued_bytes_ += job.data.size();
        jobs_.push_back(std::move(job));
        // The writer is woken for a batch of jobs, not for every one.
        wake = queued_bytes_ >= kWakeBytes || jobs_.size() >= kWakeJobs;
    }
    if (wake) work_.notify_one();
    rethrow_failure();
}

bool OutputSet::take_job(Job& job, bool appends_only) {
    ++scan_;
    for (auto at = jobs_.begin(); at != jobs_.end(); ++at) {
        // A job behind another of its own file waits for that one.
        const bool behind = met_[at->index] == scan_;
        met_[at->index] = scan_;
        if (behind || in_flight_[at->index] || (appends_only && (at->mode != WriteMode::Append || at->last))) continue;
        job = std::move(*at);
        jobs_.erase(at);
        in_flight_[job.index] = 1;
        ++busy_;
        return true;
    }
    return false;
}

void OutputSet::job_done(const Job& job, std::size_t bytes) {
    queued_bytes_ -= bytes;
    in_flight_[job.index] = 0;
    --busy_;
    // Jobs of that file may be taken again.
    work_.notify_one();
    if (jobs_.empty() || queued_bytes_ <= budget_ / 4 || (awaited_ != kNoneAwaited && (closed_ > awaited_ || failure_)))
        done_.notify_all();
}

OutputFile& OutputSet::open_file(std::size_t index, WriteMode mode) {
    std::unique_ptr<OutputFile> closing;  // this file, emptied: opened again
    std::unique_ptr<OutputFile> oldest_file;
    std::size_t oldest = index;
    {
        std::lock_guard lock(mutex_);
        last_write_[index] = ++writes_;
        if (open_[index] && mode == WriteMode::Append) return *open_[index];
        if (open_[index]) {
            closing = std::move(open_[index]);
        } else if (open_count_ >= most_open_) {
            // The least recently written file that no job is writing gives
            // this one its place.
            for (std::size_t i = 0; i < open_.size(); ++i)
                if (open_[i] && !in_flight_[i] && (oldest == index || last_write_[i] < last_write_[oldest])) oldest = i;
            if (oldest == index) ++open_count_;  // none to be had
            oldest_file = std::move(open_[oldest]);
        } else {
            ++open_count_;
        }
    }
    if (closing) close_file(index, std::move(closing));
    if (oldest_file) close_file(oldest, std::move(oldest_file));
    std::unique_ptr<OutputFile> file;
    try {
        file = files_.open_write(outputs_[index].path, mode);
    } catch (...) {
        std::lock_guard lock(mutex_);
        --open_count_;
        throw;
    }
    std::lock_guard lock(mutex_);
    open_[index] = std::move(file);
    return *open_[index];
}

void OutputSet::close_file(std::size_t index, std::unique_ptr<OutputFile> file) {
    try {
        file->close();
    } catch (...) {
        std::lock_guard lock(mutex_);
        outputs_[index].failed = true;
        if (!failure_) failure_ = std::current_exception();
    }
}

void OutputSet::close_open_files() noexcept {
    for (std::size_t i = 0; i < open_.size(); ++i)
        if (auto file = let_go(i)) close_file(i, std::move(file));
}

void OutputSet::carry_out(Job& job) {
    bool skip = false;
    {
        std::lock_guard lock(mutex_);
        skip = outputs_[job.index].failed;
    }
    if (!skip) {
        try {
            OutputFile& out = open_file(job.index, job.mode);
            out.write(job.data.data(), job.data.size());
            if (job.last) close_file(job.index, let_go(job.index));
        } catch (...) {
            let_go(job.index).reset();  // without a close that would report again
            std::lock_guard lock(mutex_);
            outputs_[job.index].failed = true;
            if (!failure_) failure_ = std::current_exception();
        }
    }
    job.data.clear();
    std::lock_guard lock(mutex_);
    if (job.last) ++closed_;
    // Keep the buffer for another flush, unless it grew for a huge line or
    // is too small for a share (a creation's, the string's own few bytes):
    // a flush given one of those would allocate a share while a buffer
    // written already stays unused below it.
    if (job.data.capacity() >= per_file_ && job.data.capacity() <= 2 * per_file_)
        spare_.push_back(std::move(job.data));
}

std::unique_ptr<OutputFile> OutputSet::let_go(std::size_t index) {
    std::lock_guard lock(mutex_);
    if (open_[index]) --open_count_;
    return std::move(open_[index]);
}

void OutputSet::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        Job job;
        bool taken = false;
        work_.wait(lock, [&] { return (taken = take_job(job)) || (stop_ && jobs_.empty()); });
        if (!taken) return;  // stopped with nothing left to do
        const std::size_t bytes = job.data.size();
        lock.unlock();
        carry_out(job);
        lock.lock();
        job_done(job, bytes);
    }
}

void OutputSet::rethrow_failure() {
    std::exception_ptr failure;
    {
        std::lock_guard lock(mutex_);
        failure = failure_;
    }
    if (failure) std::rethrow_exception(failure);
}

void OutputSet::wait_idle(std::unique_lock<std::mutex>& lock) {
    work_.notify_one();
    done_.wait(lock, [this] { return jobs_.empty() && busy_ == 0; });
}

void OutputSet::wait() {
    {
        std::unique_lock lock(mutex_);
        wait_idle(lock);
    }
    rethrow_failure();
}

void OutputSet::finish_all() {
    static constexpr std::string_view kEnd = "*END*\r\n";
    for (Entry& entry : outputs_) flush(entry, kEnd, true);
    work_.notify_one();
}

void OutputSet::close_all() {
    finish_all();
    wait();
}

void OutputSet::wait_closed(std::size_t index) {
    {
        std::unique_lock lock(mutex_);
        if (closed_ <= index && !failure_) {
            awaited_ = std::max(index, std::min(index + kClosedAtOnce - 1, outputs_.size() - 1));
            work_.notify_one();
            done_.wait(lock, [&] { return closed_ > awaited_ || failure_; });
            awaited_ = kNoneAwaited;
        }
    }
    rethrow_failure();
}

}  // namespace marrowgate
