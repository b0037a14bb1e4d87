// The frames of the blocks being generated: where a local lies from the current run-time frame,
// in constant time at any nesting.
#include <climits>
#include <cstdint>

#include "image/target.h"
#include "platform/format.h"

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
