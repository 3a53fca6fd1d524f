#include "codeplug/BlockChecksum.h"
#include "upgrade/ConversionModel.h"

#include <array>

namespace vantrel {
namespace {

constexpr uint8_t kFresh = kFreshBlockIdentifier;

// Record lengths of the blocks the new firmware expects in slots 4 to 7 and 13.
constexpr uint16_t kSlot4Length = 29;
constexpr uint16_t kSlot5Length = 17; // slot 6 alike
constexpr uint16_t kSlot7Length = 50;
constexpr uint16_t kSlot13Length = 12;

constexpr int kOldTestValue = 0x30; // block 1 record byte 19 that asks for the slot 19 remap
constexpr std::array<uint8_t, 6> kRemappedValues = {5, 7, 33, 38, 40, 41};

void EditFirstBlock(ConversionModel& m)
{
    SlotModel& s = m.Slot(1);
    s.SetRecordLength(kNewBlock1RecordLength);
    s.Set(0, kRecordNewLayoutZeros, 0);
    s.Set(0, kRecordNewLayoutZeros + 1, 0);
    s.recompute = true;
}

void EditSlot2(ConversionModel& m, int version)
{
    SlotModel& s = m.Slot(2);
    if (version == 2) {
        s.SetRecordLength(199);
        if (const uint8_t* b = s.Byte(0, 17); b != nullptr && *b == 0) s.Set(0, 17, 25);
        s.Fill(0, 76, 80, 0);
        s.Set(0, 78, 0x20);
        s.Set(0, 81, 0);
        s.Set(0, 82, 16);
        s.Fill(0, 83, 149, 0);
        s.Set(0, 150, 70);
        s.Set(0, 151, 100);
        s.Fill(0, 152, 198, 0);
    } else if (version == 3) {
        s.Set(0, 150, 70);
        s.Set(0, 151, 100);
    }
    s.recompute = true;
}

// Version 2 replaces slots 4 to 7 outright. Other versions keep the blocks they
// have; an absent one becomes an empty block of the expected shape, so the new
// firmware finds a well-formed block with no records and uses its defaults.
void EditSlots4To7(ConversionModel& m, int version)
{
    constexpr std::array<uint16_t, 4> lengths = {kSlot4Length, kSlot5Length, kSlot5Length, kSlot7Length};
    if (version != 2) {
        for (int n = 4; n <= 7; ++n)
            if (!m.Slot(n).present) m.Slot(n).MakeEmpty(kFresh, lengths[n - 4]);
        return;
    }
    m.Slot(4).Replace(kFresh, kSlot4Length,
                      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    for (int n : {5, 6})
        m.Slot(n).Replace(kFresh, kSlot5Length, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF});
    m.Slot(7).Replace(kFresh, kSlot7Length,
                      {0,    0,    0, 0,    0,    0x99, 0x99, 0x99, 0x99, 0,    0, 0,    0,    0x99, 0x99,
                       0x99, 0x99, 0, 0,    0,    0,    0x99, 0x99, 0x99, 0x99, 0, 0,    0,    0,    0,
                       0,    0,    0, 0x0F, 0x99, 0x9F, 0,    0x0F, 0x99, 0x9F, 0, 0x0F, 0x99, 0x9F});
}

void EditSlot13(ConversionModel& m, int version)
{
    SlotModel& s = m.Slot(13);
    if (version == 2) {
        s.Replace(kFresh, kSlot13Length, {30, 10, 30, 30, 30, 30, 30, 0xFF, 30});
        return;
    }
    if (!s.present) s.MakeEmpty(kFresh, kSlot13Length);
    if (version == 3) s.Set(0, 8, 30);
    s.recompute = true;
}

void EditVersion2Clamps(ConversionModel& m)
{
    SlotModel& s3 = m.Slot(3);
    if (uint8_t* b = s3.Byte(0, 7); b != nullptr && *b > 63) *b = 63;
    s3.recompute = true;

    SlotModel& s8 = m.Slot(8);
    for (int k = 0; k < s8.count; ++k)
        for (int at : {5, 9, 13, 15, 19, 21})
            s8.LimitPair(k, at);
    s8.recompute = true;
}

void EditSlot14(ConversionModel& m)
{
    SlotModel& s = m.Slot(14);
    for (int k = 0; k < s.count; ++k)
        if (uint8_t* b = s.Byte(k, 2)) *b = *b > 63 ? uint8_t{0xFF} : static_cast<uint8_t>(*b * 4);
    s.recompute = true;
}

void EditVersion2Slots15To19(ConversionModel& m)
{
    SlotModel& s15 = m.Slot(15);
    for (int k = 0; k < s15.count; ++k)
        if (uint8_t* b = s15.Byte(k, 1); b != nullptr && (*b & 0x80) != 0) *b = static_cast<uint8_t>(*b & ~0x40);
    s15.recompute = true;

    SlotModel& s18 = m.Slot(18);
    for (int k = 0; k < s18.count; ++k)
        for (int at : {0, 2, 4})
            s18.LimitPair(k, at);
    s18.recompute = true;

    SlotModel& s19 = m.Slot(19);
    const uint8_t* test = m.Slot(1).Byte(0, kRecordConversionTest);
    if (test != nullptr && *test == kOldTestValue) {
        for (int i = 0; i <= 3; ++i) {
            uint8_t* b = s19.Byte(0, i);
            if (b == nullptr) continue;
            for (uint8_t v : kRemappedValues)
                if (*b == v) {
                    *b = 16;
                    break;
                }
        }
    }
    s19.recompute = true;
}

void EditSlots20To24(ConversionModel& m, int version)
{
    SlotModel& s20 = m.Slot(20);
    s20.SetRecordLength(15);
    s20.Set(0, 13, 0);
    s20.Set(0, 14, 0);
    s20.recompute = true;

    m.Slot(22).Replace(kFresh, 17, {});
    m.Slot(23).Replace(kFresh, 1, {0});

    if (version == 2) {
        SlotModel& s24 = m.Slot(24);
        s24.SetRecordLength(296);
        s24.Set(0, 0, 0xFF);
        s24.Fill(0, 1, 295, 0);
        s24.recompute = true;
    }
}

void EditTrailer(ConversionModel& m)
{
    const bool hasSlot17 = m.entries[kSlotOfEntry17] != 0;
    m.trailerData = {0xFF, 0xFF, static_cast<uint8_t>(hasSlot17 ? 0xF3 : 0xF2), 0x81};
    const uint8_t length[2] = {static_cast<uint8_t>(m.trailerLength >> 8),
                               static_cast<uint8_t>(m.trailerLength & 0xFF)};
    m.trailerChecksum = ChecksumFromSum(AddToByteSum(AddToByteSum(0, length), m.trailerData));
}

} // namespace

void ApplyConversionEdits(ConversionModel& m)
{
    const int version = m.layoutVersion;
    EditFirstBlock(m);
    EditSlot2(m, version);
    EditSlots4To7(m, version);
    if (version == 2) EditVersion2Clamps(m);
    EditSlot13(m, version);
    EditSlot14(m);
    if (version == 2) EditVersion2Slots15To19(m);
    EditSlots20To24(m, version);
    EditTrailer(m);
}

} // namespace vantrel
