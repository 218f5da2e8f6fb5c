#include "app/Skins.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

#include "platform/IniFile.h"
#include "platform/QtText.h"

namespace smsc {
namespace {

struct Skin {
    const char* name;      // UTF-8
    const char* window;    // window background
    const char* panelTop;  // header and banner gradient
    const char* panelBottom;
    const char* buttonTop;  // button gradient
    const char* buttonBottom;
    const char* text;
    const char* border;
    const char* accent;  // selection, progress, focus
    const char* panelText;
};

// Dark skins use light text; every skin has its own colours.
constexpr Skin kSkins[kSkinCount] = {
    {"蓝色经典", "#dfe8f6", "#4a7ebb", "#2f5f9e", "#f4f8fd", "#cddcf0", "#1b2a41", "#7a9cc6",
     "#3d6db5", "#ffffff"},
    {"暗蓝空间", "#1f2a3c", "#0f1a2c", "#24385a", "#34496b", "#22324d", "#e6ecf5", "#4d6a96",
     "#5b8fd6", "#dce8ff"},
    {"黑蓝浮雕", "#2b2f36", "#15171b", "#2c3e57", "#3c4452", "#262b33", "#dfe6ef", "#566173",
     "#3b78c2", "#9fc6ff"},
    {"黑夜绿光", "#161b17", "#0b0f0c", "#1e3a24", "#25352a", "#18221b", "#b9f5c4", "#2f7d44",
     "#3ddc68", "#7dffa0"},
    {"黄色玛瑙", "#f6ecd0", "#c9962c", "#a8741a", "#fff6dc", "#f0d999", "#4a3510", "#c7a552",
     "#d9a21b", "#fffbe9"},
    {"黄沙万里", "#efe2c6", "#c2a06a", "#9c7b45", "#f8efdc", "#e2cfa6", "#4b3b22", "#b79a68",
     "#c08a3e", "#fff8e8"},
    {"灰色金属", "#d9dcdf", "#8a9097", "#5d646b", "#f3f4f5", "#c5c9cd", "#23272b", "#8d939a",
     "#6a7682", "#ffffff"},
    {"灰色铅笔", "#ececec", "#bdbdbd", "#9a9a9a", "#fafafa", "#dedede", "#333333", "#a8a8a8",
     "#777777", "#2a2a2a"},
    {"交相辉映", "#f3e9f1", "#8b3a78", "#3a5a9b", "#fdf6fb", "#e6d3e8", "#3a2336", "#b98db0",
     "#c0508f", "#fff0fb"},
    {"经典Vista", "#e9eef4", "#1c3f63", "#3f7fae", "#f7fbff", "#d5e4f2", "#1d2733", "#8aa8c4",
     "#3c95d9", "#ffffff"},
    {"蓝色回忆", "#e4ecf5", "#6d8fb8", "#46698f", "#f0f5fb", "#ccd9ea", "#22324a", "#8ea6c3",
     "#587eaa", "#f3f8ff"},
    {"蓝色天空", "#e8f5fd", "#4fb3ef", "#2389cf", "#ffffff", "#cfeafb", "#103a57", "#79bde8",
     "#1e9be0", "#ffffff"},
    {"绿波荡漾", "#e3f3ee", "#3aa58a", "#23785f", "#f5fcf9", "#c8e9dd", "#173f33", "#73bba3",
     "#2c9a78", "#f0fff9"},
    {"绿草如茵", "#eef7e2", "#7dbb3d", "#4f8f1f", "#fafff2", "#d7edbb", "#2c4312", "#99c56a",
     "#5da82a", "#fbfff2"},
    {"青蓝极光", "#e1f4f6", "#1ba3b6", "#2568a8", "#f3fdfe", "#c6eaf0", "#10394a", "#62b7c7",
     "#17a2b8", "#f0feff"},
    {"清新海风", "#eafaf8", "#5fd3c8", "#3aa7c9", "#ffffff", "#d3f3ef", "#1b4446", "#8fd8d0",
     "#2bb7a9", "#ffffff"},
    {"秋雨绵绵", "#e6e2dc", "#8c7b6b", "#5f6f7f", "#f5f2ee", "#d8d1c8", "#3b352f", "#a89c8f",
     "#8a6f55", "#f8f3ec"},
    {"瑞气祥云", "#fbeee6", "#c8302c", "#e07b22", "#fff9f4", "#f6d8c2", "#4d1f12", "#d9a07e",
     "#cc3b2a", "#fff4d6"},
    {"雨后彩虹", "#f7f7fb", "#e8505b", "#4a7bd0", "#ffffff", "#e3e6f5", "#2b2d42", "#a3a8cf",
     "#7b5cd6", "#ffffff"},
    {"紫色荧光", "#231a33", "#3b1f5c", "#6b2fa3", "#3a2b52", "#2a1f3d", "#eadcff", "#7c4dbb",
     "#b56cff", "#f3e6ff"},
};

int g_current = -1;

QString q(const char* s) {
    return QString::fromUtf8(s);
}

QString panelGradient(int index, const Skin& s) {
    if (index == 18)  // the rainbow: every colour of it across the header
        return QStringLiteral(
            "qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #e8505b, stop:0.2 #f39c3d, "
            "stop:0.4 #f2d03b, stop:0.6 #4cb96b, stop:0.8 #4a7bd0, stop:1 #7b5cd6)");
    return QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)")
        .arg(q(s.panelTop), q(s.panelBottom));
}

QString buildStyleSheet(int index) {
    const Skin& s = kSkins[index];
    const QString panel = panelGradient(index, s);
    const QString button =
        QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)")
            .arg(q(s.buttonTop), q(s.buttonBottom));
    const QString buttonHover =
        QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)")
            .arg(q(s.buttonTop), q(s.accent));
    QString css = QStringLiteral(R"(
#TForm2, QDialog, #TForm3, #TForm15 { background-color: @window; }
#TForm2 QLabel, QDialog QLabel, QCheckBox, QRadioButton, QGroupBox { color: @text; }
#HeaderPanel, #Banner { background: @panel; }
#HeaderPanel QLabel { color: @panelText; background: transparent; }
#Banner { color: @panelText; }
#NavPanel { background-color: @window; border-right: 1px solid @border; }
#StatusBar1 { background: @button; border-bottom: 1px solid @border; }
#StatusBar1 QLabel { color: @text; background: transparent; }
QPushButton { color: @text; background: @button; border: 1px solid @border; border-radius: 4px;
              padding: 3px 8px; }
QPushButton:hover { background: @buttonHover; }
QPushButton:pressed { background: @accent; color: @buttonTop; }
QPushButton:disabled { color: @border; }
QLineEdit, QTextEdit, QPlainTextEdit, QListView, QTreeView, QTableView, QComboBox,
QSpinBox, QDateEdit, QDateTimeEdit {
    border: 1px solid @border; selection-background-color: @accent; }
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
    css.replace(QStringLiteral("@buttonHover"), buttonHover)
        .replace(QStringLiteral("@buttonTop"), q(s.buttonTop))
        .replace(QStringLiteral("@button"), button)
        .replace(QStringLiteral("@panelText"), q(s.panelText))
        .replace(QStringLiteral("@panel"), panel)
        .replace(QStringLiteral("@window"), q(s.window))
        .replace(QStringLiteral("@text"), q(s.text))
        .replace(QStringLiteral("@border"), q(s.border))
        .replace(QStringLiteral("@accent"), q(s.accent));
    return css;
}

