// Start-up styles every widget once: the skin of the settings is in place before the windows
// are built, pages are made where they stay, and the login window's show, finding the skin in
// place, restyles nothing.
#include <QApplication>
#include <QEvent>
#include <QSet>

#include "app/ClientStart.h"
#include "app/Skins.h"
#include "app/TForm2.h"
#include "optout/OptOutDialog.h"
#include "tests/app/AppFixture.h"

namespace smsc::test {
namespace {

// Widgets polished, and those a style change reached once they were polished.
class RestyleCounter final : public QObject {
public:
    QSet<QObject*> polished;
    QSet<QObject*> restyled;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Polish)
            polished.insert(watched);
        else if (event->type() == QEvent::StyleChange && polished.contains(watched))
            restyled.insert(watched);
        return false;
    }
};

class StartUp : public AppFixture {};

TEST_F(StartUp, EveryWidgetIsStyledOnceUnderTheSkinOfTheSettings) {
    for (const int skin : {2, 18}) {
        SCOPED_TRACE(skin);
        setCompany("Create_Skin", "Skin_index", std::to_string(skin));
        RestyleCounter counter;
        qApp->installEventFilter(&counter);
        main = StartClient(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        qApp->removeEventFilter(&counter);
        login().Timer1->stop();

        EXPECT_EQ(CurrentSkin(), skin);
        EXPECT_EQ(qApp->styleSheet(), SkinStyleSheet(skin));
        EXPECT_TRUE(main->isVisible() && login().isVisible());
        login().Edit2->setText(QStringLiteral("ab"));
        EXPECT_EQ(login().Edit2->displayText(), QStringLiteral("**"));
        // A skin applied over built windows restyles them all; what remains are parts of a
        // few controls given a sheet of their own (scroll bars, drop-down lists).
        EXPECT_GT(counter.polished.size(), 300);
        EXPECT_LT(counter.restyled.size() * 10, counter.polished.size());
        EXPECT_FALSE(counter.restyled.contains(main.get()));
        EXPECT_FALSE(counter.restyled.contains(&login()));
        for (int page = 0; page < TForm2::kPageCount; ++page)
            EXPECT_FALSE(
                counter.restyled.contains(main->pageWidget(static_cast<TForm2::Page>(page))))
                << page;
        main.reset();
    }
}

// A window made at start-up but not shown is styled when it is first shown, all of it; the
// passes of the event loop before leave it as it was made.
TEST_F(StartUp, AWindowNotShownIsStyledWhenItFirstShows) {
    setCompany("Create_Skin", "Skin_index", "2");
    main = StartClient(*qobject_cast<QApplication*>(QCoreApplication::instance()));
    login().Timer1->stop();
    QApplication::processEvents();
    QWidget* dialog = main->optOutDialog();
    ASSERT_NE(dialog, nullptr);
    const QList<QWidget*> parts = dialog->findChildren<QWidget*>();
    ASSERT_GT(parts.size(), 5);
    EXPECT_FALSE(dialog->testAttribute(Qt::WA_WState_Polished));

    dialog->show();
    QApplication::processEvents();
    EXPECT_TRUE(dialog->testAttribute(Qt::WA_WState_Polished));
    for (QWidget* part : parts)
        EXPECT_TRUE(part->testAttribute(Qt::WA_WState_Polished))
            << part->objectName().toStdString();
    dialog->hide();
    main.reset();
}

}  // namespace
}  // namespace smsc::test
