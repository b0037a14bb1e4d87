// The lexer: turns the characters of the current source file into tokens.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

class CParser;

// Characters read ahead and given back. They belong to the file they were
// read from, so the file stack saves and restores a whole buffer. The stack
// grows downwards from the end of data: the next character to read is at
// data[capacity - size], and characters given back last-first lie in their
// reading order, so a whole tail of text is given back with one copy.
struct CUnreadBuffer {
  std::unique_ptr<unsigned char[]> data;
  int size = 0;
  int capacity = 0;
  // Columns: characters of the file read into the buffer so far, and the position (in those
  // characters) where the current line begins. Kept here so they travel with the file.
  long long fed = 0;
  long long lineStart = 0;
};

// The scanner engine's input side: the stream, the push-back buffer and the
// token text buffer. Buffers start at 100 entries and double when full; the
// stream is read in blocks into the push-back buffer.
class yylexer {
 public:
  yylexer() = default;
  yylexer(const yylexer&) = delete;
  yylexer& operator=(const yylexer&) = delete;
  virtual ~yylexer() = default;

  // The next token code; 0 at the end of all input (and at every later call).
  virtual int NextToken() = 0;
  // The text of the last match, NUL-terminated.
  const char* TokenText() const { return text ? text.get() : ""; }
  int TokenLength() const { return textLength; }

  // Current source stream; null before the main file and after the last one.
  FILE* input = nullptr;

  // Moves the push-back buffer out (leaving this one empty) / puts one back.
  CUnreadBuffer TakeUnread();
  void RestoreUnread(CUnreadBuffer buffer);

  // Position in the current file of the next character to read.
  long long Position() const { return unread.fed - unread.size; }

 protected:
  // Allocates both buffers; false when memory is exhausted.
  bool CreateBuffers();

  // The most recently given-back character, else the next one of the
  // stream; -1 at its end. (Not virtual: it runs for every character.)
  int ReadChar() {
    if (unread.size > 0 || ReadAhead()) return unread.data[unread.capacity - unread.size--];
    return -1;
  }
  // Gives back one character (never -1).
  void UnreadChar(int c) {
    if (unread.size == unread.capacity) GrowUnread(unread.size + 1);
    unread.data[unread.capacity - ++unread.size] = static_cast<unsigned char>(c);
  }
  // Moves characters from the input to the text while keep[c] is set; the
  // first character that fails stays unread. A line break never passes when
  // keep is null: then the rest of the line is taken.
  void AppendWhile(const bool* keep);
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

  // The match being acted on (the buffers exist once a token is scanned).
  const char* MatchedText() const { return text.get(); }
  void ClearText() { textLength = 0; }
  void AppendText(int c) {
    if (textLength + 1 >= textCapacity) GrowText();
    text[textLength++] = static_cast<char>(c);
  }
  void TerminateText() {
    if (textLength + 1 > textCapacity) GrowText();
    text[textLength] = '\0';
  }
  // Keeps the first length characters of the match and gives the rest back.
  void Less(int length);
  // The current line begins at the next character to read.
  void MarkLineStart() { unread.lineStart = Position(); }
  long long LineStart() const { return unread.lineStart; }

 private:
  // Reads the next block of the stream (CR LF folded to LF) as given-back
  // characters: the read-ahead then belongs to the file like any other.
  // False at the end of the stream.
  bool ReadAhead();
  void AppendBlock(const unsigned char* block, int length);
  void GrowText();
  void GrowUnread(int needed);

  std::unique_ptr<char[]> text;
  int textLength = 0;
  int textCapacity = 0;
  CUnreadBuffer unread;
};

// The scanner: the 46 token rules with longest match, the first rule winning
// a tie. Rule numbers are those of the token rule table.
class yyflexer : public yylexer {
 public:
  int NextToken() override;

 protected:
  // Reads the longest match that starts with c (already read); returns its
  // rule, or 0 when not even c starts a match. Extra characters are given back.
  int Match(int c);

 private:
  int MatchLineBreak();
  int MatchSlash();
  int MatchString();
  int MatchCharacter();
  int MatchNumber(int first);
  int MatchWord();
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
};
