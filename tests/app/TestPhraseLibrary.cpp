// The phrase library inside the main window: the "常用短语" page shown from the navigation
// column, and "插入短语" on the SMS page through the insertion dialog made at start-up.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "phrases/PhraseList.h"
#include "phrases/PhrasesPage.h"
#include "phrases/TForm7.h"
#include "sending/SmsPage.h"
#include "tests/app/AppFixture.h"

using namespace smsc;
using namespace smsc::test;

namespace {

using PhraseLibrary = AppFixture;

TEST_F(PhraseLibrary, PageAndInsertionWithTheShippedCategories) {
    start();
    main->Button6Click();
    EXPECT_EQ(main->currentPage(), TForm2::Page::Phrases);
    EXPECT_EQ(main->phrasesPage()->TreeView2->topLevelItemCount(), 5);
    EXPECT_GE(main->phrasesPage()->ListView5->count(), 8);

    TForm7* form7 = main->insertPhraseDialog();
    ASSERT_NE(form7, nullptr);
    EXPECT_EQ(form7->ComboBox1->currentText(), QStringLiteral("经典谚语"));
    ASSERT_GE(form7->ListView1->count(), 8);
    const QString first = form7->ListView1->phraseAt(0);

    main->smsPage()->Memo1->setPlainText(QStringLiteral("各位好"));
    ui.onNextDialog([&](QDialog* dialog) {
        EXPECT_EQ(dialog, form7);
        form7->ListView1->selectOnly(0);
        form7->Button1->click();
    });
    main->smsPage()->PhraseButton->click();
    EXPECT_EQ(main->smsPage()->Memo1->toPlainText(), QStringLiteral("各位好\n") + first);
    EXPECT_FALSE(form7->isVisible());
}

}  // namespace
