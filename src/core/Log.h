#pragma once
// The console's running log (DumpString): entries end in CR LF, oldest first.
#include <cstdint>
#include <string>

namespace torv {

class Log {
public:
    void append(const std::string& entry)
    {
        text_ += entry;
        text_ += "\r\n";
    }
    void clear()
    {
        text_.clear();
        ++rewrites_;
    }
    const std::string& text() const { return text_; }
    size_t size() const { return text_.size(); }
    bool endsWith(const std::string& tail) const
    {
        return text_.size() >= tail.size() && text_.compare(text_.size() - tail.size(), tail.size(), tail) == 0;
    }
    // Counts every change that was not a plain append, so a view can tell
    // whether it may just add the new tail.
    std::uint64_t rewrites() const { return rewrites_; }

private:
    std::string text_;
    std::uint64_t rewrites_ = 0;
};

} // namespace torv
