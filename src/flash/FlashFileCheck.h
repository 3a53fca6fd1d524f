#pragma once

#include "flash/FlashFileSet.h"

#include <cstdint>
#include <string>

namespace vantrel {

struct FirmwareImage;

// What is wrong with a file a run needs: the message that tells the operator,
// and a line of detail for a failure note (may be empty).
struct FileProblem {
    uint32_t messageId = 0; // 0: the file is fit for the run
    std::string detail;
    bool Found() const { return messageId != 0; }
};

// The bootcode image file: a regular file of 1 to 5000 bytes.
FileProblem CheckBootcodeFile(const std::string& path);

// Reads the whole firmware of the file set (a firmware record file, or the
// selected S-record file) and checks it as flashing needs it: readable to its
// end, every record within one write command and the radio's address space,
// some data, no address written twice.
FileProblem ReadFirmwareForFlashing(const FlashFileSet& files, FirmwareImage& image);

// Shows a problem: its message box, then its detail as a failure note.
// Returns whether there was one.
bool ShowFileProblem(const FileProblem& problem);

} // namespace vantrel
