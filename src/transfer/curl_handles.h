// Owning wrappers for libcurl's handles and lists, the library's one-time global set-up, and
// the text of a failed call. Every handle the transfer makes is held by one of these types.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

namespace kolvane {

// An easy handle is performed in a multi handle of its own (see CMyInternetSess::Perform),
// kept as the handle's private pointer: it holds the handle's connections between performs, as
// curl_easy_perform's own would, and no other handle's. The deleter closes those connections
// (an FTP one with QUIT, whose answer is awaited for at most a second) and frees both.
struct SCurlEasyDeleter {
    void operator()(CURL* h) const;
};
using CurlEasy = std::unique_ptr<CURL, SCurlEasyDeleter>;

// The multi handle `h` is performed in, made on first use; null without memory.
CURLM* MultiOf(CURL* h);

struct SCurlShareDeleter {
    void operator()(CURLSH* h) const { curl_share_cleanup(h); }
};
using CurlShare = std::unique_ptr<CURLSH, SCurlShareDeleter>;

// A curl_slist that frees itself; the list must outlive every transfer that uses it.
class CCurlList {
  public:
    CCurlList() = default;
    ~CCurlList() { curl_slist_free_all(m_list); }
    CCurlList(const CCurlList&) = delete;
    CCurlList& operator=(const CCurlList&) = delete;

    // False when libcurl could not add the item (no memory).
    bool Append(const std::string& item);
    curl_slist* get() const { return m_list; }
    bool empty() const { return m_list == nullptr; }

  private:
    curl_slist* m_list = nullptr;
};

// Initialises libcurl once per process (thread-safe); false when that failed.
bool CurlGlobalInit();

// The text for a failed call: the handle's error buffer when it holds one, else libcurl's
// text for the code.
std::string CurlErrorText(CURLcode code, const char* errorBuffer);

}  // namespace kolvane
