#include "cpumon/Scope.h"

#include <QFont>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>

namespace torv {

namespace {

constexpr int kPictureWidth = 241;
constexpr int kPictureHeight = 56;
constexpr int kStripWidth = 22;

// Twips to pixels on the inside of the picture area.
QRect twipsRect(int left, int top, int width, int height)
{
    const int k = Scope::kTwipsPerPixel;
    return QRect(left / k, top / k, width / k, height / k);
}

} // namespace

Scope::Scope(QWidget* parent) : QFrame(parent), background_(backgroundPicture())
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kBorder);
    setFixedSize(kWidthTwips / kTwipsPerPixel, kHeightTwips / kTwipsPerPixel);

    // Lies over the curve's lower right part; the chart shows through it.
    label3_ = new QLabel(QStringLiteral("000"), this);
    label3_->setGeometry(twipsRect(2940, 540, 615, 195).translated(kBorder, kBorder));
    label3_->setAlignment(Qt::AlignCenter);
    label3_->setAttribute(Qt::WA_TranslucentBackground);
    label3_->setAutoFillBackground(false);
    label3_->setStyleSheet(QStringLiteral("QLabel { background: transparent; color: rgb(255, 192, 255); }"));
    QFont font = label3_->font();
    font.setPixelSize(10);
    label3_->setFont(font);
}

void Scope::clear()
{
    lines_.clear();
    update();
}

void Scope::drawLine(double x1, double y1, double x2, double y2)
{
    lines_.append(QLineF(x1, y1, x2, y2));
    update();
}

void Scope::setValueText(const std::string& text)
{
    label3_->setText(QString::fromStdString(text));
}

void Scope::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event); // the sunken border
    const QRect inside = contentsRect();
    QPainter p(this);
    p.setClipRect(inside);
    p.fillRect(inside, QColor(60, 62, 66));
    p.drawImage(inside.topLeft(), background_);

    // Lines past the inside are cut off by the clip.
    p.translate(inside.topLeft());
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(curveColour(), 1.5, Qt::SolidLine, Qt::RoundCap));
    const double scale = 1.0 / kTwipsPerPixel;
    for (const QLineF& line : lines_)
        p.drawLine(QLineF(line.p1() * scale, line.p2() * scale));
}

QImage Scope::backgroundPicture()
{
    QImage image(kPictureWidth, kPictureHeight, QImage::Format_RGB32);
    image.fill(QColor(60, 62, 66));
    QPainter p(&image);

    // Faint grid texture.
    p.setPen(QColor(66, 69, 74));
    for (int x = kStripWidth + 7; x < kPictureWidth; x += 8)
        p.drawLine(x, 0, x, kPictureHeight - 1);
    for (int y = 3; y < kPictureHeight; y += 8)
        p.drawLine(kStripWidth, y, kPictureWidth - 1, y);

    // Scale strip: red at the top to black at the bottom.
    QLinearGradient strip(0, 0, 0, kPictureHeight);
    strip.setColorAt(0.0, QColor(210, 20, 20));
    strip.setColorAt(1.0, QColor(0, 0, 0));
    p.fillRect(0, 0, kStripWidth, kPictureHeight, strip);

    // The 50 % mark sits at 410 twips, about 27 pixels down.
    const int mid = 410 / Scope::kTwipsPerPixel;
    QLinearGradient rule(kStripWidth, 0, kPictureWidth, 0);
    rule.setColorAt(0.0, QColor(90, 200, 120, 220));
    rule.setColorAt(1.0, QColor(90, 200, 120, 0));
    p.fillRect(kStripWidth, mid, kPictureWidth - kStripWidth, 1, rule);

    QFont small;
    small.setPixelSize(8);
    p.setFont(small);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, kStripWidth, 9), Qt::AlignCenter, QStringLiteral("100"));
    p.drawText(QRect(0, mid - 4, kStripWidth, 9), Qt::AlignCenter, QStringLiteral("50"));
    p.drawText(QRect(0, kPictureHeight - 9, kStripWidth, 9), Qt::AlignCenter, QStringLiteral("0"));

    QFont title;
    title.setPixelSize(9);
    p.setFont(title);
    p.setPen(QColor(200, 202, 206));
    p.drawText(QRect(kStripWidth, 0, kPictureWidth - kStripWidth, 11), Qt::AlignCenter,
               QStringLiteral("CPU Usage by percent"));
    return image;
}

} // namespace torv
