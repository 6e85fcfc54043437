#include "arrowbitmap.h"
#include "icons.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <cstdio>

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "draw-images: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool writePng(const QString &path, const QImage &image)
{
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "draw-images: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

// QImage and QPainter need no application object or display, which keeps the
// tool usable on a headless build machine.
int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw-images <output-dir>\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "draw-images: cannot create %s\n", argv[1]);
        return 1;
    }

    bool ok = writePng(dir.filePath("proj.png"), projectorIcon());
    ok &= writePng(dir.filePath("connect.png"), connectedIcon());
    ok &= writePng(dir.filePath("disconnect.png"), disconnectedIcon());
    ok &= writeFile(dir.filePath("up.bmp"), arrowBitmap(ArrowDirection::Up));
    ok &= writeFile(dir.filePath("down.bmp"), arrowBitmap(ArrowDirection::Down));
    ok &= writeFile(dir.filePath("left.bmp"), arrowBitmap(ArrowDirection::Left));
    ok &= writeFile(dir.filePath("right.bmp"), arrowBitmap(ArrowDirection::Right));
    return ok ? 0 : 1;
}
