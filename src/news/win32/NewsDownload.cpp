#include "news/win32/NewsDownload.h"

#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include <atomic>
#include <cwctype>
#include <mutex>
#include <optional>
#include <thread>

#include "io/FileSystem.h"
#include "news/NewsFile.h"
#include "ui/win32/Text.h"

namespace marrowgate::win32 {

using Clock = std::chrono::steady_clock;

struct NewsDownload::Shared {
    std::mutex mutex;
    Delivery deliver;  // empty once the download is given up
    Clock::time_point deadline;
    std::atomic<bool> given_up{false};
    std::atomic<bool> finished{false};

    bool late() const { return given_up.load() || Clock::now() > deadline; }
};

namespace {

// The length the server announced in its response headers.
std::optional<std::uint64_t> content_length(LPCWSTR headers) {
    if (!headers) return std::nullopt;
    std::wstring text(headers);
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    const auto field = text.find(L"\ncontent-length:");
    if (field == std::wstring::npos) return std::nullopt;
    std::uint64_t length = 0;
    bool digits = false;
    for (auto i = text.find_first_not_of(L" \t", field + 16); i < text.size() && iswdigit(text[i]); ++i) {
        length = length * 10 + static_cast<std::uint64_t>(text[i] - L'0');
        digits = true;
    }
    return digits ? std::optional(length) : std::nullopt;
}

// Stops the transfer once the time is up (or the window has gone), and
// keeps the HTTP status and the announced length: an error page, or a body
// cut short when the connection broke, is no news.
class Progress final : public IBindStatusCallback, public IHttpNegotiate {
public:
    explicit Progress(const NewsDownload::Shared& shared) : shared_(shared) {}
    bool status_ok() const { return status_ == 0 || (status_ >= 200 && status_ < 300); }
    bool complete(const std::filesystem::path& file) const {
        std::error_code ec;
        const auto size = std::filesystem::file_size(file, ec);
        return status_ok() && !ec && (!length_ || size == *length_);
    }

    // IUnknown: lives on the stack of the download, longer than any reference.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IBindStatusCallback)) {
            *object = static_cast<IBindStatusCallback*>(this);
        } else if (IsEqualIID(id, IID_IHttpNegotiate)) {
            *object = static_cast<IHttpNegotiate*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    // IBindStatusCallback
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return verdict(); }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return verdict(); }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO*) override {
        // The news of today, not a copy the cache kept.
        *flags |= BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return verdict(); }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

    // IHttpNegotiate
    HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* added) override {
        *added = nullptr;
        return verdict();
    }
    HRESULT STDMETHODCALLTYPE OnResponse(DWORD status, LPCWSTR headers, LPCWSTR, LPWSTR* added) override {
        if (added) *added = nullptr;
        status_ = status;
        length_ = content_length(headers);
        return status_ok() ? S_OK : E_ABORT;
    }

private:
    HRESULT verdict() const { return shared_.late() ? E_ABORT : S_OK; }
    const NewsDownload::Shared& shared_;
    DWORD status_ = 0;
    std::optional<std::uint64_t> length_;
};

void download(const std::shared_ptr<NewsDownload::Shared>& shared, const std::wstring& url,
              const std::filesystem::path& folder) {
    DWORD connection = 0;
    if (!InternetGetConnectedState(&connection, 0)) return;
    const std::filesystem::path news = folder / L"vorlane.news";
    const std::filesystem::path partial =
        folder / (L"vorlane.news." + std::to_wstring(GetCurrentProcessId()) + L".download");
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Progress progress(*shared);
    bool complete = SUCCEEDED(URLDownloadToFileW(nullptr, url.c_str(), partial.c_str(), 0, &progress)) &&
                    progress.complete(partial) && !shared->late() &&
                    MoveFileExW(partial.c_str(), news.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!complete) DeleteFileW(partial.c_str());
    if (SUCCEEDED(com)) CoUninitialize();
    if (!complete) return;
    std::string caption;
    try {
        caption = news_caption(last_news_line(real_file_system(), news));
    } catch (const FileError&) {
        return;
    }
    const std::lock_guard lock(shared->mutex);
    if (shared->deliver && !shared->late()) shared->deliver(caption);
}

}  // namespace

std::wstring news_url(const std::string& site) {
    std::string base = site;
    while (!base.empty() && (base.back() == '/' || base.back() == ' ')) base.pop_back();
    while (!base.empty() && base.front() == ' ') base.erase(base.begin());
    const auto scheme_end = base.find("://");
    if (scheme_end == std::string::npos || scheme_end + 3 >= base.size()) return {};
    std::string scheme = base.substr(0, scheme_end);
    for (char& c : scheme) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (scheme != "http" && scheme != "https") return {};
    return wide(base + "/news/vorlane.news");
}

NewsDownload::~NewsDownload() {
    if (!shared_) return;
    const std::lock_guard lock(shared_->mutex);
    shared_->given_up = true;
    shared_->deliver = nullptr;
}

void NewsDownload::start(const std::string& site, const std::filesystem::path& application_folder, Delivery deliver,
                         std::chrono::milliseconds limit) {
    if (!finished()) return;
    const std::wstring url = news_url(site);
    if (url.empty()) return;
    shared_ = std::make_shared<Shared>();
    shared_->deliver = std::move(deliver);
    shared_->deadline = Clock::now() + limit;
    // The thread is not waited for: a server that never answers must not
    // keep the window from closing. It holds what it shares with this object.
    std::thread([shared = shared_, url, folder = application_folder] {
        download(shared, url, folder);
        shared->finished = true;
    }).detach();
}

bool NewsDownload::finished() const { return !shared_ || shared_->finished.load(); }

}  // namespace marrowgate::win32
