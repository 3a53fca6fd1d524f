#include "upgrade/UpgradeLengths.h"

#include "codeplug/CodeplugLayout.h"

namespace vantrel {

bool IsKnownHardwareLength(uint32_t hardwareLength)
{
    return hardwareLength == kPhase12HardwareLength || hardwareLength == kPhase3HardwareLength;
}

uint32_t SecondLengthAddress(const UpgradePlan& plan, uint32_t hardwareLength)
{
    if (plan.applicationCodeplug != 0) return hardwareLength + kAppLengthOffset;
    return hardwareLength + kHeaderSize + kBlockRecordLengthOffset;
}

uint32_t UpgradeImageLength(const UpgradePlan& plan, uint32_t hardwareLength, uint32_t extra)
{
    if (!IsKnownHardwareLength(hardwareLength)) return 0;
    uint32_t length = 0;
    if (plan.applicationCodeplug != 0) {
        length = hardwareLength + extra + kAppLengthSlack;
    } else if (plan.hardwareCodeplug != 0) {
        if (hardwareLength != kPhase3HardwareLength || extra != kNewBlock1RecordLength) return 0;
        length = hardwareLength + kHeaderSize + extra + kBlockOverhead;
    } else {
        return 0;
    }
    if (length <= hardwareLength + kHeaderSize || length > kImageSize) return 0;
    return length;
}

} // namespace vantrel
