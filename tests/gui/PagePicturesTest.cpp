// The drawn pictures: sizes, empty results out of range, pictures that tell
// apart, and banners on which white text stays readable.

#include <QGuiApplication>
#include <QImage>
#include <QTest>

#include <cmath>
#include <vector>

#include "PagePictures.h"

using namespace quillon::gui;

namespace {

// WCAG relative luminance of an opaque colour.
double luminance(QColor color) {
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
           0.0722 * channel(color.blueF());
}

int opaquePixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 128;
    }
    return count;
}

} // namespace

class PagePicturesTest : public QObject {
    Q_OBJECT

  private slots:
    void outOfRangeGivesEmptyPixmaps();
    void toolbarPicturesAreDistinctShapesOnTransparency();
    void bannersDifferAndCarryWhiteText();
    void programIconFillsItsSize();
};

void PagePicturesTest::outOfRangeGivesEmptyPixmaps() {
    QVERIFY(toolbarPicture(0).isNull());
    QVERIFY(toolbarPicture(8).isNull());
    QVERIFY(toolbarPicture(-1).isNull());
    QVERIFY(toolbarPicture(1, QSize(0, 40)).isNull());
    QVERIFY(bannerPicture(0).isNull());
    QVERIFY(bannerPicture(7).isNull());
    QVERIFY(bannerPicture(1, QSize()).isNull());
    QVERIFY(programIcon(QSize(0, 0)).isNull());
}

void PagePicturesTest::toolbarPicturesAreDistinctShapesOnTransparency() {
    std::vector<QImage> images;
    for (int button = 1; button <= 7; ++button) {
        const QPixmap pixmap = toolbarPicture(button);
        QCOMPARE(pixmap.size(), QSize(40, 40));
        const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        // Something is drawn, and the corners let the toolbar strip show.
        QVERIFY2(opaquePixels(image) > 100, qPrintable(QString::number(button)));
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(39, 39)), 0);
        for (const QImage& earlier : images)
            QVERIFY2(earlier != image, qPrintable(QString::number(button)));
        images.push_back(image);
    }
    // Other sizes are drawn at that size, not scaled from a fixed one.
    QCOMPARE(toolbarPicture(5, QSize(64, 32)).size(), QSize(64, 32));
}

void PagePicturesTest::bannersDifferAndCarryWhiteText() {
    std::vector<QImage> images;
    for (int choice = 1; choice <= 6; ++choice) {
        const QPixmap pixmap = bannerPicture(choice);
        QCOMPARE(pixmap.size(), QSize(1000, 38));
        const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        // Where the description sits, white on the band has a contrast of
        // at least 4.5 : 1.
        for (const int x : {12, 150, 300}) {
            const QColor behind = image.pixelColor(x, 19);
            QCOMPARE(behind.alpha(), 255);
            const double contrast = 1.05 / (luminance(behind) + 0.05);
            QVERIFY2(contrast >= 4.5,
                     qPrintable(
                         QStringLiteral("banner %1 at x=%2: %3").arg(choice).arg(x).arg(contrast)));
        }
        for (const QImage& earlier : images)
            QVERIFY(earlier.pixelColor(12, 19) != image.pixelColor(12, 19));
        images.push_back(image);
    }
    QCOMPARE(bannerPicture(1, QSize(360, 120)).size(), QSize(360, 120));
}

void PagePicturesTest::programIconFillsItsSize() {
    for (const QSize size : {QSize(16, 16), QSize(32, 32), QSize(48, 48)}) {
        const QImage image = programIcon(size).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), size);
        QCOMPARE(image.pixelColor(size.width() / 2, size.height() / 2 - size.height() / 4).alpha(),
                 255);
    }
}

QTEST_MAIN(PagePicturesTest)
#include "PagePicturesTest.moc"
