// The client: the main window (whose creation opens the login window), then the other
// windows, each created once, then the event loop.
#include <QApplication>

#include <cstdio>
#include <cstring>

#include "app/ClientStart.h"
#include "app/TForm2.h"

namespace {

const char* const kHelpText =
    "smsclient —— 短信彩信群发客户端 V " SMSC_VERSION
    " (bulk SMS and MMS client)\n"
    "\n"
    "用法 (usage):\n"
    "  smsclient            打开登录窗口和主窗口。Open the login window and the main window.\n"
    "  smsclient --help     显示本说明。Show this text.\n"
    "  smsclient --version  打印版本号。Print the version.\n"
    "\n"
    "以用户名和密码经电信或网通线路登录企业短信平台，建立接收号码列表（手工输入、号段、\n"
    "文本文件、电子表格、剪切板、通讯录），发送短信或彩信；另有通讯录、常用短语、号码\n"
    "归属地查询、收到短信和发送记录查询。\n"
    "Log in to the enterprise messaging service, build a recipient list and send an SMS or\n"
    "an MMS; with an address book, phrases, a number lookup and queries of past traffic.\n"
    "\n"
    "文件 (files):\n"
    "  设置、通讯录、常用短语等用户文件在程序目录中；安装版在 ~/.local/share/smsclient/\n"
    "  （$XDG_DATA_HOME/smsclient/），记住的登录信息在 ~/.config/smsclient/login.ini。\n"
    "  Settings, the address book and phrases live next to the program, or for an installed\n"
    "  copy in ~/.local/share/smsclient/; a remembered login in ~/.config/smsclient/login.ini.\n"
    "\n"
    "另见 (see also): smsclient-cli(1), smsclient-demo-service(1)\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before any window system is needed.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts(SMSC_VERSION);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 2;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kHelpText, stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 2;
    }
    QApplication app(argc, argv);
    const std::unique_ptr<smsc::TForm2> mainWindow = smsc::StartClient(app);
    return app.exec();
}
