// Blocks and their run-time frames: OPEN/CLOSE, the forced frame of methods, frame offsets
// across nested blocks, refused frames and a full code region.
#include <random>

#include "codegen/code_generator.h"
#include "codegen_fixture.h"

namespace {

// A statement of its own kind: when the generator visits it, it emits one NOP into its target,
// or fails, or generates a nested block.
class Probe : public CStatement {
 public:
  explicit Probe(CTarget& image, int behaviour = 1) : target(image), result(behaviour) {}
  int Accept(CStatementVisitor&) override {
    ++generated;
    if (result == 0) {
      target.errorText = "probe failed";
      return 0;
    }
    target.EmitInstruction(OP_NOP);
    if (inner != nullptr) return GenerateBlock(*inner, false, target) ? 1 : 0;
    return 1;
  }
  CTarget& target;
  int result;
  int generated = 0;
  CBlock* inner = nullptr;
};

class BlockFrames : public CodegenTest {
 protected:
  Probe* AddProbe(CBlock& block, int behaviour = 1) {
    return Add<Probe>(block, target, behaviour);
  }
};

TEST_F(BlockFrames, FramesOpenAndCloseAroundTheStatements) {
  CBlock method;  // a method without locals: a forced frame of one byte
  AddProbe(method);
  ASSERT_TRUE(GenerateBlock(method, true, target));
  CBlock withLocals;
  withLocals.frameSize = 4;
  ASSERT_TRUE(GenerateBlock(withLocals, false, target));
  CBlock plain;  // start and nested blocks without locals open nothing
  AddProbe(plain);
  ASSERT_TRUE(GenerateBlock(plain, false, target));
  EXPECT_EQ(Code(), (Bytes{0x01, 0x01, 0xFF, 0x00, 0x00, 0x02, 0x01, 0x01,  //
                           0x01, 0x01, 0xFC, 0x02, 0x01, 0x04,              //
                           0x00, 0x00}));
  EXPECT_TRUE(target.blockFrames.empty());
}

// A method body like any other method's: forced to one byte, but offsets count no frame for it.
TEST_F(BlockFrames, ForcedFrameCountsAsNoFrameForOffsets) {
  struct Spy : CStatement {
    explicit Spy(CTarget& image) : target(image) {}
    CTarget& target;
    int seen = -1;
    int Accept(CStatementVisitor&) override {
      seen = target.FrameOffset(1);
      return 1;
    }
  };
  CBlock body;  // a method body without locals
  CBlock inner;
  inner.frameSize = 2;
  Spy* spy = Add<Spy>(inner, target);
  AddProbe(body)->inner = &inner;
  target.PushBlockFrame(0);  // the program block
  ASSERT_TRUE(GenerateBlock(body, true, target));
  // program (0) -> method body (0, forced to 1) -> inner block (2): only the inner frame's link.
  EXPECT_EQ(spy->seen, 2);
  EXPECT_EQ(Code(), (Bytes{0x01, 0x01, 0xFF, 0x00, 0x00, 0x01, 0x01, 0xFE, 0x02, 0x01, 0x02, 0x02, 0x01, 0x01}));
}

// The offset formula, walked block by block outward, against the constant-time answer.
int WalkedOffset(const std::vector<int>& frames, int depth) {
  const int n = static_cast<int>(frames.size());
  if (n <= depth + 1) return 0;
  int sum = 0;
  bool first = true;
  for (int j = n - 1; j > depth; --j) {
    if (frames[j] == 0) continue;
    sum += 2;
    if (!first) sum += frames[j];
    first = false;
  }
  return first ? 0 : sum + frames[depth];
}

TEST_F(BlockFrames, FrameOffsetsMatchTheWalkWhileBlocksOpenAndClose) {
  std::mt19937 random(7);
  std::vector<int> reference;
  for (int step = 0; step < 5000; ++step) {
    if (reference.empty() || random() % 3 != 0) {
      const int size = random() % 2 == 0 ? 0 : static_cast<int>(random() % 20);
      reference.push_back(size);
      target.PushBlockFrame(size);
    } else {
      reference.pop_back();
      target.PopBlockFrame();
    }
    const int depth = static_cast<int>(random() % (reference.size() + 1));
    ASSERT_EQ(target.FrameOffset(depth), WalkedOffset(reference, depth)) << "step " << step;
  }
}

TEST_F(BlockFrames, GenerationStopsAtTheFirstFailingStatement) {
  CBlock block;
  block.frameSize = 2;
  Probe* first = AddProbe(block);
  Probe* failing = AddProbe(block, 0);
  Probe* never = AddProbe(block);
  EXPECT_FALSE(GenerateBlock(block, false, target));
  EXPECT_EQ(first->generated, 1);
  EXPECT_EQ(failing->generated, 1);
  EXPECT_EQ(never->generated, 0);
  EXPECT_EQ(target.errorText, "probe failed");
  EXPECT_EQ(Code(), (Bytes{0x01, 0x01, 0xFE, 0x00, 0x00}));  // no CLOSE
  EXPECT_TRUE(target.blockFrames.empty());
}

// The frame operand is one byte: a larger frame would wrap.
TEST_F(BlockFrames, FramesLargerThanOneByteAreRefused) {
  CBlock largest;
  largest.frameSize = 255;
  ASSERT_TRUE(GenerateBlock(largest, false, target));
  EXPECT_EQ(Code(), (Bytes{0x01, 0x01, 0x01, 0x02, 0x01, 0xFF}));
  CBlock tooLarge;
  tooLarge.frameSize = 256;
  EXPECT_FALSE(GenerateBlock(tooLarge, false, target));
  EXPECT_EQ(target.errorText, "BLOCK:  Locals of 256 bytes do not fit in one frame (at most 255).");
  EXPECT_EQ(Code().size(), 6u);
}

TEST_F(BlockFrames, AFullCodeRegionFailsTheBlock) {
  ASSERT_TRUE(target.Initialize(0, 1, 1));
  CBlock block;
  for (int i = 0; i < 300; ++i) AddProbe(block);  // 600 bytes: more than on-chip memory
  EXPECT_FALSE(GenerateBlock(block, false, target));
  EXPECT_EQ(target.errorText, "CODE:  Out of code memory: the program does not fit below 0x025f.");
  // Code in external RAM when there is none: not even the first byte fits.
  ASSERT_TRUE(target.Initialize(0, 2, 2));
  CBlock any;
  AddProbe(any);
  EXPECT_FALSE(GenerateBlock(any, false, target));
  EXPECT_EQ(target.errorText, "CODE:  Out of code memory: the program does not fit below 0x025f.");
}

}  // namespace
