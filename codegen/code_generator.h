// Code generation of blocks and the statements in them, driven from an explicit stack so that
// nesting of any depth never deepens the call stack; and the entry points of generation from
// the program model into the target image.
#pragma once

#include <cstddef>
#include <vector>

class CBlock;
class CCallStatement;
class CExpression;
class CStatement;
class CTarget;

// Generates a block: its frame, its statements in order, its frame end. A method body other
// than start is forced to open a frame of at least one byte. False as soon as a statement
// fails (the target's errorText says why); nesting of any depth is generated without recursion.
bool GenerateBlock(CBlock& block, bool forceFrame, CTarget& target);
// Emits a statement's byte code: 1, or 0 with the target's errorText set. A statement of a
// kind without its own generator fails.
int Generate(CStatement& statement, CTarget& target);

// Expressions (iterative, calls inside arguments included). Generate emits the code that
// pushes the node's value; GenerateAddress the code that pushes the address of a variable or
// an element. 1 on success; 0 for a node that has no such code, or when the code cannot be
// generated (the target's errorText then says why).
int Generate(const CExpression& node, CTarget& target);
int GenerateAddress(const CExpression& node, CTarget& target);
// A call's arguments, last to first, each converted to its parameter's kind, then the
// call instruction with the method's address (a fixup when the method comes later).
// 1 on success; 0 with the target's errorText set.
int GenerateCall(const CCallStatement& call, CTarget& target);

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
  // Runs the next step of a statement by its kind (statement_generate.cpp).
  int Step(CStatement& statement, GenerationStep& step);
  // Turns a full code region into a failure with its message.
  int Checked(int result);
  void Deliver(int result, int& finalResult);

  std::vector<Frame> frames;
  Frame request;
  bool requested = false;
};
