// SFTP and FTP over TLS against sshd and pyftpdlib on 127.0.0.1: a fetch and an upload over
// each, and the refusals that keep the old local copy and write one entry.
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "secure_servers.h"
#include "transfer_fixture.h"

namespace kolvane::test {
namespace {

// One server of a case, the URL and login of its rule, and what the client trusts.
struct SPeer {
    std::shared_ptr<void> server;
    std::string url, dir, root, user, password;
};

SPeer Sftp(long cutAfter = 0, bool trust = true, const char* password = "") {
    auto s = std::make_shared<CSshServer>(cutAfter);
    if (trust) s->Trust();
    ::setenv("HOME", s->Home().c_str(), 1);
    return {s, s->BaseUrl(), s->Root(), s->Root(), "", password};
}

SPeer Ftps(bool implicit, const char* certificateFor = "127.0.0.1",
           const char* password = CFtpsServer::kPassword, std::vector<std::string> options = {}) {
    auto s = std::make_shared<CFtpsServer>(implicit, certificateFor, options);
    ::setenv("SSL_CERT_FILE", s->CaFile().c_str(), 1);
    return {s, s->BaseUrl(), "", s->Root(), CFtpsServer::kUser, password};
}

struct SSecureCase {
    const char* name;
    std::function<SPeer()> peer;
    const char* entry;  // a piece of the one entry; nullptr: the fetch and the upload work
    friend void PrintTo(const SSecureCase& c, std::ostream* os) { *os << c.name; }
};

class SecureTransfer : public TransferTest, public ::testing::WithParamInterface<SSecureCase> {};

TEST_P(SecureTransfer, FetchesAndUploadsOrRefuses) {
    const SSecureCase& c = GetParam();
    const SPeer peer = c.peer();
    const std::string page(480000, 'p');
    WriteFileBytes(peer.root + "/data.txt", page);
    WriteFileBytes(peer.root + "/out.html", "old page");
    CScanFile& f = AddScanFile(true, peer.url, peer.dir, "data.txt", "local.txt");
    f.m_strUserId = peer.user;
    f.m_strUserPw = peer.password;
    dir.Write("local.txt", "old copy");
    SetUpload(peer.url, peer.dir, "out.html", "new page");
    doc.m_cmd.m_strUploadUserId = peer.user;
    doc.m_cmd.m_strUploadPassword = peer.password;

    EXPECT_EQ(Fetch(), c.entry ? 0 : 1);
    EXPECT_TRUE(Local("local.txt") == (c.entry ? "old copy" : page));
    if (c.entry) {
        EXPECT_EQ(EntryCount(), 1) << ErrorLog();
        EXPECT_NE(ErrorLog().find(c.entry), std::string::npos) << ErrorLog();
        EXPECT_EQ(ErrorLog().find(CFtpsServer::kPassword), std::string::npos);
        return;
    }
    EXPECT_EQ(Upload(), 1) << ErrorLog();
    EXPECT_EQ(ReadFile(peer.root + "/out.html"), "new page");
    EXPECT_EQ(ErrorLog(), "");
    int files = 0;  // no temporary name is left beside the page
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(peer.root)) ++files;
    EXPECT_EQ(files, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SecureTransfer,
    ::testing::Values(
        SSecureCase{"Sftp", [] { return Sftp(); }, nullptr},
        SSecureCase{"FtpsImplicit", [] { return Ftps(true); }, nullptr},
        SSecureCase{"FtpsExplicit", [] { return Ftps(false); }, nullptr},
        SSecureCase{"SftpWrongPassword", [] { return Sftp(0, true, "wrong"); },
                    "Network failure for: data.txt: "},
        SSecureCase{"SftpUnknownHostKey", [] { return Sftp(0, false); },
                    "is unknown; check the server's key and add it: ssh-keyscan -p "},
        SSecureCase{"SftpChangedHostKey",
                    [] {
                        SPeer p = Sftp();
                        CSshServer other;  // its key under the first server's name
                        other.Trust();
                        const std::string line = ReadFile(other.Home() + "/.ssh/known_hosts");
                        WriteFileBytes(std::string(std::getenv("HOME")) + "/.ssh/known_hosts",
                                       Replaced(line, std::to_string(other.Port()),
                                                p.url.substr(p.url.rfind(':') + 1)));
                        ::setenv("HOME", static_cast<CSshServer*>(p.server.get())->Home().c_str(),
                                 1);
                        return p;
                    },
                    "ssh-keygen -R"},
        SSecureCase{"SftpServerDiesMidTransfer", [] { return Sftp(100000); },
                    "Network failure for: data.txt: "},
        SSecureCase{"FtpsWrongPassword", [] { return Ftps(true, "127.0.0.1", "wrong"); },
                    "Network failure for: data.txt: "},
        SSecureCase{"FtpsCertificateForAnotherAddress", [] { return Ftps(false, "127.0.0.2"); },
                    "Network failure for: data.txt: SSL"},
        SSecureCase{
            "FtpsServerDiesMidTransfer",
            [] { return Ftps(true, "127.0.0.1", CFtpsServer::kPassword, {"--die-after=100000"}); },
            "Network failure for: data.txt: "}),
    CaseName());

}  // namespace
}  // namespace kolvane::test
