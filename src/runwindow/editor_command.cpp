// Building the external editor's argument vector.
#include "runwindow/editor_command.h"

#include <wx/cmdline.h>

namespace kolvane {
namespace {

void ReplaceAll(std::string& word, std::string_view from, std::string_view to) {
    for (std::size_t at = word.find(from); at != std::string::npos;
         at = word.find(from, at + to.size()))
        word.replace(at, from.size(), to);
}

std::string_view CutAt(std::string_view text, std::string_view marker) {
    std::size_t at = text.find(marker);
    return at == std::string_view::npos ? text : text.substr(0, at);
}

}  // namespace

std::optional<std::string> FileOfLogLine(std::string_view line) {
    std::string_view file;
    if (line.find("Output File:") != std::string_view::npos &&
        line.find("Server Output File") != std::string_view::npos)
        return std::nullopt;
    if (std::size_t at = line.find(") ... "); at != std::string_view::npos)
        file = line.substr(at + 6);
    else if (std::size_t out = line.find("Output File: "); out != std::string_view::npos)
        file = line.substr(out + 13);
    else if (std::size_t f = line.find("File -> "); f != std::string_view::npos)
        file = line.substr(f + 8);
    else
        return std::nullopt;
    file = CutAt(CutAt(CutAt(file, " scanned"), " see error log"), " created!");
    if (file.empty()) return std::nullopt;
    return std::string(file);
}

bool LineNamesErrorLog(std::string_view line) {
    for (std::string_view marker : {"see error log", "check error log", "Terminated"})
        if (line.find(marker) != std::string_view::npos) return true;
    return false;
}

std::vector<std::string> EditorArgv(std::string_view editor, std::string_view file, int line) {
    std::vector<std::string> argv;
    const wxString setting = wxString::FromUTF8(editor.data(), editor.size());
    for (const wxString& word :
         wxCmdLineParser::ConvertStringToArgs(setting, wxCMD_LINE_SPLIT_UNIX))
        argv.emplace_back(word.utf8_str());
    if (argv.empty()) return {};
    const std::string number = std::to_string(line);
    bool hadFile = false;
    // The program itself is never rewritten: only its arguments carry the placeholders.
    for (std::size_t i = 1; i < argv.size(); ++i) {
        if (argv[i].find("%f") != std::string::npos) hadFile = true;
        // %l first: a file name holding "%l" must stay as it is.
        ReplaceAll(argv[i], "%l", number);
        ReplaceAll(argv[i], "%f", file);
    }
    if (!hadFile) argv.emplace_back(file);
    return argv;
}

std::string CommandText(const std::vector<std::string>& argv) {
    std::string text;
    for (const auto& word : argv) {
        if (!text.empty()) text += ' ';
        if (word.empty() || word.find_first_of(" \t'\"\\") != std::string::npos) {
            text += '\'';
            for (char c : word) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
            text += '\'';
        } else {
            text += word;
        }
    }
    return text;
}

}  // namespace kolvane
