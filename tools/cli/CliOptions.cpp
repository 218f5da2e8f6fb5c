#include "tools/cli/CliOptions.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "platform/Gbk.h"
#include "recipients/NumberReader.h"
#include "tools/cli/CliCampaign.h"
#include "tools/cli/CliCheck.h"
#include "tools/cli/CliLookup.h"
#include "tools/cli/CliOptOut.h"
#include "tools/cli/CliRecords.h"
#include "tools/cli/CliText.h"

// CLI11 reads the words; this file holds the options, the commands each belongs to, their
// checks and messages. Whatever CLI11 does not know (the command, further words, "--", an
// unknown option, -h and --help) it keeps in order in remaining(); a check that fails stops
// the reading at once, so the first fault in the order typed is the one reported.

namespace smsc::cli {
namespace {

using enum Command;

// The commands' names, in the order of Command.
// clang-format off
constexpr const char* kCommandNames[] = {
    "help", "balance", "send", "extract", "send-mms", "lookup", "contacts", "replies", "records",
    "numbers", "download-mms", "optout", "contacts-import", "contacts-export", "campaign", "check"};
// clang-format on
static_assert(std::size(kCommandNames) == static_cast<size_t>(Check) + 1);

std::optional<Command> commandNamed(const std::string& word) {
    for (size_t i = 0; i < std::size(kCommandNames); ++i)
        if (word == kCommandNames[i])
            return static_cast<Command>(i);
    return std::nullopt;
}

std::string commandName(Command command) {
    return kCommandNames[static_cast<size_t>(command)];
}

// The commands an option may be given to.
constexpr unsigned on(std::initializer_list<Command> commands) {
    unsigned mask = 0;
    for (Command command : commands)
        mask |= 1u << static_cast<unsigned>(command);
    return mask;
}
constexpr unsigned kSync = 1u << 31;  // optout sync, which asks the service
constexpr unsigned kService =
    on({Balance, Send, SendMms, Replies, Records, Numbers, DownloadMms, Campaign});
constexpr unsigned kSending = on({Send, SendMms, Campaign});

// Stores a value (UTF-8, as typed); the error message when it is refused, else "".
using Take = std::function<std::string(CliOptions&, const std::string&)>;

struct OptionRow {
    const char* name;
    unsigned commands;
    Take take;
    bool flag = false;  // takes no value
    bool repeatable = false;
};

Take into(std::optional<std::string> CliOptions::*field) {
    return [field](CliOptions& o, const std::string& value) {
        o.*field = value;
        return std::string();
    };
}

Take raise(bool CliOptions::*field) {
    return [field](CliOptions& o, const std::string&) {
        o.*field = true;
        return std::string();
    };
}

// An http(s) address under which the service pages lie, ending in "/".
std::optional<std::string> checkBaseUrl(const std::string& url) {
    std::string scheme = url.substr(0, 8);
    for (char& c : scheme)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t hostAt = scheme.starts_with("http://")    ? 7
                          : scheme.starts_with("https://") ? 8
                                                           : 0;
    if (hostAt == 0 || hostAt >= url.size() || url[hostAt] == '/' || url[hostAt] == ':')
        return std::nullopt;
    for (char c : url) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F || c == '?' || c == '#' || c == '\\')
            return std::nullopt;
    }
    return url.back() == '/' ? url : url + "/";
}

Take address(std::optional<std::string> CliOptions::*field, const char* name) {
    return [field, name](CliOptions& o, const std::string& value) {
        o.*field = checkBaseUrl(value);
        return o.*field ? ""
                        : std::string(name) + " 必须是 http:// 或 https:// 开头的地址：" + value;
    };
}

std::optional<int> positiveInt(const std::string& text) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int value = std::stoi(text);
    if (value < 1)
        return std::nullopt;
    return value;
}

