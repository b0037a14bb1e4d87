#include "codegen/code_generator.h"

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
  const int result = Step(*frame.statement, frame.step);
  // A step that ran out of room goes no further, not even into the block it asked for.
  if (target.codeFull) return target.FailCodeFull();
  return result;
}

bool GenerateBlock(CBlock& block, bool forceFrame, CTarget& target) {
  return CCodeGenerator(target).Run(block, forceFrame) != 0;
}

int Generate(CStatement& statement, CTarget& target) { return CCodeGenerator(target).Run(statement); }
