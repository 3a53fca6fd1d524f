#include "images/SRecordFile.h"

#include "platform/Files.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantrel {
namespace {

// The longest record with a CR LF: mark, type, count 0xFF and its 255 bytes.
// The from-disk path keeps at least this much in memory before each record,
// so a record is always parsed from one contiguous run of characters.
constexpr size_t kRecordChars = 4 + 2 * 255 + 2;
constexpr size_t kWindowSize = 64 * 1024;

// Hex digit values; anything else is 0x100, so a digit pair decodes to a
// value above 0xFF when either character is not a hex digit.
struct HexTable {
    uint16_t value[256];
    constexpr HexTable() : value()
    {
        for (int c = 0; c < 256; ++c) value[c] = 0x100;
        for (int c = '0'; c <= '9'; ++c) value[c] = static_cast<uint16_t>(c - '0');
        for (int c = 'A'; c <= 'F'; ++c) value[c] = static_cast<uint16_t>(c - 'A' + 10);
        for (int c = 'a'; c <= 'f'; ++c) value[c] = static_cast<uint16_t>(c - 'a' + 10);
    }
};
constexpr HexTable kHex;

// One digit pair: its byte, or a value above 0xFF.
inline unsigned HexByte(const uint8_t* text) { return (unsigned{kHex.value[text[0]]} << 4) | kHex.value[text[1]]; }

// Decodes n digit pairs into n bytes, one at a time; false when any character
// is not a hex digit.
inline bool DecodeHexShort(const uint8_t* text, size_t n, uint8_t* out)
{
    unsigned bad = 0;
    for (size_t i = 0; i < n; ++i) {
        const unsigned byte = HexByte(text + 2 * i);
        bad |= byte;
        out[i] = static_cast<uint8_t>(byte);
    }
    return bad <= 0xFF;
}

#if defined(__SSE2__)
// 16 characters less '0', and with the letters' case bit set less 'a': a hex
// digit is at most 9 in the first or at most 5 in the second.
struct HexLanes {
    __m128i digit;
    __m128i letter;
};

inline HexLanes Lanes(__m128i c)
{
    return {_mm_sub_epi8(c, _mm_set1_epi8('0')),
            _mm_sub_epi8(_mm_or_si128(c, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'))};
}

// Non-zero bytes for the characters that are not hex digits (saturating
// subtraction leaves 0 exactly for the values in range).
inline __m128i NotHex(const HexLanes& h)
{
    return _mm_min_epu8(_mm_subs_epu8(h.digit, _mm_set1_epi8(9)), _mm_subs_epu8(h.letter, _mm_set1_epi8(5)));
}

// The digit values (meaningless for other characters): a digit's letter
// value wraps above 0xD0 and a letter's digit value is above 0x10, so the
// smaller of the two is the value.
inline __m128i Values(const HexLanes& h) { return _mm_min_epu8(h.digit, _mm_add_epi8(h.letter, _mm_set1_epi8(10))); }

// 32 characters to 16 bytes; bad collects the characters that are not hex
// digits. The first digit of each pair is the even byte of a 16-bit lane:
// the even and the odd digits are packed apart and joined at the end.
inline void DecodeBlock(const uint8_t* text, uint8_t* out, __m128i& bad)
{
    const HexLanes a = Lanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text)));
    const HexLanes b = Lanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16)));
    bad = _mm_or_si128(bad, _mm_or_si128(NotHex(a), NotHex(b)));
    const __m128i va = Values(a);
    const __m128i vb = Values(b);
    const __m128i even = _mm_set1_epi16(0x00FF);
    const __m128i high = _mm_packus_epi16(_mm_and_si128(va, even), _mm_and_si128(vb, even));
    const __m128i low = _mm_packus_epi16(_mm_srli_epi16(va, 8), _mm_srli_epi16(vb, 8));
    // A digit's value is below 16, so shifting 16-bit lanes moves nothing across bytes.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(_mm_slli_epi16(high, 4), low));
}

// n >= 16 digit pairs to n bytes, 16 at a time; a length that is not a
// multiple of 16 ends with a block that overlaps the one before it.
inline void DecodeBlocks(const uint8_t* text, size_t n, uint8_t* out, __m128i& bad)
{
    for (size_t i = 0; i + 16 < n; i += 16) DecodeBlock(text + 2 * i, out + i, bad);
    DecodeBlock(text + 2 * (n - 16), out + n - 16, bad);
}

inline __m128i Load8(const uint8_t* text) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text)); }

inline bool AllZero(__m128i v) { return _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())) == 0xFFFF; }
#endif

