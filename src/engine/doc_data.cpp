// The stored log lines and their line limit.
#include "engine/doc_data.h"

#include <algorithm>
#include <cstring>

#include "engine/text_ops.h"

namespace kolvane {

void CLogLines::push_back(std::string_view line) {
    if (line.size() > m_nFree) {
        const std::size_t size = std::max(kBlock, line.size());
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(size));
        m_pNext = m_blocks.back().get();
        m_nFree = size;
    }
    if (!line.empty()) std::memcpy(m_pNext, line.data(), line.size());
    m_lines.emplace_back(m_pNext, line.size());
    m_pNext += line.size();
    m_nFree -= line.size();
}

void CLogLines::clear() {
    const std::size_t reserved = m_lines.capacity();
    std::vector<std::string_view>().swap(m_lines);
    m_lines.reserve(reserved);
    m_blocks.clear();
    m_pNext = nullptr;
    m_nFree = 0;
}

CLogStore::EAppend CLogStore::Append(std::string_view line) {
    if (m_nLineLimit == 0) {
        ++m_nLineCount;
        return EAppend::Shown;
    }
    if (m_nLineCount < m_nLineLimit) {
        m_lines.push_back(line);
        if (static_cast<int>(line.size()) > m_nLongestLine) m_nLongestLine = int(line.size());
        ++m_nLineCount;
        return EAppend::Shown;
    }
    if (m_bNoticePending) {
        m_lines.push_back(kLineLimitNotice);
        ++m_nLineCount;
        m_bLineLimit = true;
        m_bNoticePending = false;
        return EAppend::LimitNotice;
    }
    return EAppend::Dropped;
}

std::string CKolvaneDocData::RuleDirectory() const {
    return DirectoryOf(m_strRulePath);
}

void CLogStore::Clear() {
    m_lines.clear();
    m_nLineCount = 0;
    m_bLineLimit = false;
}

}  // namespace kolvane
