#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vantrel {

// The largest data part of one record: an S1 record of count 0xFF.
constexpr uint32_t kMaxRecordData = 252;

// One decoded record. The caller owns the data array and says how much it
// holds; a record with more data than that is refused, never copied short.
struct ImageRecord {
    uint8_t* data = nullptr;
    uint32_t capacity = 0;  // bytes data can hold; kMaxRecordData takes any record
    uint32_t length = 0;  // data bytes of the record
    uint32_t address = 0;  // load address: 16 bits for S1, 24 bits otherwise
};

// A flat image: the data bytes of all records one after another, in file
// order, load addresses ignored. LoadImage never writes past capacity.
struct ImageBuffer {
    uint8_t* data = nullptr;
    uint32_t capacity = 0;
    uint32_t length = 0;  // bytes filled
};

// Why reading stopped short of the end of the data.
enum class SRecordError {
    None,
    Truncated,  // the data or the line end inside a record
    BadCount,  // a count too small for the address and the checksum
    BadCharacter,  // a type that is not a digit, or a non-hex digit
    LineTooLong,  // characters after the record's count, before the line end
    RecordTooLarge,  // the record's data exceed ImageRecord::capacity
    ImageTooLarge,  // the image exceeds ImageBuffer::capacity
    ReadFailed,  // the file could not be read
};

// Reads S-record files ("S1", "S9" ends the data, any other digit is read as a
// record with a 3-byte address; lines end with CR, LF or CR LF; a blank line
// ends the data; checksums are not checked). A header or count record (S0, S5)
// with count 3 carries a 2-byte address and no data. Anything but a regular
// file is refused by Open. A file no larger than the capacity is read whole
// into memory with one read; a larger one is parsed
// from the open file through a buffer of its own. Malformed records are
// refused: the read reports false and Failed() tells it from the end of the
// data. A failed reader keeps failing until the next Open.
class CSRecordFile {
public:
    explicit CSRecordFile(uint32_t capacity);
    ~CSRecordFile();
    CSRecordFile(const CSRecordFile&) = delete;
    CSRecordFile& operator=(const CSRecordFile&) = delete;

    // Opens an existing file for reading; false when it cannot be opened (or,
    // for a file read whole, read).
    bool Open(const std::string& path);
    void Close();

    // The number of records before the end of the data; then rewinds so the
    // next read starts at the first record again. A malformed file counts the
    // records before the fault and stays failed. 0 when no file is open.
    uint32_t CountRecords();

    // Decodes the next record. At the end of the data, or on a fault, sets
    // length 0, address 0, the first data byte 0 and returns false.
    bool NextRecord(ImageRecord& record);

    // Appends the data of all remaining records to the buffer from offset 0;
    // sets its length to the bytes filled. False when a record is malformed or
    // the data would not fit; the buffer then holds the bytes before the fault.
    bool LoadImage(ImageBuffer& buffer);

    // Appends whole records from the buffer's current length while they fit
    // and stops, without a fault, before the first one that does not; the
    // next call goes on with it. Converts an image of any size through a small
    // buffer. False on a fault, and for a record larger than the whole
    // buffer; AtEnd() tells when all the data are in.
    bool LoadImagePart(ImageBuffer& buffer);
    bool AtEnd() const { return m_ended; }

    // True when the data ended at a line that is not a record while text
    // other than blanks follows it (a byte-order mark, a blank line between
    // records, a line end the reader does not take): the file was not read to
    // its end record or its end. Cleared by a rewind.
    bool EndedEarly() const { return m_endedEarly; }

    bool Failed() const { return m_error != SRecordError::None; }
    SRecordError Error() const { return m_error; }
    bool IsOpen() const { return m_open; }
    // True when the open file was read whole into memory.
    bool IsBuffered() const { return m_open && m_file == nullptr; }

private:
    enum class Step { Record, End, Fault, Full };

    // Decodes the next record's data into dest (room bytes); a record that
    // does not fit fails with overflow, or with None stays unread (Full).
    Step ReadRecord(uint8_t* dest, uint32_t room, SRecordError overflow, uint32_t& length, uint32_t& address);
    // Appends records to the buffer from its length; whole: a record that
    // does not fit is a fault, otherwise it stays unread.
    bool Load(ImageBuffer& buffer, bool whole);
    Step Fail(SRecordError error);
    // Marks the end of the data; stoppedAtLine: at a line that is not a record.
    void End(bool stoppedAtLine);
    // Whether only blanks are left from the read position on.
    bool RestIsBlank();
    // Makes sure the next record lies wholly in memory; false when a read failed.
    bool Prepare();
    bool Fill();
    void Rewind();
    void CloseFile();

    std::FILE* m_file = nullptr;  // open while parsing from disk
    std::vector<uint8_t> m_whole;  // whole-file buffer, kept for later files
    uint32_t m_capacity;
    std::vector<uint8_t> m_window;  // read buffer of the from-disk path
    const uint8_t* m_text = nullptr;  // characters in memory: [m_text + m_pos, m_text + m_size)
    size_t m_pos = 0;
    size_t m_size = 0;
    bool m_eof = false;  // no characters beyond m_size
    bool m_open = false;
    bool m_ended = false;
    bool m_endedEarly = false;
    SRecordError m_error = SRecordError::None;
};

}  // namespace vantrel