QPalette buildPalette(int index) {
    const Skin& s = kSkins[index];
    QPalette p;
    p.setColor(QPalette::Window, QColor(q(s.window)));
    p.setColor(QPalette::WindowText, QColor(q(s.text)));
    p.setColor(QPalette::Button, QColor(q(s.buttonBottom)));
    p.setColor(QPalette::ButtonText, QColor(q(s.text)));
    p.setColor(QPalette::Highlight, QColor(q(s.accent)));
    p.setColor(QPalette::HighlightedText, QColor(q(s.buttonTop)));
    p.setColor(QPalette::Base,
               QColor(q(s.buttonTop)).lightness() < 128 ? QColor(q(s.window)) : QColor(Qt::white));
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
    if (g_current < 0) {
        // One base style under every skin, so the skins look the same everywhere.
        if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
            app->setStyle(fusion);
    }
    app->setPalette(buildPalette(index));
    app->setStyleSheet(buildStyleSheet(index));
    g_current = index;
    return true;
}

int CurrentSkin() {
    return g_current;
}

bool StoreSkinChoice(const std::string& companyInfoPath, int index) {
    if (index < 0 || index >= kSkinCount)
        return false;
    IniFile ini(companyInfoPath);
    return ini.write("Create_Skin", {{"Skin_index", std::to_string(index)},
                                     {"Skin_name", GbkFromQString(SkinName(index))}});
}

}  // namespace smsc
