#include "cpumon/CpuChart.h"

#include "base/Number.h"

#include <exception>

namespace torv {

namespace {

// Height of a sample on the chart: 8 twips per percent, 0 % at 810.
int16 yOf(int16 sample)
{
    return sub16(810, mul16(8, sample));
}

} // namespace

std::optional<Failure> CpuChart::CreateCpuMon(bool reloading, CpuUsageFactory& factory)
{
    if (reloading)
        return std::nullopt;
    try {
        CpuMon = factory.create(kCpuUsageProgId);
        CpuMonCreated = CpuMon != nullptr;
        if (!CpuMonCreated)
            return Failure::cannotCreateObject();
    } catch (const Failure& failure) {
        return failure;
    }
    return std::nullopt;
}

void CpuChart::GetCpu()
{
    if (!CpuMon)
        throw Failure::objectNotSet();
    double sample = 0;
    try {
        sample = CpuMon->cpuuse();
    } catch (const Failure&) {
        throw;
    } catch (const std::exception& e) {
        // The component is foreign code; whatever it throws is its failure.
        throw Failure{440, e.what()};
    }
    CpuValue = roundToInt16(sample);
}

CpuChart::Segments CpuChart::segmentsOf(const Slots& plot)
{
    Segments segments{};
    for (int16 k = 5; k <= 37; ++k) {
        const int16 x = add16(400, mul16(100, sub16(k, 5)));
        segments[k - 5] = {x, yOf(plot[k]), add16(x, 100), yOf(plot[k + 1])};
    }
    return segments;
}

void CpuChart::draw(ScopeView& scope, const Segments& segments)
{
    for (const Segment& s : segments)
        scope.drawLine(s.x1, s.y1, s.x2, s.y2);
}

void CpuChart::restoreCurve(ScopeView& scope)
{
    if (!curveShown_)
        return;
    try {
        draw(scope, segmentsOf(CpuPlot));
    } catch (const Failure&) {
        // Only a history changed from outside could fail here; show nothing then.
    }
}

void CpuChart::CPUTimer_Timer(bool chartOn, ScopeView& scope)
{
    if (!chartOn)
        return;
    // No event processing inside the tick: a tick is never delivered again
    // while its handler runs, so a click handled here (a Restart, the editor)
    // would freeze the chart until it returned, a whole sequence later. The
    // window repaints the cleared and redrawn chart once the tick is over.
    scope.clear();

    const int16 previousValue = CpuValue;
    try {
        GetCpu();
        // A sample the chart cannot draw would overflow every later tick as it
        // moves along the curve, so it never enters the history.
        yOf(CpuValue);
    } catch (const Failure& failure) {
        lastFailure_ = failure;
        CpuValue = previousValue;
        restoreCurve(scope);
        return;
    }

    scope.setValueText(std::to_string(CpuValue));

    // Worked out on copies and kept only when the whole step succeeds.
    Slots hist = CpuHist;
    Slots plot = CpuPlot;
    Segments segments;
    try {
        hist[2] = CpuValue;
        for (int i = 1; i <= 100; ++i)
            plot[i + 1] = hist[i];
        segments = segmentsOf(plot);
        for (int i = 3; i <= 100; ++i)
            hist[i] = plot[i];
    } catch (const Failure& failure) {
        lastFailure_ = failure;
        restoreCurve(scope);
        return;
    }
    CpuHist = hist;
    CpuPlot = plot;
    draw(scope, segments);
    curveShown_ = true;
}

} // namespace torv
