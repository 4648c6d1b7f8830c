#pragma once
// A chart that keeps what is drawn on it now and, when given a journal, the
// order of the calls that drew it.
#include "cpumon/CpuChart.h"

#include <string>
#include <vector>

namespace torv::sim {

class RecordingScope : public ScopeView {
public:
    struct Line {
        double x1, y1, x2, y2;
        bool operator==(const Line&) const = default;
    };
    RecordingScope() = default;
    explicit RecordingScope(std::vector<std::string>& journal) : journal_(&journal) {}
    void clear() override
    {
        note("clear");
        lines.clear();
    }
    void drawLine(double x1, double y1, double x2, double y2) override
    {
        note("line");
        lines.push_back({x1, y1, x2, y2});
    }
    void setValueText(const std::string& text) override
    {
        note("text:" + text);
        value = text;
    }
    std::vector<Line> lines; // what is on the chart now
    std::string value = "000";

private:
    void note(const std::string& call)
    {
        if (journal_)
            journal_->push_back(call);
    }
    std::vector<std::string>* journal_ = nullptr;
};

} // namespace torv::sim
