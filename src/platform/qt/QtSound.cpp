#include "platform/qt/QtSound.h"

#include <QApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace torv {

QtSound::QtSound() = default;
QtSound::~QtSound() = default;

void QtSound::play(const std::string& path)
{
    const QString file = QString::fromUtf8(path.c_str());
    if (!QFileInfo(file).isFile()) {
        QApplication::beep();
        return;
    }
    if (effect_)
        effect_->stop();
    // A fresh effect per cue: re-pointing a playing one can keep the old sound.
    effect_ = std::make_unique<QSoundEffect>();
    effect_->setSource(QUrl::fromLocalFile(file));
    effect_->play();
}

} // namespace torv
