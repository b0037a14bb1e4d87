// The lexer: turns the characters of the current source file into tokens.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

class CParser;

// The characters of one file that are still to be scanned. A file is read ahead in pieces of
// whole lines (CR LF folded to LF), so a character given back is just the read position moving
// back, and a match is a view of the text, never a copy; only the piece being scanned is held.
// No token reaches past the line break that ends its line, so a piece is scanned up to its last
// line break, where the next piece begins. The text belongs to the file: the file stack saves
// and restores a whole buffer with its position.
struct CUnreadBuffer {
  std::unique_ptr<char[]> data;
  std::size_t capacity = 0;     // bytes data holds
  std::size_t size = 0;         // characters of the piece: a match may end here
  std::size_t limit = 0;        // the scan moves on to the next piece from here (the piece's
                                // last line break; size at the end of the file)
  std::size_t filled = 0;       // the piece, then bytes read beyond it (not yet folded)
  std::size_t next = 0;         // the next character to read
  std::ptrdiff_t lineStart = 0;  // where the current line begins (for columns); before the
                                 // piece for a line begun in an earlier one
  bool loaded = false;          // the stream's end has been read
};

// The scanner engine's input side: the stream, the text read ahead from it and the match.
class yylexer {
 public:
  yylexer() = default;
  yylexer(const yylexer&) = delete;
  yylexer& operator=(const yylexer&) = delete;
  virtual ~yylexer() = default;

  // The next token code; 0 at the end of all input (and at every later call).
  virtual int NextToken() = 0;
  // The text of the last match, NUL-terminated (copied out only when asked for).
  const char* TokenText() const;
  int TokenLength() const { return static_cast<int>(matchLength); }

  // Current source stream; null before the main file and after the last one.
  FILE* input = nullptr;
  // Bytes read from the stream at a time (a piece grows past it for a longer line).
  std::size_t readBlock = 65536;

  // Moves the text of the current file out (leaving this one empty) / puts one back.
  CUnreadBuffer TakeUnread();
  void RestoreUnread(CUnreadBuffer buffer);

 protected:
  // Readies the match; false when memory is exhausted.
  bool CreateBuffers();

  // A character no rule matches; discarded (standard output carries only the
  // program's own output).
  virtual void EchoChar(int) {}
  // End of the current stream: true when no input is left.
  virtual bool Wrap() { return true; }
  // Exit the process: a buffer cannot grow.
  [[noreturn]] virtual void ReportTextOverflow(int size);
  [[noreturn]] virtual void ReportUnreadOverflow(int size);
  // Runs the action of a matched rule: a token code, or kNoToken to go on.
  virtual int Action(int rule) = 0;

  static constexpr int kNoToken = -1;

  // Moves on to the next piece of the stream; false at its end.
  bool ReadAhead();
  // The match: a view of the current file's text (or of the copy kept of it once that
  // file's text has gone).
  const char* MatchedText() const { return match; }
  void SetMatch(const char* begin, std::size_t length) {
    match = begin;
    matchLength = length;
  }
  // Makes the match a copy of its own, before the text it points into goes away.
  void KeepMatch();
  // Whether the match lies in the current file's text.
  bool MatchInCurrentText() const;

  CUnreadBuffer unread;
  // Where token values go (the parser's slot), if anywhere: tokens without a value clear it.
  union yyvalue* valueSlot = nullptr;

 private:
  const char* match = "";
  std::size_t matchLength = 0;
  mutable std::string matchCopy;  // the NUL-terminated text TokenText hands out
  std::string keptMatch;          // the match once its file's text has gone
};

// The scanner: the 46 token rules with longest match, the first rule winning
// a tie. Rule numbers are those of the token rule table.
class yyflexer : public yylexer {
 public:
  int NextToken() override;
};

// Token rules with an action of their own.
enum LexRule {
  RULE_NONE = 0,
  RULE_FIRST_OPERATOR = 1,   // 1 to 8: == <> <= < >= > << >>
  RULE_FIRST_KEYWORD = 9,    // 9 to 36: and ... weight
  RULE_LINE = 37,            // a line break and the line after it
  RULE_BLANK = 38,
  RULE_COMMENT = 39,
  RULE_CHARACTER_TOKEN = 40,
  RULE_INT_NUMBER = 41,
  RULE_HEX_NUMBER = 42,
  RULE_REAL_NUMBER = 43,
  RULE_STRING = 44,
  RULE_CHARACTER = 45,
  RULE_IDENTIFIER = 46,
};

// The lexer of one build: token values, line tracking and the hand-over to
// the including file at the end of each used file.
class CLexer : public yyflexer {
 public:
  // Remembers the parser that receives token values; line 1; buffers.
  bool Create(CParser* parser);

  // 1-based byte column of the first character of the token just scanned; 0 when it is not
  // on the current line (the line break itself, or a token of a file already left).
  // Worked out only when asked, so scanning pays nothing for it.
  int TokenColumn() const;

  int line = 1;          // line number in the current file
  std::string lineText;  // text of the current line, without its line break
  CParser* parser = nullptr;

 protected:
  // Resumes the including file through the compiler's file stack.
  bool Wrap() override;
  int Action(int rule) override;

 private:
  // A copy of an identifier's or a string's text in the build's arena, which owns it.
  const char* KeepText(const char* text, std::size_t length);
};
