// Byte code of statements: assignment, output, WEIGHT, CLEAR, tables, control flow, methods
// and calls, and nesting far deeper than any real program.
#include <string>

#include "codegen_fixture.h"

namespace {

class StatementCode : public CodegenTest {
 protected:
  CAssignStatement* Assign(CBlock& block, Node target, Node value) {
    const TypeKind kind = target->kind;
    return Add<CAssignStatement>(block, kind, std::move(target), std::move(value));
  }
  CMethodStatement* Method(CBlock& block, CProtoSymbol* prototype) {
    CMethodStatement* method = Add<CMethodStatement>(block, prototype);
    prototype->statement = method;
    return method;
  }
  CCallStatement* Call(CBlock& block, CProtoSymbol* prototype, Node argument = nullptr) {
    CBlock* arguments = TestArena().Make<CBlock>();
    if (argument != nullptr) Add<CParamStatement>(*arguments, argument);
    return Add<CCallStatement>(block, prototype, arguments);
  }
  // Generates a program block the way the build does: the block, then the fixups.
  bool Generate(CBlock& program) {
    const bool generated = GenerateBlock(program, false, target);
    if (generated) target.ResolveFixups();
    return generated;
  }
};

TEST_F(StatementCode, AssignmentsConvertTheValueToTheTarget) {
  CVarSymbol* x = Global("x", TYPE_INTEGER, 0x80, 4);
  CVarSymbol* i = Local("i", TYPE_BYTE, 1, 0);
  CVarSymbol* y = Global("y", TYPE_BYTE, 0x7E);
  CVarSymbol* big = Global("big", TYPE_INTEGER, 0x88);
  CVarSymbol* b = Local("b", TYPE_BYTE, 1, 1);
  CVarSymbol* r = Global("r", TYPE_REAL, 0x8A);
  CVarSymbol* port = Mapped("port", 0x39);
  CBlock body;
  body.frameSize = 2;
  CAssignStatement* first = Assign(body, Bin(Ref(x), EXPR_INDEX, Ref(i)), Bin(Ref(y), EXPR_ADD, B(2)));
  Assign(body, Ref(big), Bin(Ref(b), EXPR_MUL, B(2)));
  Assign(body, Ref(y), Ref(r));
  Assign(body, Ref(port), B(5));
  target.PushBlockFrame(0);
  ASSERT_TRUE(GenerateBlock(body, false, target)) << target.errorText;
  EXPECT_EQ(Code(), (Bytes{0x01, 0x01, 0xFE,                                                    //
                           0x15, 0x02, 0x80, 0x00, 0x0D, 0x02, 0x00, 0x00, 0x6C, 0x00, 0x60, 0x00,  // x[i]
                           0x13, 0x02, 0x7E, 0x00, 0x09, 0x01, 0x02, 0x19, 0x00, 0x6C, 0x00, 0x04, 0x00,
                           0x15, 0x02, 0x88, 0x00, 0x0D, 0x02, 0xFF, 0xFF, 0x09, 0x01, 0x02, 0x21, 0x00,  // big = b * 2
                           0x6C, 0x00, 0x04, 0x00,                                                   //
                           0x15, 0x02, 0x7E, 0x00, 0x17, 0x02, 0x8A, 0x00, 0x72, 0x00, 0x03, 0x00,  // y = r
                           0x15, 0x02, 0x39, 0x00, 0x09, 0x01, 0x05, 0x03, 0x00,                    // port = 5
                           0x02, 0x01, 0x02}));
  EXPECT_EQ(first->address, 0x7E + 26);  // its ASSIGN<int>
}

TEST_F(StatementCode, OutputWeightAndClear) {
  CVarSymbol* n = Global("n", TYPE_INTEGER, 0x7E);
  CVarSymbol* f = Global("f", TYPE_FUZZY, 0x80);
  CVarSymbol* g = Local("g", TYPE_FUZZY, 1, 0);
  CVarSymbol* r = Global("r", TYPE_REAL, 0x85);
  CBlock body;
  COutStatement* hi = Add<COutStatement>(body, TestArena().Text(std::string("Hi")));
  Add<COutStatement>(body, TestArena().Text(std::string()));
  Add<COutStatement>(body, Ref(n), 1);
  Add<COutStatement>(body, Ref(f), 0);
  CWithStatement* weight = Add<CWithStatement>(body, Ref(r));
  CClearStatement* clear = Add<CClearStatement>(body, f);
  Add<CClearStatement>(body, g);
  target.PushBlockFrame(0);
  target.PushBlockFrame(5);
  ASSERT_TRUE(GenerateBlock(body, false, target)) << target.errorText;
  EXPECT_EQ(Code(), (Bytes{0x89, 0x03, 0x48, 0x69, 0x00,                    // OUT "Hi"
                           0x89, 0x01, 0x00,                                // OUT ""
                           0x14, 0x02, 0x7E, 0x00, 0x6F, 0x00, 0x84, 0x00,  // OUTCH n
                           0x18, 0x02, 0x80, 0x00, 0x88, 0x00,              // OUT f
                           0x17, 0x02, 0x85, 0x00, 0x72, 0x00, 0x82, 0x00,  // WEIGHT(r)
                           0x15, 0x02, 0x80, 0x00, 0x83, 0x00,              // CLEAR f
                           0x0F, 0x02, 0xFC, 0xFF, 0x83, 0x00}));           // CLEAR g
  EXPECT_EQ(hi->address, 0x7E);
  EXPECT_EQ(weight->address, 0x7E + 28);
  EXPECT_EQ(clear->address, 0x7E + 34);
}

// The length byte counts the zero: 254 characters are the most it can describe.
TEST_F(StatementCode, TextsLongerThanTheLengthByteAreRefused) {
  CBlock body;
  Add<COutStatement>(body, TestArena().Text(std::string(254, 'a')));
  ASSERT_TRUE(GenerateBlock(body, false, target));
  EXPECT_EQ(At(0x7E, 3), (Bytes{0x89, 0xFF, 'a'}));
  EXPECT_EQ(target.codeCursor - 30, 2 + 255);
  CBlock longer;
  COutStatement* refused = Add<COutStatement>(longer, TestArena().Text(std::string(255, 'a')));
  EXPECT_FALSE(GenerateBlock(longer, false, target));
  EXPECT_EQ(target.errorText, "OUT:  Text of 255 characters is too long; at most 254 can be written.");
  EXPECT_EQ(refused->address, 0);
  EXPECT_EQ(target.codeCursor - 30, 2 + 255);
}

TEST_F(StatementCode, TablesAreFilledInPlace) {
  auto range = std::make_unique<CRangeSymbol>("warm");
  range->center = 10;
  range->plateau = 20;
  range->edge = 30;
  auto other = std::make_unique<CRangeSymbol>("hot");
  other->center = 1;
  other->plateau = 2;
  other->edge = 3;
  auto rule = std::make_unique<CRuleSymbol>("heat");
  for (auto [r, result] : {std::pair{range.get(), 7}, std::pair{other.get(), 9}}) {
    auto* entry = TestArena().Make<CRangeValueSymbol>(r->name, rule.get());
    entry->range = r;
    entry->result = static_cast<uint8_t>(result);
    rule->entries.Add(TestArena(), entry);
  }
  CBlock program;
  CRangeStatement* rangeStatement = Add<CRangeStatement>(program, range.get());
  rangeStatement->address = target.AllocateTable(3);
  CRuleStatement* ruleStatement = Add<CRuleStatement>(program, rule.get());
  ruleStatement->address = target.AllocateTable(1);
  target.AllocateTable(8);
  Add<CVarStatement>(program, Global("v", TYPE_BYTE, 0x200));
  ASSERT_TRUE(Generate(program));
  EXPECT_EQ(At(0x7E, 3), (Bytes{0x0A, 0x1E, 0x14}));
  EXPECT_EQ(At(0x81, 9), (Bytes{0x02, 0x0A, 0x1E, 0x14, 0x07, 0x01, 0x03, 0x02, 0x09}));
  EXPECT_EQ(target.codeStart, 0);  // tables and declarations emit no code
  // A reference to the rule sizes as a range and a Real per entry.
  CType reference;
  reference.kind = TYPE_RULE;
  reference.symbol = rule.get();
  EXPECT_EQ(reference.Size(), 24);
  EXPECT_EQ(reference.Describe(), "Rule heat");

  // A count byte of 256 entries would read as an empty rule.
  for (int i = 0; i < 254; ++i) {
    auto* entry = TestArena().Make<CRangeValueSymbol>("hot", rule.get());
    entry->range = other.get();
    rule->entries.Add(TestArena(), entry);
  }
  EXPECT_FALSE(::Generate(*ruleStatement, target));
  EXPECT_EQ(target.errorText, "RULE:  'heat' has 256 entries; a rule holds at most 255.");
}

// IF without ELSE, with ELSE, with ELSEIF and ELSE; an empty ELSE counts as none.
TEST_F(StatementCode, DecisionsJumpPastWhatTheyDoNotRun) {
  CVarSymbol* c = Global("c", TYPE_BYTE, 0x7E);
  CBlock program;
  auto* plain = Add<CDecideStatement>(program, Ref(c));
  Add<COutStatement>(plain->thenBlock, TestArena().Text(std::string()));
  auto* withElse = Add<CDecideStatement>(program, Ref(c));
  Add<COutStatement>(withElse->thenBlock, TestArena().Text(std::string()));
  Add<COutStatement>(withElse->elseBlock, TestArena().Text(std::string()));
  auto* chain = Add<CDecideStatement>(program, Ref(c));
  CDecideStatement elseIf(Ref(c));
  chain->elseIf = &elseIf;
  Add<COutStatement>(chain->thenBlock, TestArena().Text(std::string()));
  Add<COutStatement>(elseIf.thenBlock, TestArena().Text(std::string()));
  Add<COutStatement>(elseIf.elseBlock, TestArena().Text(std::string()));
  auto* emptyElse = Add<CDecideStatement>(program, Ref(c));
  Add<COutStatement>(emptyElse->thenBlock, TestArena().Text(std::string()));
  ASSERT_EQ(target.AllocateData(1), 0x7E);
  ASSERT_TRUE(Generate(program)) << target.errorText;
  const Bytes test = {0x13, 0x02, 0x7E, 0x00};
  const Bytes out = {0x89, 0x01, 0x00};
  auto jump = [](int opcode, int to) { return Bytes{opcode, 0x02, to & 0xFF, to >> 8}; };
  Bytes expected;
  auto append = [&expected](const Bytes& bytes) { expected.insert(expected.end(), bytes.begin(), bytes.end()); };
  // 0x7F: if (c) {out}
  append(test), append(jump(0x7F, 0x8A)), append(out);
  // 0x8A: if (c) {out} else {out}
  append(test), append(jump(0x7F, 0x99)), append(out), append(jump(0x81, 0x9C)), append(out);
  // 0x9C: if (c) {out} elseif (c) {out} else {out}: the outer IF0 goes to the ELSEIF's test
  append(test), append(jump(0x7F, 0xAB)), append(out), append(jump(0x81, 0xBD));
  append(test), append(jump(0x7F, 0xBA)), append(out), append(jump(0x81, 0xBD)), append(out);
  // 0xBD: if (c) {out} else {}
  append(test), append(jump(0x7F, 0xC8)), append(out);
  EXPECT_EQ(Code(), expected);
}

TEST_F(StatementCode, LoopsTestFirstAndJumpBack) {
  CVarSymbol* c = Global("c", TYPE_BYTE, 0x7E);
  ASSERT_EQ(target.AllocateData(1), 0x7E);
  CBlock program;
  auto* loop = Add<CLoopStatement>(program, Ref(c));
  Add<COutStatement>(loop->body, TestArena().Text(std::string()));
  ASSERT_TRUE(Generate(program));
  EXPECT_EQ(loop->address, 0x7F);
  EXPECT_EQ(Code(), (Bytes{0x13, 0x02, 0x7E, 0x00, 0x7F, 0x02, 0x8E, 0x00, 0x89, 0x01, 0x00, 0x81, 0x02, 0x7F, 0x00}));
}

// f(b) before f is defined; f's body; start; an interrupt handler; a Real result.
TEST_F(StatementCode, MethodsCallsAndReturns) {
  CVarSymbol* b = Global("b", TYPE_BYTE, 0x7E);
  ASSERT_EQ(target.AllocateData(1), 0x7E);
  CProtoSymbol* start = Prototype("start");
  CProtoSymbol* f = Prototype("f", TYPE_VOID, {TYPE_INTEGER});
  CProtoSymbol* tick = Prototype("tick", TYPE_ADDRESS);
  tick->returnType.flags = TYPE_FLAG_INTERRUPT;
  tick->returnType.ref = 3;
  CProtoSymbol* real = Prototype("real", TYPE_REAL);
  CBlock program;
  CMethodStatement* startMethod = Method(program, start);
  Call(startMethod->body, f, Ref(b));
  Call(startMethod->body, real);
  CMethodStatement* fMethod = Method(program, f);
  Add<COutStatement>(fMethod->body, TestArena().Text(std::string()));
  CMethodStatement* tickMethod = Method(program, tick);
  CMethodStatement* realMethod = Method(program, real);
  realMethod->body.frameSize = 3;
  ASSERT_TRUE(Generate(program)) << target.errorText;
  EXPECT_EQ(target.startAddress, 0x7F);
  EXPECT_EQ(startMethod->address, 0x7F);
  EXPECT_EQ(fMethod->address, 0x8D);
  EXPECT_EQ(tickMethod->address, 0x9A);
  EXPECT_EQ(realMethod->address, 0xA2);
  EXPECT_EQ(Code(), (Bytes{0x13, 0x02, 0x7E, 0x00, 0x6C, 0x00, 0x78, 0x02, 0x8D, 0x00,  // start: f(b)
                           0x78, 0x02, 0xA2, 0x00,                                    //        real()
                           0x01, 0x01, 0xFF, 0x89, 0x01, 0x00, 0x02, 0x01, 0x01,      // f
                           0x79, 0x02, 0x02, 0xFC,                                    //
                           0x01, 0x01, 0xFF, 0x02, 0x01, 0x01, 0x7A, 0x00,            // tick
                           0x01, 0x01, 0xFD, 0x02, 0x01, 0x03, 0x79, 0x02, 0x00, 0xF9}));
  EXPECT_EQ(At(106, 2), (Bytes{0x9A, 0x00}));  // vector 3
  EXPECT_TRUE(target.fixups.empty());
}

TEST_F(StatementCode, CallsOfMethodsWithoutBodyFailTheBuild) {
  CBlock program;
  CMethodStatement* start = Method(program, Prototype("start"));
  Call(start->body, Prototype("later"));
  EXPECT_FALSE(Generate(program));
  EXPECT_EQ(target.errorText, "CALL:  'later' is declared but has no method body.");
}

// 100,000 nested blocks and a chain of 5,000 ELSEIF clauses: generated, dumped and destroyed
// without recursion, the listing's indentation bounded.
TEST_F(StatementCode, NestingOfAnyDepth) {
  ASSERT_TRUE(target.Initialize(64, 2, 2));
  const int depth = 100000;
  CBlock* program = TestArena().Make<CBlock>();
  CBlock* innermost = program;
  for (int i = 0; i < depth; ++i) innermost = &Add<CBlockStatement>(*innermost)->block;
  Add<COutStatement>(*innermost, TestArena().Text(std::string("x")));
  ASSERT_TRUE(Generate(*program)) << target.errorText;
  EXPECT_EQ(Code(), (Bytes{0x89, 0x02, 'x', 0x00}));
  Capture capture;
  program->Dump(capture.file(), 0);
  const std::string listing = capture.Text();
  EXPECT_LT(listing.size(), 250u * depth);
  const std::string deepest = CDumpWriter::Prefix(CDumpWriter::kMaxListedDepth) + "<0260> Out \"x\"\n";
  EXPECT_EQ(listing.substr(listing.size() - deepest.size()), deepest);

  CVarSymbol* c = Global("c", TYPE_BYTE, 0x300);
  ASSERT_TRUE(target.Initialize(64, 2, 2));
  CBlock chain;
  CDecideStatement* last = Add<CDecideStatement>(chain, Ref(c));
  for (int i = 0; i < 5000; ++i) {
    last->elseIf = TestArena().Make<CDecideStatement>(Ref(c));  // detached ELSEIF clauses
    last = last->elseIf;
  }
  ASSERT_TRUE(Generate(chain)) << target.errorText;
  EXPECT_EQ(Code().size(), 5001u * 12 - 4);  // test, IF0 and JUMP each; the last clause has no JUMP
}

}  // namespace