const std::vector<OptionRow>& optionRows() {
    static const std::vector<OptionRow> options = {
        {"--line", kService | kSync,
         [](CliOptions& o, const std::string& value) {
             o.line = value == "1" ? 1 : 0;
             return value == "0" || value == "1" ? ""
                                                 : "--line 只能是 0（电信线路）或 1（网通线路）";
         }},
        {"--user", kService | kSync, into(&CliOptions::user)},
        {"--password", kService | kSync, into(&CliOptions::password)},
        {"--base-url", kService | kSync, address(&CliOptions::baseUrl, "--base-url")},
        {"--download-url", kService, address(&CliOptions::downloadUrl, "--download-url")},
        {"--data-dir", ~on({Extract}),
         [](CliOptions& o, const std::string& value) {
             o.dataDir = value.empty() || value.back() == '/' ? value : value + "/";
             return value.empty() ? "--data-dir 不能为空" : "";
         }},
        {"--number", kSending,
         [](CliOptions& o, const std::string& value) {
             // 1 to 12 digits, or a mobile number written "+86 138 1234 5678" and the like.
             std::optional<std::string> number = ReadTypedNumber(Utf8ToGbk(value));
             if (!number)
                 return "号码格式错误（应为1到12位数字或手机号码）：" + value;
             o.numbers.push_back({false, std::move(*number)});
             return std::string();
         },
         false, true},
        {"--numbers-file", kSending,
         [](CliOptions& o, const std::string& value) {
             o.numbers.push_back({true, value});
             return std::string();
         },
         false, true},
        {"--text", on({Send, Campaign, Check}), into(&CliOptions::text)},
        {"--text-file", on({Send, Campaign, Check}), into(&CliOptions::textFile)},
        {"--verify", on({Send, SendMms}), into(&CliOptions::verify)},
        {"--interval", on({Send, SendMms}),
         [](CliOptions& o, const std::string& value) {
             const std::optional<int> k = positiveInt(value);
             o.interval = k.value_or(o.interval);
             return k ? "" : "--interval 必须是正整数（如 100、200 … 10000）：" + value;
         }},
        {"--no-split", on({Send}), raise(&CliOptions::noSplit), true},
        {"--file", on({SendMms, Campaign}), into(&CliOptions::mmsFile)},
        {"--title", on({SendMms, Campaign}), into(&CliOptions::title)},
        {"--area-code", on({Lookup}), into(&CliOptions::areaCode)},
        {"--group", on({Contacts, ContactsImport, ContactsExport, Campaign}),
         into(&CliOptions::group)},
        {"--from", kService | kSync, into(&CliOptions::fromDate)},
        {"--to", kService | kSync, into(&CliOptions::toDate)},
        {"--id", kService, into(&CliOptions::id)},
        {"--output", kService, into(&CliOptions::output)},
        {"--dry-run", kSending, raise(&CliOptions::dryRun), true},
        {"--batch", on({Campaign}),
         [](CliOptions& o, const std::string& value) {
             o.batch = positiveInt(value);
             return o.batch && *o.batch <= 30000 ? ""
                                                 : "--batch 必须是1到30000之间的整数：" + value;
         }},
        {"--resend-unknown", on({Campaign}), raise(&CliOptions::resendUnknown), true},
        {"--skip-unknown", on({Campaign}), raise(&CliOptions::skipUnknown), true},
        {"--no-wait", on({Campaign}), raise(&CliOptions::noWait), true},
        {"--include-optout", kSending, raise(&CliOptions::includeOptOut), true},
        {"--kind", kSending | on({Check}),
         [](CliOptions& o, const std::string& value) {
             o.kind = value;
             return MessageKindFromName(value)
                        ? ""
                        : "--kind 只能是 notice（通知）或 marketing（营销）：" + value;
         }},
        {"--at", on({Campaign, Check}), into(&CliOptions::at)},
        {"--window", on({Campaign}), into(&CliOptions::window)},
        {"--template", on({Campaign}), into(&CliOptions::templateText)},
        {"--table", on({Campaign}), into(&CliOptions::table)},
        {"--number-column", on({Campaign}), into(&CliOptions::numberColumn)},
        {"--keep-empty", on({Campaign}), raise(&CliOptions::keepEmptyCells), true},
    };
    return options;
}

// A check that failed while CLI11 read the words: it ends the reading.
struct Refused {
    std::string message;
};

