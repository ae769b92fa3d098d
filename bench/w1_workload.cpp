// Workload W1, built from a fixed seed. A scan file is a branch's daily stock and sales report:
// a header block, some 27 warehouse sections of item rows each closed by a subtotal, ten
// planted blocks (batch codes, remarks, shipments, bins, lots, notes, payments...) at seeded
// places in the body, and a trailer with the grand total, the regional totals and a checksum.
// One file in four uses LF line ends, the others CR LF. Every variable's rule matches, and the
// value it must give is known here, so CheckW1 can compare the engine's answer byte for byte.
#include "w1_workload.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "engine/file_io.h"
#include "engine/text_ops.h"

namespace kolvane::bench {
namespace {

namespace fs = std::filesystem;

// splitmix64: the same sequence with every compiler and library.
class CRng {
public:
    explicit CRng(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    unsigned Below(unsigned n) { return static_cast<unsigned>(Next() % n); }
    unsigned Range(unsigned lo, unsigned hi) { return lo + Below(hi - lo + 1); }  // inclusive
    double Fraction() { return double(Next() >> 11) / double(1ull << 53); }
    template <class T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(N)];
    }

private:
    std::uint64_t m_state;
};

std::string Fmt(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* fmt, ...) {
    char buf[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    return buf;
}

std::string Money(unsigned cents) { return Fmt("%u.%02u", cents / 100, cents % 100); }

// The cleaning of a pattern value: carriage returns dropped, line feeds become blanks.
std::string Clean(std::string_view raw) {
    std::string out;
    for (char c : raw) {
        if (c == '\r') continue;
        out.push_back(c == '\n' ? ' ' : c);
    }
    return out;
}

// Filler vocabulary. No word contains (letter case ignored) any of the rules' keys: "bin",
// "lot", "items", "notes:", "remarks:", "payment", "total", "batch code", "checksum:"...
const char* const kAdjectives[] = {"galvanised", "heavy", "light", "black", "white", "plated",
                                   "coated", "marine", "brushed", "polished", "short", "long"};
const char* const kMaterials[] = {"steel", "brass", "nylon", "copper", "zinc", "oak", "pvc",
                                  "rubber", "alloy", "glass"};
const char* const kNouns[] = {"bracket", "hinge", "washer", "bolt", "cable", "panel", "valve",
                              "fitting", "clamp", "spring", "sealant", "gasket", "hose", "rivet",
                              "screw", "anchor", "pulley", "shackle", "chain", "lamp", "hook"};
const char* const kRegions[] = {"Regional", "Head", "Coastal", "Inland", "Harbour"};
const char* const kDistricts[] = {"North", "South", "East", "West", "Central"};
const char* const kRemarks[] = {"check pallet", "short delivery", "dock closed", "see carrier"};
const char* const kNoteWords[] = {"stock count moved to friday", "two pallets held at gate",
                                  "price list revised in the morning", "carrier changed route",
                                  "cold store door repaired", "forklift service due"};

struct SVar {
    std::string name;  // without the file prefix
    std::string definition;
    std::string expected;
};

// Builds one scan file's lines and its variables.
class CScanBuilder {
public:
    explicit CScanBuilder(int file)
        : m_file(file), m_rng(0x4B4F4C56ull * 1000003ull + unsigned(file)),
          m_eol(file % 4 == 0 ? "\n" : "\r\n") {}

    std::string Build(std::vector<SVar>& vars);

private:
    std::string Row(unsigned lineNo, unsigned* cents) {
        std::string desc = Fmt("%s %s %s %umm", m_rng.Pick(kAdjectives), m_rng.Pick(kMaterials),
                               m_rng.Pick(kNouns), m_rng.Range(4, 120));
        unsigned qty = m_rng.Range(1, 500);
        unsigned price = m_rng.Range(50, 99999);
        *cents = qty * price;
        return Fmt("%6u  SKU-%05u  %-34s %5u  %9s  %11s", lineNo, m_rng.Below(100000),
                   desc.c_str(), qty, Money(price).c_str(), Money(qty * price).c_str());
    }
    std::string Code() {
        return Fmt("%c%c%02u-%04u", 'A' + m_rng.Below(26), 'A' + m_rng.Below(26), m_rng.Below(100),
                   m_rng.Below(10000));
    }
    void Add(std::string line) {
        m_size += line.size() + m_eol.size();
        m_lines.push_back(std::move(line));
    }

    int m_file;
    CRng m_rng;
    std::string m_eol;
    std::vector<std::string> m_lines;
    std::size_t m_size = 0;
};

std::string CScanBuilder::Build(std::vector<SVar>& vars) {
    const std::string& eol = m_eol;
    // --- Header -----------------------------------------------------------------------------
    std::string title =
        Fmt("HARBOUR SUPPLY CO.  -  DAILY STOCK AND SALES REPORT  -  BRANCH %02d", m_file % 50);
    std::string runLine = Fmt("Run date: 2026-%02u-%02u   Run time: %02u:%02u:%02u   Report id: "
                              "HSR-%06u",
                              m_rng.Range(1, 12), m_rng.Range(1, 28), m_rng.Below(24),
                              m_rng.Below(60), m_rng.Below(60), m_rng.Below(1000000));
    std::string prepared = Fmt("Prepared for: %s office, %s district", m_rng.Pick(kRegions),
                               m_rng.Pick(kDistricts));
    unsigned account = m_rng.Below(1000000);
    std::string batch1 = Code();
    Add(title);
    Add(runLine);
    Add(prepared);
    Add("");
    Add(Fmt("Account no.: ACC-%06u (credit terms NET30)", account));
    Add("Batch code " + batch1 + " released for dispatch");
    Add("Currency: USD unless stated otherwise");
    Add(std::string(83, '-'));

    // --- Planted blocks, each at a seeded place in the body ---------------------------------
    struct SBlock {
        double at;
        std::vector<std::string> lines;
    };
    std::vector<SBlock> blocks;
    auto block = [&](std::vector<std::string> lines) {
        blocks.push_back({0.05 + 0.90 * m_rng.Fraction(), std::move(lines)});
    };

    std::string batch2 = Code();
    block({"Batch code " + batch2 + " received from supplier"});

    std::string remark = m_rng.Pick(kRemarks);
    std::string remarkNext = Fmt("    continued: %s, ref %u", m_rng.Pick(kNoteWords), m_rng.Below(900));
    block({"Remarks: " + remark, remarkNext});

    unsigned items1 = m_rng.Range(1, 9), items3 = m_rng.Range(100, 999), items2 = m_rng.Range(10, 99);
    block({Fmt("Items %u shipped to dock %u", items1, m_rng.Range(1, 9)),
           Fmt("Items %u shipped to dock %u", items3, m_rng.Range(1, 9)),
           Fmt("Items %u shipped to dock %u", items2, m_rng.Range(1, 9))});

    unsigned bin1 = m_rng.Range(1, 9), bin2 = m_rng.Range(10, 99), bin3 = m_rng.Range(1, 9);
    block({Fmt("Bin %u / shelf A", bin1), Fmt("Bin %u / shelf B", bin2),
           Fmt("Bin %u / shelf C", bin3)});

    std::string due = Money(m_rng.Range(10000, 9999999));
    block({"Total due (incl. VAT 20%): " + due + " EUR"});

    std::string lotShort = Fmt("LX-%04u", m_rng.Below(10000));
    std::string lot = Fmt("LX-%04u", m_rng.Below(10000));
    block({Fmt("Lot %u assigned = %s (ok)", m_rng.Range(10, 99), lotShort.c_str()),
           Fmt("Lot %u assigned = %s (ok)", m_rng.Range(1000, 9999), lot.c_str())});

    std::string note1 = std::string("  ") + m_rng.Pick(kNoteWords);
    std::string note2 = std::string("  ") + m_rng.Pick(kNoteWords);
    block({"NOTES:", note1, note2, "END NOTES"});

    std::string settle = Fmt("SR-%08u", unsigned(m_rng.Below(100000000)));
    block({"Settlement reference: " + settle + " (final)"});

    std::string footer = Fmt("Printed by batch job %c%u on node %02u", 'J' + m_rng.Below(5),
                             m_rng.Range(100, 999), m_rng.Below(100));
    block({"PAGE FOOTER", footer});

    std::string paid1 = Money(m_rng.Range(1000, 99999)), paid2 = Money(m_rng.Range(1000, 99999));
    block({"Payment #1 received: " + paid1 + " GBP", "Payment #2 received: " + paid2 + " GBP"});
    std::sort(blocks.begin(), blocks.end(), [](const SBlock& a, const SBlock& b) { return a.at < b.at; });

    // --- Trailer values (the grand total is known only after the body) --------------------
    unsigned long long grandCents = 0;
    std::string north = Money(m_rng.Range(100000, 99999999));
    std::string south = Money(m_rng.Range(100000, 99999999));
    unsigned checksum = unsigned(m_rng.Next());
    // Six fixed-width lines: "", GRAND TOTAL (35), TOTALS BY REGION (16), North and South (23
    // each), the checksum line (37).
    const std::size_t trailerSize = 134 + 6 * eol.size();

    // --- Body -------------------------------------------------------------------------------
    const std::size_t bodyStart = m_size;
    const std::size_t bodyBudget = kW1FileSize - bodyStart - trailerSize;
    std::vector<std::string> subtotals;
    std::vector<std::size_t> rowLines;  // 1-based line numbers of item rows
    std::size_t nextBlock = 0;
    unsigned lineNo = 0;
    for (unsigned section = 1;; ++section) {
        Add(Fmt("Section %02u - Warehouse %c - aisle %02u", section, 'A' + m_rng.Below(8),
                m_rng.Range(1, 40)));
        Add("  Line  SKU        Description                          Qty      Price       Amount");
        unsigned long long sectionCents = 0;
        unsigned rows = m_rng.Range(150, 250);
        bool full = false;
        for (unsigned r = 0; r < rows; ++r) {
            if (m_size - bodyStart > bodyBudget - 600) {
                full = true;
                break;
            }
            while (nextBlock < blocks.size() &&
                   double(m_size - bodyStart) >= blocks[nextBlock].at * double(bodyBudget)) {
                for (auto& l : blocks[nextBlock].lines) Add(l);
                ++nextBlock;
            }
            unsigned cents = 0;
            Add(Row(++lineNo, &cents));
            rowLines.push_back(m_lines.size());
            sectionCents += cents;
        }
        if (full) break;
        std::string sub = Fmt("%llu.%02llu", sectionCents / 100, sectionCents % 100);
        subtotals.push_back(sub);
        grandCents += sectionCents;
        Add("Subtotal: " + sub + " USD");
        Add("");
    }
    // Pad the body to its budget exactly.
    std::size_t pad = bodyBudget - (m_size - bodyStart) - eol.size();
    Add(std::string(pad, '='));

    std::string grand = Fmt("%15llu.%02llu", grandCents / 100, grandCents % 100);
    Add("");
    Add("GRAND TOTAL: " + grand + " USD");
    Add("TOTALS BY REGION");
    Add(Fmt("North: %12s USD", north.c_str()));
    Add(Fmt("South: %12s USD", south.c_str()));
    Add(Fmt("End of report. Checksum: %08X END", checksum));

    std::string text;
    text.reserve(kW1FileSize);
    for (auto& l : m_lines) {
        text += l;
        text += eol;
    }

    // --- Variables, in rule order -----------------------------------------------------------
    const std::size_t cellLine = rowLines[m_rng.Below(unsigned(rowLines.size()))];
    const std::string& cellRow = m_lines[cellLine - 1];
    auto copyAfter = [&](std::string_view tail, std::string_view next, std::size_t n) {
        std::string raw = std::string(tail) + eol + std::string(next);
        return Clean(raw.substr(0, n));
    };
    vars = {
        {"Title", "r1c1????r1c40", title.substr(0, 40)},
        {"RunInfo", "r2c1????r3c20", runLine + eol + prepared.substr(0, 20)},
        {"Cell", Fmt("r%zuc9????r%zuc17", cellLine, cellLine), cellRow.substr(8, 9)},
        {"Account", "Account no.:??" "?\?(credit::1", Fmt(" ACC-%06u ", account)},
        {"Batch", "Batch code ??10??::1", " " + batch1},
        {"Batch2", "Batch code ??10??::2", " " + batch2},
        {"Remarks", "Remarks:??30??::1", copyAfter(" " + remark, remarkNext, 30)},
        {"Items", "Items ##???? shipped::1", Fmt(" %u ", items2)},
        {"Bin", "Bin #???? / shelf::2", Fmt(" %u ", bin3)},
        {"Due", "Total due$$$:????EUR::1", " " + due + " "},
        {"Lot", "Lot ####$$$=???? (ok)::1", " " + lot + " "},
        {"Notes", "NOTES:????END NOTES::1", Clean(eol + note1 + eol + note2 + eol)},
        {"Settle", "Settlement reference:??" "?\?(final)::1", " " + settle + " "},
        {"Footer", "PAGE FOOTER^^??24??::1", footer.substr(0, 24)},
        {"Paid", "Payment$$$:????GBP::2", " " + paid2 + " "},
        {"Sub3", "Subtotal:????USD::3", " " + subtotals.at(2) + " "},
        {"Sub15", "Subtotal:????USD::15", " " + subtotals.at(14) + " "},
        {"Grand", "grand total:????usd::1", " " + grand + " "},
        {"North", "TOTALS BY REGION^^North:????USD::1", Fmt(" %12s ", north.c_str())},
        {"Checksum", "Checksum:????END::1", Fmt(" %08X ", checksum)},
    };
    return text;
}

std::string Prefix(int file) { return Fmt("F%03d_", file); }

bool WriteFile(const fs::path& path, std::string_view bytes, std::string* error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
        if (error) *error = "cannot write " + path.string();
        return false;
    }
    return true;
}

}  // namespace

