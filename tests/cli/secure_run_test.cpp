// The runner with an SFTP scan file and an upload by FTP with AUTH TLS, against sshd and
// pyftpdlib on 127.0.0.1: --check names both protocols, and a run fetches and uploads.
#include <cstdlib>

#include "cli_fixture.h"
#include "secure_servers.h"

namespace kolvane::test {
namespace {

TEST_F(CliTest, SftpFetchAndFtpesUpload) {
    CSshServer ssh;
    ssh.Trust();
    ::setenv("HOME", ssh.Home().c_str(), 1);
    CFtpsServer ftps(false);
    ::setenv("SSL_CERT_FILE", ftps.CaFile().c_str(), 1);
    WriteFileBytes(ssh.Root() + "/v.txt", "value 42 end\n");
    dir.Write("data/t.htm", "<p>%%V%%</p>\n");
    WriteRule({"FtpURL = " + ssh.BaseUrl() + "\r\nServerDir = " + ssh.Root() +
               "\r\nServerFile = v.txt\r\n" + Local("v.txt", "V=value????end")},
              "OutputFile FtpURL= " + ftps.BaseUrl() + "\r\nOutputFile UserID= " +
                  CFtpsServer::kUser + "\r\nOutputFile PassWord= " + CFtpsServer::kPassword);

    ASSERT_EQ(Run({"--check", "rule.rul"}), 0) << err;
    EXPECT_NE(out.find(" over ftpes\n"), std::string::npos) << out;
    EXPECT_NE(out.find("(sftp sftp://127.0.0.1:"), std::string::npos) << out;
    ASSERT_EQ(Run({"--once", "rule.rul"}), 0) << err << ErrorLog();
    EXPECT_EQ(Page(), "<p> 42 </p>\n");
    EXPECT_EQ(ReadFile(ftps.Root() + "/page.htm"), "<p> 42 </p>\n");
}

}  // namespace
}  // namespace kolvane::test
