#include "app/WindowModule.h"

#include "ports/ExecutableFolder.h"
#include "ports/Paths.h"

#include <QLibrary>

#include <cstdio>

namespace torv::windowmodule {

namespace {

#ifdef _WIN32
constexpr const char* kFile = "torv-window.dll";
#else
constexpr const char* kFile = "torv-window.so";
#endif

// Resolves one entry of the module, loading it on first use; it stays loaded
// for the rest of the run.
QFunctionPointer entry(const char* name, std::string& why)
{
    static QLibrary library;
    if (!library.isLoaded()) {
        library.setFileName(QString::fromUtf8(inFolder(executableFolder(), kFile).c_str()));
        if (!library.load()) {
            why = library.errorString().toUtf8().toStdString();
            return nullptr;
        }
    }
    QFunctionPointer f = library.resolve(name);
    if (!f)
        why = library.errorString().toUtf8().toStdString();
    return f;
}

} // namespace

int runWindow(int argc, char** argv)
{
    std::string why;
    auto run = reinterpret_cast<int (*)(int, char**)>(entry("torv_window_main", why));
    if (!run) {
        std::fprintf(stderr, "torv: cannot load the window: %s\nWithout a window: torv --headless\n", why.c_str());
        return 1;
    }
    return run(argc, argv);
}

std::unique_ptr<Sound> newSound(std::string& why)
{
    auto make = reinterpret_cast<Sound* (*)()>(entry("torv_new_sound", why));
    return std::unique_ptr<Sound>(make ? make() : nullptr);
}

} // namespace torv::windowmodule
