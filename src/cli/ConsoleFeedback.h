#pragma once

#include "link/Feedback.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace vantrel {

// Feedback on a terminal: messages print with their exact texts, progress shows
// as a bar on a terminal and as plain lines otherwise, and questions are
// answered at the terminal or, when not interactive, from --yes / --retries.
class ConsoleFeedback final : public Feedback {
public:
    struct Options {
        bool assumeYes = false;  // answer OK / Retry without asking
        int retries = 0;  // Retry answers allowed for Retry/Cancel questions when not asking
        bool interactive = false;  // ask at the terminal
        bool progressBar = false;  // draw a bar (stdout is a terminal)
    };

    ConsoleFeedback(Options options, std::FILE* out = stdout, std::FILE* err = stderr, std::FILE* in = stdin);

    // How a port name ("COM1") is shown: as the device the user gave.
    using PortLabel = std::function<std::string(const std::string& portName)>;
    void SetPortLabel(PortLabel label) { m_portLabel = std::move(label); }

    void SendProgress(uint32_t message, uint32_t wParam) override;
    int ShowMessageBox(int kind, uint32_t id) override;
    void ShowPortOpenFailure(const std::string& portName, const OpenResult& failure) override;
    void ShowNote(const std::string& text) override;
    void ShowFailureNote(const std::string& text) override;

    // The last error message shown, for the exit status.
    uint32_t LastErrorId() const { return m_lastErrorId; }

private:
    void ClearBarLine();
    void DrawBar();
    bool AskYesNo(const char* question);
    // Writes a whole line and flushes it, so that standard output and standard
    // error keep their order in one log.
    void PrintLine(std::FILE* f, const std::string& text);

    Options m_options;
    std::FILE* m_out;
    std::FILE* m_err;
    std::FILE* m_in;
    bool m_open = false;
    bool m_barVisible = true;
    bool m_barDrawn = false;
    uint32_t m_range = 0;
    uint32_t m_pos = 0;
    std::string m_status;
    std::string m_lastPrinted;
    int m_retriesLeft;
    uint32_t m_lastErrorId = 0;
    PortLabel m_portLabel;
};

}  // namespace vantrel
