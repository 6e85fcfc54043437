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

bool makeDir(const QDir &dir, const QString &path)
{
    if (!dir.mkpath(path)) {
        std::fprintf(stderr, "draw-images: cannot create %s\n", qPrintable(dir.filePath(path)));
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

// The desktop's theme icons, laid out as in share/icons so the tree can be
// installed as it is.
bool writeAppIcons(const QDir &dir)
{
    const QString appId = QStringLiteral(VANTREL_APP_ID);
    bool ok = true;
    for (int side : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(side);
        ok &= makeDir(dir, folder)
            && writePng(dir.filePath(folder + '/' + appId + ".png"), projectorIcon(side));
    }
    const QString folder = QStringLiteral("hicolor/scalable/apps");
    ok &= makeDir(dir, folder)
        && writeFile(dir.filePath(folder + '/' + appId + ".svg"), projectorSvg());
    return ok;
}

bool writeWindowImages(const QDir &dir)
{
    bool ok = writePng(dir.filePath("proj.png"), projectorIcon());
    ok &= writePng(dir.filePath("connect.png"), connectedIcon());
    ok &= writePng(dir.filePath("disconnect.png"), disconnectedIcon());
    ok &= writeFile(dir.filePath("up.bmp"), arrowBitmap(ArrowDirection::Up));
    ok &= writeFile(dir.filePath("down.bmp"), arrowBitmap(ArrowDirection::Down));
    ok &= writeFile(dir.filePath("left.bmp"), arrowBitmap(ArrowDirection::Left));
    ok &= writeFile(dir.filePath("right.bmp"), arrowBitmap(ArrowDirection::Right));
    return ok;
}

} // namespace

// QImage and QPainter need no application object or display, which keeps the
// tool usable on a headless build machine.
int main(int argc, char *argv[])
{
    const bool appIcons = argc == 3 && qstrcmp(argv[1], "--app-icons") == 0;
    if (argc != 2 && !appIcons) {
        std::fprintf(stderr,
                     "usage: draw-images <output-dir>              the window's images\n"
                     "       draw-images --app-icons <output-dir>  the desktop's theme icons\n");
        return 2;
    }
    const char *path = argv[argc - 1];
    const QDir dir(QString::fromLocal8Bit(path));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "draw-images: cannot create %s\n", path);
        return 1;
    }
    const bool ok = appIcons ? writeAppIcons(dir) : writeWindowImages(dir);
    return ok ? 0 : 1;
}