// Decodes n digit pairs into n bytes; false when any character is not a hex
// digit. Record data are most of what a file holds, so they are decoded 16
// bytes at a time with vector instructions where the machine has them; a
// length that is not a multiple of 16 ends with one more block that overlaps
// the one before it.
inline bool DecodeHex(const uint8_t* text, size_t n, uint8_t* out)
{
#if defined(__SSE2__)
    if (n >= 16) {
        __m128i bad = _mm_setzero_si128();
        DecodeBlocks(text, n, out, bad);
        return AllZero(bad);
    }
#endif
    return DecodeHexShort(text, n, out);
}

bool IsLineEnd(uint8_t c) { return c == '\r' || c == '\n'; }

// A record whose line ends before its count says is cut short; any other
// character that is not a hex digit is a bad character.
SRecordError BadText(const uint8_t* text, size_t n)
{
    return std::find_if(text, text + n, IsLineEnd) != text + n ? SRecordError::Truncated : SRecordError::BadCharacter;
}

// What parsing one record found. TooLarge: its data do not fit the room
// given; nothing was consumed or written.
enum class Found { Record, End, Fault, TooLarge };

struct Parsed {
    Found found = Found::End;
    SRecordError error = SRecordError::None;  // the fault
    size_t used = 0;  // characters of the record and its line end
    uint32_t length = 0;
    uint32_t address = 0;
    bool atLine = false;  // End: at a line that is not a record (not the end record, not the end of the text)
};

Parsed Fault(SRecordError error) { return {Found::Fault, error}; }

// Parses the record at p, with avail characters in memory: all of the file
// that is left, or at least the longest record with its line end. Its data go
// to dest when they fit in room bytes. A free function over plain pointers, so
// that the loops below keep their positions in registers.
inline Parsed ParseRecord(const uint8_t* p, size_t avail, uint8_t* dest, uint32_t room)
{
    // The data end at the end of the file, at a line that is not a record
    // (a blank line included) and at the first S9.
    if (avail == 0) return {};
    if (p[0] != 'S') return {.atLine = true};
    if (avail < 2) return Fault(SRecordError::Truncated);
    const uint8_t type = p[1];
    if (type == '9') return {};
    if (static_cast<unsigned>(type - '0') > 9) {
        return Fault(IsLineEnd(type) ? SRecordError::Truncated : SRecordError::BadCharacter);
    }
    if (avail < 4) return Fault(SRecordError::Truncated);

    const unsigned count = HexByte(p + 2);
    if (count > 0xFF) return Fault(BadText(p + 2, 2));
    // Header and record-count records are commonly written with a 2-byte
    // address and no data ("S0030000FC", "S5030003F9").
    const bool shortRecord = (type == '0' || type == '5') && count == 3;
    const uint32_t addressBytes = type == '1' || shortRecord ? 2 : 3;
    // The count covers the address, the data and the checksum.
    if (count < addressBytes + 1) return Fault(SRecordError::BadCount);
    const size_t recordChars = 4 + 2 * size_t{count};
    if (avail < recordChars) return Fault(SRecordError::Truncated);

    // Address and checksum: the digit pairs around the data.
    const unsigned a0 = HexByte(p + 4);
    const unsigned a1 = HexByte(p + 6);
    const unsigned a2 = addressBytes == 3 ? HexByte(p + 8) : 0;
    const unsigned checksum = HexByte(p + recordChars - 2);  // present, not checked
    if ((a0 | a1 | a2 | checksum) > 0xFF) return Fault(BadText(p + 4, recordChars - 4));
    const uint32_t length = count - addressBytes - 1;
    if (length > room) return {Found::TooLarge};
    if (!DecodeHex(p + 4 + 2 * addressBytes, length, dest)) return Fault(BadText(p + 4, recordChars - 4));

    // The line end: CR, LF or CR LF; the last line of a file may lack one.
    size_t used = recordChars;
    if (used < avail) {
        if (p[used] == '\n') {
            ++used;
        } else if (p[used] == '\r') {
            ++used;
            if (used < avail && p[used] == '\n') ++used;
        } else {
            return Fault(SRecordError::LineTooLong);
        }
    }
    const uint32_t address = addressBytes == 2 ? (a0 << 8) | a1 : (a0 << 16) | (a1 << 8) | a2;
    return {Found::Record, SRecordError::None, used, length, address};
}

