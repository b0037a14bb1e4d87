// The target image: memory regions and allocators, byte-code emitters, patching,
// forward-call fixups, parse-time frames, the memory summary and the hex writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "target/instruction_set.h"

class CBlock;

// A call whose method address was not known when the call was emitted.
struct CFixup {
  int address = -1;       // code address of the placeholder word
  int* target = nullptr;  // where the method's address will be once generated (not owned)
};

// The six numbers of the Build command's memory summary.
struct MemoryMap {
  int programFirst, programLast;
  int dataFirst, dataLast;
  int codeFirst, codeLast;
};

class CTarget {
 public:
  CTarget() = default;
  virtual ~CTarget() = default;
  CTarget(const CTarget&) = delete;
  CTarget& operator=(const CTarget&) = delete;

  // Location 1 is on-chip; any other value is external RAM. Refuses an external RAM
  // above 64 kilobytes (addresses are 16 bits) with errorText set.
  bool Initialize(int externalRamKb, int codeLocation, int dataLocation);

  // Allocators return the first address, or -1 when the request does not fit.
  int AllocateData(int size);
  int AllocateTable(int size);
  int AllocateCode(int size);  // size 0: the current code address, nothing reserved
  int AllocateLocal(int size);  // an offset in the current parse-time frame
  bool OpenFrame();
  bool CloseFrame();

  // Emitters return the address of the first byte written, or -1 when the code
  // region is full (the image is then unchanged).
  int EmitByte(int value);
  int EmitWord(int value);
  int EmitReal(float value);
  int EmitFuzzy(float value, float weight);
  // The opcode and its operand-length byte; the operand follows separately.
  int EmitInstruction(Opcode opcode, int operandLength = 0);

  // Writes into the image; addresses outside it are ignored.
  void PatchByte(int address, int value);
  void PatchWord(int address, int value);
  // Reads back by image offset; the word is little-endian and sign-extended.
  int GetByte(int offset) const;
  int GetWord(int offset) const;

  void AddFixup(int address, int* target);
  // Patches every pending fixup with the value its target now holds, newest first.
  void ResolveFixups();

  // Replaces the extension of `path` with ".hex" (the caller's string then names the
  // hex file), appends OP_END, fills in the header words and writes the Intel HEX
  // file. The file appears complete or not at all.
  bool WriteHexFile(std::string& path);
  // The same, into exactly `path` (a name the user chose for the hex file).
  bool WriteHexFileAt(const std::string& path);

  // Generates a block: its frame, its statements in order, its frame end. A method body
  // other than start is forced to open a frame of at least one byte. False as soon as a
  // statement fails (errorText says why); nesting of any depth is generated without recursion.
  bool GenerateBlock(CBlock& block, bool forceFrame);
  // Distance from the innermost open run-time frame to the frame of the block at `depth`
  // (0 is the outermost block being generated). Constant time at any nesting.
  int FrameOffset(int depth);
  // The stack operand of a local: its offset from the current frame, or false with
  // errorText set when it does not fit a signed word.
  bool StackOperand(int depth, int frameOffset, int size, const std::string& name, int& operand);
  // Enter and leave a block being generated (blockFrames and the sums beside it).
  void PushBlockFrame(int size);
  void PopBlockFrame();

  // The first address that code may not use.
  int CodeLimit() const;
  // Sets errorText to the message of a full code region; returns 0, the failed result.
  int FailCodeFull();

  // The byte-code section of the debug listing: header words, vectors, regions, and
  // every instruction from the first code byte up to the code cursor.
  void WriteListing(FILE* file) const;

  MemoryMap GetMemoryMap(bool success) const;
  // The texts of the Build command's summary: shown on success, logged on failure.
  std::string SuccessSummary() const;
  std::string FailureSummary() const;

  int frameSize = 0;     // bytes of locals in the current parse-time frame
  int base = kImageBase;  // image base address
  int end = 0;           // end address: K x 1024 when above 607, else 607
  int dataCursor = -1;   // offset of the next free global-data byte
  int dataStart = -1;    // offset where global data begins (30 or 512)
  int codeCursor = -1;   // offset of the next free table or code byte
  int codeStart = 0;     // address of the first code byte; 0 until code is emitted
  int tableStart = 0;    // address of the first table (or code) byte; 0 until one exists
  std::vector<uint8_t> image;  // image[a - base] is the byte at address a
  int startAddress = 0;  // first instruction of the method "start"; 0 until set
  std::vector<CFixup> fixups;    // pending forward calls, oldest first
  std::vector<int> frameStack;   // saved frameSize of the enclosing parse-time frames
  std::vector<int> blockFrames;  // frame sizes of the blocks being generated, outermost first
  // Set when a code allocation did not fit: generation stops at the next statement.
  bool codeFull = false;
  // Text of the last failure (the compiler, which is a CTarget, reports it).
  std::string errorText;

 private:
  // Offset where the tables and code begin (30 or 512).
  int codeRegionStart = -1;
  // Offset that a region may not pass: a region placed below the other ends where
  // the other begins, so the two never overlap.
  int RegionLimit(int regionStart, int otherStart) const;
  bool Fits(int cursor, int size, int limit) const;
  bool IsUnusedLine(int offset) const;

  // Beside blockFrames, so FrameOffset needs no walk: per entry, the sum of (2 + size) over
  // the entries up to it that open a frame, and the innermost such entry at or below it (-1).
  // Rebuilt when blockFrames was changed other than through Push/PopBlockFrame.
  std::vector<int64_t> frameCosts;
  std::vector<int> innermostFrame;
  void SyncFrameSums();
};
