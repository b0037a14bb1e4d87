#include "image/target.h"

#include <climits>
#include <cstdint>

#include "image/encoding.h"
#include "platform/format.h"

namespace {

constexpr int kOnChipRegion = 30;       // right after the header, address 0x7E
constexpr int kExternalRegion = 512;    // first address above on-chip RAM, 0x260
constexpr int kOnChipEnd = 607;         // 0x25F
constexpr int kMaxExternalKb = 64;      // the 16-bit address space

}  // namespace

bool CTarget::Initialize(int externalRamKb, int codeLocation, int dataLocation) {
  codeCursor = codeLocation == 1 ? kOnChipRegion : kExternalRegion;
  codeRegionStart = codeCursor;
  codeStart = tableStart = 0;
  dataCursor = dataLocation == 1 ? kOnChipRegion : kExternalRegion;
  dataStart = dataCursor;
  base = kImageBase;
  frameSize = 0;
  startAddress = 0;
  frameStack.clear();
  blockFrames.clear();
  frameCosts.clear();
  innermostFrame.clear();
  codeFull = false;
  fixups.clear();
  image.clear();
  errorText.clear();
  if (externalRamKb > kMaxExternalKb) {
    end = kOnChipEnd;
    errorText = Format("External RAM of %d kilobytes is more than the %d kilobytes the target can address.",
                       externalRamKb, kMaxExternalKb);
    return false;
  }
  end = externalRamKb > 0 && externalRamKb * 1024 > kOnChipEnd ? externalRamKb * 1024 : kOnChipEnd;
  image.assign(static_cast<size_t>(end - base + 1), 0);
  return true;
}

int CTarget::RegionLimit(int regionStart, int otherStart) const {
  if (regionStart < otherStart) return otherStart;
  return end - base;
}

bool CTarget::Fits(int cursor, int size, int limit) const {
  if (image.empty() || cursor < 0 || size < 0) return false;
  int64_t last = static_cast<int64_t>(cursor) + size;
  return last <= limit && base + last <= end;
}

int CTarget::AllocateData(int size) {
  if (!Fits(dataCursor, size, RegionLimit(dataStart, codeRegionStart))) return -1;
  if (size == 0) return base + dataCursor;
  bool sharedRegion = dataStart == codeRegionStart;
  if (sharedRegion && dataCursor != codeCursor) {
    // Tables or code already follow the data: new data would overwrite them.
    return -1;
  }
  if (dataCursor == codeCursor) codeCursor += size;
  int address = base + dataCursor;
  dataCursor += size;
  return address;
}

int CTarget::AllocateTable(int size) {
  if (codeStart != 0) return -1;
  if (!Fits(codeCursor, size, RegionLimit(codeRegionStart, dataStart))) return -1;
  int address = base + codeCursor;
  if (size > 0) {
    if (tableStart == 0) tableStart = address;
    codeCursor += size;
  }
  return address;
}

int CTarget::AllocateCode(int size) {
  if (!Fits(codeCursor, size, RegionLimit(codeRegionStart, dataStart))) {
    codeFull = true;
    return -1;
  }
  int address = base + codeCursor;
  if (size == 0) return address;
  if (codeStart == 0) {
    if (tableStart == 0) tableStart = address;
    codeStart = address;
  }
  codeCursor += size;
  return address;
}

int CTarget::CodeLimit() const {
  const int limit = RegionLimit(codeRegionStart, dataStart);
  return limit < end - base ? base + limit : end;
}

int CTarget::FailCodeFull() {
  errorText = Format("CODE:  Out of code memory: the program does not fit below 0x%04x.", CodeLimit());
  return 0;
}

int CTarget::AllocateLocal(int size) {
  if (size < 0 || frameSize > INT_MAX - size) return -1;
  int offset = frameSize;
  frameSize += size;
  return offset;
}

bool CTarget::OpenFrame() {
  frameStack.push_back(frameSize);
  frameSize = 0;
  return true;
}

bool CTarget::CloseFrame() {
  if (frameStack.empty()) return false;
  frameSize = frameStack.back();
  frameStack.pop_back();
  return true;
}

int CTarget::EmitByte(int value) {
  int address = AllocateCode(1);
  PatchByte(address, value);
  return address;
}

int CTarget::EmitWord(int value) {
  int address = AllocateCode(2);
  PatchWord(address, value);
  return address;
}

int CTarget::EmitReal(float value) {
  int address = AllocateCode(3);
  if (address < 0) return -1;
  uint8_t bytes[3];
  EncodeReal(value, bytes);
  for (int i = 0; i < 3; ++i) PatchByte(address + i, bytes[i]);
  return address;
}

int CTarget::EmitFuzzy(float value, float weight) {
  int address = AllocateCode(5);
  if (address < 0) return -1;
  uint8_t bytes[5];
  EncodeFuzzy(value, weight, bytes);
  for (int i = 0; i < 5; ++i) PatchByte(address + i, bytes[i]);
  return address;
}

int CTarget::EmitInstruction(Opcode opcode, int operandLength) {
  // Both bytes or neither, so a full region never leaves half an instruction.
  int address = AllocateCode(2);
  if (address < 0) return -1;
  PatchByte(address, opcode);
  PatchByte(address + 1, operandLength);
  return address;
}

void CTarget::PatchByte(int address, int value) {
  if (address < base) return;
  size_t offset = static_cast<size_t>(address - base);
  if (offset >= image.size()) return;
  image[offset] = static_cast<uint8_t>(value);
}

void CTarget::PatchWord(int address, int value) {
  if (address < 0) return;
  PatchByte(address, value & 0xFF);
  PatchByte(address + 1, (value >> 8) & 0xFF);
}

int CTarget::GetByte(int offset) const {
  if (offset < 0 || static_cast<size_t>(offset) >= image.size()) return 0;
  return image[static_cast<size_t>(offset)];
}

int CTarget::GetWord(int offset) const {
  if (offset > INT_MAX - 1) return 0;
  auto word = static_cast<uint16_t>(GetByte(offset) | GetByte(offset + 1) << 8);
  return static_cast<int16_t>(word);
}

void CTarget::AddFixup(int address, int* target) { fixups.push_back({address, target}); }

void CTarget::ResolveFixups() {
  for (auto fixup = fixups.rbegin(); fixup != fixups.rend(); ++fixup) {
    if (fixup->target != nullptr) PatchWord(fixup->address, *fixup->target);
  }
  fixups.clear();
}

MemoryMap CTarget::GetMemoryMap(bool success) const {
  return {base, end, base + dataStart, base + dataCursor - 1, tableStart,
          base + codeCursor - (success ? 1 : 0)};
}

std::string CTarget::SuccessSummary() const {
  MemoryMap map = GetMemoryMap(true);
  return Format(
      "Tovrin: BUILD SUCCESSFUL\n\nProgram memory:\t0x%04x ... 0x%04x\n     Data memory:\t0x%04x ... "
      "0x%04x\n     Code memory:\t0x%04x ... 0x%04x\n\nPrepare to Download...\n",
      map.programFirst, map.programLast, map.dataFirst, map.dataLast, map.codeFirst, map.codeLast);
}

std::string CTarget::FailureSummary() const {
  MemoryMap map = GetMemoryMap(false);
  return Format(
      "Tovrin: BUILD FAILED\r\n\r\nProgram memory:\t0x%04x ... 0x%04x\r\n   Data memory:\t0x%04x ... "
      "0x%04x\r\n   Code memory:\t0x%04x ... 0x%04x\r\n",
      map.programFirst, map.programLast, map.dataFirst, map.dataLast, map.codeFirst, map.codeLast);
}
