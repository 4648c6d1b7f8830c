#include "cpumon/Scope.h"

#include <QLabel>
#include <QtTest>

using torv::Scope;

namespace {

bool isCurve(QRgb c)
{
    return qRed(c) > 180 && qGreen(c) > 180 && qBlue(c) < 110;
}

// Rows of the image column x that carry the curve's colour.
QList<int> curveRows(const QImage& image, int x)
{
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y)
        if (isCurve(image.pixel(x, y)))
            rows.append(y);
    return rows;
}

} // namespace

class ScopeTest : public QObject {
    Q_OBJECT

private slots:
    void hasTheSizeAndNumberOfTheConsole()
    {
        Scope scope;
        QCOMPARE(scope.size(), QSize(245, 61));
        QCOMPARE(scope.contentsRect().size(), QSize(241, 57));
        QCOMPARE(scope.label3()->text(), QStringLiteral("000"));
        // 2940, 540 twips inside the border.
        QCOMPARE(scope.label3()->geometry(), QRect(2 + 196, 2 + 36, 41, 13));
        scope.setValueText("42");
        QCOMPARE(scope.label3()->text(), QStringLiteral("42"));
    }

    void backgroundHasTheRedScaleStrip()
    {
        const QImage picture = Scope::backgroundPicture();
        QCOMPARE(picture.size(), QSize(241, 56));
        const QColor top = picture.pixelColor(2, 12);
        const QColor bottom = picture.pixelColor(2, 50);
        QVERIFY2(top.red() > 120 && top.green() < 60 && top.blue() < 60, qPrintable(top.name()));
        QVERIFY(bottom.red() < top.red() / 3);
        // The field right of the strip is dark slate.
        const QColor field = picture.pixelColor(120, 44);
        QVERIFY2(field.red() < 90 && field.green() < 90 && field.blue() < 90, qPrintable(field.name()));
        QVERIFY(!isCurve(picture.pixel(120, 44)));
    }

    void curveLiesAtTheHeightOfItsSamples()
    {
        Scope scope;
        // A flat line at 50 % and, further right, one at 0 %.
        scope.drawLine(400, 410, 1500, 410);
        scope.drawLine(1500, 810, 3700, 810);
        scope.setValueText("50");
        const QImage image = scope.grab().toImage();
        // Kept for a look by eye when an artefacts folder is given.
        if (const QByteArray dir = qgetenv("TORV_ARTIFACTS"); !dir.isEmpty() && QDir().mkpath(dir))
            image.scaled(image.size() * 4).save(QString::fromLocal8Bit(dir) + "/scope.png");
        const int border = Scope::kBorder;
        // 410 twips is 27.3 pixels down the inside; 810 twips 54.
        const QList<int> at50 = curveRows(image, border + 800 / 15);
        QVERIFY2(!at50.isEmpty(), "no curve at 50");
        for (int y : at50)
            QVERIFY2(std::abs(y - (border + 27)) <= 2, qPrintable(QString::number(y)));
        const QList<int> at0 = curveRows(image, border + 2500 / 15);
        QVERIFY(!at0.isEmpty());
        for (int y : at0)
            QVERIFY(std::abs(y - (border + 54)) <= 2);

        // Cleared: the background shows again, nothing curve-coloured remains.
        scope.clear();
        const QImage cleared = scope.grab().toImage();
        QVERIFY(curveRows(cleared, border + 800 / 15).isEmpty());
        QVERIFY(curveRows(cleared, border + 2500 / 15).isEmpty());
    }

    void linesBeyondTheInsideAreCutOff()
    {
        Scope scope;
        // Far above the top and past the right edge, as an out-of-range sample draws.
        scope.drawLine(400, -30000, 500, -30000);
        scope.drawLine(3600, 410, 3700, 410);
        const QImage image = scope.grab().toImage();
        for (int y = 0; y < image.height(); ++y) {
            QVERIFY(!isCurve(image.pixel(image.width() - 1, y)));
            QVERIFY(!isCurve(image.pixel(image.width() - 2, y)));
        }
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y <= Scope::kBorder; ++y)
                QVERIFY(!isCurve(image.pixel(x, y)));
        // The last column of the inside still shows the part that fits.
        QVERIFY(!curveRows(image, Scope::kBorder + 3600 / 15).isEmpty());
    }
};

QTEST_MAIN(ScopeTest)
#include "scope_test.moc"
