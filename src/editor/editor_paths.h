// How the editor's pages show a directory and a file name as one editable path, and take such a
// path apart again. These are the pages' own rules, not the engine's path joining: an empty
// directory is shown as "./" + name so that the user sees the file is relative, and a path
// without a dot in it is read as a directory.
#pragma once

#include <string>
#include <string_view>

namespace kolvane::editor {

// Empty when both are empty; "./" + name for an empty directory; else the directory, a "/" when
// the name is not empty and the directory does not end with one, and the name.
std::string JoinPath(std::string_view dir, std::string_view name);

struct SSplitPath {
    std::string dir;
    std::string name;
};

// A path without "." is a directory (one trailing "/" removed; "/" stays "/"), unless it holds
// no "/" either: then it is a bare file name. A path with a "." is cut at its last "/"; a name
// directly under the root keeps "/" as its directory.
SSplitPath SplitPath(std::string_view path);

}  // namespace kolvane::editor
