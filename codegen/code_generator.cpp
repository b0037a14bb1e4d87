#include "codegen/code_generator.h"

#include <climits>

#include "image/target.h"
#include "model/statement.h"
#include "platform/format.h"

namespace {

// OPEN and CLOSE carry the frame size in one byte.
constexpr int kMaxFrame = 255;

}  // namespace

int CCodeGenerator::Run(CBlock& block, bool forceFrame) {
  Frame root;
  root.block = &block;
  root.forceFrame = forceFrame;
  frames.push_back(root);
  return Drive();
}

int CCodeGenerator::Run(CStatement& statement) {
  Frame root;
  root.statement = &statement;
  frames.push_back(root);
  return Drive();
}

int CCodeGenerator::Then(CBlock& block, bool forceFrame) {
  request = Frame();
  request.block = &block;
  request.forceFrame = forceFrame;
  requested = true;
  return kPending;
}

int CCodeGenerator::Then(CStatement& statement) {
  request = Frame();
  request.statement = &statement;
  requested = true;
  return kPending;
}

int CCodeGenerator::Drive() {
  int finalResult = 0;
  while (!frames.empty()) {
    requested = false;
    Frame& top = frames.back();
    const int result = top.block != nullptr ? StepBlock(top) : StepStatement(top);
    if (result == kPending) {
      if (requested) {
        frames.push_back(request);
        continue;
      }
      // A step that asks for nothing yet does not finish: a fault of that statement.
      target.errorText = "CODE:  Internal error: a statement stopped generating.";
      Deliver(0, finalResult);
      continue;
    }
    Deliver(result, finalResult);
  }
  return finalResult;
}

void CCodeGenerator::Deliver(int result, int& finalResult) {
  frames.pop_back();
  if (frames.empty()) {
    finalResult = result;
    return;
  }
  Frame& parent = frames.back();
  if (parent.block != nullptr) {
    parent.failed = result == 0;
  } else {
    parent.step.inner = result;
  }
}

int CCodeGenerator::Checked(int result) {
  if (target.codeFull) return target.FailCodeFull();
  return result;
}

int CCodeGenerator::StepBlock(Frame& frame) {
  CBlock& block = *frame.block;
  if (!frame.opened) {
    frame.opened = true;
    const int size = block.frameSize;
    frame.emittedFrame = (size == 0 && frame.forceFrame) ? 1 : size;
    if (frame.emittedFrame < 0 || frame.emittedFrame > kMaxFrame) {
      target.errorText = Format("BLOCK:  Locals of %d bytes do not fit in one frame (at most %d).",
                                frame.emittedFrame, kMaxFrame);
      return 0;
    }
    target.PushBlockFrame(size);
    if (frame.emittedFrame != 0) {
      target.EmitInstruction(OP_OPEN, 1);
      target.EmitByte(-frame.emittedFrame & 0xFF);
    }
    if (Checked(1) == 0) {
      target.PopBlockFrame();
      return 0;
    }
  }
  if (frame.failed) {
    target.PopBlockFrame();
    return 0;
  }
  while (frame.next < block.statements.size()) {
    CStatement* statement = block.statements[frame.next++];
    if (statement != nullptr) return Then(*statement);
  }
  target.PopBlockFrame();
  if (frame.emittedFrame != 0) {
    target.EmitInstruction(OP_CLOSE, 1);
    target.EmitByte(frame.emittedFrame);
  }
  return Checked(1);
}

int CCodeGenerator::StepStatement(Frame& frame) {
  const int result = frame.statement->GenerateStep(*this, frame.step);
  // A step that ran out of room goes no further, not even into the block it asked for.
  if (target.codeFull) return target.FailCodeFull();
  return result;
}

bool CTarget::GenerateBlock(CBlock& block, bool forceFrame) {
  return CCodeGenerator(*this).Run(block, forceFrame) != 0;
}

int CTarget::FailCodeFull() {
  errorText = Format("CODE:  Out of code memory: the program does not fit below 0x%04x.", CodeLimit());
  return 0;
}

void CTarget::SyncFrameSums() {
  if (frameCosts.size() == blockFrames.size() && innermostFrame.size() == blockFrames.size()) return;
  std::vector<int> sizes;
  sizes.swap(blockFrames);
  frameCosts.clear();
  innermostFrame.clear();
  for (int size : sizes) PushBlockFrame(size);
}

void CTarget::PushBlockFrame(int size) {
  SyncFrameSums();
  const int64_t cost = frameCosts.empty() ? 0 : frameCosts.back();
  const int innermost = innermostFrame.empty() ? -1 : innermostFrame.back();
  blockFrames.push_back(size);
  if (size != 0) {
    frameCosts.push_back(cost + 2 + size);
    innermostFrame.push_back(static_cast<int>(blockFrames.size()) - 1);
  } else {
    frameCosts.push_back(cost);
    innermostFrame.push_back(innermost);
  }
}

void CTarget::PopBlockFrame() {
  SyncFrameSums();
  if (blockFrames.empty()) return;
  blockFrames.pop_back();
  frameCosts.pop_back();
  innermostFrame.pop_back();
}

// Walking outward from the innermost block to the variable's block, every block with locals
// adds its frame link (2) and its size, except that the innermost such frame is where the
// offsets count from (its size is not crossed) and the variable's own frame is crossed instead.
int CTarget::FrameOffset(int depth) {
  SyncFrameSums();
  const auto n = static_cast<int64_t>(blockFrames.size());
  if (depth < 0 || n <= static_cast<int64_t>(depth) + 1) return 0;
  const int innermost = innermostFrame.back();
  if (innermost <= depth) return 0;
  const int64_t sum = frameCosts.back() - frameCosts[static_cast<size_t>(depth)] -
                      blockFrames[static_cast<size_t>(innermost)] + blockFrames[static_cast<size_t>(depth)];
  return sum > INT_MAX ? INT_MAX : static_cast<int>(sum);
}

bool CTarget::StackOperand(int depth, int frameOffset, int size, std::string_view name, int& operand) {
  const int64_t word = static_cast<int64_t>(FrameOffset(depth)) - (static_cast<int64_t>(frameOffset) + size - 1);
  if (word < INT16_MIN || word > INT16_MAX) {
    errorText = Format("VARIABLE:  '%s' lies too far from the current frame (%lld bytes; a stack operand holds "
                       "-32768 to 32767).",
                       std::string(name).c_str(), static_cast<long long>(word));
    return false;
  }
  operand = static_cast<int>(word);
  return true;
}
