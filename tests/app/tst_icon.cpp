#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QResource>
#include <QtEndian>
#include <QtTest>

// The window icon as the program embeds it: a zlib-compressed resource holding a Windows icon
// file with six 32-bit bitmaps and one PNG.
class TstIcon : public QObject
{
    Q_OBJECT

private:
    QByteArray m_ico;

private slots:
    void initTestCase()
    {
        QResource resource(QStringLiteral(":/logo.ico"));
        QVERIFY2(resource.isValid(), "the icon is not embedded at :/logo.ico");
        QCOMPARE(resource.compressionAlgorithm(), QResource::ZlibCompression);
        QFile file(QStringLiteral(":/logo.ico"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        m_ico = file.readAll();
        QVERIFY(m_ico.size() > 6);
        QCOMPARE(qFromLittleEndian<quint16>(m_ico.constData() + 2), quint16(1)); // icon, not cursor
        QCOMPARE(qFromLittleEndian<quint16>(m_ico.constData() + 4), quint16(7));
    }

    void image_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("png");
        const int sizes[] = {48, 64, 72, 80, 96, 128, 256};
        for (int i = 0; i < 7; ++i)
            QTest::addRow("%dpx", sizes[i]) << i << sizes[i] << (sizes[i] == 256);
    }

    // Checks the directory entry and the image data it points at, then decodes the image the
    // way QIcon does and checks that its transparency survived.
    void image()
    {
        QFETCH(int, index);
        QFETCH(int, size);
        QFETCH(bool, png);
        const char* entry = m_ico.constData() + 6 + 16 * index;
        QVERIFY(6 + 16 * (index + 1) <= m_ico.size());
        QCOMPARE(quint8(entry[0]) == 0 ? 256 : int(quint8(entry[0])), size);
        QCOMPARE(quint8(entry[1]) == 0 ? 256 : int(quint8(entry[1])), size);
        const quint32 length = qFromLittleEndian<quint32>(entry + 8);
        const quint32 offset = qFromLittleEndian<quint32>(entry + 12);
        QVERIFY(quint64(offset) + length <= quint64(m_ico.size()));
        const QByteArray data = m_ico.mid(int(offset), int(length));
        QVERIFY(data.size() >= 40);
        if (png) {
            QVERIFY(data.startsWith("\x89PNG\r\n\x1a\n"));
            QCOMPARE(qFromBigEndian<quint32>(data.constData() + 16), quint32(size));
        } else {
            QCOMPARE(qFromLittleEndian<quint32>(data.constData()), quint32(40)); // BITMAPINFOHEADER
            QCOMPARE(qFromLittleEndian<qint32>(data.constData() + 4), qint32(size));
            QCOMPARE(qFromLittleEndian<quint16>(data.constData() + 14), quint16(32));
        }

        QBuffer buffer(&m_ico);
        QImageReader reader(&buffer, "ico");
        QVERIFY(reader.jumpToImage(index));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), QSize(size, size));
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
    }

    void iconOffersEverySize()
    {
        const QList<QSize> sizes = QIcon(QStringLiteral(":/logo.ico")).availableSizes();
        QCOMPARE(sizes.size(), 7);
        for (int n : {48, 64, 72, 80, 96, 128, 256})
            QVERIFY2(sizes.contains(QSize(n, n)), qPrintable(QString::number(n)));
    }
};

QTEST_MAIN(TstIcon)
#include "tst_icon.moc"
