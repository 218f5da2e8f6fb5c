// smsclient-make-icons: renders the program's icon (an .ico file) as the PNG files of the
// desktop's icon theme. Usage: smsclient-make-icons ICO_FILE OUT_FOLDER SIZE...
// Writes OUT_FOLDER/<size>x<size>/apps/smsclient.png for every size, from the largest image
// of the .ico, scaled smoothly.
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: smsclient-make-icons ICO_FILE OUT_FOLDER SIZE...\n");
        return 2;
    }
    QImageReader reader(args.at(1));
    QImage largest;
    for (int i = 0; reader.jumpToImage(i); ++i) {
        const QImage image = reader.read();
        if (!image.isNull() && image.width() > largest.width()) largest = image;
    }
    if (largest.isNull()) largest = QImageReader(args.at(1)).read();
    if (largest.isNull()) {
        std::fprintf(stderr, "smsclient-make-icons: cannot read %s\n", argv[1]);
        return 1;
    }
    largest = largest.convertToFormat(QImage::Format_ARGB32);
    for (qsizetype i = 3; i < args.size(); ++i) {
        bool ok = false;
        const int size = args.at(i).toInt(&ok);
        if (!ok || size < 1 || size > 1024) {
            std::fprintf(stderr, "smsclient-make-icons: bad size %s\n", argv[i]);
            return 2;
        }
        const QString folder =
            QStringLiteral("%1/%2x%2/apps").arg(args.at(2)).arg(size);
        const QImage scaled =
            largest.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (!QDir().mkpath(folder) ||
            !scaled.save(folder + QStringLiteral("/smsclient.png"), "PNG")) {
            std::fprintf(stderr, "smsclient-make-icons: cannot write %s\n",
                         qPrintable(folder + QStringLiteral("/smsclient.png")));
            return 1;
        }
    }
    return 0;
}
