// Redirects: which statuses are, and which targets are refused. A redirect is followed by the
// transfer itself (libcurl never follows one, it only resolves the target:
// CHttpRequest::RedirectUrl), so these rules are ours.
#pragma once

#include <string>
#include <string_view>

namespace kolvane {

// 301, 302, 303, 307 and 308: the statuses a transfer follows (once).
bool IsRedirectStatus(long status);

// Why the redirect from `from` to the resolved `to` is not followed, or empty when it may be:
// `to` must be an http or https URL (a "file:" or "gopher:" target is refused before any name
// is looked up), and an https request is never sent on over plain http.
std::string RedirectRefusal(std::string_view from, std::string_view to);

}  // namespace kolvane
