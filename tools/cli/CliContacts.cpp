#include "tools/cli/CliContacts.h"

#include <ostream>

#include "addressbook/ContactBook.h"
#include "addressbook/ContactTransfer.h"
#include "tools/cli/CliText.h"

namespace smsc::cli {
namespace {

std::string BookPathIn(const CliOptions& options, const CliEnvironment& env) {
    std::string dataDir = options.dataDir.value_or(env.dataDir);
    if (!dataDir.empty() && dataDir.back() != '/')
        dataDir += '/';
    return dataDir + "LinkmanBook/Contacts.xml";
}

// Loads the book and finds the --group node (the book itself without one); the exit code of
// the failure otherwise, its message written.
std::optional<int> OpenBook(const CliOptions& options, const CliEnvironment& env, ContactBook& book,
                            BookPath& node, std::ostream& err) {
    const std::string path = BookPathIn(options, env);
    if (!book.load(path)) {
        err << "smsclient-cli: 无法读取通讯录：" << path << "\n";
        return kExitUsage;
    }
    if (!options.group)
        return std::nullopt;
    // Captions from the book down; a name typed without its brackets gets them.
    std::vector<std::string> captions;
    const std::optional<std::string> gbk = GbkFromTerminal(*options.group);
    for (const std::string& part : SplitBySeparator(gbk.value_or(""), "/")) {
        const std::string caption = TrimBlanks(part);
        captions.push_back(caption.find(']') == std::string::npos ? "[" + caption + "]" : caption);
    }
    if (!gbk || captions.empty() || !book.findGroup(captions, &node)) {
        err << "smsclient-cli: 通讯录中没有分组：" << *options.group << "\n";
        return kExitRefused;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::vector<ContactRow>> ContactsOfGroup(const CliOptions& options,
                                                       const CliEnvironment& env, std::ostream& err,
                                                       int* code) {
    ContactBook book;
    BookPath node;
    if (const std::optional<int> failed = OpenBook(options, env, book, node, err)) {
        *code = *failed;
        return std::nullopt;
    }
    return book.listContacts(node);
}

int RunContacts(const CliOptions& options, const CliEnvironment& env, std::ostream& out,
                std::ostream& err) {
    ContactBook book;
    BookPath node;
    if (const std::optional<int> failed = OpenBook(options, env, book, node, err))
        return *failed;

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

int RunContactsImport(const CliOptions& options, const CliEnvironment& env, std::ostream& out,
                      std::ostream& err) {
    ContactBook book;
    BookPath group;
    if (const std::optional<int> failed = OpenBook(options, env, book, group, err))
        return *failed;
    const ContactsRead read = ReadContactsFile(options.contactsFile);
    if (read.error != ContactReadError::None) {
        err << "smsclient-cli: " << TerminalFromGbk(ContactReadErrorText(read.error)) << "："
            << options.contactsFile << "\n";
        return kExitUsage;
    }
    const ContactImportResult result = ImportContacts(book, group, read.contacts);
    switch (result.change) {
        case BookChange::Ok:
            out << TerminalFromGbk(ImportResultText(result)) << "\n";
            return kExitOk;
        case BookChange::Refused:
            err << "smsclient-cli: 导入后通讯录将超过" << kMaxBookBytes / (1024 * 1024)
                << "MB，没有导入任何联系人\n";
            return kExitRefused;
        case BookChange::SaveFailed:
        case BookChange::NotLoaded:
            break;
    }
    err << "smsclient-cli: 无法保存通讯录，没有导入任何联系人：" << BookPathIn(options, env)
        << "\n";
    return kExitUsage;
}

int RunContactsExport(const CliOptions& options, const CliEnvironment& env, std::ostream& out,
                      std::ostream& err) {
    ContactBook book;
    BookPath node;
    if (const std::optional<int> failed = OpenBook(options, env, book, node, err))
        return *failed;
    int count = 0;
    if (!ExportContacts(book, node, options.contactsFile, &count)) {
        err << "smsclient-cli: 无法写入文件：" << options.contactsFile << "\n";
        return kExitUsage;
    }
    out << "导出" << count << "个联系人\n";
    return kExitOk;
}

}  // namespace smsc::cli
