// Writes the sample patch file of the patch tool (made to fit the simulated
// radios) to the path given.
//
// Usage: vantrel_make_sample_patch PATH

#include "platform/Files.h"
#include "sim/SimSamplePatch.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PATH\n", argv[0]);
        return 2;
    }
    const std::string text = vantrel::SimSamplePatchText();
    if (!vantrel::WriteFileAtomically(argv[1], text.data(), text.size())) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
