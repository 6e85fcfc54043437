// The images compiled into the program: their file formats byte for byte,
// what the chevrons show, and that the form puts each on the right button.

#include "rig.h"
#include "testmain.h"

#include <QAbstractButton>
#include <QFile>
#include <QImage>
#include <QTest>
#include <QtEndian>

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void pngFiles_data();
    void pngFiles();
    void chevrons_data();
    void chevrons();
};

void TestResources::pngFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("side");
    QTest::newRow("proj") << QString("proj") << 32;
    QTest::newRow("connect") << QString("connect") << 256;
    QTest::newRow("disconnect") << QString("disconnect") << 256;
}

void TestResources::pngFiles()
{
    QFETCH(QString, name);
    QFETCH(int, side);
    const QString path = ":/Vantrel/Resources/" + name + ".png";
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.left(16), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    QCOMPARE(qFromBigEndian<quint32>(bytes.constData() + 16), quint32(side));
    QCOMPARE(qFromBigEndian<quint32>(bytes.constData() + 20), quint32(side));
    // 8 bits per sample, RGBA, not interlaced.
    QCOMPARE(bytes.mid(24, 5), QByteArray("\x08\x06\x00\x00\x00", 5));
    QCOMPARE(QImage(path).size(), QSize(side, side));
}

void TestResources::chevrons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("turn"); // clockwise degrees that make the chevron point up
    QTest::addColumn<QStringList>("buttons");
    QTest::newRow("up") << QString("up") << 0 << QStringList { "up", "vvtKeyStoneUp" };
    QTest::newRow("down") << QString("down") << 180 << QStringList { "down", "vvtKeyStoneDown" };
    QTest::newRow("left") << QString("left") << 90 << QStringList { "left" };
    QTest::newRow("right") << QString("right") << 270 << QStringList { "right" };
}

void TestResources::chevrons()
{
    QFETCH(QString, name);
    QFETCH(int, turn);
    QFETCH(QStringList, buttons);
    const QString path = ":/Vantrel/Resources/" + name + ".bmp";
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size(), 1478);
    // File size, pixels behind a 256-entry palette, 40-byte header, 20 wide.
    QCOMPARE(bytes.left(22),
             QByteArray("BM\xc6\x05\0\0\0\0\0\0\x36\x04\0\0\x28\0\0\0\x14\0\0\0", 22));
    QCOMPARE(qAbs(qFromLittleEndian<qint32>(bytes.constData() + 22)), 20); // either row order
    // One plane, 8 bits per pixel, uncompressed.
    QCOMPARE(bytes.mid(26, 8), QByteArray("\x01\0\x08\0\0\0\0\0", 8));

    const QImage image(path);
    // Turned upright, a chevron is narrow at its first dark row and wide at its last.
    const QImage grey
        = image.transformed(QTransform().rotate(turn)).convertToFormat(QImage::Format_Grayscale8);
    QList<int> widths;
    for (int y = 0; y < 20; ++y) {
        const QByteArray row(reinterpret_cast<const char *>(grey.constScanLine(y)), 20);
        QCOMPARE(row.count('\0') + row.count('\xff'), 20); // black on white only
        if (row.contains('\0'))
            widths.append(row.lastIndexOf('\0') - row.indexOf('\0') + 1);
    }
    QVERIFY(widths.size() > 1 && widths.first() < widths.last());

    Rig rig;
    for (const QString &button : buttons) {
        const QImage shown = rig.button(button)->icon().pixmap(QSize(20, 20)).toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 image.convertToFormat(QImage::Format_RGB32));
    }
}

VANTREL_TEST_MAIN(TestResources)
#include "tst_resources.moc"
