// Where a redirect leads: which statuses are redirects, the "Location" field of a response's
// header block, and the target resolved against the URL that was asked for. A redirect is
// followed by the transfer itself (libcurl never follows one), so these rules are ours.
#pragma once

#include <string>
#include <string_view>

namespace kolvane {

// 301, 302, 303, 307 and 308: the statuses a transfer follows (once).
bool IsRedirectStatus(long status);

// The value of the first "Location" field in a raw header block: a line that starts with the
// field name (any letter case) and a colon, the value without blanks around it. False when
// there is none or it is empty; "Content-Location" and the like are other fields.
bool FindLocation(std::string_view headers, std::string& value);

// `reference` resolved against `base` as a browser does (RFC 3986): an absolute URL stays as
// it is, a relative one takes the scheme, server and, as far as it gives none, the path of
// `base`. False when the two do not make a URL.
bool ResolveReference(const std::string& base, const std::string& reference, std::string& url);

// Why the redirect from `from` to the resolved `to` is not followed, or empty when it may be:
// `to` must be an http or https URL (a "file:" or "gopher:" target is refused before any name
// is looked up), and an https request is never sent on over plain http.
std::string RedirectRefusal(std::string_view from, std::string_view to);

}  // namespace kolvane
