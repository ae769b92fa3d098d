// The rule model's list operations.
#include "engine/rule_model.h"

#include "engine/text_ops.h"

namespace kolvane {

std::string_view RuleName(int rule) {
    switch (rule) {
        case kRuleExtract:
            return "extract";
        case kRuleCopy:
            return "copy";
        case kRuleLineColumn:
            return "line-column";
        case kRuleWholeFile:
            return "whole-file";
        default:
            return {};
    }
}

CScanVar* CScanVarList::AddNewVar() {
    ++m_nGeneration;
    m_list.push_back(std::make_unique<CScanVar>());
    return m_list.back().get();
}

CScanVar* CScanVarList::FindVar(int scanFile, int varNo, Position* pos) {
    for (auto it = m_list.begin(); it != m_list.end(); ++it) {
        if ((*it)->m_nScanFile == scanFile && (*it)->m_nVarNo == varNo) {
            if (pos) *pos = std::next(it);
            return it->get();
        }
    }
    return nullptr;
}

const CScanVar* CScanVarList::FindVar(int scanFile, int varNo) const {
    for (const auto& v : m_list)
        if (v->m_nScanFile == scanFile && v->m_nVarNo == varNo) return v.get();
    return nullptr;
}

CScanVar* CScanVarList::FindMarker(std::string_view text, Position* pos) {
    for (auto it = m_list.begin(); it != m_list.end(); ++it) {
        if (EqualFolded((*it)->m_szMarker, text)) {
            if (pos) *pos = std::next(it);
            return it->get();
        }
    }
    return nullptr;
}

int CScanVarList::CountVars(int scanFile) const {
    int n = 0;
    for (const auto& v : m_list)
        if (v->m_nScanFile == scanFile) ++n;
    return n;
}

void CScanVarList::RemoveVar(int scanFile, int varNo) {
    for (auto it = m_list.begin(); it != m_list.end(); ++it) {
        if ((*it)->m_nScanFile == scanFile && (*it)->m_nVarNo == varNo) {
            m_list.erase(it);
            ++m_nGeneration;
            return;
        }
    }
}

void CScanVarList::RemoveScanFileVars(int scanFile) {
    m_list.remove_if([scanFile](const auto& v) { return v->m_nScanFile == scanFile; });
    ++m_nGeneration;
}

void CScanVarList::RenumberVars(int scanFile, int removedVarNo) {
    for (auto& v : m_list)
        if (v->m_nScanFile == scanFile && v->m_nVarNo > removedVarNo) --v->m_nVarNo;
}

void CScanVarList::RenumberScanFiles(int removedScanFile) {
    for (auto& v : m_list)
        if (v->m_nScanFile > removedScanFile) --v->m_nScanFile;
}

void CScanVarList::FreeValues() {
    for (auto& v : m_list) v->m_pszValue.reset();
}

void CScanVarList::RemoveAllVars() {
    m_list.clear();
    ++m_nGeneration;
}

CScanFileList::~CScanFileList() {
    // The transfer state closes its connections and session before the entries go.
    m_pTransfer.reset();
}

CScanFile* CScanFileList::AddNewScanFile() {
    m_list.push_back(std::make_unique<CScanFile>());
    return m_list.back().get();
}

CScanFile* CScanFileList::FindScanFile(int number, Position* pos) {
    for (auto it = m_list.begin(); it != m_list.end(); ++it) {
        if ((*it)->m_nNumber == number) {
            if (pos) *pos = std::next(it);
            return it->get();
        }
    }
    return nullptr;
}

const CScanFile* CScanFileList::FindScanFile(int number) const {
    for (const auto& f : m_list)
        if (f->m_nNumber == number) return f.get();
    return nullptr;
}

void CScanFileList::RemoveScanFile(int number) {
    for (auto it = m_list.begin(); it != m_list.end();) {
        if ((*it)->m_nNumber == number) {
            it = m_list.erase(it);
        } else {
            if ((*it)->m_nNumber > number) --(*it)->m_nNumber;
            ++it;
        }
    }
}

void CScanFileList::RemoveAllScanFiles() {
    m_list.clear();
}

}  // namespace kolvane
