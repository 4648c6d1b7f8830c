#pragma once
// A listener's complaint, said once until it is reset, as an event of the
// console's loop: a line added to the log in the middle of a launch would
// stand where the launch check reads the log's tail.
#include "ports/EventLoop.h"

#include <functional>
#include <memory>
#include <string>

namespace torv {

class PostedLog {
public:
    PostedLog(EventLoop& events, std::function<void(const std::string&)> log)
        : events_(events), log_(std::make_shared<std::function<void(const std::string&)>>(std::move(log)))
    {
    }
    // A line that is never said after its owner has gone.
    ~PostedLog() { *log_ = nullptr; }
    PostedLog(const PostedLog&) = delete;
    PostedLog& operator=(const PostedLog&) = delete;

    void once(const std::string& line)
    {
        if (said_)
            return;
        said_ = true;
        events_.post([log = log_, line] {
            if (*log)
                (*log)(line);
        });
    }
    // The next complaint is said again.
    void reset() { said_ = false; }

private:
    EventLoop& events_;
    std::shared_ptr<std::function<void(const std::string&)>> log_;
    bool said_ = false;
};

} // namespace torv
