// The "个性短信" window is reached from the SMS page's button, as the main window wires it.
#include <QPushButton>

#include "sending/SmsPage.h"
#include "tests/app/AppFixture.h"
#include "variable/VariableSmsDialog.h"

using namespace smsc;
using namespace smsc::test;

namespace {

TEST_F(AppFixture, TheSmsPageButtonOpensTheVariableSmsWindow) {
    start();
    main->showPage(TForm2::Page::Sms);
    QPushButton* button = main->smsPage()->VariableButton;
    ASSERT_TRUE(button->isVisibleTo(main.get()));
    EXPECT_EQ(button->text(), QStringLiteral("个性短信"));
    ASSERT_NE(main->variableSmsDialog(), nullptr);
    button->click();
    EXPECT_TRUE(main->variableSmsDialog()->isVisible());
    EXPECT_EQ(main->variableSmsDialog()->windowTitle(), QStringLiteral("个性短信"));
    main->variableSmsDialog()->close();
}

}  // namespace
