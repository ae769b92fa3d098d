// A copy of a text that ends where an unreadable page begins, so that a vector load past its
// end faults instead of reading what happens to lie there.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <stdexcept>
#include <string_view>

namespace kolvane::test {

class CGuardedText {
  public:
    explicit CGuardedText(std::string_view text) {
        const std::size_t page = std::size_t(::sysconf(_SC_PAGESIZE));
        m_span = (text.size() + page - 1) / page * page;
        m_length = m_span + page;
        void* map =
            ::mmap(nullptr, m_length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED) throw std::runtime_error("mmap failed");
        m_map = static_cast<char*>(map);
        if (::mprotect(m_map + m_span, page, PROT_NONE) != 0) {
            ::munmap(m_map, m_length);
            throw std::runtime_error("mprotect failed");
        }
        text.copy(m_map + m_span - text.size(), text.size());
        m_view = std::string_view(m_map + m_span - text.size(), text.size());
    }
    ~CGuardedText() { ::munmap(m_map, m_length); }
    CGuardedText(const CGuardedText&) = delete;
    CGuardedText& operator=(const CGuardedText&) = delete;

    std::string_view View() const { return m_view; }

  private:
    char* m_map = nullptr;
    std::size_t m_span = 0, m_length = 0;
    std::string_view m_view;
};

}  // namespace kolvane::test
