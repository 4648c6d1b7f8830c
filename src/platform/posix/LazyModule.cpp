#include "platform/posix/LazyModule.h"

#include "ports/ExecutableFolder.h"
#include "ports/Paths.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace torv {

void* LazyModule::entry(const char* name, std::string& why)
{
    std::call_once(loaded_, [this] {
        const std::string path = inFolder(executableFolder(), file_);
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) {
            error_ = "missing";
            return;
        }
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_)
            error_ = std::string("not loadable: ") + dlerror();
    });
    if (!handle_) {
        why = error_;
        return nullptr;
    }
    void* f = dlsym(handle_, name);
    if (!f)
        why = std::string("not loadable: no ") + name;
    return f;
}

} // namespace torv
