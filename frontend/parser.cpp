#include "frontend/parser.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "frontend/tokens.h"
#include "frontend/value_slot.h"
#include "grammar_tables.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "platform/user_interface.h"

namespace {

// Writes all of text; false on a write error.
bool WriteAll(int descriptor, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t written = write(descriptor, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

char* NewText(const char* begin, std::size_t length) {
  char* copy = new char[length + 1];
  if (length > 0) std::memcpy(copy, begin, length);
  copy[length] = '\0';
  return copy;
}

void FreeText(yyvalue& slot) {
  delete[] slot.text;
  slot.text = nullptr;
}

bool CParser::Create(int externalRamK, int codeLocation, int dataLocation) {
  if (logPath.empty()) logPath = ResolveLogPath();
  if (!CreateStacks()) return false;
  if (!lexer.Create(this)) return false;
  if (!compiler.BeginProgram(&lexer, externalRamK, codeLocation, dataLocation)) return false;
  unlink(logPath.c_str());
  return true;
}

void CParser::ReportError(const std::string& message) {
  const std::string& file = compiler.fileStack.currentName;
  std::string text = Format("%s\r\n%s line %d: \"%s\" %s", lexer.lineText.c_str(), file.c_str(),
                            lexer.line, lexer.TokenText(), message.c_str());
  LogNotice notice;
  notice.located = true;
  notice.file = file;
  notice.path = compiler.fileStack.currentPath;
  notice.line = lexer.line;
  notice.column = lexer.TokenColumn();
  notice.token = lexer.TokenText();
  notice.message = message;
  notice.text = text;
  WriteEntry(text, notice);
}

void CParser::WriteLog(const std::string& text) {
  LogNotice notice;
  notice.text = text;
  WriteEntry(text, notice);
}

void CParser::WriteEntry(const std::string& text, const LogNotice& notice) {
  ++errorCount;
  if (logPath.empty()) logPath = ResolveLogPath();
  int descriptor = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (descriptor < 0) {
    UserInterface().ShowMessage(text, "Tovrin: Parser Error");
  } else {
    WriteAll(descriptor, Format("%s \r\n\r\n", text.c_str()));
    close(descriptor);
  }
  if (onLog) onLog(notice);
}

void CParser::WriteDebugFile(const std::string& name, int level) {
  if (level < 2) return;
  FILE* file = std::fopen(name.c_str(), "wb");
  if (!file) {
    UserInterface().ShowMessage(Format("Can not create parser debug file '%s'", name.c_str()));
    return;
  }
  compiler.WriteDebugListing(file, level, 0);
  std::fclose(file);
}

int CParser::GetToken() {
  int token = lexer.NextToken();
  if (token == 0) tokenValue = yyvalue{};
  return token;
}

// A dropped token's text would otherwise never be freed.
void CParser::Discard(int token) {
  if (token == IDENTIFIER || token == STRING) FreeText(tokenValue);
}

// Values still on the stack when recovery or an abort pops them. Texts are
// owned by their slot; expressions and types are parked in the compiler, which
// frees them now (a slot holding anything else, or a value an action already
// took, gives nothing to free).
void CParser::DiscardValue(int symbol, yyvalue& value) {
  using namespace yytables;
  switch (symbol) {
    case YYSYMBOL_IDENTIFIER:
    case YYSYMBOL_STRING:
    case YYSYMBOL_use_clause:
      FreeText(value);
      break;
    case YYSYMBOL_expression:
    case YYSYMBOL_constant:
    case YYSYMBOL_integer_constant:
    case YYSYMBOL_fuzzy_constant:
    case YYSYMBOL_assignment_target:
      compiler.TakeExpression(value.object);
      value = yyvalue{};
      break;
    case YYSYMBOL_type_spec:
    case YYSYMBOL_result_type:
      compiler.TakeType(value.object);
      value = yyvalue{};
      break;
    default:
      break;
  }
}

void CParser::Fail(const char* message) {
  resultValue = yyvalue{};
  ReportError(message);
}
