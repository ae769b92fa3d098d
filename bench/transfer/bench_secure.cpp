// Fetching 20 scan files of 480000 bytes over SFTP from a local sshd and over FTP with TLS
// (implicit and explicit) from pyftpdlib, through the transfer library, against the curl
// command-line tool fetching the same 20 URLs in one invocation on the same servers. Prints
// the best of N rounds of each.
//
//   bench_secure [rounds]
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "run/transfer_loader.h"
#include "secure_servers.h"
#include "transfer/transfer.h"

extern char** environ;

namespace {

using namespace kolvane;

constexpr int kFiles = 20;
constexpr std::size_t kFileSize = 480000;

struct SServer {
    const char* label;
    std::string url, dir, user, password;
    std::vector<std::string> curlOptions;
};

std::string Name(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%02d.txt", i);
    return name;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double OurFetch(const SServer& s, const std::string& outDir) {
    CKolvaneDocData doc;
    CNullHost host;
    CFixedClock clock({2005, 1, 5, 0, 15, 9});
    CKolvaneEngine engine(doc, host, clock);
    for (int i = 0; i < kFiles; ++i) {
        CScanFile& f = *doc.m_scanFiles.AddNewScanFile();
        f.m_bFtp = 1;
        f.m_strUrl = s.url;
        f.m_strUserId = s.user;
        f.m_strUserPw = s.password;
        f.m_strServerDir = s.dir;
        f.m_strServerFile = Name(i);
        f.m_strPath = outDir;
        f.m_strName = Name(i);
    }
    const auto start = std::chrono::steady_clock::now();
    int failed = 0;
    RemoteTransferOver(TransferModule())->FetchRemoteScanFiles(doc.m_scanFiles, engine, &failed);
    const double seconds = Seconds(std::chrono::steady_clock::now() - start);
    if (failed != 0) {
        std::fprintf(stderr, "%s: our fetch failed\n", s.label);
        std::exit(1);
    }
    return seconds;
}

double CurlFetch(const SServer& s, const std::string& outDir) {
    const passwd* pw = ::getpwuid(::geteuid());  // SFTP: the local user, as the rule's default
    const std::string user = s.user.empty() && pw != nullptr ? pw->pw_name : s.user;
    std::vector<std::string> args{"curl", "-s", "-S", "-u", user + ":" + s.password};
    args.insert(args.end(), s.curlOptions.begin(), s.curlOptions.end());
    std::string base = s.url;
    if (base.rfind("ftpes:", 0) == 0) base.replace(0, 5, "ftp");
    for (int i = 0; i < kFiles; ++i)
        args.insert(args.end(), {"-o", outDir + "/" + Name(i), base + s.dir + "/" + Name(i)});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0 ||
        waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s: curl failed\n", s.label);
        std::exit(1);
    }
    return Seconds(std::chrono::steady_clock::now() - start);
}

void Compare(const SServer& s, const std::string& outDir, int rounds) {
    double ours = 1e9, theirs = 1e9;
    for (int r = 0; r < rounds; ++r) {
        ours = std::min(ours, OurFetch(s, outDir));
        theirs = std::min(theirs, CurlFetch(s, outDir));
    }
    std::printf("%-6s 20 x %zu bytes: kolvane %7.1f ms   curl %7.1f ms   ratio %.2f\n", s.label,
                kFileSize, ours * 1000, theirs * 1000, ours / theirs);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    test::CSshServer ssh;
    ssh.Trust();
    ::setenv("HOME", ssh.Home().c_str(), 1);  // the key and the known host, for both clients
    test::CFtpsServer implicit(true), explicitTls(false);
    test::CServerDir out("bench-out");
    std::string body;
    const std::string line = "A line of a scan file with some values 12345.678 and words to cut.\n";
    while (body.size() + line.size() <= kFileSize) body += line;
    body.append(kFileSize - body.size(), 'x');
    for (int i = 0; i < kFiles; ++i)
        for (const std::string& root : {ssh.Root(), implicit.Root(), explicitTls.Root()})
            test::WriteFileBytes(root + "/" + Name(i), body);
    const std::string key = ssh.Home() + "/.ssh/id_ed25519";
    Compare({"SFTP", ssh.BaseUrl(), ssh.Root(), "", "", {"--key", key}}, out.Path(), rounds);
    ::setenv("SSL_CERT_FILE", implicit.CaFile().c_str(), 1);
    Compare({"FTPS",
             implicit.BaseUrl(),
             "",
             test::CFtpsServer::kUser,
             test::CFtpsServer::kPassword,
             {"--cacert", implicit.CaFile()}},
            out.Path(), rounds);
    ::setenv("SSL_CERT_FILE", explicitTls.CaFile().c_str(), 1);
    Compare({"FTPES",
             explicitTls.BaseUrl(),
             "",
             test::CFtpsServer::kUser,
             test::CFtpsServer::kPassword,
             {"--cacert", explicitTls.CaFile(), "--ssl-reqd"}},
            out.Path(), rounds);
    return 0;
}
