// The program's version texts, from the build's version (engine/version.h), and the
// about box's text built from them. GUI-free, so the texts are tested without a display.
#pragma once

#include <string>
#include <string_view>

namespace kolvane {

// The values the about box and --version use.
struct CVersionInfo {
    std::string m_strComments;
    std::string m_strCompanyName;
    std::string m_strFileDescription;
    std::string m_strFileVersion;
    std::string m_strInternalName;
    std::string m_strLegalCopyright;
    std::string m_strLegalTrademarks;
    std::string m_strOriginalFilename;
    std::string m_strProductName;
    std::string m_strProductVersion;
    std::string m_strShortVersion;

    // The values of this build.
    static CVersionInfo OfThisBuild();
};

// "3, 0, 0, 0" gives "3.0.0": the first three parts joined by dots; with one or two parts
// each part is followed by a dot.
std::string ShortVersion(std::string_view productVersion);

// Product name, "Version" and the short version, the credit line, copyright and company.
std::string AboutText(const CVersionInfo& info);

// The contact text shown beside the about text.
std::string_view ContactText();

// The process-wide about text, built from this build's values when first asked for.
const std::string& TheAboutText();

}  // namespace kolvane
