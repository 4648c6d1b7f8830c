// The window module's cue player, lent to the headless console: the GUI and
// multimedia libraries live in the module, so a console without sound never
// loads them.
#include "platform/Platform.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT torv::Sound* torv_new_sound()
{
    return torv::makeSound().release();
}
