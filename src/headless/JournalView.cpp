#include "headless/JournalView.h"

#include "core/ConsoleTexts.h"

namespace torv {

// The status line starts with the idle text; that is no change to report.
JournalView::JournalView(LineSink& sink) : sink_(sink), filter_(kIdleStatus)
{
}

void JournalView::setStatus(const std::string& text)
{
    if (filter_.wanted(text))
        sink_.out(oneLine(text));
}

} // namespace torv
