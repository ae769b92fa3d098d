// Runs with remote scan files on the test servers and an upload of the output file, started in
// another directory than the rule's (the local copies and the upload's file are the rule's).
#include "cli_fixture.h"
#include "test_servers.h"

namespace kolvane::test {
namespace {

TEST_F(CliTest, RemoteScanFilesAndHttpUpload) {
    CHttpServer http;
    CFtpServer ftp;
    WriteFileBytes(http.Root() + "/feeds/prices.txt", "Price: 12.50 EUR\r\n");
    WriteFileBytes(ftp.Root() + "/pub/stock.txt", "Stock: 340 pcs\n");
    dir.Write("data/t.htm", "%%Price%% / %%Stock%%\n");
    WriteRule({"HttpURL = " + http.Url("/feeds/prices.txt") +
                   "\r\nScanFile Name = prices.txt\r\nScanFile Path = data\r\n"
                   "Price=Price:???? EUR\r\n",
               "FtpURL = " + ftp.BaseUrl() +
                   "\r\nServerDir = /pub\r\nServerFile = stock.txt\r\n"
                   "ScanFile Name = stock.txt\r\nScanFile Path = data\r\n"
                   "Stock=Stock:???? pcs\r\n"},
              "OutputFile FtpURL= " + http.BaseUrl() + "\r\nOutputFile ServerDir= /site\r\n");
    CTempDir elsewhere;
    {
        const CScopedEnv loads("LD_DEBUG", "files");  // the loader names every library it maps
        EXPECT_EQ(RunToEnd({"--once", dir / "rule.rul"}, elsewhere.Path(), &out, &err), 0)
            << out << err << ErrorLog();
    }
    EXPECT_NE(err.find("kolvane-transfer.so"), std::string::npos);  // loaded for this rule
    EXPECT_NE(err.find("file=libcurl.so"), std::string::npos);
    EXPECT_NE(out.find("Local Output File: out/page.htm created!\n"
                       "Server Output File: /site/page.htm created!\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(Page(), " 12.50  /  340 \n");
    EXPECT_EQ(ReadFile(http.Root() + "/site/page.htm"), Page());
    EXPECT_EQ(ReadFile(dir / "data/prices.txt"), "Price: 12.50 EUR\n");  // stored with LF
    EXPECT_EQ(ErrorLog(), "");
}

TEST_F(CliTest, FailedFetchPassEndsTheRun) {
    CHttpServer http;
    dir.Write("data/t.htm", "%%Price%%\n");
    dir.Write("data/prices.txt", "Price: old EUR\n");
    WriteRule(
        {"HttpURL = " + http.Url(CHttpServer::StatusPath(404) + "/prices.txt") +
         "\r\nScanFile Name = prices.txt\r\nScanFile Path = data\r\nPrice=Price:???? EUR\r\n"});
    EXPECT_EQ(Run({"--once", "rule.rul"}), 1);
    EXPECT_EQ(out,
              "                                        ****  Kolvane File Data  ****\n \n"
              "**** Error getting server resident file - check error log for file name ****\n"
              "Application Terminated!\n");
    EXPECT_EQ(ReadFile(dir / "data/prices.txt"), "Price: old EUR\n");
    EXPECT_NE(ErrorLog().find("The server has not found anything matching the URI, check your "
                              "path!\r\nServer response was:\r\n"),
              std::string::npos)
        << ErrorLog();
}

}  // namespace
}  // namespace kolvane::test