std::string W1ScanDir(const std::string& dir) { return dir + "/scan"; }
std::string W1OutDir(const std::string& dir) { return dir + "/out"; }
std::string W1ScanName(int file) { return Fmt("data%03d.txt", file); }
std::string W1RulePath(const std::string& dir) { return dir + "/" + std::string(kW1Rule); }

std::string W1ScanText(int file, CExpected* expected) {
    std::vector<SVar> vars;
    std::string text = CScanBuilder(file).Build(vars);
    if (expected)
        for (auto& v : vars) (*expected)[Prefix(file) + v.name] = v.expected;
    return text;
}

std::string W1VarLines(int file, std::string_view eol) {
    std::vector<SVar> vars;
    CScanBuilder(file).Build(vars);
    std::string out;
    for (auto& v : vars) out += Prefix(file) + v.name + "=" + v.definition + std::string(eol);
    return out;
}

std::string W1TemplateText() {
    const std::string eol = "\r\n";
    CRng rng(0x54454D50ull);
    static const char* const kLabels[] = {
        "Report title", "Run",        "Sample row SKU", "Account",    "Batch released",
        "Batch received", "Remarks",  "Items shipped",  "Bin",        "Total due (EUR)",
        "Lot",          "Notes",      "Settlement",     "Printed by", "Second payment (GBP)",
        "Subtotal, section 3", "Subtotal, section 15", "Grand total (USD)", "North (USD)",
        "Checksum"};
    static const char* const kNames[] = {"Title", "RunInfo", "Cell",   "Account", "Batch",
                                         "Batch2", "Remarks", "Items",  "Bin",     "Due",
                                         "Lot",   "Notes",   "Settle", "Footer",  "Paid",
                                         "Sub3",  "Sub15",   "Grand",  "North",   "Checksum"};
    static const char* const kWords[] = {
        "branch", "stock", "figures", "are", "taken", "from", "the", "nightly", "report", "and",
        "merged", "into", "this", "page", "every", "morning", "values", "shown", "in", "each",
        "table", "come", "straight", "out", "of", "warehouse", "ledger", "please", "check",
        "with", "office", "before", "quoting", "them", "to", "customers", "prices", "include",
        "handling", "but", "not", "freight", "or", "duty", "where", "it", "applies"};

    std::string head =
        "<!DOCTYPE html>" + eol + "<html lang=\"en\">" + eol + "<head>" + eol +
        "<meta charset=\"utf-8\">" + eol + "<title>Branch stock and sales - %%SYSDATE%%</title>" +
        eol + "<style>" + eol + "body { font-family: sans-serif; margin: 0 2em; }" + eol +
        "table.report { border-collapse: collapse; width: 100%; }" + eol +
        "td, th { border: 1px solid #ccc; padding: 2px 6px; text-align: left; }" + eol +
        "p.note { color: #555; }" + eol + "</style>" + eol + "</head>" + eol + "<body>" + eol +
        "<h1>Branch stock and sales</h1>" + eol +
        "<p class=\"stamp\">Built %%SYSDATE%% at %%SYSTIME%%</p>" + eol;
    const std::string tail = "<p class=\"note\">End of the branch pages.</p>" + eol + "</body>" +
                             eol + "</html>" + eol;

    std::string out = head;
    const std::size_t perFile = (kW1TemplateSize - head.size() - tail.size() - 200) / kW1Files;
    for (int f = 1; f <= kW1Files; ++f) {
        const std::size_t target = head.size() + perFile * std::size_t(f);
        out += "<h2>Branch file " + W1ScanName(f) + "</h2>" + eol;
        out += "<table class=\"report\">" + eol + "<tr><th>Item</th><th>Value</th></tr>" + eol;
        for (int i = 0; i < kW1VarsPerFile; ++i) {
            std::string marker = Prefix(f) + kNames[i];
            // Some markers in upper case: marker lookup ignores letter case.
            if ((f * kW1VarsPerFile + i) % 7 == 0)
                for (char& c : marker) c = char(std::toupper(static_cast<unsigned char>(c)));
            out += std::string("<tr><td>") + kLabels[i] + "</td><td>%%" + marker + "%%</td></tr>" +
                   eol;
        }
        out += "</table>" + eol;
        // Prose until the file's share of the page is used.
        while (out.size() + 120 < target) {
            std::string para = "<p class=\"note\">";
            unsigned words = rng.Range(12, 40);
            for (unsigned w = 0; w < words; ++w) {
                if (w) para += ' ';
                para += rng.Pick(kWords);
            }
            para += ".</p>" + eol;
            if (out.size() + para.size() > target) break;
            out += para;
        }
    }
    // An HTML comment of the exact length that is left.
    std::size_t need = kW1TemplateSize - out.size() - tail.size();
    out += "<!-- " + std::string(need - 5 - 4 - eol.size(), ' ') + " -->" + eol;
    out += tail;
    return out;
}

