// Byte code of expressions: constants, variables (global, local, memory-mapped), operators with
// their conversions, element reads and addresses, range tests, calls, and very deep trees.
#include "codegen_fixture.h"

namespace {

class ExpressionCode : public CodegenTest {};

TEST_F(ExpressionCode, ConstantsOfEachKind) {
  EXPECT_EQ(Generate(*B(5), target), 1);
  EXPECT_EQ(Generate(*I(500), target), 1);
  EXPECT_EQ(Generate(*I(-1), target), 1);
  EXPECT_EQ(Generate(*R(1.0f), target), 1);
  EXPECT_EQ(Generate(*F(10.0f, 1.0f), target), 1);
  EXPECT_EQ(Code(), (Bytes{0x09, 0x01, 0x05,                            //
                           0x0A, 0x02, 0xF4, 0x01,                      //
                           0x0A, 0x02, 0xFF, 0xFF,                      //
                           0x0B, 0x03, 0x00, 0x00, 0x7F,                //
                           0x0C, 0x05, 0x00, 0x01, 0x00, 0x0A, 0x00}));
}

// x[i] = y + 2 with x a global Integer array at 0080, i a local Byte at offset 0 of the
// innermost block, y a global Byte at 007E.
TEST_F(ExpressionCode, WorkedExampleElementAddressAndSum) {
  CVarSymbol* x = Global("x", TYPE_INTEGER, 0x80, 4);
  CVarSymbol* i = Local("i", TYPE_BYTE, 1, 0);
  CVarSymbol* y = Global("y", TYPE_BYTE, 0x7E);
  target.PushBlockFrame(0);
  target.PushBlockFrame(1);
  Node element = Bin(Ref(x), EXPR_INDEX, Ref(i));
  Node sum = Bin(Ref(y), EXPR_ADD, B(2));
  ASSERT_EQ(GenerateAddress(*element, target), 1);
  ASSERT_EQ(Generate(*sum, target), 1);
  EXPECT_EQ(Code(), (Bytes{0x15, 0x02, 0x80, 0x00, 0x0D, 0x02, 0x00, 0x00, 0x6C, 0x00, 0x60, 0x00,  //
                           0x13, 0x02, 0x7E, 0x00, 0x09, 0x01, 0x02, 0x19, 0x00}));
}

TEST_F(ExpressionCode, OperandsAreConvertedToTheKindTheOperatorComputesIn) {
  CVarSymbol* b = Global("b", TYPE_BYTE, 0x7E);
  CVarSymbol* x = Global("x", TYPE_REAL, 0x80);
  CVarSymbol* r1 = Global("r1", TYPE_REAL, 0x83);
  CVarSymbol* r2 = Global("r2", TYPE_REAL, 0x86);
  CRangeSymbol* warm = Range("warm", 0x40, 1, 2, 3);

  ASSERT_EQ(Generate(*Bin(Ref(b), EXPR_ADD, I(300)), target), 1);
  EXPECT_EQ(Code(), (Bytes{0x13, 0x02, 0x7E, 0x00, 0x6C, 0x00, 0x0A, 0x02, 0x2C, 0x01, 0x1A, 0x00}));

  ASSERT_TRUE(target.Initialize(8, 1, 1));
  ASSERT_EQ(Generate(*Is(Ref(x), Ref(warm, TYPE_RANGE)), target), 1);
  EXPECT_EQ(Code(), (Bytes{0x17, 0x02, 0x80, 0x00, 0x72, 0x00, 0x0A, 0x02, 0x40, 0x00, 0x63, 0x00}));

  // A comparison yields a Byte whatever it compares.
  ASSERT_TRUE(target.Initialize(8, 1, 1));
  Node less = Bin(Ref(r1), EXPR_LT, Ref(r2));
  EXPECT_EQ(less->kind, TYPE_BYTE);
  ASSERT_EQ(Generate(*less, target), 1);
  EXPECT_EQ(Code(), (Bytes{0x17, 0x02, 0x83, 0x00, 0x17, 0x02, 0x86, 0x00, 0x4D, 0x00}));

  // not on an Integer, and ~ on a Byte: one operand in `right`, converted like any other.
  ASSERT_TRUE(target.Initialize(8, 1, 1));
  ASSERT_EQ(Generate(*Un(EXPR_NOT, Bin(Ref(b), EXPR_ADD, I(300))), target), 1);
  ASSERT_EQ(Generate(*Un(EXPR_BITNOT, Ref(b)), target), 1);
  EXPECT_EQ(Code(), (Bytes{0x13, 0x02, 0x7E, 0x00, 0x6C, 0x00, 0x0A, 0x02, 0x2C, 0x01, 0x1A, 0x00, 0x69, 0x00,  //
                           0x13, 0x02, 0x7E, 0x00, 0x6A, 0x00}));
}

// Every node pushes exactly the kind it reports, so a parent's conversion is always right.
TEST_F(ExpressionCode, WidenedNodesAndElementReadsPushWhatTheyReport) {
  CVarSymbol* b = Global("b", TYPE_BYTE, 0x7E);
  CVarSymbol* x = Global("x", TYPE_BYTE, 0x90, 3);

  // (b + 1) + 300: the inner sum computes in Integer.
  ASSERT_EQ(Generate(*Bin(Bin(Ref(b), EXPR_ADD, B(1)), EXPR_ADD, I(300)), target), 1);
  EXPECT_EQ(Code(), (Bytes{0x13, 0x02, 0x7E, 0x00, 0x6C, 0x00, 0x0A, 0x02, 0x01, 0x00, 0x1A, 0x00,  //
                           0x0A, 0x02, 0x2C, 0x01, 0x1A, 0x00}));

  // x[2] + 300: the element read pushes a Byte and the sum converts it.
  ASSERT_TRUE(target.Initialize(8, 1, 1));
  ASSERT_EQ(Generate(*Bin(Bin(Ref(x), EXPR_INDEX, B(2)), EXPR_ADD, I(300)), target), 1);
  EXPECT_EQ(Code(), (Bytes{0x15, 0x02, 0x90, 0x00, 0x0A, 0x02, 0x02, 0x00, 0x5B, 0x00, 0x6C, 0x00,  //
                           0x0A, 0x02, 0x2C, 0x01, 0x1A, 0x00}));
}

TEST_F(ExpressionCode, LocalsAreAddressedFromTheInnermostFrame) {
  CVarSymbol* n = Local("n", TYPE_INTEGER, 1, 3);
  CVarSymbol* f = Local("f", TYPE_FUZZY, 1, 0);
  CVarSymbol* p = Local("p", TYPE_BYTE, 1, -6);  // a parameter, below the frame base
  CVarSymbol* inner = Local("inner", TYPE_REAL, 2, 1);
  target.PushBlockFrame(0);
  target.PushBlockFrame(5);
  ASSERT_EQ(Generate(*Ref(n), target), 1);
  ASSERT_EQ(GenerateAddress(*Ref(f), target), 1);
  ASSERT_EQ(Generate(*Ref(p), target), 1);
  EXPECT_EQ(Code(), (Bytes{0x0E, 0x02, 0xFC, 0xFF, 0x0F, 0x02, 0xFC, 0xFF, 0x0D, 0x02, 0x06, 0x00}));

  // From a nested block with locals the method's frame lies a link and its own size further.
  ASSERT_TRUE(target.Initialize(8, 1, 1));
  for (int size : {0, 5, 3}) target.PushBlockFrame(size);
  ASSERT_EQ(Generate(*Ref(n), target), 1);
  ASSERT_EQ(Generate(*Ref(inner), target), 1);
  EXPECT_EQ(Code(), (Bytes{0x0E, 0x02, 0x03, 0x00, 0x11, 0x02, 0xFD, 0xFF}));

  // An operand word that would wrap is refused.
  for (int i = 0; i < 130; ++i) target.PushBlockFrame(255);
  EXPECT_EQ(Generate(*Ref(n), target), 0);
  EXPECT_EQ(target.errorText,
            "VARIABLE:  'n' lies too far from the current frame (33161 bytes; a stack operand holds -32768 to 32767).");
}

TEST_F(ExpressionCode, MemoryMappedBytesUseTheirFixedAddress) {
  CVarSymbol* port = Mapped("port", 0x39);
  CVarSymbol* pin = Mapped("pin", 0x36, 1);
  ASSERT_EQ(Generate(*Ref(port), target), 1);
  ASSERT_EQ(GenerateAddress(*Ref(port), target), 1);
  ASSERT_EQ(Generate(*Ref(pin), target), 1);
  ASSERT_EQ(GenerateAddress(*Ref(pin), target), 1);
  // An operator on a mapped byte computes as Byte.
  ASSERT_EQ(Generate(*Bin(Ref(port), EXPR_BITAND, B(4)), target), 1);
  EXPECT_EQ(Code(), (Bytes{0x13, 0x02, 0x39, 0x00, 0x15, 0x02, 0x39, 0x00, 0x13, 0x02, 0x36, 0x00,  //
                           0x15, 0x02, 0x36, 0x00, 0x13, 0x02, 0x39, 0x00, 0x09, 0x01, 0x04, 0x2B, 0x00}));
}

TEST_F(ExpressionCode, OnlyVariablesAndElementsHaveAnAddress) {
  EXPECT_EQ(GenerateAddress(*B(3), target), 0);
  EXPECT_EQ(GenerateAddress(*Bin(Ref(Global("b", TYPE_BYTE, 0x7E)), EXPR_ADD, B(1)), target), 0);
  EXPECT_EQ(Generate(CExpression(), target), 0);  // an empty node
  EXPECT_TRUE(Code().empty());
  EXPECT_EQ(target.codeCursor, 30);
}

// Calls inside expressions: f(b) as a value, g defined earlier, a method without result.
class CallCode : public ExpressionCode {
 protected:
  CMethodStatement* Define(CProtoSymbol* prototype, int address) {
    auto method = std::make_unique<CMethodStatement>(prototype);
    method->address = address;
    prototype->statement = method.get();
    statements.push_back(std::move(method));
    return static_cast<CMethodStatement*>(statements.back().get());
  }
  Node Call(CProtoSymbol* prototype, std::vector<Node> arguments) {
    CBlock* block = TestArena().Make<CBlock>();
    for (Node argument : arguments) Add<CParamStatement>(*block, argument);
    CCallStatement* call = TestArena().Make<CCallStatement>(prototype, block);
    return Ref(prototype, TYPE_CALL, call);
  }
};

TEST_F(CallCode, ArgumentsGoLastToFirstAndForwardCallsAreFixedUp) {
  CVarSymbol* b = Global("b", TYPE_BYTE, 0x7E);
  CProtoSymbol* f = Prototype("f", TYPE_INTEGER, {TYPE_INTEGER, TYPE_REAL});
  CMethodStatement* method = Define(f, 0);  // generated later
  std::vector<Node> arguments;
  arguments.push_back(Ref(b));
  arguments.push_back(B(2));
  Node call = Call(f, std::move(arguments));
  ASSERT_EQ(Generate(*Bin(std::move(call), EXPR_ADD, I(1)), target), 1);
  EXPECT_EQ(Code(), (Bytes{0x09, 0x01, 0x02, 0x6D, 0x00,              // 2 as Real
                           0x13, 0x02, 0x7E, 0x00, 0x6C, 0x00,        // b as Integer
                           0x78, 0x02, 0x00, 0x00, 0x7C, 0x00,        // CALL ?, GOT INT
                           0x0A, 0x02, 0x01, 0x00, 0x1A, 0x00}));
  ASSERT_EQ(target.fixups.size(), 1u);
  method->address = 0x1234;
  target.ResolveFixups();
  EXPECT_EQ(At(0x7E + 13, 2), (Bytes{0x34, 0x12}));
}

TEST_F(CallCode, CallsNestedInArgumentsOfAnyDepth) {
  CProtoSymbol* g = Prototype("g", TYPE_BYTE, {TYPE_BYTE});
  Define(g, 0x0100);
  ASSERT_TRUE(target.Initialize(64, 2, 2));
  Node call = B(7);
  const int depth = 10000;
  for (int i = 0; i < depth; ++i) {
    std::vector<Node> arguments;
    arguments.push_back(std::move(call));
    call = Call(g, std::move(arguments));
  }
  ASSERT_EQ(Generate(*call, target), 1) << target.errorText;
  const Bytes code = Code();
  ASSERT_EQ(code.size(), 3u + 6u * depth);
  EXPECT_EQ((Bytes{code[3], code[4], code[5], code[6], code[7], code[8]}), (Bytes{0x78, 0x02, 0x00, 0x01, 0x7B, 0x00}));
  EXPECT_TRUE(target.fixups.empty());
}

// A value that a method does not return, or a method without a body, fails the build.
TEST_F(CallCode, CallsThatCanNotYieldAValueAreRefused) {
  CProtoSymbol* act = Prototype("act");
  Define(act, 0x100);
  Node call = Call(act, {});
  EXPECT_EQ(Generate(*call, target), 0);
  EXPECT_EQ(target.errorText, "CALL:  'act' returns no value; it can not be used in an expression.");

  CProtoSymbol* tick = Prototype("tick", TYPE_ADDRESS);
  tick->returnType.flags = TYPE_FLAG_INTERRUPT;
  tick->returnType.ref = 3;
  Define(tick, 0x100);
  EXPECT_EQ(Generate(*Call(tick, {}), target), 0);
  EXPECT_EQ(target.errorText, "CALL:  'tick' returns no value; it can not be used in an expression.");

  CProtoSymbol* missing = Prototype("missing", TYPE_BYTE);
  EXPECT_EQ(Generate(*Call(missing, {}), target), 0);
  EXPECT_EQ(target.errorText, "CALL:  'missing' is declared but has no method body.");
}

// 300,000 operators do not fit the image; they fail cleanly, without recursion.
TEST_F(ExpressionCode, DeepTreesGenerateOrFailWithoutRecursion) {
  ASSERT_TRUE(target.Initialize(64, 2, 2));
  CVarSymbol* b = Global("b", TYPE_BYTE, 0x7E);
  Node chain = Ref(b);
  for (int i = 0; i < 10000; ++i) chain = Un(EXPR_BITNOT, std::move(chain));
  ASSERT_EQ(Generate(*chain, target), 1);
  EXPECT_EQ(Code().size(), 4u + 2u * 10000);

  Node sum = Ref(b);
  for (int i = 0; i < 300000; ++i) sum = Bin(Ref(b), EXPR_ADD, std::move(sum));  // right-deep
  EXPECT_EQ(Generate(*sum, target), 0);
  EXPECT_EQ(target.errorText, "CODE:  Out of code memory: the program does not fit below 0x10000.");
  EXPECT_TRUE(target.codeFull);
}

}  // namespace
