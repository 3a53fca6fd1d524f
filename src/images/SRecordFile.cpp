#include "images/SRecordFile.h"

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
// Hex digit values of 16 characters at once; valid collects which of them
// were hex digits.
inline __m128i Nibbles(__m128i c, __m128i& valid)
{
    const __m128i digit = _mm_sub_epi8(c, _mm_set1_epi8('0'));
    const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(digit, _mm_set1_epi8(9)), digit);
    const __m128i letter = _mm_sub_epi8(_mm_or_si128(c, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
    const __m128i isLetter = _mm_cmpeq_epi8(_mm_min_epu8(letter, _mm_set1_epi8(5)), letter);
    valid = _mm_and_si128(valid, _mm_or_si128(isDigit, isLetter));
    return _mm_or_si128(_mm_and_si128(isDigit, digit),
                        _mm_and_si128(isLetter, _mm_add_epi8(letter, _mm_set1_epi8(10))));
}

// Two nibbles per 16-bit lane (high digit first in memory) to one byte per lane.
inline __m128i JoinPairs(__m128i nibbles)
{
    return _mm_or_si128(_mm_slli_epi16(_mm_and_si128(nibbles, _mm_set1_epi16(0x00FF)), 4),
                        _mm_srli_epi16(nibbles, 8));
}
#endif

// Decodes n digit pairs into n bytes; false when any character is not a hex
// digit. Record data are most of what a file holds, so whole runs of 16 bytes
// are decoded with vector instructions where the machine has them.
inline bool DecodeHex(const uint8_t* text, size_t n, uint8_t* out)
{
    size_t i = 0;
#if defined(__SSE2__)
    __m128i valid = _mm_set1_epi8(-1);
    for (; i + 16 <= n; i += 16) {
        const __m128i a = Nibbles(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 2 * i)), valid);
        const __m128i b = Nibbles(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 2 * i + 16)), valid);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(JoinPairs(a), JoinPairs(b)));
    }
    if (_mm_movemask_epi8(valid) != 0xFFFF) return false;
#endif
    return DecodeHexShort(text + 2 * i, n - i, out + i);
}

bool IsLineEnd(uint8_t c) { return c == '\r' || c == '\n'; }

// A record whose line ends before its count says is cut short; any other
// character that is not a hex digit is a bad character.
bool LineEndsWithin(const uint8_t* text, size_t n) { return std::find_if(text, text + n, IsLineEnd) != text + n; }

}  // namespace

CSRecordFile::CSRecordFile(uint32_t capacity) : m_capacity(capacity) {}

CSRecordFile::~CSRecordFile() { CloseFile(); }

bool CSRecordFile::Open(const std::string& path)
{
    Close();
    std::FILE* file = std::fopen(path.c_str(), "rb");
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

CSRecordFile::Step CSRecordFile::BadText(const uint8_t* text, size_t length)
{
    return Fail(LineEndsWithin(text, length) ? SRecordError::Truncated : SRecordError::BadCharacter);
}

CSRecordFile::Step CSRecordFile::ReadRecord(uint8_t* dest, uint32_t room, SRecordError overflow, uint32_t& length,
                                            uint32_t& address)
{
    if (Failed()) return Step::Fault;
    if (m_ended || !m_open) return Step::End;
    if (!m_eof && m_size - m_pos < kRecordChars && !Fill()) return Fail(SRecordError::ReadFailed);

    const uint8_t* p = m_text + m_pos;
    const size_t avail = m_size - m_pos;
    // The data end at the end of the file, at a line that is not a record
    // (a blank line included) and at the first S9.
    if (avail == 0 || p[0] != 'S') {
        m_ended = true;
        return Step::End;
    }
    if (avail < 2) return Fail(SRecordError::Truncated);
    if (p[1] == '9') {
        m_ended = true;
        return Step::End;
    }
    if (p[1] < '0' || p[1] > '9') return Fail(IsLineEnd(p[1]) ? SRecordError::Truncated : SRecordError::BadCharacter);
    if (avail < 4) return Fail(SRecordError::Truncated);

    const unsigned count = HexByte(p + 2);
    if (count > 0xFF) return BadText(p + 2, 2);
    const uint32_t addressBytes = p[1] == '1' ? 2 : 3;
    // The count covers the address, the data and the checksum.
    if (count < addressBytes + 1) return Fail(SRecordError::BadCount);
    const size_t recordChars = 4 + 2 * size_t{count};
    if (avail < recordChars) return Fail(SRecordError::Truncated);

    // Address and checksum: the digit pairs around the data.
    const unsigned a0 = HexByte(p + 4);
    const unsigned a1 = HexByte(p + 6);
    const unsigned a2 = addressBytes == 3 ? HexByte(p + 8) : 0;
    const unsigned checksum = HexByte(p + recordChars - 2);  // present, not checked
    if ((a0 | a1 | a2 | checksum) > 0xFF) return BadText(p + 4, recordChars - 4);
    const uint32_t dataLength = count - addressBytes - 1;
    if (dataLength > room) return overflow == SRecordError::None ? Step::Full : Fail(overflow);
    if (!DecodeHex(p + 4 + 2 * addressBytes, dataLength, dest)) return BadText(p + 4, recordChars - 4);

    // The line end: CR, LF or CR LF; the last line of a file may lack one.
    size_t used = recordChars;
    if (used < avail) {
        if (p[used] == '\r') {
            ++used;
            if (used < avail && p[used] == '\n') ++used;
        } else if (p[used] == '\n') {
            ++used;
        } else {
            return Fail(SRecordError::LineTooLong);
        }
    }
    m_pos += used;
    length = dataLength;
    address = addressBytes == 2 ? (a0 << 8) | a1 : (a0 << 16) | (a1 << 8) | a2;
    return Step::Record;
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
    for (;;) {
        uint32_t length = 0;
        uint32_t address = 0;
        const Step step = ReadRecord(buffer.data + buffer.length, buffer.capacity - buffer.length,
                                     SRecordError::ImageTooLarge, length, address);
        if (step != Step::Record) return step == Step::End;
        buffer.length += length;
    }
}

bool CSRecordFile::LoadImagePart(ImageBuffer& buffer)
{
    for (;;) {
        uint32_t length = 0;
        uint32_t address = 0;
        const Step step = ReadRecord(buffer.data + buffer.length, buffer.capacity - buffer.length, SRecordError::None,
                                     length, address);
        if (step == Step::Record) {
            buffer.length += length;
            continue;
        }
        if (step == Step::Full && buffer.length == 0) Fail(SRecordError::ImageTooLarge);
        return !Failed();
    }
}

}  // namespace vantrel
