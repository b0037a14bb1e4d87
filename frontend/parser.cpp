#include "frontend/parser.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "frontend/tokens.h"
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

bool CParser::Create(int externalRamK, int codeLocation, int dataLocation) {
  if (logPath.empty()) logPath = ResolveLogPath();
  if (!CreateStacks()) return false;
  if (!lexer.Create(this)) return false;
  if (!compiler.BeginProgram(externalRamK, codeLocation, dataLocation)) return false;
  unlink(logPath.c_str());
  return true;
}

bool CParser::OpenSource(const std::string& path) { return fileStack.Push(path); }

bool CParser::EndSource() { return fileStack.Pop(); }

void CParser::UseFile(const std::string& path) {
  if (!OpenSource(path)) ReportError(Format("USE unable to open file '%s'", path.c_str()));
}

void CParser::ReportError(const std::string& message) {
  // A build to be redone reports nothing; the first error of a parse ends its streaming.
  if (compiler.StreamAborted()) return;
  compiler.StopStreaming();
  const std::string& file = fileStack.currentName;
  std::string text = Format("%s\r\n%s line %d: \"%s\" %s", lexer.lineText.c_str(), file.c_str(),
                            lexer.line, lexer.TokenText(), message.c_str());
  LogNotice notice;
  notice.located = true;
  notice.file = file;
  notice.path = fileStack.currentPath;
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
  // A full listing runs to megabytes in lines of a few dozen bytes: write it in large pieces.
  static thread_local char buffer[1 << 16];
  std::setvbuf(file, buffer, _IOFBF, sizeof buffer);
  compiler.WriteDebugListing(file, level, 0);
  std::fclose(file);
}

int CParser::GetToken() {
  // A build to be redone without streaming reads no further.
  if (compiler.StreamAborted()) {
    tokenValue = yyvalue{};
    return 0;
  }
  int token = lexer.NextToken();
  if (token == 0) tokenValue = yyvalue{};
  return token;
}

void CParser::EndMethodDefinition() {
  if (!compiler.EndMethodDefinition(errorCount != 0)) return;
  if (lookaheadValid && (lookahead == IDENTIFIER || lookahead == STRING) && tokenValue.text != nullptr)
    tokenValue.text = compiler.arena.Text(tokenValue.text, std::strlen(tokenValue.text)).data();
}

void CParser::Fail(const char* message) {
  resultValue = yyvalue{};
  ReportError(message);
}
