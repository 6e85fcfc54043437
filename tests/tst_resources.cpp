// The images compiled into the program: their file formats byte for byte,
// what they show, and that the form puts each on the right button.

#include "portenumeration.h"
#include "testmain.h"
#include "teststore.h"
#include "vantrelprobe.h"

#include <QAbstractButton>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTest>
#include <QtEndian>

namespace {

quint32 bigEndian32(const QByteArray &bytes, int offset)
{
    return qFromBigEndian<quint32>(bytes.constData() + offset);
}

quint32 littleEndian32(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

quint16 littleEndian16(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<quint16>(bytes.constData() + offset);
}

QByteArray readResource(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Width of the dark pixels in a row (or column) at the first and the last
// line that has any: a chevron is narrow at its tip and wide at its open end.
struct Spans
{
    int first = -1;
    int last = -1;
};

Spans darkSpans(const QImage &image, bool alongRows)
{
    Spans spans;
    const int lines = alongRows ? image.height() : image.width();
    const int length = alongRows ? image.width() : image.height();
    for (int line = 0; line < lines; ++line) {
        int low = length;
        int high = -1;
        for (int i = 0; i < length; ++i) {
            const QRgb pixel = alongRows ? image.pixel(i, line) : image.pixel(line, i);
            if (qGray(pixel) < 128) {
                low = qMin(low, i);
                high = qMax(high, i);
            }
        }
        if (high < 0)
            continue;
        if (spans.first < 0)
            spans.first = high - low + 1;
        spans.last = high - low + 1;
    }
    return spans;
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void pngFiles_data();
    void pngFiles();
    void bitmapFiles_data();
    void bitmapFiles();
    void chevronsPointTheirWay_data();
    void chevronsPointTheirWay();
    void buttonsShowTheirChevron_data();
    void buttonsShowTheirChevron();
    void keystoneSharesThePadIcons();
};

void TestResources::pngFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("side");

    QTest::newRow("proj") << QString(":/Vantrel/Resources/proj.png") << 32;
    QTest::newRow("connect") << QString(":/Vantrel/Resources/connect.png") << 256;
    QTest::newRow("disconnect") << QString(":/Vantrel/Resources/disconnect.png") << 256;
}

void TestResources::pngFiles()
{
    QFETCH(QString, path);
    QFETCH(int, side);

    const QByteArray bytes = readResource(path);
    QVERIFY2(bytes.size() > 33, qPrintable(path));
    QCOMPARE(bytes.left(8), QByteArray("\x89PNG\r\n\x1a\n"));
    QCOMPARE(bytes.mid(12, 4), QByteArray("IHDR"));
    QCOMPARE(bigEndian32(bytes, 16), quint32(side));
    QCOMPARE(bigEndian32(bytes, 20), quint32(side));
    QCOMPARE(int(quint8(bytes.at(24))), 8); // bits per sample
    QCOMPARE(int(quint8(bytes.at(25))), 6); // RGBA
    QCOMPARE(int(quint8(bytes.at(28))), 0); // not interlaced

    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QCOMPARE(image.size(), QSize(side, side));
    QVERIFY(image.hasAlphaChannel());
}

void TestResources::bitmapFiles_data()
{
    QTest::addColumn<QString>("path");

    for (const char *name : { "up", "down", "left", "right" })
        QTest::newRow(name) << QString(":/Vantrel/Resources/%1.bmp").arg(name);
}

void TestResources::bitmapFiles()
{
    QFETCH(QString, path);

    const QByteArray bytes = readResource(path);
    QCOMPARE(bytes.size(), 1478);
    QCOMPARE(bytes.left(2), QByteArray("BM"));
    QCOMPARE(littleEndian32(bytes, 2), quint32(1478)); // file size
    QCOMPARE(littleEndian32(bytes, 10), quint32(14 + 40 + 256 * 4)); // pixels after the palette
    QCOMPARE(littleEndian32(bytes, 14), quint32(40)); // information header
    QCOMPARE(qint32(littleEndian32(bytes, 18)), 20);
    QCOMPARE(qAbs(qint32(littleEndian32(bytes, 22))), 20);
    QCOMPARE(littleEndian16(bytes, 26), quint16(1)); // planes
    QCOMPARE(littleEndian16(bytes, 28), quint16(8)); // bits per pixel
    QCOMPARE(littleEndian32(bytes, 30), quint32(0)); // uncompressed
    const quint32 coloursUsed = littleEndian32(bytes, 46);
    QVERIFY2(coloursUsed == 0 || coloursUsed == 256, qPrintable(QString::number(coloursUsed)));

    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("bmp"));
    const QImage image = reader.read();
    QCOMPARE(image.size(), QSize(20, 20));
    QCOMPARE(image.format(), QImage::Format_Indexed8);
}

void TestResources::chevronsPointTheirWay_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("alongRows"); // false: the chevron points sideways
    QTest::addColumn<bool>("tipFirst"); // tip at the top or at the left

