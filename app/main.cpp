#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("短信彩信群发客户端"));
    window.resize(717, 500);
    window.show();
    return app.exec();
}
