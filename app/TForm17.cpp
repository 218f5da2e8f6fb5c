#include "app/TForm17.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "app/AppCommon.h"
#include "app/AppSettings.h"
#include "platform/DataDir.h"
#include "platform/IniFile.h"
#include "platform/UiSeam.h"

namespace smsc {

TForm17::TForm17(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm17"));
    setWindowTitle(QStringLiteral("系统公告"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(440, 320);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(10, 10, 420, 268);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    CheckBox1 = new QCheckBox(QStringLiteral("以后不再显示"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(12, 288, 200, 22);

    // Besides the close box, a button to close the window (Enter and Esc too).
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(350, 286, 80, 26);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    const IniFile ini(DataPath(kCompanyInfoFile));
    CheckBox1->setChecked(ini.valueAt("showNotic", 0) == std::string("hide"));
    connect(CheckBox1, &QCheckBox::toggled, this, &TForm17::CheckBox1Click);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

TForm17::~TForm17() = default;

void TForm17::CheckBox1Click() {
    IniFile ini(DataPath(kCompanyInfoFile));
    if (!ini.write("showNotic", "boo", CheckBox1->isChecked() ? "hide" : "show"))
        ReportSaveFailure(this, ini.path());
}

void TForm17::showNotice(const QStringList& lines, bool overOnTopWindows) {
    Memo1->clear();
    for (QString line : lines) {
        // Each line ends in LF CR LF CR: the paragraph and one empty line.
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        Memo1->appendPlainText(line);
        Memo1->appendPlainText(QString());
    }
    Memo1->moveCursor(QTextCursor::Start);
    CheckBox1->setChecked(false);
    setWindowFlag(Qt::WindowStaysOnTopHint, overOnTopWindows);
    Ui().execDialog(this);
    // Changing the flags of a shown window would hide it; once closed it is back to normal.
    if (!isVisible())
        setWindowFlag(Qt::WindowStaysOnTopHint, false);
}

void TForm17::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The window system maps the window after this event; raise it once it is there.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isVisible()) {
                raise();
                activateWindow();
            }
        },
        Qt::QueuedConnection);
}

}  // namespace smsc
