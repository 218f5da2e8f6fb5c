#include "app/Skins.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include <algorithm>
#include <iterator>

#include "platform/IniFile.h"
#include "platform/ListViews.h"
#include "platform/QtText.h"

namespace smsc {
namespace {

struct Skin {
    const char* name;      // UTF-8
    const char* window;    // window background
    const char* panelTop;  // header and banner gradient
    const char* panelBottom;
    const char* buttonTop;  // button gradient; also the text on the accent
    const char* buttonBottom;
    const char* text;
    const char* border;
    const char* accent;  // selection, progress, focus
    const char* panelText;
    const char* note;  // the red notes ("单条中短信息允许...", the MMS cost note)
};

// Dark skins use light text; every skin has its own colours. Every text keeps a contrast of
// at least 4.5:1 with what it is drawn on (the header's white title on both ends of its
// gradient, the text on the accent of a selection, the red notes on the window) and the
// borders of fields keep 3:1 with the window.
constexpr Skin kSkins[kSkinCount] = {
    {"蓝色经典", "#dfe8f6", "#4376b3", "#2f5f9e", "#f4f8fd", "#cddcf0", "#1b2a41", "#5d87ba",
     "#3d6db5", "#ffffff", "#cc0000"},
    {"暗蓝空间", "#1f2a3c", "#0f1a2c", "#24385a", "#34496b", "#22324d", "#e6ecf5", "#5474a3",
     "#9cbce6", "#dce8ff", "#ff6060"},
    {"黑蓝浮雕", "#2b2f36", "#15171b", "#2c3e57", "#3c4452", "#262b33", "#dfe6ef", "#6c7a90",
     "#94b6de", "#9fc6ff", "#ff6565"},
    {"黑夜绿光", "#161b17", "#0b0f0c", "#1e3a24", "#25352a", "#18221b", "#b9f5c4", "#3f9a58",
     "#3ddc68", "#7dffa0", "#ff6060"},
    {"黄色玛瑙", "#f6ecd0", "#8e6a1f", "#966817", "#fff6dc", "#f0d999", "#4a3510", "#a28235",
     "#8c6811", "#fffbe9", "#b80000"},
    {"黄沙万里", "#efe2c6", "#896a38", "#876a3c", "#f8efdc", "#e2cfa6", "#4b3b22", "#997c49",
     "#8a632d", "#fff8e8", "#b00000"},
    {"灰色金属", "#d9dcdf", "#6e747b", "#5d646b", "#f3f4f5", "#c5c9cd", "#23272b", "#757c84",
     "#636e7a", "#ffffff", "#a80000"},
    {"灰色铅笔", "#ececec", "#bdbdbd", "#9a9a9a", "#fafafa", "#dedede", "#333333", "#878787",
     "#6b6b6b", "#1a1a1a", "#c00000"},
    {"交相辉映", "#f3e9f1", "#8b3a78", "#3a5a9b", "#fdf6fb", "#e6d3e8", "#3a2336", "#ab77a1",
     "#b04080", "#fff0fb", "#c00000"},
    {"经典Vista", "#e9eef4", "#1c3f63", "#3c7aa7", "#f7fbff", "#d5e4f2", "#1d2733", "#658cb1",
     "#2376b5", "#ffffff", "#c00000"},
    {"蓝色回忆", "#e4ecf5", "#4e739f", "#46698f", "#f0f5fb", "#ccd9ea", "#22324a", "#6989b0",
     "#4e719a", "#f3f8ff", "#c00000"},
    {"蓝色天空", "#e8f5fd", "#1179b8", "#1f78b5", "#ffffff", "#cfeafb", "#103a57", "#2591d6",
     "#1779af", "#ffffff", "#c80000"},
    {"绿波荡漾", "#e3f3ee", "#2d7f6a", "#23785f", "#f5fcf9", "#c8e9dd", "#173f33", "#4a987e",
     "#247e62", "#f0fff9", "#c00000"},
    {"绿草如茵", "#eef7e2", "#547d29", "#48821c", "#fafff2", "#d7edbb", "#2c4312", "#6b983b",
     "#467f20", "#fbfff2", "#c80000"},
    {"青蓝极光", "#e1f4f6", "#147b8a", "#2568a8", "#f3fdfe", "#c6eaf0", "#10394a", "#3b95a6",
     "#127e8f", "#f0feff", "#c00000"},
    {"清新海风", "#eafaf8", "#238077", "#297d97", "#ffffff", "#d3f3ef", "#1b4446", "#379d91",
     "#1e8177", "#ffffff", "#d00000"},
    {"秋雨绵绵", "#e6e2dc", "#78695c", "#5f6f7f", "#f5f2ee", "#d8d1c8", "#3b352f", "#8d7e6d",
     "#81674f", "#f8f3ec", "#b00000"},
    {"瑞气祥云", "#fbeee6", "#c8302c", "#a45917", "#fff9f4", "#f6d8c2", "#4d1f12", "#c87443",
     "#cc3b2a", "#fff4d6", "#c00000"},
    {"雨后彩虹", "#f7f7fb", "#e22331", "#3e72cd", "#ffffff", "#e3e6f5", "#2b2d42", "#858bbf",
     "#7b5cd6", "#ffffff", "#d00000"},
    {"紫色荧光", "#231a33", "#3b1f5c", "#6b2fa3", "#3a2b52", "#2a1f3d", "#eadcff", "#8659c4",
     "#bf80ff", "#f3e6ff", "#ff6868"},
};

// The rainbow's header runs through all its colours, each dark enough for the white title.
constexpr const char* kRainbowStops[] = {"#e22331", "#b0610b", "#8b7309",
                                         "#328149", "#3e72cd", "#7b5cd6"};
constexpr int kRainbow = 18;

int g_current = -1;

QString q(const char* s) {
    return QString::fromUtf8(s);
}

QString panelGradient(int index, const Skin& s) {
    if (index == kRainbow) {
        QString stops;
        const int count = static_cast<int>(std::size(kRainbowStops));
        for (int i = 0; i < count; ++i)
            stops += QStringLiteral(", stop:%1 %2")
                         .arg(static_cast<double>(i) / (count - 1))
                         .arg(q(kRainbowStops[i]));
        return QStringLiteral("qlineargradient(x1:0, y1:0, x2:1, y2:0%1)").arg(stops);
    }
    return QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)")
        .arg(q(s.panelTop), q(s.panelBottom));
}

QString buildStyleSheet(int index) {
    const Skin& s = kSkins[index];
    const QString panel = panelGradient(index, s);
    const QString button =
        QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)")
            .arg(q(s.buttonTop), q(s.buttonBottom));
    QString css = QStringLiteral(R"(
#TForm2, QDialog, #TForm3, #TForm15 { background-color: @window; }
#TForm2 QLabel, QDialog QLabel, QCheckBox, QRadioButton, QGroupBox { color: @text; }
#TForm2 QLabel[skinNote="true"], QDialog QLabel[skinNote="true"] { color: @note; }
#HeaderPanel, #Banner { background: @panel; }
#HeaderPanel QLabel { color: @panelText; background: transparent; }
#Banner { color: @panelText; }
#NavPanel { background-color: @window; border-right: 1px solid @border; }
#StatusBar1 { background: @button; border-bottom: 1px solid @border; }
#StatusBar1 QLabel { color: @text; background: transparent; }
QPushButton { color: @text; background: @button; border: 1px solid @border; border-radius: 4px;
              padding: 3px 8px; }
QPushButton:hover { border-color: @accent; }
QPushButton:pressed { background: @accent; color: @buttonTop; }
QPushButton:disabled { color: @border; }
QLineEdit, QTextEdit, QPlainTextEdit, QListView, QTreeView, QTableView, QComboBox,
QSpinBox, QDateEdit, QDateTimeEdit {
    border: 1px solid @border; selection-background-color: @accent; selection-color: @buttonTop; }
QComboBox { padding: 1px 4px; }
QProgressBar { border: 1px solid @border; border-radius: 3px; text-align: center;
               background: @buttonTop; color: @text; }
QProgressBar::chunk { background-color: @accent; }
QGroupBox { border: 1px solid @border; border-radius: 4px; margin-top: 8px; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }
QTabWidget::pane { border: 1px solid @border; background: @window; }
QTabBar::tab { background: @button; color: @text; border: 1px solid @border; padding: 3px 10px; }
QTabBar::tab:selected { background: @accent; color: @buttonTop; }
QMenu { background-color: @buttonTop; color: @text; border: 1px solid @border; }
QMenu::item { padding: 4px 24px 4px 16px; }
QMenu::item:selected { background-color: @accent; color: @buttonTop; }
QScrollBar:vertical { background: @window; width: 14px; margin: 0; }
QScrollBar:horizontal { background: @window; height: 14px; margin: 0; }
QScrollBar::handle { background: @button; border: 1px solid @border; border-radius: 3px;
                     min-height: 16px; min-width: 16px; }
QSlider::groove:horizontal { height: 6px; background: @button; border: 1px solid @border; }
QSlider::handle:horizontal { background: @accent; width: 12px; margin: -4px 0; border-radius: 3px; }
QHeaderView::section { background: @button; color: @text; border: 1px solid @border; padding: 2px; }
QStatusBar { background: @button; color: @text; }
)");
    css.replace(QStringLiteral("@buttonTop"), q(s.buttonTop))
        .replace(QStringLiteral("@button"), button)
        .replace(QStringLiteral("@panelText"), q(s.panelText))
        .replace(QStringLiteral("@panel"), panel)
        .replace(QStringLiteral("@window"), q(s.window))
        .replace(QStringLiteral("@text"), q(s.text))
        .replace(QStringLiteral("@border"), q(s.border))
        .replace(QStringLiteral("@accent"), q(s.accent))
        .replace(QStringLiteral("@note"), q(s.note));
    return css + GridRowsStyleRules();
}

