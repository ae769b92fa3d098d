// A temporary directory for one test, removed with everything in it afterwards, and small
// helpers to write and read files in it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kolvane::test {

class CTempDir {
  public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(std::string_view name) const { return m_path + "/" + std::string(name); }
    std::string Write(std::string_view name, std::string_view bytes) const;

  private:
    std::string m_path;
};

std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace kolvane::test
