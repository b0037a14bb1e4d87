// The hex reader on arbitrary file contents: every record it hands out is whole, the progress
// figures stay within the file, and the reading always ends.
#include <cstdio>
#include <cstdlib>

#include "image/intellec_file.h"
#include "platform/recording_interface.h"
#include "support.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "hex reader: %s\n", what);
  std::abort();
}

void CheckRecord(const CIntellecFile& reader) {
  Require(reader.count > 0, "a record without data was handed out");
  Require(reader.data.size() == reader.count, "data does not hold count bytes");
  Require(reader.Position() <= reader.FileSize(), "position past the end of the file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CRecordingInterface ui;
  const std::string path = fuzz::WriteFile("input.hex", data, size);
  CIntellecFile reader;
  bool more = reader.Open(path);
  // Every record takes at least 11 characters, so a file of size n has at most n / 11 + 1.
  size_t records = 0;
  while (more) {
    CheckRecord(reader);
    Require(++records <= size / 11 + 1, "more records than the file can hold");
    more = reader.ReadRecord();
  }
  Require(reader.stopped == 1 || !reader.message.empty(), "a failure without a message");
  if (reader.stopped == 1) Require(!reader.ReadRecord(), "a record after the end");
  reader.Close();
  Require(reader.handle == -1 && reader.stopped == 1, "still open after Close");
  return 0;
}