QColor baseOf(const Skin& s) {
    return QColor(q(s.buttonTop)).lightness() < 128 ? QColor(q(s.window)) : QColor(Qt::white);
}

// Fusion draws the frame of tick boxes and radio buttons a shade darker than the window, which
// vanishes on the dark skins. Under every skin they are drawn here in the text colour of the
// window they stand on (at least 4.5:1 against it), hollow, with the mark in the same colour.
class SkinStyle final : public QProxyStyle {
public:
    SkinStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_IndicatorCheckBox && element != PE_IndicatorRadioButton) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        QColor ink = option->palette.color(QPalette::WindowText);
        if (!(option->state & State_Enabled)) {
            const QColor back = option->palette.color(QPalette::Window);
            ink = QColor((ink.red() + back.red()) / 2, (ink.green() + back.green()) / 2,
                         (ink.blue() + back.blue()) / 2);
        }
        const int side = std::min(option->rect.width(), option->rect.height());
        const QRectF box =
            QRectF(option->rect.x() + (option->rect.width() - side) / 2.0,
                   option->rect.y() + (option->rect.height() - side) / 2.0, side, side)
                .adjusted(0.75, 0.75, -0.75, -0.75);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setPen(QPen(ink, 1.5));
        painter->setBrush(Qt::NoBrush);
        if (element == PE_IndicatorRadioButton) {
            painter->drawEllipse(box);
            if (option->state & State_On) {
                painter->setPen(Qt::NoPen);
                painter->setBrush(ink);
                const qreal inset = box.width() * 0.28;
                painter->drawEllipse(box.adjusted(inset, inset, -inset, -inset));
            }
        } else {
            painter->drawRoundedRect(box, 2, 2);
            if (option->state & State_On) {
                QPainterPath tick;
                tick.moveTo(box.left() + box.width() * 0.22, box.top() + box.height() * 0.52);
                tick.lineTo(box.left() + box.width() * 0.42, box.top() + box.height() * 0.72);
                tick.lineTo(box.left() + box.width() * 0.78, box.top() + box.height() * 0.28);
                painter->setPen(QPen(ink, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                painter->drawPath(tick);
            } else if (option->state & State_NoChange) {
                painter->setPen(QPen(ink, 2.0));
                const qreal y = box.center().y();
                painter->drawLine(QPointF(box.left() + 3, y), QPointF(box.right() - 3, y));
            }
        }
        painter->restore();
    }
};

