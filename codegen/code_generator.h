// Code generation of blocks and the statements in them, driven from an explicit stack so that
// nesting of any depth never deepens the call stack.
#pragma once

#include <cstddef>
#include <vector>

class CBlock;
class CStatement;
class CTarget;

// What a statement that generates in steps keeps from one step to the next.
struct GenerationStep {
  int step = 0;              // the step to run next; 0 first
  int inner = 0;             // result of the block or statement the previous step asked for
  int saved[3] = {0, 0, 0};  // addresses of placeholder words still to patch
};

class CCodeGenerator {
 public:
  // What a step returns when it has asked for an inner block or statement first.
  static constexpr int kPending = -1;

  explicit CCodeGenerator(CTarget& codeTarget) : target(codeTarget) {}
  CCodeGenerator(const CCodeGenerator&) = delete;
  CCodeGenerator& operator=(const CCodeGenerator&) = delete;

  // Generates a block (frame, statements, frame end) or one statement: 1, or 0 on failure
  // with the target's errorText saying why.
  int Run(CBlock& block, bool forceFrame);
  int Run(CStatement& statement);

  // Called by a step: generate this next, then run the statement's next step with the
  // result in `inner`. The step returns what these return (kPending).
  int Then(CBlock& block, bool forceFrame);
  int Then(CStatement& statement);

  CTarget& target;

 private:
  struct Frame {
    CBlock* block = nullptr;  // a block being generated, or
    CStatement* statement = nullptr;  // a statement being generated
    bool forceFrame = false;
    bool opened = false;      // the block's frame has been opened
    int emittedFrame = 0;     // frame size the block's OPEN carries (0: none)
    size_t next = 0;          // the block's next statement
    int failed = 0;           // the last inner statement of the block failed
    GenerationStep step;
  };

  int Drive();
  int StepBlock(Frame& frame);
  int StepStatement(Frame& frame);
  // Turns a full code region into a failure with its message.
  int Checked(int result);
  void Deliver(int result, int& finalResult);

  std::vector<Frame> frames;
  Frame request;
  bool requested = false;
};
