// The console runner's answer to an HTTP 401: a user name and a password asked on the
// terminal. Only when standard input is a terminal is anything asked (on standard error, with
// the password not echoed); otherwise, and at end of input or for an empty user name, the
// answer is Cancelled, so an unattended run never waits for input.
#pragma once

#include <string>
#include <string_view>

#include "engine/run_host.h"

namespace kolvane {

ECredentialsResult PromptCredentials(std::string_view url, std::string& user,
                                     std::string& password);

}  // namespace kolvane
