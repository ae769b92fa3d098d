// The schemes a scan file's FtpURL and the upload URL may name: the one table that says which
// protocol each one speaks and on which port by default. Header only and free of libcurl, so
// that the runner's reports name a URL's protocol without loading the transfer.
//
//   ftp://    plain FTP (active mode first, passive when that fails)
//   ftps://   FTP over TLS from the first byte (port 990)
//   ftpes://  plain FTP that must switch to TLS with AUTH TLS before logging in (port 21)
//   sftp://   the SSH file transfer protocol (port 22)
#pragma once

#include <array>
#include <string_view>

namespace kolvane {

enum class EFileProtocol { Ftp, FtpsImplicit, FtpsExplicit, Sftp };

struct SFileScheme {
    std::string_view scheme;  // lower case, as a split URL gives it
    EFileProtocol protocol;
    int defaultPort;
};

inline constexpr std::array<SFileScheme, 4> kFileSchemes{{
    {"ftp", EFileProtocol::Ftp, 21},
    {"ftps", EFileProtocol::FtpsImplicit, 990},
    {"ftpes", EFileProtocol::FtpsExplicit, 21},
    {"sftp", EFileProtocol::Sftp, 22},
}};

// The entry of `scheme` (lower case); null for any other scheme.
inline const SFileScheme* FindFileScheme(std::string_view scheme) {
    for (const auto& s : kFileSchemes)
        if (s.scheme == scheme) return &s;
    return nullptr;
}

}  // namespace kolvane
