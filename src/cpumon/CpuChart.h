#pragma once
// The console's CPU chart: the component, the sample history and the scrolling
// curve drawn from it every 2 seconds while the chart toggle is on.
#include "base/Failure.h"
#include "base/Int16.h"
#include "ports/CpuUsage.h"

#include <array>
#include <memory>
#include <optional>
#include <string>

namespace torv {

// The picture area the chart is drawn on (Scope) and the number over it (Label3).
class ScopeView {
public:
    virtual ~ScopeView() = default;
    // Removes every line drawn; the background picture remains.
    virtual void clear() = 0;
    // A straight line in twips from the top-left corner of the inside, y downwards.
    virtual void drawLine(double x1, double y1, double x2, double y2) = 0;
    virtual void setValueText(const std::string& text) = 0;
};

class CpuChart {
public:
    static constexpr int kSlots = 102;
    static constexpr int kSegments = 33;
    using Slots = std::array<int16, kSlots>;

    // Creates the component on the first start; a reload keeps the one in use.
    // A component that cannot be created leaves CpuMonCreated false and the
    // failure is returned for reporting; nothing is thrown.
    std::optional<Failure> CreateCpuMon(bool reloading, CpuUsageFactory& factory);

    // Stores one sample, rounded half to even, in CpuValue. Throws Failure when
    // there is no component, the sample fails or does not fit 16 bits.
    void GetCpu();

    // One CPUTimer tick. With the chart off nothing happens. A sample that
    // fails, or that the chart could not draw, leaves the history, the curve
    // and the number as they were; the tick never throws.
    void CPUTimer_Timer(bool chartOn, ScopeView& scope);

    // The last failure met by a tick, for whoever wants to report it.
    const std::optional<Failure>& lastFailure() const { return lastFailure_; }

    std::unique_ptr<CpuUsage> CpuMon;
    bool CpuMonCreated = false;
    int16 CpuValue = 0;
    Slots CpuHist{};
    Slots CpuPlot{};

private:
    struct Segment {
        int16 x1, y1, x2, y2;
    };
    using Segments = std::array<Segment, kSegments>;

    static Segments segmentsOf(const Slots& plot);
    static void draw(ScopeView& scope, const Segments& segments);
    // Puts back the curve the last good tick drew (this tick has cleared it).
    void restoreCurve(ScopeView& scope);

    bool curveShown_ = false;
    std::optional<Failure> lastFailure_;
};

} // namespace torv
