// The rule model: scan variables, scan files and the two lists that own them.
//
// A variable does not point to its scan file; it carries the scan file's number and every
// lookup goes by numbers. Both lists own their elements (removing an element deletes it) and
// keep insertion order; a position is an iterator that stays valid across insertion and removal
// of other elements. The scan-file list also carries the transfer state of the remote transfer,
// which the transfer library defines (the engine only owns it).
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/value_outcome.h"

namespace kolvane {

// Capacities of the model's text fields; the rule reader refuses longer values.
inline constexpr std::size_t kMaxPattern = 260;
inline constexpr std::size_t kMaxName = 255;  // so that "%%" + name + "%%" fits 259
inline constexpr std::size_t kMaxMarker = 259;

enum ERule : int {
    kRuleNone = 0,
    kRuleExtract = 1,
    kRuleCopy = 2,
    kRuleLineColumn = 4,
    kRuleWholeFile = 5
};

// The name the reports give a rule kind: "extract", "copy", "line-column" or "whole-file"; empty
// for kRuleNone and any number that is no kind.
std::string_view RuleName(int rule);

class CScanVar {
  public:
    int m_nScanFile = -1;  // 0 marks the two system entries of the merge
    int m_nVarNo = -1;
    std::string m_szEndPattern;
    std::string m_szStartPattern;
    std::string m_szName;
    std::string m_szMarker;
    // The value of the current run; none when the rule found nothing. A system entry's value is
    // a copy of the run's date or time text.
    std::optional<std::string> m_pszValue;
    // Why the last extraction gave that value or none; the rule reader's refusal of the line.
    SValueOutcome m_outcome;
    int m_nRule = kRuleNone;
    int m_nCopyCount = 0;
    int m_nInstance = 1;
    int m_nStartLine = -1;
    int m_nStartCol = -1;
    int m_nEndLine = -1;
    int m_nEndCol = -1;
    // Comment lines ("&&...") that stood right before the variable's line; written back there.
    std::vector<std::string> m_comments;
};

class CScanVarList {
  public:
    using Container = std::list<std::unique_ptr<CScanVar>>;
    using Position = Container::iterator;

    CScanVar* AddNewVar();
    CScanVar* FindVar(int scanFile, int varNo, Position* pos = nullptr);
    const CScanVar* FindVar(int scanFile, int varNo) const;
    // First entry, in list order, whose marker equals `text` with the letters A to Z folded.
    CScanVar* FindMarker(std::string_view text, Position* pos = nullptr);
    int CountVars(int scanFile) const;
    void RemoveVar(int scanFile, int varNo);
    void RemoveScanFileVars(int scanFile);
    void RenumberVars(int scanFile, int removedVarNo);
    void RenumberScanFiles(int removedScanFile);
    void FreeValues();
    void RemoveAllVars();

    std::size_t size() const { return m_list.size(); }
    bool empty() const { return m_list.empty(); }
    Container::iterator begin() { return m_list.begin(); }
    Container::iterator end() { return m_list.end(); }
    Container::const_iterator begin() const { return m_list.begin(); }
    Container::const_iterator end() const { return m_list.end(); }

    // Changes whenever an entry is added or removed, so that an index over the entries knows
    // when it must be built again.
    unsigned Generation() const { return m_nGeneration; }

  private:
    Container m_list;
    unsigned m_nGeneration = 0;
};

class CScanFile {
  public:
    int m_bFtp = 0;
    int m_bHttp = 0;
    std::string m_strName;
    std::string m_strPath;
    std::string m_strServerFile;
    std::string m_strServerDir;
    std::string m_strUrl;
    std::string m_strUserPw;
    std::string m_strUserId;
    int m_nNumber = 0;
    int m_nNextVarNo = 0;
    // Comment lines of the section: those before its variable lines (written after the section
    // head) and those after them (written after the last variable).
    std::vector<std::string> m_comments;
    std::vector<std::string> m_tailComments;
};

// Base of the transfer state that the scan-file list owns; the run derives from it.
class CTransferState {
  public:
    virtual ~CTransferState() = default;
};

class CScanFileList {
  public:
    using Container = std::list<std::unique_ptr<CScanFile>>;
    using Position = Container::iterator;

    CScanFileList() = default;
    CScanFileList(const CScanFileList&) = delete;
    CScanFileList& operator=(const CScanFileList&) = delete;
    ~CScanFileList();

    CScanFile* AddNewScanFile();
    CScanFile* FindScanFile(int number, Position* pos = nullptr);
    const CScanFile* FindScanFile(int number) const;
    void RemoveScanFile(int number);
    void RemoveAllScanFiles();
    // True when the reader refused a variable line of some scan file (its next number is 0):
    // no variable of that file gets a value in any run.
    bool AnyVarLinesRefused() const {
        for (const auto& f : m_list)
            if (f->m_nNextVarNo == 0) return true;
        return false;
    }

    std::size_t size() const { return m_list.size(); }
    bool empty() const { return m_list.empty(); }
    Container::iterator begin() { return m_list.begin(); }
    Container::iterator end() { return m_list.end(); }
    Container::const_iterator begin() const { return m_list.begin(); }
    Container::const_iterator end() const { return m_list.end(); }

    // The transfer state (session, connections, request, outcomes); created by the transfer.
    std::unique_ptr<CTransferState> m_pTransfer;

  private:
    Container m_list;
};

// The fields of the rule's &command section.
struct CCommandSection {
    std::string m_strTemplateName;
    std::string m_strTemplatePath;
    std::string m_strOutputName;
    std::string m_strOutputPath;
    std::string m_strErrorLogName;
    std::string m_strErrorLogPath;
    std::string m_strUploadUrl;
    std::string m_strUploadUserId;
    std::string m_strUploadPassword;
    std::string m_strUploadServerDir;
    std::string m_strUploadServerFile;
    int m_nInterval = 0;  // seconds; 0: no rescheduling
    // Comment lines before "&command" (written first) and inside the section (written after
    // its keys), so that a rule keeps its notes when it is written back.
    std::vector<std::string> m_headComments;
    std::vector<std::string> m_comments;
};

}  // namespace kolvane
