// Every skin keeps its texts readable (4.5:1 against what they stand on), and tick boxes,
// radio buttons and selected rows stand out (3:1) as they are drawn.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QImage>
#include <QRadioButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "app/Skins.h"
#include "platform/ListViews.h"

using namespace smsc;

namespace {

double luminance(const QColor& c) {
    const auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The strongest contrast any pixel of the area has with the background colour.
double strongest(const QImage& image, const QRect& area, const QColor& background) {
    double best = 1.0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            best = std::max(best, contrast(image.pixelColor(x, y), background));
    return best;
}

int inkPixels(const QImage& image, const QRect& area, const QColor& background) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += contrast(image.pixelColor(x, y), background) >= 3.0 ? 1 : 0;
    return count;
}

}  // namespace

TEST(SkinContrast, EveryTextColourIsReadableOnWhatItStandsOn) {
    for (int skin = 0; skin < kSkinCount; ++skin) {
        const std::vector<SkinColourPair> pairs = SkinColourPairs(skin);
        ASSERT_GE(pairs.size(), 12u) << skin;
        for (const SkinColourPair& pair : pairs) {
            EXPECT_GE(contrast(pair.foreground, pair.background), pair.minimumContrast)
                << SkinName(skin).toStdString() << ": " << pair.what << " "
                << pair.foreground.name().toStdString() << " on "
                << pair.background.name().toStdString();
        }
    }
}

TEST(SkinContrast, TickBoxesRadioButtonsAndSelectedRowsStandOut) {
    QDialog window;
    auto* unticked = new QCheckBox(QStringLiteral("以后不再显示"), &window);
    auto* ticked = new QCheckBox(QStringLiteral("插入验证号码"), &window);
    ticked->setChecked(true);
    auto* radio = new QRadioButton(QStringLiteral("移动"), &window);
    auto* chosen = new QRadioButton(QStringLiteral("联通"), &window);
    chosen->setChecked(true);
    auto* list = new QTreeWidget(&window);
    list->setHeaderLabels({QStringLiteral("手机号")});
    list->setRootIsDecorated(false);
    ShowGridRows(list);
    list->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("13800000000")}));
    list->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("13900000000")}));
    list->topLevelItem(0)->setSelected(true);
    auto* layout = new QVBoxLayout(&window);
    for (QWidget* w : std::initializer_list<QWidget*>{unticked, ticked, radio, chosen, list})
        layout->addWidget(w);
    window.resize(240, 260);
    window.show();

    for (int skin = 0; skin < kSkinCount; ++skin) {
        SCOPED_TRACE(SkinName(skin).toStdString());
        ASSERT_TRUE(ApplySkin(skin));
        QApplication::processEvents();
        const QColor back = window.palette().color(QPalette::Window);
        const int side = window.style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, unticked);
        const auto indicator = [&](QWidget* box) {
            const QImage image = box->grab().toImage();
            return std::pair(image, QRect(0, 0, std::min(side + 2, image.width()), image.height()));
        };
        for (QWidget* box : std::initializer_list<QWidget*>{unticked, radio}) {
            const auto [image, area] = indicator(box);
            EXPECT_GE(strongest(image, area, back), 3.0) << box->metaObject()->className();
        }
        // The mark adds ink to the box.
        const auto [off, offArea] = indicator(unticked);
        const auto [on, onArea] = indicator(ticked);
        EXPECT_GT(inkPixels(on, onArea, back), inkPixels(off, offArea, back) + 4);
        const auto [dot, dotArea] = indicator(chosen);
        const auto [ring, ringArea] = indicator(radio);
        EXPECT_GT(inkPixels(dot, dotArea, back), inkPixels(ring, ringArea, back) + 4);

        // The selected row is filled, unlike the other, away from its text.
        const QImage rows = list->viewport()->grab().toImage();
        const int x = rows.width() - 6;
        const QRect first = list->visualItemRect(list->topLevelItem(0));
        const QRect second = list->visualItemRect(list->topLevelItem(1));
        const QColor selected = rows.pixelColor(x, first.center().y());
        const QColor plain = rows.pixelColor(x, second.center().y());
        EXPECT_GE(contrast(selected, plain), 3.0)
            << selected.name().toStdString() << " / " << plain.name().toStdString();
    }
}

// Under a skin the grid lines come from the skin's sheet; a list marked while no skin is
// applied keeps a sheet of its own. Both draw the same rows, grid lines and selection, pixel
// for pixel.
TEST(SkinContrast, GridRowsLookTheSameFromTheSkinsSheetAndFromTheListsOwn) {
    const auto makeList = [](QWidget* parent) {
        auto* list = new QTreeWidget(parent);
        list->setHeaderLabels({QStringLiteral("手机号"), QStringLiteral("姓名")});
        list->setRootIsDecorated(false);
        list->setFocusPolicy(Qt::NoFocus);  // no focus frame on either
        return list;
    };
    const auto fill = [](QTreeWidget* list) {
        list->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("13800000000"), QStringLiteral("甲")}));
        list->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("13900000000"), QStringLiteral("乙")}));
        list->topLevelItem(0)->setSelected(true);
    };
    QDialog window;
    for (int skin : {0, 1, 19}) {
        SCOPED_TRACE(SkinName(skin).toStdString());
        ASSERT_TRUE(ApplySkin(skin));
        // The list's own sheet, as a list marked while no skin is applied keeps it.
        auto* own = makeList(&window);
        own->setStyleSheet(GridRowsStyleRules());
        own->setProperty("gridRows", true);
        fill(own);
        auto* fromSkin = makeList(&window);
        ShowGridRows(fromSkin);
        EXPECT_TRUE(fromSkin->styleSheet().isEmpty());
        fill(fromSkin);
        for (QTreeWidget* list : {own, fromSkin})
            list->setGeometry(0, 0, 220, 90);
        window.resize(240, 100);
        window.show();
        QApplication::processEvents();
        const QImage a = own->viewport()->grab().toImage();
        const QImage b = fromSkin->viewport()->grab().toImage();
        EXPECT_EQ(a, b);
        // The grid line is there: the plain row's cell is framed in #d0d0d0.
        const QRect plain = fromSkin->visualItemRect(fromSkin->topLevelItem(1));
        EXPECT_EQ(b.pixelColor(plain.center().x(), plain.bottom()), QColor(0xd0, 0xd0, 0xd0));
        delete own;
        delete fromSkin;
    }
}