// CLI11 reads "--name=" as "--name" followed by the next word, and "--flag=true" as the bare
// flag: each "--name=value" word is marked with a NUL, which no real argument holds, and the
// mark is taken off wherever the word or its value lands.
std::string unmarked(std::string word) {
    if (!word.empty() && word.back() == '\0')
        word.pop_back();
    return word;
}

}  // namespace

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                          std::string* error) {
    CliOptions o;
    std::vector<const OptionRow*> given;
    auto fail = [error](std::string message) {
        *error = std::move(message);
        return std::nullopt;
    };

    CLI::App app;
    app.set_help_flag();
    app.allow_extras();
    for (const OptionRow& row : optionRows()) {
        auto take = [&o, &given, row = &row](const CLI::results_t& results) {
            const std::string name = row->name;
            if (row->flag && results.front() != "true")
                throw Refused{"选项 " + name + " 不带参数值"};
            if (!row->repeatable && std::count(given.begin(), given.end(), row))
                throw Refused{"选项 " + name + " 只能给出一次"};
            given.push_back(row);
            if (std::string problem = row->take(o, unmarked(results.front())); !problem.empty())
                throw Refused{problem};
            return true;
        };
        app.add_option(row.name, CLI::callback_t(take))
            ->expected(row.flag ? 0 : 1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
            ->trigger_on_parse();
    }

    std::vector<std::string> words;  // CLI11 takes them last first
    for (auto word = args.rbegin(); word != args.rend(); ++word)
        words.push_back(
            word->starts_with("--") && word->find('=') != std::string::npos ? *word + '\0' : *word);
    std::optional<std::string> refused;
    try {
        app.parse(words);
    } catch (const Refused& stop) {
        refused = stop.message;
    } catch (const CLI::Error&) {  // the last word is an option whose value is missing
        refused = "选项 " + args.back() + " 缺少参数值";
    }

    // The words CLI11 left, in order: they come before any refusal.
    std::optional<Command> command;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (const std::string& marked : app.remaining()) {
        const std::string word = unmarked(marked);
        if (!optionsEnded && word == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && word.size() >= 2 && word[0] == '-') {
            if (word == "--help" || word == "-h") {
                command = Help;
                break;
            }
            return fail("未知的选项：" + word.substr(0, word.find('=')));
        } else if (command || optionsEnded) {
            positional.push_back(word);
        } else if (command = commandNamed(word); !command) {
            return fail("未知的子命令：" + word);
        } else if (*command == Help) {
            break;
        }
    }
    if (command == Help) {
        o.command = Help;
        return o;
    }
    if (refused)
        return fail(*refused);
    if (!command)
        return fail(
            "缺少子命令（balance、send、send-mms、extract、lookup、contacts、contacts-"
            "import、contacts-export、replies、records、numbers、download-mms、optout、campaign、"
            "check 或 help）");
    o.command = *command;

    // Options given to a command they do not belong to; optout takes the service's with sync.
    const bool sync = o.command == OptOut && !positional.empty() && positional.front() == "sync";
    const unsigned mine = on({o.command}) | (sync ? kSync : 0);
    for (const OptionRow* row : given) {
        if (row->commands & mine)
            continue;
        if (o.command == Lookup)
            return FinishLookupOptions(std::move(o), given.size(), positional, error);
        return fail(std::string("选项 ") + row->name + " 不能用于 " + commandName(o.command) +
                    (o.command == OptOut && !positional.empty() ? " " + positional.front() : ""));
    }
    if (o.command == Check)
        return FinishCheckOptions(std::move(o), positional, error);
    if (o.command == Lookup)
        return FinishLookupOptions(std::move(o), 0, positional, error);
    if (o.command == OptOut)
        return FinishOptOutOptions(std::move(o), positional, error);
    if (o.command != Extract)
        if (std::optional<std::string> recordError = RecordOptionsError(o))
            return fail(*recordError);

    if (o.command == Extract) {
        if (positional.size() != 1)
            return fail("extract 需要且只需要一个文件名");
        o.extractFile = positional.front();
        return o;
    }
    if (o.command == Campaign) {
        const bool textGiven = o.text || o.textFile;
        return FinishCampaignOptions(std::move(o), positional, textGiven, error);
    }
    if (o.command == ContactsImport || o.command == ContactsExport) {
        if (positional.size() != 1)
            return fail(commandName(o.command) + " 需要且只需要一个文件名");
        if (o.command == ContactsImport && !o.group)
            return fail("contacts-import 需要 --group（导入到哪个分组，如 \"[客户]/[北京]\"）");
        o.contactsFile = positional.front();
        return o;
    }
    if (!positional.empty())
        return fail("多余的参数：" + positional.front());
    if (o.command == Contacts)
        return o;
    // A dry run shows the plan without the service: no account is needed.
    if (!o.user && !o.dryRun)
        return fail("缺少 --user（用户名）");
    if (o.command == Send) {
        if (o.text && o.textFile)
            return fail("--text 与 --text-file 只能选一个");
        if (!o.text && !o.textFile)
            return fail("缺少短信内容：请用 --text 或 --text-file 给出");
    }
    if (o.command == SendMms) {
        if (!o.mmsFile)
            return fail("缺少彩信文件：请用 --file 给出");
        if (!o.title)
            return fail("缺少彩信标题：请用 --title 给出");
    }
    const bool intervalGiven = std::any_of(given.begin(), given.end(), [](const OptionRow* row) {
        return std::string(row->name) == "--interval";
    });
    if ((o.command == Send || o.command == SendMms) && intervalGiven && !o.verify)
        return fail("--interval 需要与 --verify 一起使用");
    return o;
}

std::string UsageHint() {
    return "运行 smsclient-cli --help 查看用法。(Run smsclient-cli --help for usage.)";
}

std::string CliHelpText() {
    return R"(smsclient-cli —— 短信群发命令行客户端 V 6.8 (command-line SMS sender)

用法 (usage):
  smsclient-cli balance --user 用户名 [--password 密码] [公共选项]
  smsclient-cli send --user 用户名 [--password 密码] (--number 号码 ... | --numbers-file 文件 ...)
                     (--text 内容 | --text-file 文件) [--verify 验证号码 [--interval K]]
                     [--no-split] [--include-optout] [--kind notice|marketing] [--dry-run]
                     [公共选项]
  smsclient-cli send-mms --user 用户名 [--password 密码] (--number 号码 ... | --numbers-file 文件 ...)
                     --file 彩信文件 --title 标题 [--verify 验证号码 [--interval K]]
                     [--include-optout] [--dry-run] [公共选项]
  smsclient-cli extract 文件
  smsclient-cli lookup (手机号码 | --area-code 区号) [--data-dir 目录]
  smsclient-cli contacts [--data-dir 目录] [--group 分组路径]
  smsclient-cli contacts-import 文件 --group 分组路径 [--data-dir 目录]
  smsclient-cli contacts-export 文件 [--group 分组路径] [--data-dir 目录]
  smsclient-cli replies --user 用户名 --from YYYY-MM-DD --to YYYY-MM-DD [公共选项]
  smsclient-cli records --user 用户名 [公共选项]
  smsclient-cli numbers --user 用户名 --id ID [公共选项]
  smsclient-cli download-mms --user 用户名 --id ID --output 文件 [--download-url 地址]
                     [公共选项]
  smsclient-cli optout (list | add 号码... | remove 号码... | import 文件 | export 文件) [--data-dir 目录]
  smsclient-cli optout sync --user 用户名 --from YYYY-MM-DD --to YYYY-MM-DD [公共选项]
  smsclient-cli campaign start 名称 --user 用户名 (--number 号码 ... | --numbers-file 文件 ...)
                     (--text 内容 | --text-file 文件 | --file 彩信文件 --title 标题)
                     [--batch K] [--include-optout]
                     [--at "YYYY-MM-DD HH:MM"] [--window HH:MM-HH:MM] [公共选项]
  smsclient-cli campaign start 名称 --user 用户名 --template 模板 (--table 表格文件 | --group 分组路径)
                     [--number-column 列名] [--keep-empty] [--batch K] [--include-optout]
                     [--kind notice|marketing] [--at "YYYY-MM-DD HH:MM"] [--window HH:MM-HH:MM]
                     [--dry-run] [公共选项]
  smsclient-cli campaign resume 名称 [--resend-unknown | --skip-unknown] [--include-optout]
                     [--no-wait] [公共选项]
  smsclient-cli campaign status 名称 [--data-dir 目录]
  smsclient-cli campaign list [--data-dir 目录]
  smsclient-cli campaign (pause | cancel) 名称 [--data-dir 目录]
  smsclient-cli campaign run-due [--user 用户名] [公共选项]
  smsclient-cli check (--text 内容 | --text-file 文件) [--kind notice|marketing]
                     [--at "YYYY-MM-DD HH:MM"] [--data-dir 目录]
  smsclient-cli help | --help | -h
  smsclient-cli --version        打印版本号 (print the version): 6.8
  选项可写作 "--name 值" 或 "--name=值"；"--" 之后的参数都不再当作选项。
  Options take "--name value" or "--name=value"; arguments after "--" are not options.

子命令 (subcommands):
  balance   登录服务器并在标准输出打印剩余短信条数（仅数字）。
            Log in and print the remaining message quota (a bare number) on stdout.
  send      向所有号码发送一条短信。成功时在标准输出打印
            "恭喜" / "短信内容已成功发送到服务器" 和 "剩余短信N条"。
            Send one text message to every number.
  send-mms  向所有号码发送一条彩信（一个不超过51200字节的彩信文件和标题），一次请求。
            成功时打印 "恭喜" / "彩信内容已成功发送到服务器" 和 "剩余短信N条"。
            Send one MMS file (at most 51200 bytes) with a title to every number.
  extract   打印文本文件中找到的全部手机号码（11位，去重，按出现顺序），每行一个；
            "+86 138 1234 5678"、"138-1234-5678"、全角数字等写法都认，更长数字串（订单号、
            身份证号）中的数字不算。标准错误上打印 "读取N行：添加A个，重复D个，无法识别U个"。
            Print the mobile numbers found in a text file, one per line, however written
            (+86, blanks, dashes); a summary line goes to standard error.
  lookup    查询手机号码（按前七位号段）或长途区号的归属地，用程序目录（或 --data-dir）中的
            sjhmd.dat。号码：打印 省份、城市、卡型、区号（以制表符分隔）；--area-code：打印
            第一条记录的 省份、城市、区号。归属地不明的号段只打印卡型（省份、城市、区号
            为空）。查不到时提示写到标准错误，退出码 1。
            Where a mobile number (by its 7-digit segment) or an area code belongs.
  contacts  按通讯录顺序打印整个通讯录或一个分组（--group "[客户]/[北京]"）的手机号码，
            每行一个，可作为 send --numbers-file 的输入；分组不存在时退出码为 1。
            Print the mobile numbers of the address book or of one group, one per line.
  contacts-import  把 vCard（.vcf，2.1/3.0/4.0）、CSV 或电子表格（.xls、.xlsx、.ods，第一行
            为列名：姓名、手机号码、公司、职务、地址、邮箱……或 Name、Mobile、Company……）中的
            联系人导入到已有的分组（--group "[客户]/[北京]"）；该分组中已有号码的和
            没有有效手机号码的联系人跳过。打印 "导入N个联系人，跳过M个（号码重复或无效）"。
            Import contacts from a vCard, CSV or spreadsheet file into an existing group.
  contacts-export  把整个通讯录或一个分组（--group）导出为 vCard 3.0（.vcf 等）或 CSV（文件名
            以 .csv 结尾时；UTF-8，带BOM）。Export the book or a group as vCard 3.0 or CSV.
  replies   列出时间段内收到的回复短信（同"收到短信"页），每行：时间<TAB>手机号<TAB>内容。
            日期按本机的短日期格式发送。List the replies received from --from to --to.
  records   列出最近的发送记录（同"发送记录"页，最多500条，最新的在前），每行七项以TAB
            分隔：ID、号码个数、短信内容/彩信标题、当前状态、信息类别、彩信文件名、提交时间。
            List the latest send records, seven tab-separated fields, id first.
  numbers   列出某次发送（--id 为发送记录的ID）的全部号码，每行一个。
            List the numbers of one submission.
  download-mms  下载某次彩信发送（--id）的彩信文件，保存为 --output 指定的文件；
            信息类别不是"彩信"的记录不能下载（退出码 1）。--output - 写到标准输出；
            符号链接写到它所指的文件，FIFO 和设备直接写入。
            Download the MMS file of one submission into the --output file ("-" is
            standard output; a link's file is written through it).
            下载地址为 --download-url（须以 http:// 或 https:// 开头，末尾自动补 "/"），
            省略时取数据目录中 Company_Info.ini 的 [Service_Url] Download_Url。
            The download address is --download-url, else Download_Url of
            Company_Info.ini.
            以上各命令的内容中若有换行或TAB，输出时换成空格。Line breaks and tabs inside
            a field are printed as spaces.
  optout    退订名单（数据目录中的 OptOut.txt，每行：号码<TAB>加入日期<TAB>来源）。
            The opt-out list, OptOut.txt of the data folder.
            list             打印全部退订号码，每行：号码<TAB>加入日期<TAB>来源（回复/手工/导入）。
            add 号码...      加入号码（1到12位数字），来源"手工"；打印"新增N个退订号码"。
            remove 号码...   移出号码；打印"移除N个退订号码"。
            import 文件      加入文本文件中找到的全部手机号码（同"从文本文件提取"），来源"导入"；
                             文件中没有手机号码时退出码 1。
            export 文件      把退订名单写到该文件（GBK，CR LF，每行一个号码及其日期和来源）。
            sync             查询时间段内收到的回复短信（同 replies），把回复内容是退订关键词
                             （Company_Info.ini 的 [OptOut] Keywords，默认 T,TD,N,退订,退订短信,
                             取消,取消订阅,STOP,0000）的号码加入名单，来源"回复"；打印新增个数。
            退订名单无法读取或保存时退出码 2。send 和 send-mms 不会发给名单中的号码（见下）。
            list, add, remove, import, export or sync (add the senders of unsubscribing
            replies); send and send-mms leave the listed numbers out.
  campaign  超过三万个号码的群发活动：号码一次读入（各文件之间的重复号码只发一次），分批发送
            （每批最多 --batch K 个，默认30000），每个请求的状态记在数据目录的
            campaigns/名称.sqlite 中。中断（强制结束、断电、网络故障、余额不足）后用
            resume 继续，已被服务器接受的请求不会再发。未得到应答的请求先查“发送记录”：
            记录显示已发送则不再发送，显示未发送则重新发送；无法确定时 resume 停下并说明，
            再用 --resend-unknown（重新发送）或 --skip-unknown（不再发送）决定。核对只比内容
            （短信内容、号码个数、发送号码列表），不比两边的时钟。发出不到读超时的三倍
            （短信、彩信为45秒）的请求可能仍在途中，不会被判为未发送：resume 在标准错误中
            倒数等到那时再查发送记录；加 --no-wait 则不等，停下并以退出码 3 结束。
            活动记录打开时整体检查，损坏的不会被当作已完成；只读的活动记录仍可 status、
            list，resume 则说明无法写入。同一活动记录的不同名称（链接）共用一把锁。
            定时发送：start 加 --at "YYYY-MM-DD HH:MM" 时到时才发，加 --window HH:MM-HH:MM
            时只在每天这段时间内发送（营销短信给了 --at 而没有 --window 时用 [Compliance]
            的 Marketing_Hours）；时段结束时停下，下一次时段开始时继续。pause 暂停、
            resume 继续、cancel 取消（不再发送）；status、list 显示时间、时段和在等什么。
            run-due 发送所有到时且在时段内的定时活动后退出，可每分钟运行、多处同时运行
            （每个活动只由一个进程发送，被占用的跳过）。run-due 不用 --password 时，密码
            取自 Company_Info.ini [Campaign] Password_File= 指定的文件（第一行，权限必须是
            600）或客户端记住的密码。安装包带有每分钟运行 run-due 的 systemd 用户定时器，
            默认关闭；开启：systemctl --user enable --now smsclient-campaigns.timer。
            Scheduled campaigns: --at (not before), --window (daily hours); run-due sends
            what is due (the smsclient-campaigns.timer user timer runs it every minute).
            退订名单中的号码开始时就不发送；此后每批发出前再按当时的名单去掉新退订的号码
            （标准错误中打印"已跳过N个退订号码"；一批全在名单中时这批不发送，记为 skipped；
            名单无法读取时停下，不再发送）。start 加 --include-optout 则整个活动都发给名单中
            的号码（记在活动记录中）；resume 加 --include-optout 只对这一次继续有效。
            status 打印各状态的请求数和号码数（状态<TAB>请求数<TAB>号码数）、开始后因退订
            名单未发送的号码数（optout）、已扣除条数和服务器应答；list 列出全部活动（名称、
            类型、号码数、完成的请求/请求总数、状态）。
            同一活动不能由两个进程同时运行。名称是普通文件名（不含 /、..、控制字符）。
            个性短信（--template 与 --table）：模板中的 {列名} 换成表格（.xlsx、.xls、.ods、
            .csv 或文本文件，第一行是列名）中每行该列的内容，每行发给该行的号码。号码列按列名
            （手机号码、手机、号码、电话、mobile）找到，或用 --number-column 指定。号码无法识别、
            重复、已退订的行不发送；字段为空的行不发送，加 --keep-empty 则该字段留空。单元格中
            的换行去掉。内容相同的行合为一个请求；每行的问题（第N行<TAB>问题<TAB>内容<TAB>是否
            发送）和合计打印出来，每条不同内容都做发送前检查。--dry-run 只检查，不发送。
            --group 分组路径 代替 --table 时，表格是通讯录该分组的联系人（列名：姓名、手机号码、
            称呼、邮箱、地址、公司名称、公司电话、传真、邮编）。
            Variable SMS: one text per row of the table, rows with the same text in one request.
            Campaigns past 30000 numbers: batches, a journal, resume after any interruption
            without sending an accepted request twice; before each batch, numbers on the
            opt-out list as it is then are left out; status and list. Unknown requests are
            matched in the send records by content, and none is sent again within three read
            timeouts (45 s) of leaving (resume counts down; --no-wait stops with exit 3).
  check     发送前检查：签名、通知/营销、退订语、营销时段、敏感词（数据目录中的
            Compliance/Words.txt）、平台拒收的符号、短链接（Compliance/ShortLinks.txt），
            设置见 Company_Info.ini 的 [Compliance]。每条问题一行：级别<TAB>规则<TAB>说明，
            级别为 error（错误，不能发送）或 warning（提醒）。没有错误时退出码 0，有错误时 1。
            send、send-mms、campaign start 发送前做同样的检查，有错误时不发送（退出码 1）；
            --dry-run 时问题写到标准错误。--at 为发送时间（默认现在），用于营销时段。
            The check before sending; one finding per line: level, rule, message.
            Exit 0 when nothing blocks, 1 when something does. send, send-mms and
            campaign start run it too.
  help      显示本说明。Show this text.

公共选项 (common options: balance, send, send-mms, replies, records, numbers, download-mms):
  --user 用户名          帐户名。Account name.
  --password 密码        帐户密码；省略时取环境变量 SMSCLIENT_PASSWORD。密码从不显示。
                         Password; defaults to $SMSCLIENT_PASSWORD. It is never printed.
                         命令行参数可能被本机其他用户看到，建议使用环境变量。
                         Prefer the variable: arguments are visible to other local users.
  --line 0|1             线路：0 电信线路，1 网通线路。默认取数据目录中 Company_Info.ini
                         的 [Create_Line] line_index（-1 视为 0），没有则为 0。
                         Network line; default from Company_Info.ini, else 0.
  --base-url 地址        使用此服务地址代替所选线路的地址（须以 http:// 或 https:// 开头，
                         末尾自动补 "/"）。Service base address overriding the line's.
                         https 地址须通过证书和主机名校验（系统信任的证书机构，以及
                         Company_Info.ini 的 [Service_Url] Ca_File 所指的 PEM 文件）。
                         An https address must pass the certificate and host name
                         check (system authorities, plus the PEM file Ca_File).
  --data-dir 目录        存放 Company_Info.ini 的目录，默认为程序所在目录。
                         Folder of Company_Info.ini (default: the program's folder).
                         安装版默认为 ~/.local/share/smsclient/，只读文件取自安装目录。
                         An installed copy uses ~/.local/share/smsclient/ instead.

send 的选项 (send options):
  --number 号码          一个接收号码（1到12位数字，首尾空白会去掉；也可写作
                         "+86 138 1234 5678" 等形式的手机号码），可重复。
                         One recipient (1 to 12 digits, or a mobile number written with
                         +86, blanks or dashes); repeatable.
  --numbers-file 文件    从文本文件提取手机号码（同客户端"从文本文件提取"：在整个文件中查找
                         手机号码，各种写法都认，同一文件内重复的号码只取一次），可重复；
                         每个文件在标准错误上打印一行 "读取N行：添加A个，重复D个，无法识别U个"。
                         号码按选项出现的顺序排列。同客户端导入：一个文件的号码数（加上
                         --verify 时再加 号码数÷K 取整）超过 30000 时报
                         "本系统每次最多只能发送三万个号码，您导入的号码过多"，退出码 2。
                         Numbers found anywhere in a text file; repeatable. A file of
                         over 30000 numbers (with --verify: numbers + numbers div K) is
                         refused like the window's import, exit code 2.
  --text 内容            短信内容（终端文本为UTF-8，发送时转为GBK）。Message text.
  --text-file 文件       从文件读取短信内容；文件可为GBK或UTF-8编码：有UTF-8标记，或是含
                         汉字等三、四字节字符的有效UTF-8，按UTF-8读取；否则（纯ASCII，或
                         只有两字节序列，短GBK文本常常如此）按GBK读取。
                         Message text from a file: UTF-8 with a BOM or with a 3- or 4-byte
                         sequence (Chinese), else GBK.
  --verify 验证号码      插入验证号码：同客户端，每次添加各自在第1、K+1、2K+1……个号码前
                         各插入一个验证号码，发送时以 "*" 标记。每个 --numbers-file 是一次
                         导入，每组相邻的 --number（中间没有 --numbers-file）是一次手工输入。
                         Insert a verification number before the 1st, (K+1)-th ... number
                         of each add action: each --numbers-file, and each run of
                         consecutive --number options.
  --interval K           验证号码间隔，正整数（客户端可选 100、200 … 1000、2000 … 10000），
                         默认 100。Verification interval, default 100.
  --no-split             不分条发送：内容超过一条短信（70个字）时报错退出（退出码 1），不发送。
                         Refuse a message longer than one SMS instead of splitting it.
  --dry-run              只显示发送计划，不发送，也不需要帐户和密码（send、send-mms）。每行
                         "项目<TAB>数值"：numbers（发送的号码数，含验证号码）、mobile、unicom、
                         telecom、broadnet（广电）、other（按号段数据库的卡型，其次按号段规则）、
                         optout（退订）、duplicates（重复号码）、pieces（每号条数；彩信为每条
                         彩信扣除的短信条数）、units（预计扣除条数）。Print the send plan and
                         send nothing.
  --kind notice|marketing  短信类型：通知或营销（默认取 [Compliance] 的 Default_Kind，
                         没有时为通知）。营销短信须以退订语结尾（Auto_Unsubscribe=1 时自动
                         加上）。Kind of message for the check (send, send-mms, campaign).
  --include-optout       也发给退订名单中的号码（send 和 send-mms）。不加此选项时，退订名单中的
                         号码不发送（验证号码除外），标准错误中打印"已跳过N个退订号码"；全部号码
                         都在名单中时报"发送对象均在退订名单中，未发送"，退订名单无法读取时报
                         "退订名单无法读取，请检查OptOut.txt"，均不发送，退出码 1。
                         Send to numbers on the opt-out list too. Without it they are left
                         out (the verification number never is).

send-mms 的选项 (send-mms options; --number、--numbers-file、--verify、--interval 同 send):
  --file 文件            彩信文件（如 .emm），最大 51200 字节；路径中不能含双引号或换行。
                         The MMS file, at most 51200 bytes; no '"' or line break in its path.
  --title 标题           彩信标题，最多30个字（换行不计字数，也不发送）；超过30字时报错
                         退出（退出码 1），不会截断。
                         The title, at most 30 characters; a longer one is refused, not cut.
  每条彩信按每个号码扣除若干条短信（见客户端彩信页的提示）。
  One MMS costs several SMS units per number (the service's mmstosms).

长短信 (long messages):
  内容超过70个字时不再询问，自动分条发送：每条前加 "（i/N）"，每条都发给全部号码，
  每条按号码数扣费。换行不计字数，也不发送。
  A message over 70 characters is split into numbered pieces WITHOUT asking; each piece
  goes to every number and is charged per number. Use --no-split to refuse instead.
  某一条被拒绝时，其后各条不再发送，已被接受的各条不会撤回（标准错误中会注明）。
  When a piece is refused the rest are not sent; pieces already accepted stay sent.
  一次最多发送 30000 个号码（含验证号码）。At most 30000 recipients per send.

退出码 (exit codes):
  0  成功：balance 得到余额；send、send-mms 服务器应答 7（发送成功）；extract 完成。
     replies、records、numbers 列出完成；download-mms 文件已保存；optout 完成。
     （records 遇到不足七项的记录时，列出其前各条后报网络故障，同"发送记录"页，退出码 2。）
     （应答超出服务器所能列出的数目（号码 30000 个、回复 10000 条、发送记录 500 条）时，
     只列出前面这些并在标准错误中说明，退出码 2。）
  1  被拒绝：登录失败、帐户停用、发送前的检查未通过、服务器拒绝发送等；
     提示信息写到标准错误。Refused: the message goes to stderr.
  2  用法错误（未知选项、号码格式错误、缺少密码、文件无法读取、一个号码文件超过三万个号码、
     没有服务地址等）或网络故障（"连接服务器超时，请检查网络！"）。
     Usage error (also a numbers file over the import cap) or network failure.
  campaign：0 全部完成（status、list 已显示）；1 服务器拒绝或无法从发送记录确定，活动暂停；
     2 用法错误、网络故障（活动暂停）、活动记录损坏或无法写入；3 （resume --no-wait）有请求
     发出不久、可能仍在途中，未重新发送，稍后再 resume。用 campaign resume 继续。
     campaign: 0 done; 1 refused or undecided (paused); 2 usage, network or journal failure
     (damaged or read-only); 3 (--no-wait) a request may still be on its way, nothing resent.
     定时活动在等时间、时段或已暂停、取消时，start、resume、run-due 退出码 0。

环境变量 (environment):
  SMSCLIENT_PASSWORD     未给出 --password 时使用的密码。Password when --password is absent.

示例 (examples):
  export SMSCLIENT_PASSWORD=demo
  smsclient-cli balance --user demo
  smsclient-cli send --user demo --number 13912345678 --number 13800000000 --text "您好，会议改到下午三点。"
  smsclient-cli send --user demo --numbers-file 客户.txt --text-file 通知.txt --verify 13900000000 --interval 1000
  smsclient-cli send --user demo --base-url http://127.0.0.1:18068/ --number 13912345678 --text 测试
  smsclient-cli send-mms --user demo --numbers-file 客户.txt --file 贺卡.emm --title 新年快乐
  smsclient-cli extract 客户.txt > 号码.txt
  smsclient-cli send --dry-run --numbers-file 客户.txt --text-file 通知.txt
  smsclient-cli campaign start 春季 --user demo --numbers-file 全部客户.txt --text-file 通知.txt
  smsclient-cli campaign resume 春季
  smsclient-cli campaign start 周末 --user demo --numbers-file 全部客户.txt --text-file 通知.txt --at "2026-12-12 09:00" --window 09:00-20:00
  systemctl --user enable --now smsclient-campaigns.timer
  smsclient-cli optout sync --user demo --from 2024-01-01 --to 2024-01-31
  smsclient-cli optout add 13912345678
)";
}

}  // namespace smsc::cli
