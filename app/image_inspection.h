// What a Tovrin hex image holds, read back without its source: the header words, the interrupt
// vectors that are set, the code decoded as the listing decodes it, and the other bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct LoadedImage {
  std::array<uint8_t, 0x10000> bytes{};
  std::array<bool, 0x10000> loaded{};  // written by some record
  int codeStart = 0;                   // the CODE word
  int startAddress = 0;                // the START word
  int codeEnd = 0;                     // first address after the end instruction
};

// Reads an Intel HEX file and checks that it is a Tovrin image: a header at the base, a CODE
// word that points at loaded code, and instructions from there to an end instruction.
// False with the reason in `error`.
bool LoadImage(const std::string& path, LoadedImage& image, std::string& error);

// The text `tovrin inspect` prints. The code lines are exactly those of the listing.
std::string DescribeImage(const LoadedImage& image);
// Only the decoded code, one "ADDR: TEXT" line per instruction, the end instruction last.
std::string DecodeCode(const LoadedImage& image);
