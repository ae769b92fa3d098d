// The stored log lines and their line limit.
#include "doc_data.h"

#include "text_ops.h"

namespace kolvane {

CLogStore::EAppend CLogStore::Append(std::string_view line) {
    if (m_nLineLimit == 0) {
        ++m_nLineCount;
        return EAppend::Shown;
    }
    if (m_nLineCount < m_nLineLimit) {
        m_lines.emplace_back(line);
        if (static_cast<int>(line.size()) > m_nLongestLine) m_nLongestLine = int(line.size());
        ++m_nLineCount;
        return EAppend::Shown;
    }
    if (m_bNoticePending) {
        m_lines.emplace_back(kLineLimitNotice);
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