    QTest::newRow("up") << QString(":/Vantrel/Resources/up.bmp") << true << true;
    QTest::newRow("down") << QString(":/Vantrel/Resources/down.bmp") << true << false;
    QTest::newRow("left") << QString(":/Vantrel/Resources/left.bmp") << false << true;
    QTest::newRow("right") << QString(":/Vantrel/Resources/right.bmp") << false << false;
}

void TestResources::chevronsPointTheirWay()
{
    QFETCH(QString, path);
    QFETCH(bool, alongRows);
    QFETCH(bool, tipFirst);

    const QImage image(path);
    QVERIFY(!image.isNull());
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            QVERIFY2(pixel == qRgb(0, 0, 0) || pixel == qRgb(255, 255, 255),
                     qPrintable(QString("(%1, %2) is %3").arg(x).arg(y).arg(pixel, 0, 16)));
        }
    }
    const Spans spans = darkSpans(image, alongRows);
    QVERIFY(spans.first > 0);
    if (tipFirst)
        QVERIFY2(spans.first < spans.last, qPrintable(path));
    else
        QVERIFY2(spans.first > spans.last, qPrintable(path));
}

void TestResources::buttonsShowTheirChevron_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("path");

    QTest::newRow("up") << QString("up") << QString(":/Vantrel/Resources/up.bmp");
    QTest::newRow("down") << QString("down") << QString(":/Vantrel/Resources/down.bmp");
    QTest::newRow("left") << QString("left") << QString(":/Vantrel/Resources/left.bmp");
    QTest::newRow("right") << QString("right") << QString(":/Vantrel/Resources/right.bmp");
    QTest::newRow("vvtKeyStoneUp")
        << QString("vvtKeyStoneUp") << QString(":/Vantrel/Resources/up.bmp");
    QTest::newRow("vvtKeyStoneDown")
        << QString("vvtKeyStoneDown") << QString(":/Vantrel/Resources/down.bmp");
}

void TestResources::buttonsShowTheirChevron()
{
    QFETCH(QString, button);
    QFETCH(QString, path);

    TestStore::clear();
    PortEnumeration::setLister([] { return QStringList(); });
    Vantrel window;
    auto *widget = window.findChild<QAbstractButton *>(button);
    QVERIFY(widget);
    const QIcon icon = widget->icon();
    QVERIFY(!icon.isNull());
    const QImage shown = icon.pixmap(QSize(20, 20)).toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown, QImage(path).convertToFormat(QImage::Format_RGB32));
}

void TestResources::keystoneSharesThePadIcons()
{
    TestStore::clear();
    PortEnumeration::setLister([] { return QStringList(); });
    Vantrel window;
    Ui::VantrelClass &ui = VantrelProbe::ui(window);
    QCOMPARE(ui.vvtKeyStoneUp->icon().cacheKey(), ui.up->icon().cacheKey());
    QCOMPARE(ui.vvtKeyStoneDown->icon().cacheKey(), ui.down->icon().cacheKey());
    QVERIFY(ui.up->icon().cacheKey() != ui.down->icon().cacheKey());
}

VANTREL_TEST_MAIN(TestResources)
#include "tst_resources.moc"
