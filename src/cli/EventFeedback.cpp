#include "cli/EventFeedback.h"

#include "cli/BuildInfo.h"
#include "cli/Cli.h"
#include "cli/JsonObject.h"
#include "link/StringTable.h"

namespace vantrel {
namespace {

const char* KindName(int kind)
{
    switch (kind) {
    case kMsgError:
        return "error";
    case kMsgInformation:
        return "information";
    case kMsgWarning:
        return "warning";
    case kMsgWarningOkCancel:
        return "warning-ok-cancel";
    case kMsgErrorRetryCancel:
        return "error-retry-cancel";
    default:
        return "unknown";
    }
}

const char* OutcomeName(int status)
{
    switch (status) {
    case kExitOk:
        return "success";
    case kExitUsage:
        return "usage-error";
    case kExitCancelled:
        return "cancelled";
    default:
        return "failed";
    }
}

JsonObject ProgressStep(const char* step)
{
    JsonObject event;
    event.Text("event", "progress").Text("step", step);
    return event;
}

} // namespace

EventFeedback::EventFeedback(Feedback& shown, std::FILE* events, PortLabel portLabel)
    : m_shown(shown), m_events(events), m_portLabel(std::move(portLabel))
{
}

void EventFeedback::Write(const std::string& line)
{
    std::fputs(line.c_str(), m_events);
    std::fputc('\n', m_events);
    std::fflush(m_events);
}

void EventFeedback::SendProgress(uint32_t message, uint32_t wParam)
{
    // Every step as the operation sent it; the shown sink decides what a step
    // changes (an open while open changes nothing, for example).
    switch (message) {
    case WM_PROGRESS_OPEN:
        Write(ProgressStep("open").Number("range", wParam).Str());
        break;
    case WM_PROGRESS_RANGE:
        Write(ProgressStep("range").Number("range", wParam & 0xFFFF).Str());
        break;
    case WM_PROGRESS_POS:
        Write(ProgressStep("position").Number("position", wParam).Str());
        break;
    case WM_PROGRESS_TEXT:
        Write(ProgressStep("text").Number("id", wParam).Text("text", LoadMessageText(wParam)).Str());
        break;
    case WM_PROGRESS_CLOSE:
        Write(ProgressStep("close").Str());
        break;
    case WM_PROGRESS_SHOWBAR:
        Write(ProgressStep("showbar").Str());
        break;
    case WM_PROGRESS_HIDEBAR:
        Write(ProgressStep("hidebar").Str());
        break;
    default:
        break;
    }
    m_shown.SendProgress(message, wParam);
}

int EventFeedback::ShowMessageBox(int kind, uint32_t id)
{
    const int answer = m_shown.ShowMessageBox(kind, id);
    const bool question = kind == kMsgWarningOkCancel || kind == kMsgErrorRetryCancel;
    JsonObject event;
    event.Text("event", question ? "question" : "message")
        .Number("id", id)
        .Number("kind", kind)
        .Text("kindName", KindName(kind))
        .Text("text", LoadMessageText(id));
    if (question) event.Text("answer", answer == 0 ? "cancel" : kind == kMsgErrorRetryCancel ? "retry" : "ok");
    Write(event.Str());
    return answer;
}

void EventFeedback::ShowPortOpenFailure(const std::string& portName, const OpenResult& failure)
{
    m_shown.ShowPortOpenFailure(portName, failure);
    const std::string shownName = m_portLabel ? m_portLabel(portName) : portName;
    JsonObject event;
    event.Text("event", "message")
        .Number("id", PortOpenFailureId(failure.error))
        .Number("kind", kMsgError)
        .Text("kindName", KindName(kMsgError))
        .Text("text", PortOpenFailureText(shownName, failure.error))
        .Text("port", shownName);
    if (!failure.message.empty()) event.Text("note", failure.message);
    Write(event.Str());
}

void EventFeedback::BackupSaved(const std::string& path)
{
    m_shown.BackupSaved(path);
    Write(JsonObject().Text("event", "backup").Text("path", path).Str());
}

void EventFeedback::ShowNote(const std::string& text)
{
    m_shown.ShowNote(text);
    WriteNote(text);
}

void EventFeedback::ShowFailureNote(const std::string& text)
{
    m_shown.ShowFailureNote(text);
    WriteNote(text);
}

void EventFeedback::WriteNote(const std::string& text)
{
    Write(JsonObject().Text("event", "note").Text("text", text).Str());
}

void EventFeedback::Start(const std::string& command, const std::string& port)
{
    Write(JsonObject()
              .Text("event", "start")
              .Text("command", command)
              .Text("version", ProgramVersion())
              .Text("revision", BuildRevision())
              .Text("port", port)
              .Str());
}

void EventFeedback::Result(const std::string& command, int status, const std::string& data)
{
    JsonObject event;
    event.Text("event", "result")
        .Text("command", command)
        .Number("status", status)
        .Text("outcome", OutcomeName(status));
    if (!data.empty()) event.Raw("data", data);
    Write(event.Str());
}

} // namespace vantrel