bool WriteW1(const std::string& dirIn, std::string* error, CExpected* expected) {
    std::error_code ec;
    fs::path dir = fs::absolute(dirIn, ec);
    if (ec) {
        if (error) *error = "cannot resolve " + dirIn;
        return false;
    }
    dir = dir.lexically_normal();
    std::string d = dir.string();
    if (d.size() > 1 && d.back() == '/') d.pop_back();
    // The rule reader finds sections and keys by text: the tree's own path must not contain them.
    for (std::string_view word : {"scanfile", "&command", "&&", "templatefile", "outputfile",
                                  "errorlogfile", "?all?"}) {
        if (FindText(d, word) != npos) {
            if (error) *error = "the directory path must not contain \"" + std::string(word) + "\"";
            return false;
        }
    }
    fs::create_directories(W1ScanDir(d), ec);
    fs::create_directories(W1OutDir(d), ec);
    if (ec) {
        if (error) *error = "cannot create " + d + ": " + ec.message();
        return false;
    }

    const std::string eol = "\r\n";
    std::string rule = "&command:" + eol + "TemplateFile Name = " + std::string(kW1Template) +
                       eol + "TemplateFile Path = " + d + eol + "OutputFile Name = " +
                       std::string(kW1Output) + eol + "OutputFile Path = " + W1OutDir(d) + eol +
                       "ErrorLogFile Name = w1-error.log" + eol + "ErrorLogFile Path = " + d +
                       eol + eol;
    for (int f = 1; f <= kW1Files; ++f) {
        std::vector<SVar> vars;
        std::string text = CScanBuilder(f).Build(vars);
        if (text.size() != kW1FileSize) {
            if (error) *error = "internal: scan file " + std::to_string(f) + " has the wrong size";
            return false;
        }
        if (!WriteFile(fs::path(W1ScanDir(d)) / W1ScanName(f), text, error)) return false;
        rule += "&ScanFile" + std::to_string(f) + ":" + eol + "ScanFile Name = " + W1ScanName(f) +
                eol + "ScanFile Path = " + W1ScanDir(d) + eol;
        for (auto& v : vars) {
            rule += Prefix(f) + v.name + "=" + v.definition + eol;
            if (expected) (*expected)[Prefix(f) + v.name] = v.expected;
        }
        rule += eol;
    }
    std::string page = W1TemplateText();
    if (page.size() != kW1TemplateSize) {
        if (error) *error = "internal: the template has the wrong size";
        return false;
    }
    return WriteFile(fs::path(d) / kW1Template, page, error) &&
           WriteFile(W1RulePath(d), rule, error);
}

