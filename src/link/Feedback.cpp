#include "link/Feedback.h"

#include "link/StringTable.h"

#include <map>

namespace vantrel {
namespace {

SilentFeedback g_silent;
Feedback* g_feedback = &g_silent;

std::map<int, OperatorActionListener>& Listeners()
{
    static std::map<int, OperatorActionListener> listeners;
    return listeners;
}
int g_nextListener = 1;

} // namespace

Feedback& CurrentFeedback()
{
    return *g_feedback;
}

ScopedFeedback::ScopedFeedback(Feedback& feedback) : m_prev(g_feedback)
{
    g_feedback = &feedback;
}

ScopedFeedback::~ScopedFeedback()
{
    g_feedback = m_prev;
}

void SendProgress(uint32_t message, uint32_t wParam)
{
    g_feedback->SendProgress(message, wParam);
}

namespace {

int TellListeners(uint32_t id, int answer)
{
    // Copy first: a listener may remove itself.
    const auto listeners = Listeners();
    for (const auto& entry : listeners)
        entry.second(id, answer);
    return answer;
}

} // namespace

int ShowMessage(int kind, uint32_t id)
{
    return TellListeners(id, g_feedback->ShowMessageBox(kind, id));
}

int ShowMessage(int kind, uint32_t id, const std::string& text)
{
    return TellListeners(id, g_feedback->ShowMessageBoxText(kind, id, text));
}

int AddOperatorActionListener(OperatorActionListener listener)
{
    const int handle = g_nextListener++;
    Listeners().emplace(handle, std::move(listener));
    return handle;
}

void RemoveOperatorActionListener(int handle)
{
    Listeners().erase(handle);
}

std::string Feedback::RecoveryHint(RecoveryWay way, const std::string& backupPath) const
{
    if (way == RecoveryWay::EepromOnly) return MessageWith(20238, {backupPath});
    return backupPath.empty() ? LoadMessageText(20236) : MessageWith(20235, {backupPath});
}

void ShowRecoveryHint(RecoveryWay way, const std::string& backupPath)
{
    Feedback& feedback = CurrentFeedback();
    feedback.ShowNote(feedback.RecoveryHint(way, backupPath));
}

uint32_t PortOpenFailureId(OpenError cause)
{
    switch (cause) {
    case OpenError::NoSuchDevice:
        return 20270;
    case OpenError::PermissionDenied:
        return 20271;
    default:
        return 20001;
    }
}

std::string PortOpenFailureText(const std::string& portName, OpenError cause)
{
    return MessageTextWith(PortOpenFailureId(cause), portName);
}

} // namespace vantrel
