// The help book as the desktop program loads it: every topic number the screens ask for
// resolves, through wxHtmlHelpData (what wxHtmlHelpController::Display(int) uses), to the page
// the project's [MAP]/[ALIAS] sections name, and every page, contents entry, index entry and
// link points to a file that exists. wxHtmlHelpData takes topic numbers from the "ID" params of
// the contents file, so this also catches a contents file that drifted from the project file.
#include <gtest/gtest.h>
#include <wx/filename.h>
#include <wx/html/helpdata.h>
#include <wx/init.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace {

const std::filesystem::path kBook = KOLVANE_HELP_BOOK;

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The lines of one "[SECTION]" of the project file.
std::vector<std::string> SectionLines(const std::string& project, const std::string& section) {
    std::vector<std::string> lines;
    std::istringstream in(project);
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[')
            inside = line == "[" + section + "]";
        else if (inside && !line.empty())
            lines.push_back(line);
    }
    return lines;
}

// Topic number -> page, from "#define NAME NUMBER" in [MAP] and "NAME=page" in [ALIAS].
std::map<int, std::string> ProjectTopics() {
    const std::string project = ReadAll(kBook);
    std::map<std::string, int> numbers;
    for (const auto& line : SectionLines(project, "MAP")) {
        std::istringstream words(line);
        std::string define, name;
        int number = 0;
        if (words >> define >> name >> number && define == "#define") numbers[name] = number;
    }
    std::map<int, std::string> topics;
    for (const auto& line : SectionLines(project, "ALIAS")) {
        const auto eq = line.find('=');
        if (eq != std::string::npos && numbers.count(line.substr(0, eq)))
            topics[numbers[line.substr(0, eq)]] = line.substr(eq + 1);
    }
    return topics;
}

class HelpBook : public testing::Test {
  protected:
    static void SetUpTestSuite() { s_init = std::make_unique<wxInitializer>(); }
    static void TearDownTestSuite() { s_init.reset(); }
    static std::unique_ptr<wxInitializer> s_init;
};
std::unique_ptr<wxInitializer> HelpBook::s_init;

std::string LocalPath(const wxString& url) {
    // Entries come back as the book's base path (a file: URL or a plain path) plus the page.
    wxString path = url.BeforeFirst('#');
    if (path.StartsWith("file:"))
        return wxFileName::URLToFileName(path).GetFullPath().ToStdString();
    return path.ToStdString();
}

TEST_F(HelpBook, EveryScreenTopicOpensItsPage) {
    ASSERT_TRUE(s_init->IsOk());
    const auto topics = ProjectTopics();
    std::map<int, std::string> expected = {{5000, "contents.htm"}, {5001, "synopsis.htm"},
                                           {5007, "filters.htm"},  {5008, "preferences.htm"},
                                           {5010, "command.htm"},  {5011, "scanfile.htm"},
                                           {5012, "scanvar.htm"}};
    EXPECT_EQ(topics, expected) << "the project's [MAP]/[ALIAS] sections";

    wxHtmlHelpData data;
    ASSERT_TRUE(data.AddBook(kBook.string()));
    for (const auto& [id, page] : expected) {
        const std::string found = LocalPath(data.FindPageById(id));
        EXPECT_EQ(std::filesystem::path(found).filename(), page) << "topic " << id;
        EXPECT_TRUE(std::filesystem::is_regular_file(found)) << "topic " << id << ": " << found;
    }
    EXPECT_TRUE(data.FindPageById(4999).empty());
}

TEST_F(HelpBook, EveryEntryAndLinkNamesAnExistingPage) {
    wxHtmlHelpData data;
    ASSERT_TRUE(data.AddBook(kBook.string()));
    ASSERT_GT(data.GetContentsArray().size(), 10u);
    ASSERT_GT(data.GetIndexArray().size(), 10u);
    for (const auto* items : {&data.GetContentsArray(), &data.GetIndexArray()})
        for (size_t i = 0; i < items->size(); ++i) {
            const wxHtmlHelpDataItem& item = (*items)[i];
            EXPECT_TRUE(std::filesystem::is_regular_file(LocalPath(item.GetFullPath())))
                << item.name << " -> " << item.page;
        }

    const auto dir = kBook.parent_path();
    const std::regex href(R"(href="([^"#:]+)(#[^"]*)?")", std::regex::icase);
    for (const auto& line : SectionLines(ReadAll(kBook), "FILES")) {
        const std::string page = ReadAll(dir / line);
        ASSERT_FALSE(page.empty()) << line;
        EXPECT_NE(page.find("<title>"), std::string::npos) << line;
        for (std::sregex_iterator it(page.begin(), page.end(), href), end; it != end; ++it)
            EXPECT_TRUE(std::filesystem::is_regular_file(dir / (*it)[1].str()))
                << line << " links to " << (*it)[1];
    }
}

}  // namespace
