#pragma once

#include "sim/SimLine.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vantrel {

// How the simulated operator follows the instructions on the screen.
enum class SimOperatorHabit {
    Diligent,       // does what each message asks
    ForgetsAdapter, // reconnects the battery but leaves the flash adapter as it was
    Absent,         // presses OK and does nothing
};

// The person at the bench. Listens to the operator's answers (the feedback's
// operator-action listeners) and does to the watched radios what the message
// asked for: switch the flash adapter and reconnect the battery.
//
//   20133 answered OK          adapter ON(Flash Mode), battery reconnected: bootstrap mode
//   20153, 20156, 20159 shown  adapter left ON, power reconnected: bootstrap mode again
//   20154, 20136, 20207, 20230 shown  adapter OFF(Normal Operation), radio off and on: normal operation
//   20132 shown                adapter OFF, nothing else
//   20272 answered OK          radio switched off (for the cable check)
//   20273 shown                radio switched on again
class SimOperator {
public:
    SimOperator();
    ~SimOperator();
    SimOperator(const SimOperator&) = delete;
    SimOperator& operator=(const SimOperator&) = delete;

    void Watch(const std::shared_ptr<SimLine>& line) { m_lines.push_back(line); }
    void SetHabit(SimOperatorHabit habit) { m_habit = habit; }

    // What the operator did, by message id, in order (tests look at it).
    const std::vector<uint32_t>& Handled() const { return m_handled; }

    // The actions themselves, for tests that drive the radio by hand.
    static void PutIntoBootstrap(SimLine& line);
    static void ReturnToNormal(SimLine& line);
    static void ReconnectPower(SimLine& line);

    void OnAnswer(uint32_t id, int answer);

private:
    int m_listener = 0;
    SimOperatorHabit m_habit = SimOperatorHabit::Diligent;
    std::vector<std::weak_ptr<SimLine>> m_lines;
    std::vector<uint32_t> m_handled;
};

} // namespace vantrel
