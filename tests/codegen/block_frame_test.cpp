// Blocks and their run-time frames: OPEN/CLOSE, the forced frame of methods, frame offsets
// across nested blocks, refused frames and a full code region.
#include <random>

#include "codegen_fixture.h"
#include "target/code_generator.h"

namespace {

// A statement that emits one NOP, or fails, or holds a nested block.
class Probe : public CStatement {
 public:
  explicit Probe(int behaviour = 1) : result(behaviour) {}
  int Generate(CTarget& target) override {
    ++generated;
    if (result == 0) {
      target.errorText = "probe failed";
      return 0;
    }
    target.EmitInstruction(OP_NOP);
    if (inner != nullptr) return target.GenerateBlock(*inner, false) ? 1 : 0;
    return 1;
  }
  int result;
  int generated = 0;
  CBlock* inner = nullptr;
};

class BlockFrames : public CodegenTest {
 protected:
  Probe* AddProbe(CBlock& block, int behaviour = 1) {
    auto probe = std::make_unique<Probe>(behaviour);
    Probe* raw = probe.get();
    block.Add(std::move(probe));
    return raw;
  }
};

TEST_F(BlockFrames, FramesOpenAndCloseAroundTheStatements) {
  CBlock method;  // a method without locals: a forced frame of one byte
  AddProbe(method);
  ASSERT_TRUE(target.GenerateBlock(method, true));
  CBlock withLocals;
  withLocals.frameSize = 4;
  ASSERT_TRUE(target.GenerateBlock(withLocals, false));
  CBlock plain;  // start and nested blocks without locals open nothing
  AddProbe(plain);
  ASSERT_TRUE(target.GenerateBlock(plain, false));
  EXPECT_EQ(Code(), (Bytes{0x01, 0x01, 0xFF, 0x00, 0x00, 0x02, 0x01, 0x01,  //
                           0x01, 0x01, 0xFC, 0x02, 0x01, 0x04,              //
                           0x00, 0x00}));
  EXPECT_TRUE(target.blockFrames.empty());
}

// A method body like any other method's: forced to one byte, but offsets count no frame for it.
TEST_F(BlockFrames, ForcedFrameCountsAsNoFrameForOffsets) {
  struct Spy : CStatement {
    int seen = -1;
    int Generate(CTarget& target) override {
      seen = target.FrameOffset(1);
      return 1;
    }
  };
  struct MethodLike : CStatement {
    CBlock body;
    int Generate(CTarget& target) override { return target.GenerateBlock(body, true) ? 1 : 0; }
  };
  CBlock inner;
  inner.frameSize = 2;
  auto spy = std::make_unique<Spy>();
  Spy* spyRaw = spy.get();
  inner.Add(std::move(spy));
  auto method = std::make_unique<MethodLike>();
  AddProbe(method->body)->inner = &inner;
  CBlock program;
  program.Add(std::move(method));
  ASSERT_TRUE(target.GenerateBlock(program, false));
  // program (0) -> method body (0, forced to 1) -> inner block (2): only the inner frame's link.
  EXPECT_EQ(spyRaw->seen, 2);
  EXPECT_EQ(Code(), (Bytes{0x01, 0x01, 0xFF, 0x00, 0x00, 0x01, 0x01, 0xFE, 0x02, 0x01, 0x02, 0x02, 0x01, 0x01}));
}

// Hand-worked frame offsets: entries are the frame sizes of the blocks being generated.
TEST_F(BlockFrames, FrameOffsetsAcrossNestedBlocks) {
  struct Case {
    std::vector<int> frames;
    int depth;
    int offset;
  };
  const Case cases[] = {
      {{0, 4}, 1, 0},           // the innermost block itself
      {{0, 4, 3}, 1, 6},        // one frame inside: its link, then the method's frame
      {{0, 4, 0, 3}, 1, 6},     // a block without locals in between adds nothing
      {{0, 4, 5, 3}, 1, 13},    // 2 + (2 + 5) + 4
      {{0, 4, 0, 0}, 1, 0},     // no frame opened inside: still the innermost frame
      {{0, 0, 3}, 1, 2},        // the variable's block has no locals of its own
      {{0, 4, 5, 3}, 2, 7},     // 2 + 5
      {{0, 4, 5, 3}, 3, 0},
      {{0, 4, 5, 3}, 7, 0},     // deeper than anything open
  };
  for (const Case& c : cases) {
    while (!target.blockFrames.empty()) target.PopBlockFrame();
    for (int size : c.frames) target.PushBlockFrame(size);
    EXPECT_EQ(target.FrameOffset(c.depth), c.offset) << "depth " << c.depth << " of " << c.frames.size();
  }
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
  EXPECT_FALSE(target.GenerateBlock(block, false));
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
  ASSERT_TRUE(target.GenerateBlock(largest, false));
  EXPECT_EQ(Code(), (Bytes{0x01, 0x01, 0x01, 0x02, 0x01, 0xFF}));
  CBlock tooLarge;
  tooLarge.frameSize = 256;
  EXPECT_FALSE(target.GenerateBlock(tooLarge, false));
  EXPECT_EQ(target.errorText, "BLOCK:  Locals of 256 bytes do not fit in one frame (at most 255).");
  EXPECT_EQ(Code().size(), 6u);
}

TEST_F(BlockFrames, AFullCodeRegionFailsTheBlock) {
  ASSERT_TRUE(target.Initialize(0, 1, 1));
  CBlock block;
  for (int i = 0; i < 300; ++i) AddProbe(block);  // 600 bytes: more than on-chip memory
  EXPECT_FALSE(target.GenerateBlock(block, false));
  EXPECT_EQ(target.errorText, "CODE:  Out of code memory: the program does not fit below 0x025f.");
  // Code in external RAM when there is none: not even the first byte fits.
  ASSERT_TRUE(target.Initialize(0, 2, 2));
  CBlock any;
  AddProbe(any);
  EXPECT_FALSE(target.GenerateBlock(any, false));
  EXPECT_EQ(target.errorText, "CODE:  Out of code memory: the program does not fit below 0x025f.");
}

}  // namespace
