// CTarget::WriteListing (the decoded image) and the frame of the debug listing around it.
#include "image/listing.h"

#include <string>

#include "image/target.h"
#include "platform/format.h"

namespace {

void Write(FILE* file, const std::string& text) { std::fwrite(text.data(), 1, text.size(), file); }

const std::string kRule(68, '_');
const std::string kBlanks(68, ' ');

void TopBorder(FILE* file) { Write(file, Format(" %s\n", kRule.c_str())); }
void BlankBoxLine(FILE* file) { Write(file, Format("|%s|\n", kBlanks.c_str())); }
void BottomBorder(FILE* file) { Write(file, Format("|%s|\n\n", kRule.c_str())); }
void SectionEnd(FILE* file) { Write(file, Format("\\%s\n", kRule.c_str())); }

void Banner(FILE* file) {
  TopBorder(file);
  BlankBoxLine(file);
  Write(file, "|                         TOVRIN COMPILER                            |\n");
  Write(file, "|                        (Debugging Output)                          |\n");
  BlankBoxLine(file);
  Write(file, "|  Tovrin v 1.0                                                      |\n");
  BottomBorder(file);
}

}  // namespace

void WriteListingDocument(FILE* file, int level, const ListingSections& sections, const CTarget& target) {
  if (file == nullptr || level < 2) return;
  Banner(file);
  // Only the first section opens with a top border; the others follow the previous end.
  if (level >= 4) {
    TopBorder(file);
    Write(file, "/ Scope Table\n");
    if (sections.scopeTable) sections.scopeTable(file);
    SectionEnd(file);
  }
  if (level >= 3) {
    if (level == 3) TopBorder(file);
    Write(file, "/ Program Information\n|\n");
    if (sections.program) sections.program(file);
    SectionEnd(file);
  }
  if (level == 2) TopBorder(file);
  Write(file, "/  Byte Codes\n\n");
  target.WriteListing(file);
  SectionEnd(file);
}

void CTarget::WriteListing(FILE* file) const {
  if (file == nullptr) return;
  Write(file, Format("%04x: START => %04x\n", base, startAddress));
  Write(file, Format("%04x: CODE => %04x\n", base + kStartWordOffset, codeStart));
  Write(file, Format("%04x: INTERRUPT VECTORS:\n", base + kVectorOffset));
  for (int n = 0; n < kVectorCount; ++n) {
    const int vector = GetWord(kVectorOffset + 2 * n);
    Write(file, vector != 0 ? Format("\t%02d => %04x (%s)\n", n, vector, kVectorNames[n]) : Format("\t%02d\n", n));
  }
  if (dataCursor == dataStart) {
    Write(file, "....  NO DATA\n");
  } else {
    Write(file, Format("%04x: DATA <%04x...%04x>\n", base + dataStart, base + dataStart, base + dataCursor - 1));
  }
  if (codeStart == tableStart) {
    Write(file, "....  NO TABLES\n");
  } else {
    Write(file, Format("%04x: TABLE <%04x...%04x>\n", tableStart, tableStart, codeStart - 1));
  }
  Write(file, ".... \n");
  // Each instruction says how many operand bytes follow, so the walk needs no opcode knowledge
  // to step; it always advances by at least the two bytes of opcode and length.
  int64_t offset = codeStart != 0 ? codeStart - base : 0;
  const auto size = static_cast<int64_t>(image.size());
  while (offset >= 0 && offset < codeCursor && offset < size) {
    const uint8_t* bytes = image.data() + offset;
    const auto available = static_cast<size_t>(size - offset);
    Write(file, ListInstructionAt(static_cast<int>(base + offset), bytes, available));
    const int length = available > 1 ? bytes[1] : 0;
    offset += 2 + length;
  }
}
