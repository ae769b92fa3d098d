#include "engine/url_splitter.h"

namespace kolvane {
namespace {

// The splitter of a process that installed none: it never shows a password it cannot place.
class CNoUrlSplitter final : public IUrlSplitter {
  public:
    EUrlRead SplitRuleUrl(std::string_view, std::string_view, SUrlParts&) const override {
        return EUrlRead::CannotTell;
    }
    std::string MaskUrl(std::string_view url) const override {
        const std::size_t at = url.rfind('@');
        if (at == std::string_view::npos) return std::string(url);
        const std::size_t slashes = url.find("://");
        const std::size_t start =
            slashes != std::string_view::npos && slashes < at ? slashes + 3 : 0;
        return std::string(url.substr(0, start)).append("********").append(url.substr(at));
    }
};

const CNoUrlSplitter s_none;
const IUrlSplitter* s_splitter = nullptr;

}  // namespace

void SetUrlSplitter(const IUrlSplitter* splitter) {
    s_splitter = splitter;
}

const IUrlSplitter& UrlSplitter() {
    return s_splitter ? *s_splitter : s_none;
}

const IUrlSplitter& NoUrlSplitter() {
    return s_none;
}

std::string SchemeAndHost(const SUrlParts& parts) {
    std::string out = parts.scheme;
    out.append("://").append(parts.host);
    if (parts.portGiven) out.append(":").append(std::to_string(parts.port));
    return out;
}

}  // namespace kolvane
