#include "cli/ConsoleFeedback.h"

#include "cli/OutputText.h"
#include "link/StringTable.h"
#include "platform/StopRequest.h"

#include <cstring>

namespace vantrel {

ConsoleFeedback::ConsoleFeedback(Options options, std::FILE* out, std::FILE* err, std::FILE* in)
    : m_options(options), m_out(out), m_err(err), m_in(in), m_retriesLeft(options.retries)
{
}

void ConsoleFeedback::ClearBarLine()
{
    if (m_barDrawn) {
        std::fputs("\r\033[K", m_out);
        std::fflush(m_out);
        m_barDrawn = false;
    }
}

void ConsoleFeedback::DrawBar()
{
    if (!m_options.progressBar || !m_open) return;
    constexpr int kWidth = 30;
    const uint32_t pos = m_pos > m_range ? m_range : m_pos;
    const int filled = m_range == 0 ? 0 : static_cast<int>(static_cast<uint64_t>(pos) * kWidth / m_range);
    std::fputs("\r\033[K", m_out);
    if (m_barVisible) {
        std::fputc('[', m_out);
        for (int i = 0; i < kWidth; ++i) std::fputc(i < filled ? '#' : '.', m_out);
        std::fprintf(m_out, "] %u/%u ", pos, m_range);
    }
    std::fputs(m_status.c_str(), m_out);
    std::fflush(m_out);
    m_barDrawn = true;
}

void ConsoleFeedback::SendProgress(uint32_t message, uint32_t wParam)
{
    switch (message) {
    case WM_PROGRESS_OPEN:
        if (m_open) return;
        m_open = true;
        m_barVisible = true;
        m_range = wParam;
        m_pos = 0;
        m_status.clear();
        break;
    case WM_PROGRESS_RANGE:
        if (!m_open) return;
        m_range = wParam & 0xFFFF;
        m_pos = 0;
        break;
    case WM_PROGRESS_POS:
        if (!m_open) return;
        m_pos = wParam;
        break;
    case WM_PROGRESS_TEXT:
        if (!m_open) return;
        m_status = LoadMessageText(wParam);
        // Without a bar, say each new status once: repeats carry no news in a log.
        if (!m_options.progressBar && m_status != m_lastPrinted) {
            PrintLine(m_out, m_status);
            m_lastPrinted = m_status;
        }
        break;
    case WM_PROGRESS_CLOSE:
        if (!m_open) return;
        ClearBarLine();
        m_open = false;
        m_lastPrinted.clear();
        return;
    case WM_PROGRESS_SHOWBAR:
        if (m_open) m_barVisible = true;
        break;
    case WM_PROGRESS_HIDEBAR:
        if (m_open) m_barVisible = false;
        break;
    default:
        return;
    }
    DrawBar();
}

bool ConsoleFeedback::AskYesNo(const char* question)
{
    std::fprintf(m_out, "%s ", question);
    std::fflush(m_out);
    char line[64];
    if (!std::fgets(line, sizeof line, m_in)) return false;
    return line[0] == 'y' || line[0] == 'Y' || line[0] == '\n' || line[0] == 'r' || line[0] == 'R';
}

void ConsoleFeedback::PrintLine(std::FILE* f, const std::string& text)
{
    std::fputs(text.c_str(), f);
    std::fputc('\n', f);
    std::fflush(f);
}

int ConsoleFeedback::ShowMessageBox(int kind, uint32_t id)
{
    ClearBarLine();
    const bool error = kind == kMsgError || kind == kMsgErrorRetryCancel;
    PrintLine(error ? m_err : m_out, std::string(error ? "Error: " : "") + LoadMessageText(id));
    if (error) m_lastErrorId = id;

    int answer = 1;
    if (kind == kMsgWarningOkCancel || kind == kMsgErrorRetryCancel) {
        const bool retry = kind == kMsgErrorRetryCancel;
        if (StopRequested()) {
            // Stopping: every question is answered the way that ends the run.
            answer = 0;
            std::fprintf(m_out, "(Cancel: interrupted)\n");
        } else if (m_options.interactive) {
            answer = AskYesNo(retry ? "Retry? [Y/n]" : "Continue (OK)? [Y/n]") ? 1 : 0;
        } else if (retry) {
            answer = m_retriesLeft > 0 ? 1 : 0;
            if (answer) --m_retriesLeft;
            PrintLine(m_out, answer ? "(Retry)" : "(Cancel)");
        } else {
            answer = m_options.assumeYes ? 1 : 0;
            PrintLine(m_out, answer ? "(OK)" : "(Cancel: run with --yes to confirm)");
        }
    }
    DrawBar();
    return answer;
}

void ConsoleFeedback::ShowPortOpenFailure(const std::string& portName, const OpenResult& failure)
{
    ClearBarLine();
    const std::string shownName = m_portLabel ? m_portLabel(portName) : portName;
    // Appended rather than concatenated: GCC 12's -Wrestrict misfires on
    // literal + temporary string at -O3 (the MinGW build treats it as an error).
    std::string headline = "Error: ";
    headline += TerminalText(PortOpenFailureText(shownName, failure.error));
    PrintLine(m_err, headline);
    if (!failure.message.empty()) {
        std::string shownDetail = "(";
        shownDetail += TerminalText(failure.message);
        shownDetail += ")";
        PrintLine(m_err, shownDetail);
    }
    m_lastErrorId = PortOpenFailureId(failure.error);
}

void ConsoleFeedback::ShowNote(const std::string& text)
{
    ClearBarLine();
    PrintLine(m_out, TerminalText(text));
    DrawBar();
}

void ConsoleFeedback::ShowFailureNote(const std::string& text)
{
    ClearBarLine();
    PrintLine(m_err, TerminalText(text));
    DrawBar();
}

}  // namespace vantrel
