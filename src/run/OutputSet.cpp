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
        // there, the run waits until the writer is down to a quarter.
        if (hold && queued_bytes_ > budget_ / 2) {
            work_.notify_one();
            done_.wait(lock, [this] { return queued_bytes_ <= budget_ / 4; });
        }
        queued_bytes_ += job.data.size();
        jobs_.push_back(std::move(job));
        // The writer is woken for a batch of jobs, not for every one.
        wake = queued_bytes_ >= kWakeBytes || jobs_.size() >= kWakeJobs;
    }
    if (wake) work_.notify_one();
    rethrow_failure();
}

OutputFile& OutputSet::open_file(std::size_t index, WriteMode mode) {
    last_write_[index] = ++writes_;
    if (open_[index] && mode == WriteMode::Append) return *open_[index];
    if (open_[index]) close_file(index);
    if (open_count_ == most_open_) {
        std::size_t oldest = index;
        for (std::size_t i = 0; i < open_.size(); ++i)
            if (open_[i] && (oldest == index || last_write_[i] < last_write_[oldest])) oldest = i;
        close_file(oldest);
    }
    open_[index] = files_.open_write(outputs_[index].path, mode);
    ++open_count_;
    return *open_[index];
}

void OutputSet::close_file(std::size_t index) {
    std::unique_ptr<OutputFile> file = std::move(open_[index]);
    --open_count_;
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
        if (open_[i]) close_file(i);
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
            if (job.last) close_file(job.index);
        } catch (...) {
            if (open_[job.index]) {
                open_[job.index].reset();  // let go without a close that would report again
                --open_count_;
            }
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

void OutputSet::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
        if (jobs_.empty()) return;  // stopped with nothing left to do
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        const std::size_t bytes = job.data.size();
        lock.unlock();
        carry_out(job);
        lock.lock();
        queued_bytes_ -= bytes;
        busy_ = false;
        if (jobs_.empty() || queued_bytes_ <= budget_ / 4 || (awaited_ != kNoneAwaited && (closed_ > awaited_ || failure_)))
            done_.notify_all();
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
    done_.wait(lock, [this] { return jobs_.empty() && !busy_; });
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