#if defined(__SSE2__)
// Mark, type and count: the first four characters of a record, as one number.
inline uint32_t Opening(const uint8_t* p)
{
    uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// The shape of a record that the fast path takes: S1 or S2 layout, with at
// least 16 data bytes. Records of one file mostly share it.
struct Layout {
    uint32_t opening = 0;
    uint32_t dataAt = 0;  // characters before the data
    uint32_t length = 0;  // data bytes
    uint32_t chars = 0;  // characters before the line end
};

inline bool LayoutOf(const uint8_t* p, Layout& layout)
{
    const unsigned type = p[1] - unsigned{'0'};
    const unsigned count = HexByte(p + 2);
    if (p[0] != 'S' || type > 8 || count > 0xFF) return false;
    const uint32_t addressBytes = type == 1 ? 2 : 3;
    if (count < addressBytes + 1 + 16) return false;
    layout = {Opening(p), 4 + 2 * addressBytes, count - addressBytes - 1, 4 + 2 * count};
    return true;
}

// Converts the ordinary records from pos on while the longest record fits in
// memory after each one, so that reading ahead of a record is safe: a record
// that opens like the one before needs no look at its mark, type and count.
// Returns the position of the first record not taken (anything unusual, or
// one whose data do not fit), which ParseRecord then judges; the data of that
// record may have been written past length. Gives the same as ParseRecord for
// every record taken.
inline size_t FastRecords(const uint8_t* text, size_t pos, size_t size, uint8_t* data, uint32_t capacity,
                          uint32_t& length)
{
    const uint8_t* p = text + pos;
    Layout layout;
    if (size - pos < kRecordChars || !LayoutOf(p, layout)) return pos;
    const uint8_t* const last = text + size - kRecordChars;
    uint8_t* out = data + length;
    uint32_t room = capacity - length;
    while (p <= last) {
        if (Opening(p) != layout.opening && !LayoutOf(p, layout)) break;
        if (layout.length > room) break;
        // Address, data and checksum must be hex digits: the data are checked
        // as they are decoded, the address with the first characters of the
        // data and the checksum with the last ones (eight characters each).
        const uint8_t* const end = p + layout.chars;
        __m128i bad = NotHex(Lanes(_mm_unpacklo_epi64(Load8(p + 4), Load8(end - 8))));
        DecodeBlocks(p + layout.dataAt, layout.length, out, bad);
        if (!AllZero(bad)) break;
        if (end[0] == '\n') {
            p = end + 1;
        } else if (end[0] == '\r') {
            p = end + 1 + (end[1] == '\n');
        } else {
            break;
        }
        out += layout.length;
        room -= layout.length;
    }
    length = capacity - room;
    return p - text;
}
#else
inline size_t FastRecords(const uint8_t*, size_t pos, size_t, uint8_t*, uint32_t, uint32_t&) { return pos; }
#endif

}  // namespace

CSRecordFile::CSRecordFile(uint32_t capacity) : m_capacity(capacity) {}

CSRecordFile::~CSRecordFile() { CloseFile(); }

bool CSRecordFile::Open(const std::string& path)
{
    Close();
    // A folder opens for reading on some systems, and a pipe or device may
    // never end: only a regular file is a source.
    if (!IsRegularFile(path)) return false;
    std::FILE* file = OpenFile(path, "rb");
    if (!file) return false;
    // Both paths read in large blocks of their own; stdio's buffer would only add a copy.
    std::setvbuf(file, nullptr, _IONBF, 0);

    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (std::fseek(file, 0, SEEK_SET) != 0) size = -1;

    if (size >= 0 && static_cast<unsigned long>(size) <= m_capacity) {
        if (m_whole.size() < m_capacity) m_whole.assign(m_capacity, 0);
        const size_t got = std::fread(m_whole.data(), 1, static_cast<size_t>(size), file);
        const bool readOk = !std::ferror(file);
        std::fclose(file);
        if (!readOk) return false;
        m_text = m_whole.data();
        m_size = got;
        m_eof = true;
    } else {
        // A whole-file buffer from an earlier, smaller file is not needed any more.
        std::vector<uint8_t>().swap(m_whole);
        if (m_window.empty()) m_window.resize(kWindowSize);
        m_file = file;
        m_text = m_window.data();
        m_size = 0;
        m_eof = false;
    }
    m_pos = 0;
    m_open = true;
    return true;
}

void CSRecordFile::Close()
{
    CloseFile();
    m_open = false;
    m_text = nullptr;
    m_pos = m_size = 0;
    m_eof = false;
    m_ended = false;
    m_endedEarly = false;
    m_error = SRecordError::None;
}

void CSRecordFile::CloseFile()
{
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
}

void CSRecordFile::Rewind()
{
    m_pos = 0;
    m_ended = false;
    m_endedEarly = false;
    if (m_file) {
        std::clearerr(m_file);
        if (std::fseek(m_file, 0, SEEK_SET) != 0) m_error = SRecordError::ReadFailed;
        m_size = 0;
        m_eof = false;
    }
}

