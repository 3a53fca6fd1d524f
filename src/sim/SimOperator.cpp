#include "sim/SimOperator.h"

#include "link/Feedback.h"

namespace vantrel {

SimOperator::SimOperator()
{
    m_listener = AddOperatorActionListener([this](uint32_t id, int answer) { OnAnswer(id, answer); });
}

SimOperator::~SimOperator()
{
    RemoveOperatorActionListener(m_listener);
}

void SimOperator::PutIntoBootstrap(SimLine& line)
{
    line.Sync();
    line.Radio().SetAdapter(true);
    line.Radio().PowerCycle();
}

void SimOperator::ReturnToNormal(SimLine& line)
{
    line.Sync();
    line.Radio().SetAdapter(false);
    line.Radio().PowerCycle();
}

void SimOperator::ReconnectPower(SimLine& line)
{
    line.Sync();
    line.Radio().PowerCycle();
}

void SimOperator::OnAnswer(uint32_t id, int answer)
{
    enum class Ask { Nothing, Bootstrap, Normal, AdapterOff, RadioOff, RadioOn } ask = Ask::Nothing;
    switch (id) {
    case 20133:
        ask = answer != 0 ? Ask::Bootstrap : Ask::Nothing;
        break;
    case 20153:
    case 20156:
    case 20159:
        ask = Ask::Bootstrap;
        break;
    case 20154:
    case 20136:
    case 20207:
    case 20230:
        ask = Ask::Normal;
        break;
    case 20132:
        ask = Ask::AdapterOff;
        break;
    case 20272:
        ask = answer != 0 ? Ask::RadioOff : Ask::Nothing;
        break;
    case 20273:
        ask = Ask::RadioOn;
        break;
    default:
        break;
    }
    if (ask == Ask::Nothing || m_habit == SimOperatorHabit::Absent) return;
    m_handled.push_back(id);
    for (const auto& weak : m_lines) {
        const auto line = weak.lock();
        if (!line) continue;
        if (ask == Ask::AdapterOff) {
            line->Sync();
            line->Radio().SetAdapter(false);
        } else if (ask == Ask::RadioOff || ask == Ask::RadioOn) {
            line->Sync();
            if (ask == Ask::RadioOff)
                line->Radio().PowerOff();
            else
                line->Radio().PowerOn();
        } else if (m_habit == SimOperatorHabit::ForgetsAdapter) {
            ReconnectPower(*line);
        } else if (ask == Ask::Bootstrap) {
            PutIntoBootstrap(*line);
        } else {
            ReturnToNormal(*line);
        }
    }
}

} // namespace vantrel
