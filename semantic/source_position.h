// Where the parse stands in the source, as the compiler's warnings need it. The front end
// implements it over its lexer and file stack, which the compiler must not know.
#pragma once

#include <string>

class CSourcePosition {
 public:
  virtual ~CSourcePosition() = default;
  virtual const std::string& FileName() const = 0;  // as the file stack names the file
  virtual const std::string& FilePath() const = 0;  // absolute, when known
  virtual unsigned FileSerial() const = 0;          // changes whenever the file does
  virtual int Line() const = 0;
  virtual const std::string& LineText() const = 0;
  virtual int TokenColumn() const = 0;  // 1-based; 0 when unknown
  virtual int TokenLength() const = 0;
  virtual std::string TokenText() const = 0;
};