QPalette buildPalette(int index) {
    const Skin& s = kSkins[index];
    QPalette p;
    p.setColor(QPalette::Window, QColor(q(s.window)));
    p.setColor(QPalette::WindowText, QColor(q(s.text)));
    p.setColor(QPalette::Button, QColor(q(s.buttonBottom)));
    p.setColor(QPalette::ButtonText, QColor(q(s.text)));
    p.setColor(QPalette::Highlight, QColor(q(s.accent)));
    p.setColor(QPalette::HighlightedText, QColor(q(s.buttonTop)));
    p.setColor(QPalette::Base, baseOf(s));
    p.setColor(QPalette::Text, QColor(q(s.text)));
    return p;
}

}  // namespace

QString SkinName(int index) {
    if (index < 0 || index >= kSkinCount)
        return {};
    return q(kSkins[index].name);
}

const std::vector<int>& SkinMenuIndexes() {
    static const std::vector<int> indexes = [] {
        std::vector<int> out;
        for (int i = 0; i < kSkinCount; ++i)
            if (i != kSkinNotInMenu)
                out.push_back(i);
        return out;
    }();
    return indexes;
}

QString SkinStyleSheet(int index) {
    if (index < 0 || index >= kSkinCount)
        return {};
    return buildStyleSheet(index);
}

