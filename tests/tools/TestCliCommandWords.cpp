// smsclient-cli's command line at the edges of the word reader: empty "=" values, flags given
// a value, odd option-like words, "--", and which fault is reported when there are several.
#include <gtest/gtest.h>

#include "tools/cli/CliOptions.h"

using namespace smsc::cli;

TEST(CliCommandWords, TheFirstFaultInTheOrderTypedIsReported) {
    const struct {
        std::vector<std::string> args;
        std::string error;  // "" when accepted
    } cases[] = {
        {{"balance", "--user=", "--password", "p"}, ""},  // an empty value, not the next word
        {{"send", "--no-split=true"}, "选项 --no-split 不带参数值"},
        {{"send", "--dry-run="}, "选项 --dry-run 不带参数值"},
        {{"send", "--dry-run={}"}, "选项 --dry-run 不带参数值"},
        {{"balance", "--user", "u", "-hx"}, "未知的选项：-hx"},
        {{"balance", "--user", "u", "-5"}, "未知的选项：-5"},
        {{"balance", "---x=1"}, "未知的选项：---x"},
        {{"balance", "--colour", "red", "--line", "7"}, "未知的选项：--colour"},
        {{"--line", "7", "transfer"}, "--line 只能是 0（电信线路）或 1（网通线路）"},
        {{"transfer", "--line", "7"}, "未知的子命令：transfer"},
        {{"balance", "--user", "u", "--user"}, "选项 --user 缺少参数值"},
        {{"balance", "--user", "u", "--user", "v"}, "选项 --user 只能给出一次"},
        {{"--", "send"}, "缺少子命令"},
        {{"optout", "add", "139", "--user", "u"}, "选项 --user 不能用于 optout add"},
        {{"optout", "sync", "--id", "1"}, "选项 --id 不能用于 optout sync"},
        {{"lookup", "138", "--user", "u"}, "lookup 只接受 --area-code 和 --data-dir 选项"},
        {{"balance", "--user", "u", "--batch", "9"}, "选项 --batch 不能用于 balance"},
        {{"send", "--user", "u", "--text", "x", "--from", "2024-01-05"},
         "选项 --from、--to 只能用于 replies"},
    };
    for (const auto& c : cases) {
        std::string line, error;
        for (const std::string& arg : c.args)
            line += arg + " ";
        const std::optional<CliOptions> options = ParseCliOptions(c.args, &error);
        EXPECT_EQ(options.has_value(), c.error.empty()) << line << error;
        if (!c.error.empty()) {
            EXPECT_EQ(error.substr(0, c.error.size()), c.error) << line;
        }
    }
}

TEST(CliCommandWords, HelpAndWordsAfterTheEnd) {
    std::string error;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"help", "--line", "7"}, {"-h", "--bogus"}, {"send", "--help", "--text"}})
        EXPECT_EQ(ParseCliOptions(args, &error)->command, Command::Help) << args[0];
    EXPECT_FALSE(ParseCliOptions({"send", "--help=1"}, &error));

    auto o = ParseCliOptions({"extract", "--", "--user=u"}, &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->extractFile, "--user=u");
    o = ParseCliOptions({"balance", "--user=", "--password", "a=[b,c]", "--line=1"}, &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->user, "");
    EXPECT_EQ(o->password, "a=[b,c]");
    EXPECT_EQ(o->line, 1);
    o = ParseCliOptions({"send", "--dry-run", "--text=[a,b]", "--number", "1"}, &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->text, "[a,b]");
}