bool W1Present(const std::string& dir) {
    std::error_code ec;
    if (!fs::is_regular_file(W1RulePath(dir), ec)) return false;
    if (fs::file_size(fs::path(dir) / kW1Template, ec) != kW1TemplateSize || ec) return false;
    for (int f = 1; f <= kW1Files; ++f)
        if (fs::file_size(fs::path(W1ScanDir(dir)) / W1ScanName(f), ec) != kW1FileSize || ec)
            return false;
    return true;
}

int LoadW1Rule(CKolvaneEngine& engine, const std::string& dir) {
    engine.Doc().m_strRulePath = W1RulePath(dir);
    engine.m_bOpenErrorLog = false;
    if (!engine.ReadRuleFile()) return 0;
    int ok = engine.ParseRuleFile();
    engine.ReleaseRuleText();
    return ok;
}

int CheckW1(const std::string& dir, const CExpected& expected, std::ostream& out) {
    CKolvaneDocData doc;
    CNullHost host;
    CFixedClock clock({2026, 12, 7, 6, 30, 0});
    CKolvaneEngine engine(doc, host, clock);
    if (!LoadW1Rule(engine, dir)) {
        out << "the rule " << W1RulePath(dir) << " was refused\n";
        return 1;
    }
    int differences = 0;
    if (doc.m_scanFiles.size() != std::size_t(kW1Files) ||
        doc.m_scanVars.size() != std::size_t(kW1Files * kW1VarsPerFile)) {
        out << "the rule gave " << doc.m_scanFiles.size() << " scan files and "
            << doc.m_scanVars.size() << " variables\n";
        ++differences;
    }
    for (auto& entry : doc.m_scanFiles) {
        if (!engine.ReadScanFile(entry->m_strPath, entry->m_strName)) {
            out << "cannot read scan file " << entry->m_strName << "\n";
            ++differences;
            continue;
        }
        engine.ExtractScanVars(*entry);
        engine.ReleaseScanText();
    }
    for (auto& var : doc.m_scanVars) {
        auto it = expected.find(var->m_szName);
        if (it == expected.end()) {
            out << var->m_szName << ": not a W1 variable\n";
            ++differences;
        } else if (!var->m_pszValue) {
            out << var->m_szName << ": no value, expected \"" << it->second << "\"\n";
            ++differences;
        } else if (*var->m_pszValue != it->second) {
            out << var->m_szName << ": \"" << *var->m_pszValue << "\", expected \"" << it->second
                << "\"\n";
            ++differences;
        }
    }
    // The merge: every marker replaced.
    engine.FormatSysDate();
    engine.FormatSysTime();
    if (!engine.ReadTemplateFile() || !engine.MergeTemplate()) {
        out << "the merge failed\n";
        return differences + 1;
    }
    std::string page;
    if (ReadWholeFile(W1OutDir(dir) + "/" + std::string(kW1Output), 1u << 26, page) !=
        EReadResult::Ok) {
        out << "the output page cannot be read\n";
        return differences + 1;
    }
    if (std::size_t left = page.find("%%"); left != std::string::npos) {
        out << "a marker was left in the page: " << page.substr(left, 24) << "\n";
        ++differences;
    }
    return differences;
}

}  // namespace kolvane::bench
