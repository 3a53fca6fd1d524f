// Runs the application codeplug conversion on arbitrary radio images.
//
// Input: byte 0 chooses the phase (bit 0), whether the image starts from a
// generated sound codeplug (bit 1) and its layout options; bytes 1-2 give the
// number of bytes read from the radio. The rest is either the image itself or,
// for a generated codeplug, a list of (offset, value) edits, so that the fuzzer
// spends its time near real structures.
//
// Checks: no access outside the image (the address sanitizer), the result does
// not depend on bytes that were not read, nothing below 640 or beyond the
// result is written, and every accepted conversion is a sound new layout. The
// validator runs on the raw input as well.

#include "sim/CodeplugGenerator.h"
#include "upgrade/CodeplugConversion.h"
#include "codeplug/CodeplugLayout.h"
#include "codeplug/CodeplugValidator.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using namespace vantrel;

void Require(bool condition)
{
    if (!condition) std::abort();
}

std::vector<uint8_t> OldImage(const uint8_t* data, size_t size, uint8_t mode, bool phase3)
{
    if ((mode & 2) == 0) return std::vector<uint8_t>(data, data + std::min(size, kImageSize));
    std::vector<uint8_t> image = GenerateOldCodeplugImage({.phase3 = phase3,
                                                           .layoutVersion = (mode & 4) ? 3 : 2,
                                                           .withEntry17 = (mode & 8) != 0,
                                                           .withOptionalBlocks = (mode & 16) != 0,
                                                           .reverseOrder = (mode & 32) != 0,
                                                           .seed = mode});
    for (size_t i = 0; i + 2 < size; i += 3) {
        const size_t at = ((size_t{data[i]} << 8) | data[i + 1]) % image.size();
        image[at] = data[i + 2];
    }
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) return 0;
    const uint8_t mode = data[0];
    const bool phase3 = (mode & 1) != 0;
    const std::vector<uint8_t> old = OldImage(data + 3, size - 3, mode, phase3);
    size_t bytesRead = (size_t{data[1]} << 8) | data[2];
    if (mode & 2) bytesRead = old.size() - std::min<size_t>(bytesRead % 8, old.size()); // sometimes a little short
    bytesRead = std::min(bytesRead, old.size());

    // The validator reads images from anywhere too: it must stay inside them.
    (void)ValidateCodeplugImage(std::span<const uint8_t>(old).first(bytesRead), ApplicationLayout::Old);
    (void)ValidateCodeplugImage(std::span<const uint8_t>(old).first(bytesRead), ApplicationLayout::New);

    // The same bytes read, with different contents in the unread rest of the buffer.
    std::vector<uint8_t> a(kImageSize, 0x00);
    std::vector<uint8_t> b(kImageSize, 0xFF);
    std::copy_n(old.begin(), bytesRead, a.begin());
    std::copy_n(old.begin(), bytesRead, b.begin());
    const std::vector<uint8_t> beforeA = a;

    const uint16_t lengthA = ConvertApplicationCodeplug(a, phase3, bytesRead);
    const uint16_t lengthB = ConvertApplicationCodeplug(b, phase3, bytesRead);
    Require(lengthA == lengthB);
    if (lengthA == 0) {
        Require(a == beforeA);
        return 0;
    }
    Require(lengthA <= kImageSize);
    Require(std::equal(a.begin(), a.begin() + lengthA, b.begin()));
    Require(std::equal(a.begin(), a.begin() + kPhase3HardwareLength, beforeA.begin()));
    Require(std::equal(a.begin() + lengthA, a.end(), beforeA.begin() + lengthA));
    Require(ValidateApplicationCodeplug(std::span<const uint8_t>(a).first(lengthA), kPhase3HardwareLength,
                                        ApplicationLayout::New)
                .empty());
    return 0;
}
