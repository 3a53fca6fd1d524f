#include "support/CodeplugFiles.h"

#include "images/SRecordWriter.h"

namespace vantrel {

std::string CodeplugSRecordText(std::span<const uint8_t> image)
{
    std::string text;
    AppendSRecordData(text, 0, image, 32);
    AppendSRecord(text, '9', 0, {});
    return text;
}

} // namespace vantrel
