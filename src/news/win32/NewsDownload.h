// Connection detection and the news download of start-up, on Windows. A
// thread of its own asks InternetGetConnectedState whether a connection
// exists and, if so, downloads <site>/news/vorlane.news with
// URLDownloadToFileW into a temporary file of the application folder, which
// replaces vorlane.news only once it is complete. Start-up never waits for
// it; a download that has not finished within its time limit is given up and
// delivers nothing.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace marrowgate::win32 {

// <site>/news/vorlane.news, a "/" at the end of the site not doubled; empty
// when the site is no http or https address.
std::wstring news_url(const std::string& site);

class NewsDownload {
public:
    // Called on the download's thread, once, after a complete download:
    // "News: " and the last line of the news file.
    using Delivery = std::function<void(const std::string& caption)>;

    NewsDownload() = default;
    // Gives up a download still running: once this returns, nothing is delivered.
    ~NewsDownload();
    NewsDownload(const NewsDownload&) = delete;
    NewsDownload& operator=(const NewsDownload&) = delete;

    // Does nothing while a download runs.
    void start(const std::string& site, const std::filesystem::path& application_folder, Delivery deliver,
               std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Whether the download's thread has ended (or none was started).
    bool finished() const;

    // What the download's thread shares with this object.
    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace marrowgate::win32
