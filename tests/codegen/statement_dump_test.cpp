// The program information lines of statements, nested as the listing shows them (the example
// programs' listings cover the declarations, methods and calls).
#include <string>

#include "codegen_fixture.h"

namespace {

class StatementDump : public CodegenTest {
 protected:
  static std::string Text(const CStatement& statement, int indent) {
    Capture capture;
    statement.Dump(capture.file(), indent);
    return capture.Text();
  }
  static std::string Text(const CBlock& block, int indent) {
    Capture capture;
    block.Dump(capture.file(), indent);
    return capture.Text();
  }
};

TEST_F(StatementDump, DataStatements) {
  CVarSymbol* x = Global("x", TYPE_INTEGER, 0x80);
  CVarSymbol* y = Global("y", TYPE_BYTE, 0x62);
  CVarSymbol* r = Global("r", TYPE_REAL, 0x70);
  CVarSymbol* f = Global("f", TYPE_FUZZY, 0x90);
  CAssignStatement assign(TYPE_INTEGER, Ref(x), Bin(Ref(y), EXPR_ADD, B(2)));
  assign.address = 0x90;
  EXPECT_EQ(Text(assign, 2), "| | <0090> Assign Integer<0080>x = (<0062>y + 2)\n");

  COutStatement text(std::string_view("Hi"));
  text.address = 0x100;
  EXPECT_EQ(Text(text, 1), "| <0100> Out \"Hi\"\n");
  COutStatement character(Ref(x), 1);
  EXPECT_EQ(Text(character, 0), "<0000> OutCH <0080>x\n");
  // An operator node names the kind it computes in.
  COutStatement sum(Bin(Ref(y), EXPR_ADD, I(300)), 0);
  EXPECT_EQ(Text(sum, 1), "| <0000> Out Integer (<0062>y + 300)\n");
  COutStatement real(Ref(r), 0);
  EXPECT_EQ(Text(real, 1), "| <0000> Out Real <0070>r\n");

  CWithStatement with(Ref(r));
  with.address = 0xab;
  EXPECT_EQ(Text(with, 1), "| <00ab> With <0070>r\n");
  CClearStatement clear(f);
  clear.address = 0xcd;
  EXPECT_EQ(Text(clear, 1), "| <00cd> Clear <0090>f\n");
}

TEST_F(StatementDump, ControlFlowNestsItsBlocks) {
  CVarSymbol* y = Global("y", TYPE_BYTE, 0x7e);
  CVarSymbol* z = Global("z", TYPE_BYTE, 0x63);
  CDecideStatement decide(Bin(Ref(y), EXPR_GT, B(3)));
  Add<CAssignStatement>(decide.thenBlock, TYPE_BYTE, Ref(z), B(1))->address = 0x0a;
  Add<CAssignStatement>(decide.elseBlock, TYPE_BYTE, Ref(z), B(2))->address = 0x0b;
  EXPECT_EQ(Text(decide, 1),
            "| If (<007e>y > 3)\n"
            "| | <000a> Assign Byte<0063>z = 1\n"
            "| ELSE:\n"
            "| | <000b> Assign Byte<0063>z = 2\n");

  // An ELSEIF clause dumps one level deeper than its IF; an empty ELSE writes nothing.
  CDecideStatement chain(Ref(y));
  CDecideStatement clause(Ref(z));
  chain.elseIf = &clause;
  Add<COutStatement>(clause.thenBlock, TestArena().Text(std::string("a")));
  EXPECT_EQ(Text(chain, 1), "| If <007e>y\n| ELSEIF:\n| | If <0063>z\n| | | <0000> Out \"a\"\n");

  CLoopStatement loop(Ref(y));
  Add<CBlockStatement>(loop.body);
  EXPECT_EQ(Text(loop, 1), "| While <007e>y\n| | <block>:\n");
}

// The program block dumps its statements at depth 1; indentation stops growing at the limit.
TEST_F(StatementDump, BlocksAndTheDepthLimit) {
  CBlock program;
  CBlock* inner = &program;
  for (int i = 0; i < CDumpWriter::kMaxListedDepth + 2; ++i) inner = &Add<CBlockStatement>(*inner)->block;
  Add<COutStatement>(*inner, TestArena().Text(std::string()));
  const std::string text = Text(program, 0);
  const std::string limit = CDumpWriter::Prefix(CDumpWriter::kMaxListedDepth);
  EXPECT_EQ(text.substr(0, 15), "| <block>:\n| | ");
  const std::string last = limit + "<0000> Out \"\"\n";
  EXPECT_EQ(text.substr(text.size() - last.size()), last);
  EXPECT_EQ(CDumpWriter::Prefix(CDumpWriter::kMaxListedDepth + 5), limit);
  EXPECT_EQ(CDumpWriter::Prefix(0), "");
}

}  // namespace
