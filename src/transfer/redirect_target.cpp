// The redirect rules.
#include "transfer/redirect_target.h"

#include "transfer/url_parts.h"

namespace kolvane {

bool IsRedirectStatus(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string RedirectRefusal(std::string_view from, std::string_view to) {
    STransferUrl target, origin;
    if (!SplitUrlParts(to, {}, target) || target.service != EUrlService::Http)
        return MaskUrlPassword(to) + " is not an http or https URL";
    if (target.scheme == "http" && SplitUrlParts(from, {}, origin) && origin.scheme == "https")
        return "following it to " + MaskUrlPassword(to) +
               " would downgrade https to plain http, without the protection the rule asked for";
    return {};
}

}  // namespace kolvane