bool ApplySkin(int index) {
    if (index < 0 || index >= kSkinCount)
        return false;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return false;
    // The same skin again (the login window's show after start-up) would restyle every widget
    // for the same look.
    if (index == g_current)
        return true;
    if (g_current < 0) {
        // One base style under every skin, so the skins look the same everywhere.
        app->setStyle(new SkinStyle);
    }
    app->setPalette(buildPalette(index));
    app->setStyleSheet(buildStyleSheet(index));
    g_current = index;
    return true;
}

int CurrentSkin() {
    return g_current;
}

std::vector<SkinColourPair> SkinColourPairs(int index) {
    std::vector<SkinColourPair> pairs;
    if (index < 0 || index >= kSkinCount)
        return pairs;
    const Skin& s = kSkins[index];
    const auto c = [](const char* hex) { return QColor(q(hex)); };
    const auto mix = [](const QColor& a, const QColor& b, double t) {
        return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t,
                                a.greenF() + (b.greenF() - a.greenF()) * t,
                                a.blueF() + (b.blueF() - a.blueF()) * t);
    };
    // A gradient's colours at its stops and between them, where text may stand.
    const auto along = [&](const char* what, const QColor& text, const std::vector<QColor>& stops,
                           double minimum) {
        for (size_t i = 0; i < stops.size(); ++i) {
            pairs.push_back({what, text, stops[i], minimum});
            if (i + 1 < stops.size())
                for (double t : {0.25, 0.5, 0.75})
                    pairs.push_back({what, text, mix(stops[i], stops[i + 1], t), minimum});
        }
    };
    std::vector<QColor> header;
    if (index == kRainbow) {
        for (const char* stop : kRainbowStops)
            header.push_back(c(stop));
    } else {
        header = {c(s.panelTop), c(s.panelBottom)};
    }
    pairs.push_back({"text on the window", c(s.text), c(s.window), 4.5});
    pairs.push_back({"red note on the window", c(s.note), c(s.window), 4.5});
    along("title on the header", c(s.panelText), header, 4.5);
    along("button text", c(s.text), {c(s.buttonTop), c(s.buttonBottom)}, 4.5);
    pairs.push_back({"text in fields and lists", c(s.text), baseOf(s), 4.5});
    pairs.push_back({"selected text (rows, menus, tabs)", c(s.buttonTop), c(s.accent), 4.5});
    pairs.push_back({"menu text", c(s.text), c(s.buttonTop), 4.5});
    pairs.push_back({"field border on the window", c(s.border), c(s.window), 3.0});
    pairs.push_back({"selected row on the list", c(s.accent), baseOf(s), 3.0});
    return pairs;
}

bool StoreSkinChoice(const std::string& companyInfoPath, int index) {
    if (index < 0 || index >= kSkinCount)
        return false;
    IniFile ini(companyInfoPath);
    return ini.write("Create_Skin", {{"Skin_index", std::to_string(index)},
                                     {"Skin_name", GbkFromQString(SkinName(index))}});
}

}  // namespace smsc
