#include "frontend/file_stack.h"

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <memory>

namespace {

std::string LowerCase(const std::string& text) {
  std::string lower = text;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// The working directory, whatever its length; empty when it cannot be read.
std::string CurrentDirectory() {
  std::unique_ptr<char, decltype(&free)> path(getcwd(nullptr, 0), &free);
  return path ? std::string(path.get()) : std::string();
}

// Only regular files are sources: a directory reads as nothing here, a device such as
// /dev/zero would never end, and a pipe would wait for a writer. Each is refused like a
// missing file, before it is opened.
FILE* OpenRegularFile(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return nullptr;
  if (!S_ISREG(status.st_mode)) {
    errno = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    return nullptr;
  }
  return std::fopen(path.c_str(), "re");
}

// Sources written for the original platform name used files with '\' separators: when no file
// has the literal name, the same path with '/' is tried.
FILE* OpenSourceFile(const std::string& path) {
  FILE* file = OpenRegularFile(path);
  if (!file && errno == ENOENT && path.find('\\') != std::string::npos) {
    std::string slashed = path;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    file = OpenRegularFile(slashed);
  }
  return file;
}

// The file Push opened, absolute: the name as given, or with '/' where only that form exists.
std::string AbsoluteName(const std::string& directory, const std::string& path) {
  std::string opened = path;
  struct stat status {};
  if (opened.find('\\') != std::string::npos && stat(opened.c_str(), &status) != 0)
    std::replace(opened.begin(), opened.end(), '\\', '/');
  if (!opened.empty() && opened[0] == '/') return opened;
  if (directory.empty()) return std::string();
  return directory + "/" + opened;
}

}  // namespace

CFileStack::~CFileStack() {
  if (lexer && !saved.empty() && lexer->input) {
    std::fclose(lexer->input);
    lexer->input = nullptr;
  }
  for (SavedFile& entry : saved)
    if (entry.file) std::fclose(entry.file);
}

void CFileStack::SetLexer(CLexer* newLexer) { lexer = newLexer; }

bool CFileStack::Push(const std::string& path) {
  if (!lexer) return false;
  std::string key = LowerCase(path);
  if (usedKeys.count(key)) return true;
  FILE* file = OpenSourceFile(path);
  if (!file) return false;

  SavedFile entry;
  entry.file = lexer->input;
  entry.line = lexer->line;
  entry.name = currentName;
  entry.path = currentPath;
  entry.directory = CurrentDirectory();
  entry.unread = lexer->TakeUnread();
  saved.push_back(std::move(entry));

  lexer->input = file;
  lexer->line = 1;
  currentName = path;
  currentPath = AbsoluteName(saved.back().directory, path);
  ++currentSerial;
  usedFiles.push_back(path);
  usedKeys.insert(std::move(key));

  // Relative USE paths inside this file resolve against its folder.
  size_t separator = path.rfind('/');
  if (separator == std::string::npos) separator = path.rfind('\\');
  if (separator != std::string::npos && separator > 0) {
    if (chdir(path.substr(0, separator).c_str()) != 0) {
      // A folder we cannot enter leaves the working directory as it was.
    }
  }
  return true;
}

bool CFileStack::Pop() {
  if (!lexer || saved.empty() || !lexer->input) return false;
  std::fclose(lexer->input);

  SavedFile entry = std::move(saved.back());
  saved.pop_back();
  lexer->input = entry.file;
  lexer->line = entry.line;
  if (!entry.name.empty()) currentName = entry.name;
  if (!entry.name.empty()) currentPath = entry.path;
  ++currentSerial;
  if (!entry.directory.empty() && chdir(entry.directory.c_str()) != 0) {
    // The folder has gone; reading goes on from where we are.
  }
  lexer->RestoreUnread(std::move(entry.unread));
  return lexer->input != nullptr;
}
