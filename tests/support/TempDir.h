#pragma once
// A fresh temporary folder, removed with everything in it at the end of a test.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace torv::sim {

// The names in a folder, sorted.
std::vector<std::string> listing(const std::string& folder);

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    void write(const std::string& name, const std::string& content) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

private:
    std::filesystem::path path_;
};

} // namespace torv::sim
