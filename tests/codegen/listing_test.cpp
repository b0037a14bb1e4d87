// The debug listing: banner and sections by level, and the decoded byte-code section.
#include "codegen_fixture.h"
#include "image/listing.h"

namespace {

class Listing : public CodegenTest {
 protected:
  std::string Bytecodes() {
    Capture capture;
    target.WriteListing(capture.file());
    return capture.Text();
  }
  std::string Document(int level) {
    Capture capture;
    ListingSections sections;
    sections.scopeTable = [](FILE* file) { std::fputs("<scope>\n", file); };
    sections.program = [](FILE* file) { std::fputs("<program>\n", file); };
    WriteListingDocument(capture.file(), level, sections, target);
    return capture.Text();
  }
};

const char kVectorsNone[] =
    "\t00\n\t01\n\t02\n\t03\n\t04\n\t05\n\t06\n\t07\n\t08\n\t09\n\t10\n\t11\n\t12\n";

TEST_F(Listing, StartThatDoesNothing) {
  target.startAddress = target.AllocateCode(0);
  target.EmitInstruction(OP_END);
  EXPECT_EQ(Bytecodes(), std::string("0060: START => 007e\n"
                                     "0062: CODE => 007e\n"
                                     "0064: INTERRUPT VECTORS:\n") +
                             kVectorsNone +
                             "....  NO DATA\n"
                             "....  NO TABLES\n"
                             ".... \n"
                             "007e: *END*\n");
}

TEST_F(Listing, RegionsVectorsAndOperandsAsPrinted) {
  ASSERT_EQ(target.AllocateData(1), 0x7e);
  ASSERT_EQ(target.AllocateTable(3), 0x7f);
  target.PatchWord(0x64 + 2 * 3, 0x0090);   // T1 Capture
  target.PatchWord(0x64 + 2 * 12, 0x8001);  // read back sign-extended
  target.EmitInstruction(OP_OPEN, 1);
  target.EmitByte(0xFC);
  target.EmitInstruction(OP_PUSH_INT_STACK, 2);
  target.EmitWord(-4);
  target.EmitInstruction(OP_PUSH_INT, 2);
  target.EmitWord(-2);
  target.EmitInstruction(OP_PUSH_REAL, 3);
  target.EmitReal(1.0f);
  target.EmitInstruction(OP_PUSH_FUZZY, 5);
  target.EmitFuzzy(10.0f, 1.0f);
  target.EmitInstruction(OP_CALL, 2);
  target.EmitWord(0x9a);
  target.EmitInstruction(OP_RETURN, 2);
  target.EmitByte(2);
  target.EmitByte(0xFA);
  target.EmitInstruction(OP_OUT_STRING, 3);
  for (int c : {int{'H'}, int{'i'}, 0}) target.EmitByte(c);
  target.EmitInstruction(OP_CLOSE, 1);
  target.EmitByte(4);
  const std::string text = Bytecodes();
  EXPECT_EQ(text,
            "0060: START => 0000\n"
            "0062: CODE => 0082\n"
            "0064: INTERRUPT VECTORS:\n"
            "\t00\n\t01\n\t02\n\t03 => 0090 (T1 Capture)\n\t04\n\t05\n\t06\n\t07\n\t08\n\t09\n\t10\n\t11\n"
            "\t12 => ffff8001 (Comparator)\n"
            "007e: DATA <007e...007e>\n"
            "007f: TABLE <007f...0081>\n"
            ".... \n"
            "0082: OPEN +fc\n"
            "0085: PUSH<int> stack[0xfffffffc]\n"
            "0089: PUSH<int> -2\n"
            "008d: PUSH<real> 0000e7f\n"
            "0092: PUSH<fuzzy> 000a.00@01.00\n"
            "0099: CALL 9a\n"
            "009d: RETURN: (pop 2) (return data BP-5)\n"
            "00a1: OUT String[3] = \"Hi\"\n"
            "00a6: CLOSE +04\n");
}

// Before any code the walk starts at the image's first byte: the header decodes as NOPs.
TEST_F(Listing, WithoutCodeTheWalkDecodesFromTheHeader) {
  ASSERT_EQ(target.AllocateData(4), 0x7e);
  const std::string text = Bytecodes();
  const std::string tail = "0062: CODE => 0000\n";
  EXPECT_NE(text.find(tail), std::string::npos);
  EXPECT_NE(text.find("007e: DATA <007e...0081>\n....  NO TABLES\n.... \n0060: NOP\n0062: NOP\n"), std::string::npos);
  EXPECT_NE(text.find("0080: NOP\n"), std::string::npos);
  EXPECT_EQ(text.find("0082:"), std::string::npos);
}

// Whatever the bytes, every step moves forward and the walk ends at the code cursor.
TEST_F(Listing, AnyBytesListWithinTheCode) {
  target.EmitInstruction(static_cast<Opcode>(200), 0);
  target.EmitInstruction(OP_OUT_STRING, 255);  // claims more operand bytes than were written
  target.EmitByte('A');
  target.EmitByte(0);
  const std::string text = Bytecodes();
  EXPECT_NE(text.find(".... \n007e: ??? c8\n0080: OUT String[255] = \"A\"\n"), std::string::npos);
  const std::string last = "0080: OUT String[255] = \"A\"\n";
  EXPECT_EQ(text.substr(text.size() - last.size()), last);
}

TEST_F(Listing, SectionsByLevel) {
  const std::string top = " " + std::string(68, '_') + "\n";
  const std::string end = "\\" + std::string(68, '_') + "\n";
  const std::string blank = "|" + std::string(68, ' ') + "|\n";
  const std::string banner = top + blank +
                             "|                         TOVRIN COMPILER                            |\n"
                             "|                        (Debugging Output)                          |\n" +
                             blank +
                             "|  Tovrin v 1.0                                                      |\n"
                             "|" + std::string(68, '_') + "|\n\n";
  const std::string bytes = Bytecodes();
  EXPECT_EQ(Document(1), "");
  EXPECT_EQ(Document(2), banner + top + "/  Byte Codes\n\n" + bytes + end);
  EXPECT_EQ(Document(3), banner + top + "/ Program Information\n|\n<program>\n" + end + "/  Byte Codes\n\n" + bytes + end);
  EXPECT_EQ(Document(4), banner + top + "/ Scope Table\n<scope>\n" + end + "/ Program Information\n|\n<program>\n" +
                             end + "/  Byte Codes\n\n" + bytes + end);
}

}  // namespace
