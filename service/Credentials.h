#pragma once
// What every request reads at the moment it is built: the login window's user name,
// password and line. The login window is the one owner; pages are given this interface.

#include <string>

#include "service/ServiceClient.h"

namespace smsc {

struct Credentials {
    std::string userName;  // GBK, as typed
    std::string password;  // GBK, as typed
    ServiceContext context;
};

class CredentialsSource {
public:
    virtual ~CredentialsSource() = default;
    virtual Credentials currentCredentials() const = 0;
};

}  // namespace smsc
