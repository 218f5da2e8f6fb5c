#include "app/AccountAnswers.h"

#include "platform/Gbk.h"
#include "service/ServiceClient.h"

namespace smsc {

LoginAnswer ReadLoginAnswer(const std::string& answer) {
    const auto fields = SplitAnswer(answer);
    LoginAnswer out;
    if (fields.empty())
        return out;
    const std::string& status = fields[0];
    if (status == "3") {
        // Without the quota the answer is malformed: nothing is claimed.
        if (fields.size() < 2)
            return out;
        out.status = LoginStatus::Connected;
        out.quota = fields[1];
    } else if (status == "1") {
        out.status = LoginStatus::WrongCredentials;
        out.message = G("您输入的用户名或者密码错误，请重新输入");
    } else if (status == "2") {
        out.status = LoginStatus::Disabled;
        out.message = G("该帐户被停用");
    } else if (status == "error") {
        out.status = LoginStatus::NetworkFailure;
        out.message = fields.size() > 1 ? fields[1] : NetworkFailureMessage();
    }
    return out;
}

PasswordAnswer ReadPasswordAnswer(const std::string& answer) {
    const auto fields = SplitAnswer(answer);
    PasswordAnswer out;
    if (fields.empty())
        return out;
    const std::string& status = fields[0];
    const std::string remind = G("提醒");
    if (status == "1") {
        out = {PasswordStatus::OldWrong, G("密码修改失败，原密码输入不正确！"), remind};
    } else if (status == "2") {
        out = {PasswordStatus::Disabled, G("密码修改失败，该帐户被停用"), remind};
    } else if (status == "3") {
        out = {PasswordStatus::Balance, G("余额") + (fields.size() > 1 ? fields[1] : ""), remind};
    } else if (status == "4") {
        out = {PasswordStatus::NewRefused, G("密码修改失败，新密码输入错误！"), remind};
    } else if (status == "5") {
        out = {PasswordStatus::Changed, G("密码修改成功,请重新登录服务器"), G("恭喜")};
    } else if (status == "error") {
        // Without a message the user could not tell whether the password changed.
        out = {PasswordStatus::NetworkFailure, NetworkFailureMessage(), remind};
    }
    return out;
}

}  // namespace smsc
