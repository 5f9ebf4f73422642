#include <QtGui>
#include <QtTest>

// The window icon as the program embeds it: a zlib-compressed Windows icon file with an image for
// every size a desktop asks for, each on a transparent background.
class TstIcon : public QObject
{
    Q_OBJECT

private slots:
    void images()
    {
        QResource resource(QStringLiteral(":/logo.ico"));
        QVERIFY2(resource.isValid(), "the icon is not embedded at :/logo.ico");
        QCOMPARE(resource.compressionAlgorithm(), QResource::ZlibCompression);
        QCOMPARE(QIcon(resource.fileName()).availableSizes().size(), 7);
        QImageReader reader(resource.fileName());
        const int sizes[] = {48, 64, 72, 80, 96, 128, 256};
        for (int i = 0; i < 7; ++i) {
            QVERIFY(reader.jumpToImage(i));
            const QImage image = reader.read();
            QCOMPARE(image.size(), QSize(sizes[i], sizes[i]));
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(image.pixel(sizes[i] / 2, sizes[i] / 2)), 255);
        }
    }
};

QTEST_MAIN(TstIcon)
#include "tst_icon.moc"
