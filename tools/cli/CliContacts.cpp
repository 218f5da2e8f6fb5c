#include "tools/cli/CliContacts.h"

#include <ostream>

#include "addressbook/ContactBook.h"
#include "tools/cli/CliText.h"

namespace smsc::cli {

int RunContacts(const CliOptions& options, const CliEnvironment& env, std::ostream& out,
                std::ostream& err) {
    std::string dataDir = options.dataDir.value_or(env.dataDir);
    if (!dataDir.empty() && dataDir.back() != '/')
        dataDir += '/';
    const std::string path = dataDir + "LinkmanBook/Contacts.xml";
    ContactBook book;
    if (!book.load(path)) {
        err << "smsclient-cli: 无法读取通讯录：" << path << "\n";
        return kExitUsage;
    }

    BookPath node;
    if (options.group) {
        // Captions from the book down; a name typed without its brackets gets them.
        std::vector<std::string> captions;
        const std::optional<std::string> gbk = GbkFromTerminal(*options.group);
        for (const std::string& part : SplitBySeparator(gbk.value_or(""), "/")) {
            const std::string caption = TrimBlanks(part);
            captions.push_back(caption.find(']') == std::string::npos ? "[" + caption + "]"
                                                                      : caption);
        }
        if (!gbk || captions.empty() || !book.findGroup(captions, &node)) {
            err << "smsclient-cli: 通讯录中没有分组：" << *options.group << "\n";
            return kExitRefused;
        }
    }

    std::string lines;
    for (const std::string& number : book.mobileNumbers(node)) {
        if (number.empty())
            continue;
        lines += TerminalFromGbk(number);
        lines += '\n';
    }
    out << lines << std::flush;
    if (!out) {
        err << "smsclient-cli: 无法写出号码（标准输出写入失败）\n";
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace smsc::cli
