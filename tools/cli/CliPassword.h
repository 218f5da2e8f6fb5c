#pragma once
// The password of a campaign run that no one types: smsclient-campaigns.service runs
// `smsclient-cli campaign run-due` every minute with nothing on its command line. Asked in
// this order once neither --password nor SMSCLIENT_PASSWORD gives one:
//   1. the file named by Company_Info.ini [Campaign] Password_File= (its first line); a file
//      that others may read or write (mode beyond 0600) or that is no regular file is refused;
//   2. the client's remembered login (login.ini, kept 0600 by the client) when it remembers
//      the password of this very user.
// Texts UTF-8.

#include <optional>
#include <string>

namespace smsc::cli {

struct StoredPassword {
    std::optional<std::string> password;  // UTF-8
    std::string problem;                  // why a named file was refused (UTF-8), else empty
};

// dataDir ends in "/" or is empty; loginStore: the remembered login's file ("" : the
// default, $XDG_CONFIG_HOME or ~/.config + "/smsclient/login.ini").
StoredPassword FindStoredPassword(const std::string& userUtf8, const std::string& dataDir,
                                  const std::string& loginStore = {});

}  // namespace smsc::cli
