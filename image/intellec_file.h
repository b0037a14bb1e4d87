// Intel HEX ("Intellec") reader: reads a hex file record by record for the downloads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CIntellecFile {
 public:
  CIntellecFile() = default;
  virtual ~CIntellecFile();
  CIntellecFile(const CIntellecFile&) = delete;
  CIntellecFile& operator=(const CIntellecFile&) = delete;

  // Opens the file and reads its first record.
  bool Open(const std::string& path);
  // Reads the next record into count, address, data and checksum. After a
  // false result, stopped == 1 means the file ended normally; otherwise
  // message says what went wrong.
  bool ReadRecord();
  bool Close();
  // Length of the file in bytes, and the bytes consumed so far (progress bar).
  int FileSize() const;
  int Position() const;

  int handle = -1;          // the open file; -1 when closed
  int stopped = 1;          // 1 when closed or at the end of the file
  uint8_t count = 0;        // data bytes in the current record
  uint16_t address = 0;     // load address of the current record
  std::vector<uint8_t> data;  // the current record's data bytes (count of them)
  uint8_t checksum = 0;     // the record's checksum field as read (not compared)
  std::string message;      // the last status or error text

 private:
  enum class ReadResult { Ok, End, Failed };
  ReadResult ReadChar(uint8_t& c);
  // Reads two hex digits; on failure sets message and returns false.
  bool ReadHexByte(uint8_t& value);

  // Reads go through a small buffer; bufferPos..bufferEnd is unread.
  std::vector<uint8_t> buffer;
  size_t bufferPos = 0;
  size_t bufferEnd = 0;
  int64_t consumed = 0;     // bytes handed out so far
  int readErrno = 0;        // errno of the last failed read
};
