// libcurl's global set-up and the helpers of the owning wrappers.
#include "curl_handles.h"

namespace kolvane {

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
