// A listing file in memory: what Dump methods write, read back as a string.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

class ListingCapture {
 public:
  ListingCapture() : file_(open_memstream(&buffer_, &size_)) {}
  ListingCapture(const ListingCapture&) = delete;
  ListingCapture& operator=(const ListingCapture&) = delete;
  ~ListingCapture() {
    if (file_ != nullptr) std::fclose(file_);
    std::free(buffer_);
  }

  FILE* file() const { return file_; }
  std::string Text() {
    std::fflush(file_);
    return std::string(buffer_, size_);
  }

 private:
  char* buffer_ = nullptr;
  size_t size_ = 0;
  FILE* file_;
};
