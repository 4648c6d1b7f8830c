#pragma once
// A module beside the executable (torv-web.so, torv-crypto.so) that carries a
// library only an opt-in feature needs. It is loaded on the first call that
// needs it, from any thread, and stays loaded for the rest of the run.
#include <mutex>
#include <string>

namespace torv {

class LazyModule {
public:
    explicit LazyModule(const char* file) : file_(file) {}

    // The named entry, or nullptr when the module (or the entry) cannot be
    // loaded; why then says so ("... is missing" when there is no file).
    void* entry(const char* name, std::string& why);

private:
    const char* file_;
    std::once_flag loaded_;
    void* handle_ = nullptr;
    std::string error_;
};

} // namespace torv
