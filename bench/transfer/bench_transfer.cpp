// Fetching 20 scan files of 480000 bytes from local servers through the transfer library,
// against the curl command-line tool fetching the same 20 URLs in one invocation; by HTTP from
// nginx and by FTP (active mode for both) from pyftpdlib. Prints the best of N rounds of each.
//
//   bench_transfer [rounds]
#include <fcntl.h>
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
#include "test_servers.h"
#include "transfer/transfer.h"
#include "run/transfer_loader.h"

extern char** environ;

namespace {

using namespace kolvane;

constexpr int kFiles = 20;
constexpr std::size_t kFileSize = 480000;

std::string FileBody() {
    std::string body;
    std::string line = "A line of a scan file with some values 12345.678 and words to cut.\n";
    while (body.size() + line.size() <= kFileSize) body += line;
    body.append(kFileSize - body.size(), 'x');
    return body;
}

std::string Name(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%02d.txt", i);
    return name;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double OurFetch(const std::string& baseUrl, bool ftp, const std::string& outDir) {
    CKolvaneDocData doc;
    CNullHost host;
    CFixedClock clock({2005, 1, 5, 0, 15, 9});
    CKolvaneEngine engine(doc, host, clock);
    for (int i = 0; i < kFiles; ++i) {
        CScanFile& f = *doc.m_scanFiles.AddNewScanFile();
        f.m_bFtp = ftp;
        f.m_bHttp = !ftp;
        f.m_strUrl = baseUrl;
        f.m_strServerFile = Name(i);
        f.m_strPath = outDir;
        f.m_strName = Name(i);
    }
    auto start = std::chrono::steady_clock::now();
    int ok = RemoteTransferOver(TransferModule())
                 ->FetchRemoteScanFiles(doc.m_scanFiles, engine, nullptr);
    double s = Seconds(std::chrono::steady_clock::now() - start);
    for (int i = 0; i < kFiles; ++i)
        if (!ok || std::filesystem::file_size(outDir + "/" + Name(i)) == 0) {
            std::fprintf(stderr, "our fetch failed\n");
            std::exit(1);
        }
    return s;
}

double CurlFetch(const std::string& baseUrl, bool ftp, const std::string& outDir) {
    std::vector<std::string> args{"curl", "-s", "-S"};
    if (ftp) args.insert(args.end(), {"--ftp-port", "-"});
    for (int i = 0; i < kFiles; ++i)
        args.insert(args.end(), {"-o", outDir + "/" + Name(i), baseUrl + "/" + Name(i)});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0 ||
        waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "curl failed\n");
        std::exit(1);
    }
    return Seconds(std::chrono::steady_clock::now() - start);
}

void Compare(const char* label, const std::string& baseUrl, bool ftp, const std::string& outDir,
             int rounds) {
    double ours = 1e9, theirs = 1e9;
    for (int r = 0; r < rounds; ++r) {
        ours = std::min(ours, OurFetch(baseUrl, ftp, outDir));
        theirs = std::min(theirs, CurlFetch(baseUrl, ftp, outDir));
    }
    std::printf("%-5s 20 x %zu bytes: kolvane %7.1f ms   curl %7.1f ms   ratio %.2f\n", label,
                kFileSize, ours * 1000, theirs * 1000, ours / theirs);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    test::CHttpServer http;
    test::CFtpServer ftp;
    test::CServerDir out("bench-out");
    std::string body = FileBody();
    for (int i = 0; i < kFiles; ++i) {
        test::WriteFileBytes(http.Root() + "/" + Name(i), body);
        test::WriteFileBytes(ftp.Root() + "/" + Name(i), body);
    }
    Compare("HTTP", http.BaseUrl(), false, out.Path(), rounds);
    Compare("FTP", ftp.BaseUrl(), true, out.Path(), rounds);
    return 0;
}
