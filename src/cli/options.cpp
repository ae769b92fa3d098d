// Parsing kolvane-run's command line.
#include "cli/options.h"

namespace kolvane {

const char* const kUsage =
    "Usage: kolvane-run [options] [--watch] [--metrics FILE] RULEFILE\n"
    "       kolvane-run --check [--json] [--show-passwords] RULEFILE\n"
    "       kolvane-run --write-rule OUT RULEFILE\n"
    "       kolvane-run --values [--json] RULEFILE\n"
    "       kolvane-run --dry-run RULEFILE\n"
    "\n"
    "Runs a Kolvane rule file: fetches the remote scan files, extracts the scan variables,\n"
    "merges the template into the output file and uploads it when the rule asks. With a\n"
    "reschedule interval the rule runs again after each countdown until it is stopped\n"
    "(Ctrl-C or SIGTERM during a countdown).\n"
    "With --watch it also runs again whenever the template or a local scan file changes.\n"
    "\n"
    "Options:\n"
    "  --once                 run one time, whatever the rule's interval\n"
    "  --watch                after the first run, run again whenever the template or a local\n"
    "                         scan file changes (written, replaced, removed): after 200 ms\n"
    "                         without further change, at most once a second, without\n"
    "                         fetching; a reschedule interval still fetches on time\n"
    "  --metrics FILE         after each run, write its figures (times, duration, exit status,\n"
    "                         entries, values not found, failed fetches and uploads) to FILE\n"
    "                         in the text format of a monitoring file collector\n"
    "  --date-style us|long   style of the run's date and time texts (default: the desktop\n"
    "                         program's DateDisplay setting, else us)\n"
    "  --check                read and parse the rule only; print the model\n"
    "  --json                 with --check or --values: print one JSON object\n"
    "  --show-passwords       with --check: show passwords (else shown as ********)\n"
    "  --values               fetch and extract only; print every variable's value or why\n"
    "                         it has none, and the template's markers no variable fills\n"
    "  --dry-run              run without writing: the merged page on standard output, the\n"
    "                         error-log entries on standard error; nothing uploaded\n"
    "  --write-rule OUT       read RULEFILE leniently and write it to OUT in canonical form\n"
    "  --help                 show this help\n"
    "  --version              show the version\n"
    "\n"

    "Output: the log lines on standard output; message texts on standard error; progress\n"
    "and the countdown on standard error when it is a terminal. Ctrl-C during a run stops it\n"
    "after the current scan file; a second Ctrl-C ends the program at once. SIGTERM ends it\n"
    "at once (within two seconds, a transfer in progress cancelled).\n"
    "\n"
    "Exit status:\n"
    "  0   the last run wrote its output file from fresh values (and uploaded it when the\n"
    "      rule asks); SIGTERM during a countdown or while watching; --check: the rule is\n"
    "      accepted as it is; --write-rule: the rule was written; --values: every variable\n"
    "      has a value and every marker is filled; --dry-run: as a run\n"
    "  1   the run ran but something failed on the way (a fetch, a scan file, a variable\n"
    "      line, the merge or the upload failed, a link of another user was refused, or\n"
    "      the run was aborted); --check: a variable line is refused (the refused\n"
    "      variables are listed on standard error); --values: a variable has no value or\n"
    "      a marker is unfilled\n"
    "  2   the rule file or the template was refused or unreadable, or others may write\n"
    "      the rule file (--write-rule: OUT could not be written)\n"
    "  64  usage error\n"
    "  75  another kolvane-run is running this rule file (or no folder of the user's own\n"
    "      can hold the lock)\n"
    "  143 SIGTERM ended a run\n";

bool ParseOptions(const std::vector<std::string>& args, SOptions& o, std::string& error) {
    std::vector<std::string> positional;
    bool check = false, write = false, values = false, dryRun = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.command = ECommand::Help;
            return true;
        } else if (a == "--version") {
            o.command = ECommand::Version;
            return true;
        } else if (a == "--check") {
            check = true;
        } else if (a == "--values") {
            values = true;
        } else if (a == "--dry-run") {
            dryRun = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--show-passwords") {
            o.showPasswords = true;
        } else if (a == "--once") {
            o.once = true;
        } else if (a == "--watch") {
            o.watch = true;
        } else if (a == "--write-rule" || a.rfind("--write-rule=", 0) == 0) {
            write = true;
            if (a.size() > 12) {
                o.writeTarget = a.substr(13);
            } else if (i + 1 < args.size()) {
                o.writeTarget = args[++i];
            } else {
                error = "--write-rule needs a file to write";
                return false;
            }
        } else if (a == "--metrics" || a.rfind("--metrics=", 0) == 0) {
            if (a.size() > 9) {
                o.metricsPath = a.substr(10);
            } else if (i + 1 < args.size()) {
                o.metricsPath = args[++i];
            }
            if (o.metricsPath.empty()) {
                error = "--metrics needs a file to write";
                return false;
            }
        } else if (a == "--date-style" || a.rfind("--date-style=", 0) == 0) {
            std::string v;
            if (a.size() > 12) {
                v = a.substr(13);
            } else if (i + 1 < args.size()) {
                v = args[++i];
            }
            if (v == "us") {
                o.dateStyle = 1;
            } else if (v == "long") {
                o.dateStyle = 0;
            } else {
                error = "--date-style takes us or long";
                return false;
            }
        } else if (a == "--") {
            positional.insert(positional.end(), args.begin() + long(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else {
            positional.push_back(a);
        }
    }
    if (int(check) + int(write) + int(values) + int(dryRun) > 1) {
        error = "--check, --write-rule, --values and --dry-run do not go together";
        return false;
    }
    if (o.json && !check && !values) {
        error = "--json goes with --check or --values";
        return false;
    }
    if (o.showPasswords && !check) {
        error = "--show-passwords goes with --check";
        return false;
    }
    if (!o.metricsPath.empty() && (check || write || values || dryRun)) {
        error = "--metrics goes with a run";
        return false;
    }
    if (o.watch && (check || write || values || dryRun || o.once)) {
        error = "--watch goes with a run, not with --once";
        return false;
    }
    if (positional.size() != 1) {
        error = positional.empty() ? "no rule file given" : "more than one rule file given";
        return false;
    }
    if (write && o.writeTarget.empty()) {
        error = "--write-rule needs a file to write";
        return false;
    }
    o.rulePath = positional[0];
    o.command = check    ? ECommand::Check
                : write  ? ECommand::WriteRule
                : values ? ECommand::Values
                : dryRun ? ECommand::DryRun
                         : ECommand::Run;
    return true;
}

}  // namespace kolvane
