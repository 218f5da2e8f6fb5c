// smsclient-cli: sends an SMS to many numbers from the command line, checks the quota and
// extracts numbers from text files. See --help.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "platform/DataDir.h"
#include "tools/cli/Cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        // Like every other command: output that cannot be written is no success.
        if (!(std::cout << SMSC_VERSION << "\n" << std::flush)) {
            std::cerr << "smsclient-cli: 无法写出结果（标准输出写入失败）\n";
            return smsc::cli::kExitUsage;
        }
        return smsc::cli::kExitOk;
    }
    smsc::cli::CliEnvironment env;
    if (const char* password = std::getenv("SMSCLIENT_PASSWORD"))
        env.password = password;
    env.dataDir = smsc::DataDir();
    env.resourceDir = smsc::ResourceDir();
    const int code = smsc::cli::RunCli(args, std::cout, std::cerr, env);
    std::cout.flush();
    return code;
}
