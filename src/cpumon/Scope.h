#pragma once
// The chart area of the console: a sunken picture box with its background
// picture, the curve drawn in twips, and the number (Label3) lying inside it.
#include "cpumon/CpuChart.h"

#include <QFrame>
#include <QImage>
#include <QLineF>
#include <QVector>

class QLabel;

namespace torv {

class Scope : public QFrame, public ScopeView {
public:
    static constexpr int kTwipsPerPixel = 15;
    static constexpr int kWidthTwips = 3675;
    static constexpr int kHeightTwips = 915;
    static constexpr int kBorder = 2; // sunken 3-D border, pixels per side

    explicit Scope(QWidget* parent = nullptr);

    void clear() override;
    void drawLine(double x1, double y1, double x2, double y2) override;
    void setValueText(const std::string& text) override;

    QLabel* label3() const { return label3_; }
    // The 241 x 56 picture under the curve.
    static QImage backgroundPicture();
    // The curve's pen colour (the picture area's foreground colour).
    static QColor curveColour() { return QColor(255, 255, 0); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage background_;
    QVector<QLineF> lines_; // in twips
    QLabel* label3_;
};

} // namespace torv
