// End to end against the real demo service program: a reply seeded with "admin
// add-received" is listed by the "收到短信" page and by "smsclient-cli replies".
#include <QLabel>
#include <QTreeWidget>

#include "records/ReceivedPage.h"
#include "tests/records/RecordsEndToEnd.h"

using namespace smsc;
using namespace smsc::test;

namespace {

using EndToEndReplies = RecordsEndToEnd;

TEST_F(EndToEndReplies, ASeededReplyIsListedByThePageAndTheCommandLine) {
    ASSERT_EQ(service->admin({"add-received", "demo", "13912345678", "请回电话*^"}), 0);

    ReceivedPage* page = main->receivedPage();
    page->QueryButton->click();
    page->Timer2Timer();
    EXPECT_TRUE(ui.messages.empty()) << ui.messageTexts().join(QLatin1Char('/')).toStdString();
    bool listed = false;
    for (int i = 0; i < page->ListView1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = page->ListView1->topLevelItem(i);
        listed = listed || (row->text(1) == QStringLiteral("13912345678") &&
                            row->text(2) == QStringLiteral("demo") &&
                            row->text(3) == QStringLiteral("请回电话*^"));
    }
    EXPECT_TRUE(listed);
    EXPECT_EQ(page->CountLabel->text(),
              QStringLiteral("共有%1条回复记录").arg(page->ListView1->topLevelItemCount()));

    const CliResult run = runCli("replies", {"--from", today(), "--to", today()});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("\t13912345678\t请回电话*^\n"), std::string::npos) << run.out;
}

}  // namespace
