// The windows render at their sizes in the shipped skin. With SMSC_SCREENSHOT_DIR set, the
// pictures are also saved there (docs/login-window.png, docs/main-window.png).
#include <QImage>
#include <QPixmap>

#include <cstdlib>

#include "tests/app/AppFixture.h"

using namespace smsc;
using namespace smsc::test;

namespace {

class Screens : public AppFixture {
protected:
    void save(const QPixmap& picture, const char* name) {
        const char* folder = std::getenv("SMSC_SCREENSHOT_DIR");
        if (!folder || !*folder)
            return;
        EXPECT_TRUE(picture.save(QString::fromLocal8Bit(folder) + QLatin1Char('/') +
                                 QString::fromLatin1(name)));
    }
    // Not one flat colour: something was painted.
    static bool painted(const QPixmap& picture) {
        const QImage image = picture.toImage();
        const QRgb first = image.pixel(0, 0);
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                if (image.pixel(x, y) != first)
                    return true;
        return false;
    }
};

TEST_F(Screens, LoginAndMainWindowRender) {
    start();
    const QPixmap loginPicture = login().grab();
    EXPECT_EQ(loginPicture.size(), login().size());
    EXPECT_TRUE(painted(loginPicture));
    save(loginPicture, "login-window.png");

    login().close();  // offline, home page
    const QPixmap mainPicture = main->grab();
    EXPECT_EQ(mainPicture.size(), QSize(717, 500));
    EXPECT_TRUE(painted(mainPicture));
    save(mainPicture, "main-window.png");
}

}  // namespace
