// How an HTTP body is stored, the request path and the PWD reply: tables of inputs.
#include "transfer/line_pieces.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>

#include "transfer/ftp_connection.h"
#include "transfer/transfer.h"

namespace kolvane {
namespace {

struct SPieceCase {
    const char* name;
    std::string body;
    std::string stored;
    friend void PrintTo(const SPieceCase& c, std::ostream* os) { *os << c.name; }
};

std::string Stored(const std::string& body, std::size_t chunk) {
    CLinePieceWriter writer;
    std::string out;
    for (std::size_t at = 0; at < body.size(); at += chunk)
        writer.Feed(std::string_view(body).substr(at, chunk), out);
    return out;
}

class LinePieces : public ::testing::TestWithParam<SPieceCase> {};

TEST_P(LinePieces, StoresTheSameBytesWhateverTheChunks) {
    const SPieceCase& c = GetParam();
    for (std::size_t chunk :
         {std::size_t{1}, std::size_t{7}, std::size_t{1022}, std::size_t{1 << 20}})
        EXPECT_EQ(Stored(c.body, chunk), c.stored) << "chunk " << chunk;
}

using namespace std::string_literals;
const std::string k1022(1022, 'a');

INSTANTIATE_TEST_SUITE_P(
    Bodies, LinePieces,
    ::testing::Values(
        SPieceCase{"CrLf", "one\r\ntwo\r\n", "one\ntwo\n"}, SPieceCase{"LoneCr", "a\rb\n", "ab\n"},
        SPieceCase{"NoFinalLineEnd", "last", "last"},
        SPieceCase{"NulLosesRestOfLine", "ab\0cd\nef\n"s, "abef\n"},
        SPieceCase{"LongLineCopiedWhole", std::string(3000, 'x') + "\n",
                   std::string(3000, 'x') + "\n"},
        // A NUL cuts only its own piece of 1022 characters; carriage returns do not count.
        SPieceCase{"NulInFirstPiece", "\0"s + k1022.substr(1) + "tail\n", "tail\n"},
        SPieceCase{"CrNotCounted", std::string(1021, 'a') + "\r\r" + "b\0c\n"s,
                   std::string(1021, 'a') + "b"},
        SPieceCase{"Empty", "", ""}),
    [](const ::testing::TestParamInfo<SPieceCase>& p) { return std::string(p.param.name); });

// The writer skips over runs of plain characters; a character-by-character model of the same
// rules must store the same bytes for any body cut into any chunks.
std::string ModelStored(const std::string& body) {
    std::string out;
    std::size_t stored = 0;
    bool cut = false;
    for (char c : body) {
        if (c == '\r') continue;
        if (c == '\0') cut = true;
        if (!cut) out += c;
        if (c == '\n' || ++stored == kMaxPiece) {
            stored = 0;
            cut = false;
        }
    }
    return out;
}

TEST(LinePiecesModel, AgreesOnRandomBodies) {
    std::mt19937 random(20050105);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\0'};
    for (int round = 0; round < 200; ++round) {
        std::string body(random() % 5000, 'a');
        // Mostly plain characters, so that pieces often reach their full length.
        for (char& c : body) c = random() % 50 == 0 ? alphabet[random() % 5] : 'a';
        CLinePieceWriter writer;
        std::string out;
        for (std::size_t at = 0; at < body.size();) {
            std::size_t n = 1 + random() % 1500;
            writer.Feed(std::string_view(body).substr(at, n), out);
            at += n;
        }
        ASSERT_EQ(out, ModelStored(body)) << "round " << round;
    }
}

TEST(HttpRequestPath, JoinsDirectoryAndFile) {
    struct {
        const char* dir;
        const char* file;
        const char* path;
    } cases[] = {{"pub", "data.txt", "/pub/data.txt"},
                 {"/pub/", "data.txt", "/pub/data.txt"},
                 {"", "data.txt", "/data.txt"},
                 {"/a/b", "c.txt", "/a/b/c.txt"},
                 {"pub", "", "/pub"},
                 {"", "", "/"}};
    for (const auto& c : cases)
        EXPECT_EQ(HttpRequestPath(c.dir, c.file), c.path) << c.dir << "|" << c.file;
}

TEST(ParsePwdReply, TakesTheQuotedDirectory) {
    struct {
        const char* reply;
        const char* dir;
    } cases[] = {{"257 \"/\" is the current directory.", "/"},
                 {"257 \"/pub/data\" is current.", "/pub/data"},
                 {"257 \"/say \"\"hi\"\"\" ok", "/say \"hi\""},
                 {"550 Not allowed.", ""},
                 {"257 no quotes", ""},
                 {"257 \"/unterminated", ""}};
    for (const auto& c : cases) EXPECT_EQ(ParsePwdReply(c.reply), c.dir) << c.reply;
}

}  // namespace
}  // namespace kolvane
