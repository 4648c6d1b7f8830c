// The window module's cue player, lent to the headless console: Qt Multimedia
// lives in the module, so a console without sound never loads it.
#include "platform/qt/QtSound.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT torv::Sound* torv_new_sound()
{
    return new torv::QtSound;
}
