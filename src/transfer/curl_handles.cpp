// libcurl's global set-up and the helpers of the owning wrappers.
#include "transfer/curl_handles.h"

namespace kolvane {

CURLM* MultiOf(CURL* h) {
    char* stored = nullptr;
    curl_easy_getinfo(h, CURLINFO_PRIVATE, &stored);
    if (stored != nullptr) return reinterpret_cast<CURLM*>(stored);
    CURLM* multi = curl_multi_init();
    if (multi != nullptr) curl_easy_setopt(h, CURLOPT_PRIVATE, multi);
    return multi;
}

void SCurlEasyDeleter::operator()(CURL* h) const {
    char* stored = nullptr;
    curl_easy_getinfo(h, CURLINFO_PRIVATE, &stored);
    auto* multi = reinterpret_cast<CURLM*>(stored);
    if (multi != nullptr) {
        // The connections left in the multi handle are closed when it is cleaned up, under the
        // server-response bound of the handle added to it last: a server slow to answer QUIT
        // holds the program for a second at most.
        curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, 1L);
        if (curl_multi_add_handle(multi, h) == CURLM_OK) curl_multi_remove_handle(multi, h);
    }
    curl_easy_cleanup(h);
    if (multi != nullptr) curl_multi_cleanup(multi);
}

bool CCurlList::Append(const std::string& item) {
    curl_slist* grown = curl_slist_append(m_list, item.c_str());
    if (grown == nullptr) return false;
    m_list = grown;
    return true;
}

bool CurlGlobalInit() {
    // curl_global_init is not thread-safe in older libcurl; a function-local static is.
    static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ok;
}

std::string CurlErrorText(CURLcode code, const char* errorBuffer) {
    if (errorBuffer != nullptr && errorBuffer[0] != '\0') return errorBuffer;
    return curl_easy_strerror(code);
}

}  // namespace kolvane
