// The URL splitter of the tests and fuzz targets: the transfer's own splitting, linked in
// rather than loaded from the module.
#pragma once

#include "engine/url_splitter.h"
#include "transfer/url_parts.h"

namespace kolvane::test {

class CLinkedUrlSplitter final : public IUrlSplitter {
  public:
    EUrlRead SplitRuleUrl(std::string_view url, std::string_view defaultScheme,
                          SUrlParts& parts) const override {
        STransferUrl u;
        if (!SplitUrlParts(url, defaultScheme, u)) return EUrlRead::Refused;
        parts = {u.scheme, u.host, u.port, u.portGiven, u.path, u.service == EUrlService::Http};
        return EUrlRead::Split;
    }
    std::string MaskUrl(std::string_view url) const override { return MaskUrlPassword(url); }
};

// Installs the splitter above for the whole process.
inline void InstallLinkedUrlSplitter() {
    static const CLinkedUrlSplitter s_splitter;
    SetUrlSplitter(&s_splitter);
}

}  // namespace kolvane::test