bool CSRecordFile::Fill()
{
    const size_t rest = m_size - m_pos;
    std::memmove(m_window.data(), m_window.data() + m_pos, rest);
    m_pos = 0;
    m_size = rest;
    const size_t want = m_window.size() - m_size;
    const size_t got = std::fread(m_window.data() + m_size, 1, want, m_file);
    m_size += got;
    if (got < want) {
        if (std::ferror(m_file)) return false;
        m_eof = true;
    }
    return true;
}

CSRecordFile::Step CSRecordFile::Fail(SRecordError error)
{
    m_error = error;
    return Step::Fault;
}

namespace {

bool IsBlank(uint8_t c)
{
    // Spaces, line ends, and the padding some tools leave at a file's end.
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == 0 || c == 0x1A;
}

}  // namespace

bool CSRecordFile::RestIsBlank()
{
    for (;;) {
        if (!std::all_of(m_text + m_pos, m_text + m_size, IsBlank)) return false;
        m_pos = m_size;
        if (m_eof) return true;
        if (!Fill()) return false;
    }
}

void CSRecordFile::End(bool stoppedAtLine)
{
    m_ended = true;
    m_endedEarly = stoppedAtLine && !RestIsBlank();
}

bool CSRecordFile::Prepare()
{
    if (m_eof || m_size - m_pos >= kRecordChars || Fill()) return true;
    Fail(SRecordError::ReadFailed);
    return false;
}

CSRecordFile::Step CSRecordFile::ReadRecord(uint8_t* dest, uint32_t room, SRecordError overflow, uint32_t& length,
                                            uint32_t& address)
{
    if (Failed()) return Step::Fault;
    if (m_ended || !m_open) return Step::End;
    if (!Prepare()) return Step::Fault;
    const Parsed r = ParseRecord(m_text + m_pos, m_size - m_pos, dest, room);
    switch (r.found) {
    case Found::Record:
        m_pos += r.used;
        length = r.length;
        address = r.address;
        return Step::Record;
    case Found::End:
        End(r.atLine);
        return Step::End;
    case Found::TooLarge:
        return overflow == SRecordError::None ? Step::Full : Fail(overflow);
    case Found::Fault:
        break;
    }
    return Fail(r.error);
}

uint32_t CSRecordFile::CountRecords()
{
    if (!m_open) return 0;
    Rewind();
    uint8_t scratch[kMaxRecordData];
    uint32_t count = 0;
    uint32_t length = 0;
    uint32_t address = 0;
    while (ReadRecord(scratch, sizeof scratch, SRecordError::RecordTooLarge, length, address) == Step::Record) ++count;
    Rewind();
    return count;
}

bool CSRecordFile::NextRecord(ImageRecord& record)
{
    uint32_t length = 0;
    uint32_t address = 0;
    if (ReadRecord(record.data, record.capacity, SRecordError::RecordTooLarge, length, address) == Step::Record) {
        record.length = length;
        record.address = address;
        return true;
    }
    record.length = 0;
    record.address = 0;
    if (record.data && record.capacity != 0) record.data[0] = 0;
    return false;
}

bool CSRecordFile::LoadImage(ImageBuffer& buffer)
{
    buffer.length = 0;
    return Load(buffer, true);
}

bool CSRecordFile::LoadImagePart(ImageBuffer& buffer) { return Load(buffer, false); }

bool CSRecordFile::Load(ImageBuffer& buffer, bool whole)
{
    if (Failed()) return false;
    if (m_ended || !m_open) return true;
    for (;;) {
        if (!Prepare()) return false;
        // The fast path works on copies of the positions, so that writing the
        // data does not make the compiler read the fields again.
        const uint8_t* const text = m_text;
        const size_t size = m_size;
        uint32_t length = buffer.length;
        const size_t pos = FastRecords(text, m_pos, size, buffer.data, buffer.capacity, length);
        m_pos = pos;
        buffer.length = length;
        if (!m_eof && size - pos < kRecordChars) continue;

        // What the fast path left: the end, a fault, a record that does not
        // fit, or one of the last records of the file.
        const Parsed r = ParseRecord(text + pos, size - pos, buffer.data + length, buffer.capacity - length);
        switch (r.found) {
        case Found::Record:
            m_pos += r.used;
            buffer.length += r.length;
            continue;
        case Found::End:
            End(r.atLine);
            return true;
        case Found::TooLarge:
            // A record larger than the whole buffer would never fit.
            if (whole || length == 0) Fail(SRecordError::ImageTooLarge);
            return !Failed();
        case Found::Fault:
            break;
        }
        Fail(r.error);
        return false;
    }
}

}  // namespace vantrel
