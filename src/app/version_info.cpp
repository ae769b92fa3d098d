// The compiled-in version values and the about text.
#include "app/version_info.h"

#include <vector>

#include "engine/version.h"

namespace kolvane {
namespace {

// The version as the about values give it: "3.0.0" is "3, 0, 0, 0".
std::string ResourceVersion() {
    std::string text;
    for (const char c : kVersion) text += c == '.' ? std::string(", ") : std::string(1, c);
    return text + ", 0";
}

constexpr std::string_view kCredit = "Written by the Kolvane developers";

}  // namespace

CVersionInfo CVersionInfo::OfThisBuild() {
    CVersionInfo v;
    v.m_strComments = "Builds pages from values cut out of other text files";
    v.m_strCompanyName = "Pellucor Enterprises";
    v.m_strFileDescription = "Kolvane desktop program";
    v.m_strFileVersion = ResourceVersion();
    v.m_strInternalName = "KOLVANE";
    v.m_strLegalCopyright = "Copyright (C) 2026 Pellucor Enterprises";
    v.m_strLegalTrademarks = "";
    v.m_strOriginalFilename = "kolvane";
    v.m_strProductName = "Kolvane";
    v.m_strProductVersion = v.m_strFileVersion;
    v.m_strShortVersion = ShortVersion(v.m_strProductVersion);
    return v;
}

std::string ShortVersion(std::string_view productVersion) {
    productVersion = productVersion.substr(0, 99);
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    while (i < productVersion.size()) {
        std::size_t end = productVersion.find_first_of(", ", i);
        if (end == std::string_view::npos) end = productVersion.size();
        if (end > i) parts.push_back(productVersion.substr(i, end - i));
        i = end + 1;
    }
    std::string text;
    if (parts.size() >= 3)
        return std::string(parts[0]) + "." + std::string(parts[1]) + "." + std::string(parts[2]);
    for (auto part : parts) text.append(part).append(".");
    return text;
}

std::string AboutText(const CVersionInfo& info) {
    return info.m_strProductName + "\nVersion " + info.m_strShortVersion + "\n" +
           std::string(kCredit) + "\n" + info.m_strLegalCopyright + "\n" + info.m_strCompanyName;
}

std::string_view ContactText() {
    return "Questions and reports:\nkolvane@pellucor.example\nhttps://pellucor.example/kolvane";
}

const std::string& TheAboutText() {
    static std::string text;
    if (text.empty()) text = AboutText(CVersionInfo::OfThisBuild());
    return text;
}

}  // namespace kolvane
