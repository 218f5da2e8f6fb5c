#pragma once
// What the login check and the password change make of the service's answers. GBK text.

#include <string>

namespace smsc {

enum class LoginStatus {
    Connected,         // "3": field 1 is the remaining quota
    WrongCredentials,  // "1"
    Disabled,          // "2"
    NetworkFailure,    // "error": field 1 is the message to show
    Unrecognised,      // anything else, an empty answer, "3" without its quota
};

struct LoginAnswer {
    LoginStatus status = LoginStatus::Unrecognised;
    std::string quota;    // Connected
    std::string message;  // the message to show; empty for Connected and Unrecognised
};

LoginAnswer ReadLoginAnswer(const std::string& answer);

enum class PasswordStatus {
    Changed,         // "5"
    OldWrong,        // "1"
    Disabled,        // "2"
    Balance,         // "3": field 1 is the balance
    NewRefused,      // "4"
    NetworkFailure,  // "error"
    Unrecognised,
};

struct PasswordAnswer {
    PasswordStatus status = PasswordStatus::Unrecognised;
    std::string message;  // empty: nothing is shown
    std::string caption;
};

PasswordAnswer ReadPasswordAnswer(const std::string& answer);

}  // namespace smsc
