// Reading a URL with libcurl's URL API, and showing one without its password. The rule reader
// asks the same code (through the run, which loads the transfer module for it), so a URL is
// split the same way wherever it is read.
#pragma once

#include <string>
#include <string_view>

#include "transfer/remote_transfer.h"

namespace kolvane {

// Splits `url` as curl_url reads it (schemes libcurl does not know allowed); false when it is
// no URL with a scheme and a server. With a `defaultScheme`, a URL that names no scheme gets
// "defaultScheme://" in front; one that names a scheme and does not split is refused, never
// guessed at (with a scheme put in front, "http://u:pw@h:1:bad" would read as host "http").
bool SplitUrlParts(std::string_view url, std::string_view defaultScheme, STransferUrl& parts);

// True when libcurl reads `url` as an absolute URL of a scheme it supports (with or without a
// server: a "file:" URL is one).
bool ParsesAsUrl(std::string_view url);

// The service a transfer offers for `scheme` (lower case): Other for every scheme it refuses.
EUrlService ServiceOfScheme(std::string_view scheme);

// The URL as every message, log line and report shows it: the password of its user part
// replaced by "********" ("user:********@host"). In a URL that does not split, the user part
// reaches the last "@", so no piece of a password shows there either.
std::string MaskUrlPassword(std::string_view url);

}  // namespace kolvane
