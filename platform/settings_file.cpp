#include "platform/settings_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <system_error>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "platform/format.h"

namespace {

// A settings file is a few hundred bytes; anything far larger is not one of ours, and reading
// it whole on every call would be slow.
constexpr off_t kMaxFileBytes = 16 * 1024 * 1024;

const char kHeader[] = "REGEDIT4";
const char kHeader5[] = "Windows Registry Editor Version 5.00";

enum class LineKind { Other, Section, Value };

// One line of the file as found: unknown lines are kept byte for byte.
struct Line {
  std::string raw;  // without its '\n'
  LineKind kind = LineKind::Other;
  std::string key;   // Section: the key in brackets
  std::string name;  // Value: the value name ("" for the default value '@')
  bool isString = false;  // Value: a "text" value (not dword:, hex: or damaged)
  std::string text;       // Value: the unescaped text when isString
};

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(const std::string& raw) {
  size_t first = 0, last = raw.size();
  while (first < last && IsBlank(raw[first])) ++first;
  while (last > first && (IsBlank(raw[last - 1]) || raw[last - 1] == '\r')) --last;
  return raw.substr(first, last - first);
}

// Reads a quoted string starting at text[pos] == '"'; on success pos is past the closing quote.
bool ParseQuoted(const std::string& text, size_t& pos, std::string& out) {
  out.clear();
  for (size_t i = pos + 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') {
      pos = i + 1;
      return true;
    }
    if (c != '\\' || i + 1 >= text.size()) {
      out += c;
      continue;
    }
    char next = text[++i];
    switch (next) {
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default:  // not an escape we write: keep it as it stands
        out += '\\';
        out += next;
    }
  }
  return false;  // no closing quote: a damaged (e.g. truncated) line
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out + "\"";
}

void SkipBlanks(const std::string& text, size_t& pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
}

Line ClassifyLine(std::string raw) {
  Line line;
  line.raw = std::move(raw);
  std::string text = Trimmed(line.raw);
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    line.kind = LineKind::Section;
    line.key = text.substr(1, text.size() - 2);
    return line;
  }
  size_t pos = 0;
  std::string name;
  if (!text.empty() && text[0] == '@') {
    pos = 1;  // the key's default value, which has the empty name
  } else if (text.empty() || text[0] != '"' || !ParseQuoted(text, pos, name)) {
    return line;
  }
  SkipBlanks(text, pos);
  if (pos >= text.size() || text[pos] != '=') return line;
  ++pos;
  SkipBlanks(text, pos);
  line.kind = LineKind::Value;
  line.name = name;
  if (pos < text.size() && text[pos] == '"' && ParseQuoted(text, pos, line.text)) {
    SkipBlanks(text, pos);
    line.isString = pos == text.size();
  }
  if (!line.isString) line.text.clear();
  return line;
}

// The file's contents, or false when it exists but cannot be taken as a settings file
// (not a regular file, unreadable, absurdly large); failure then holds errno (EFBIG for the
// size, EINVAL for no regular file). A missing file is empty.
bool LoadFile(const std::string& path, std::string& contents, bool& missing, int* failure = nullptr) {
  contents.clear();
  missing = false;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (failure) *failure = errno;
    missing = errno == ENOENT;
    return missing;
  }
  struct stat info;
  int error = 0;
  if (fstat(fd, &info) != 0)
    error = errno;
  else if (S_ISDIR(info.st_mode))
    error = EISDIR;
  else if (!S_ISREG(info.st_mode))
    error = EINVAL;
  else if (info.st_size > kMaxFileBytes)
    error = EFBIG;
  if (!error) {
    char buffer[8192];
    for (;;) {
      ssize_t got = read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) error = errno;
      if (got <= 0) break;
      contents.append(buffer, static_cast<size_t>(got));
      if (contents.size() > static_cast<size_t>(kMaxFileBytes)) {
        error = EFBIG;  // grew while we read it
        break;
      }
    }
  }
  close(fd);
  if (failure) *failure = error;
  return error == 0;
}

// Text files hold no zero bytes and no control characters but tab, line breaks and the
// end-of-file mark some editors leave.
bool LooksLikeText(const std::string& contents) {
  for (unsigned char c : contents)
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != 0x1a) || c == 0x7f) return false;
  return true;
}

std::vector<Line> SplitLines(const std::string& contents) {
  std::vector<Line> lines;
  size_t start = 0;
  while (start < contents.size()) {
    size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    lines.push_back(ClassifyLine(contents.substr(start, end - start)));
    start = end + 1;
  }
  return lines;
}

bool LoadLines(const std::string& path, std::vector<Line>& lines) {
  std::string contents;
  bool missing = false;
  if (!LoadFile(path, contents, missing)) return false;
  lines = SplitLines(contents);
  return true;
}

// Index of the value line that a read of key/name finds (the last one given, as an import
// of the file would leave it), or -1.
long FindValue(const std::vector<Line>& lines, const std::string& key, const std::string& name) {
  long found = -1;
  bool inKey = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    if (line.kind == LineKind::Section) inKey = SameRegistryName(line.key, key);
    if (line.kind == LineKind::Value && inKey && SameRegistryName(line.name, name))
      found = static_cast<long>(i);
  }
  return found;
}

bool IsHeader(const Line& line) {
  std::string text = Trimmed(line.raw);
  return text == kHeader || text == kHeader5;
}

// Puts the value line into lines: in place of the current value, else at the end of the
// key's last section, else in a new section at the end.
void PlaceValue(std::vector<Line>& lines, const std::string& key, const std::string& name,
                const std::string& valueLine) {
  long existing = FindValue(lines, key, name);
  if (existing >= 0) {
    lines[static_cast<size_t>(existing)] = ClassifyLine(valueLine);
    return;
  }
  long section = -1;
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].kind == LineKind::Section && SameRegistryName(lines[i].key, key))
      section = static_cast<long>(i);
  if (section >= 0) {
    size_t insertAt = static_cast<size_t>(section) + 1;
    for (size_t i = insertAt; i < lines.size() && lines[i].kind != LineKind::Section; ++i)
      if (!Trimmed(lines[i].raw).empty()) insertAt = i + 1;
    lines.insert(lines.begin() + static_cast<long>(insertAt), ClassifyLine(valueLine));
    return;
  }
  if (lines.empty() || !IsHeader(lines.front())) {
    lines.insert(lines.begin(), {ClassifyLine(kHeader), ClassifyLine("")});
  }
  if (!Trimmed(lines.back().raw).empty()) lines.push_back(ClassifyLine(""));
  lines.push_back(ClassifyLine("[" + key + "]"));
  lines.push_back(ClassifyLine(valueLine));
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t wrote = write(fd, data.data() + done, data.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<size_t>(wrote);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file a write replaces: the target of a symbolic link rather than the link itself.
std::string WriteTarget(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return path;
  std::string target = resolved;
  std::free(resolved);
  return target;
}

// Replaces path with contents: a temporary file beside it, flushed to disk, renamed over it.
// Readers see the old file or the new one, never a mixture. On failure error holds errno and
// failedPath the file it concerns.
bool ReplaceFile(const std::string& path, const std::string& contents, int& error, std::string& failedPath) {
  std::string folder = FolderOf(path);
  std::string base = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
  std::string temp = folder + "/." + base + ".XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    failedPath = folder;
    return false;
  }
  struct stat old;
  mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  bool ok = WriteAll(fd, contents) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
  if (!ok) error = errno ? errno : EIO;
  if (close(fd) != 0 && ok) {
    error = errno;
    ok = false;
  }
  if (ok && rename(temp.c_str(), path.c_str()) != 0) {
    error = errno;
    ok = false;
  }
  if (!ok) {
    unlink(temp.c_str());
    failedPath = path;
    return false;
  }
  int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);  // make the rename itself durable; failure here loses nothing already written
    close(dir);
  }
  return true;
}

// Serialises writers of one folder (two processes changing different values must not lose
// either change). Released when destroyed.
class CFolderLock {
 public:
  explicit CFolderLock(const std::string& folder)
      : fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd < 0) return;
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~CFolderLock() {
    if (fd >= 0) close(fd);
  }
  CFolderLock(const CFolderLock&) = delete;
  CFolderLock& operator=(const CFolderLock&) = delete;

 private:
  int fd;
};

bool ValidName(const std::string& text) {
  return text.find('\0') == std::string::npos && text.find('\n') == std::string::npos &&
         text.find('\r') == std::string::npos;
}

}  // namespace

bool SameRegistryName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

CSettingsFile::CSettingsFile(std::string path) : path(std::move(path)) {}

const std::string& CSettingsFile::Path() const { return path; }

bool CSettingsFile::Read(const std::string& key, const std::string& name, std::string& value) const {
  std::vector<Line> lines;
  if (!LoadLines(path, lines)) return false;
  long found = FindValue(lines, key, name);
  if (found < 0 || !lines[static_cast<size_t>(found)].isString) return false;
  value = lines[static_cast<size_t>(found)].text;
  return true;
}

bool CSettingsFile::Write(const std::string& key, const std::string& name, const std::string& value) {
  if (path.empty() || key.empty() || !ValidName(key) || !ValidName(name)) return false;
  // Registry strings end at their first zero byte.
  std::string text = value.substr(0, value.find('\0'));
  std::string valueLine = (name.empty() ? std::string("@") : Quoted(name)) + "=" + Quoted(text);

  std::string target = WriteTarget(path);
  writeError = 0;
  writeFailed = target;
  std::error_code folderError;
  std::filesystem::create_directories(FolderOf(target), folderError);
  if (folderError) {
    writeError = folderError.value();
    writeFailed = FolderOf(target);
    return false;
  }
  CFolderLock lock(FolderOf(target));
  // A file that exists but cannot be read is left alone: rewriting it would drop its values.
  std::string old;
  bool missing = false;
  if (!LoadFile(target, old, missing, &writeError)) return false;
  std::vector<Line> lines = SplitLines(old);
  PlaceValue(lines, key, name, valueLine);
  std::string contents;
  for (const Line& line : lines) contents += line.raw + "\n";
  return ReplaceFile(target, contents, writeError, writeFailed);
}

std::string CSettingsFile::WriteErrorText() const {
  if (path.empty()) return "no settings file named";
  const int error = writeError ? writeError : EINVAL;
  if (error == EFBIG) return Format("%s: too large for a settings file", writeFailed.c_str());
  if (error == EINVAL) return Format("%s: not a regular file", writeFailed.c_str());
  return Format("%s: %s", writeFailed.c_str(), std::strerror(error));
}

std::string CSettingsFile::Problem() const {
  std::string contents;
  bool missing = false;
  int error = 0;
  if (!LoadFile(path, contents, missing, &error)) {
    if (error == EFBIG) return Format("%s: too large for a settings file", path.c_str());
    if (error == EINVAL) return Format("%s: not a regular file", path.c_str());
    return Format("%s: %s", path.c_str(), std::strerror(error));
  }
  if (!LooksLikeText(contents)) return Format("%s: not a text file", path.c_str());
  return std::string();
}

std::vector<CSettingsFile::Entry> CSettingsFile::ReadAll() const {
  std::vector<Line> lines;
  if (!LoadLines(path, lines)) return {};
  std::vector<Entry> entries;
  std::vector<bool> readable;
  std::unordered_map<std::string, size_t> index;  // folded "key\nname" -> entries position
  std::string key;
  bool haveKey = false;
  for (const Line& line : lines) {
    if (line.kind == LineKind::Section) {
      key = line.key;
      haveKey = true;
    }
    if (line.kind != LineKind::Value || !haveKey) continue;
    std::string folded;
    for (char c : key + "\n" + line.name) folded += LowerAscii(c);
    auto [place, added] = index.try_emplace(folded, entries.size());
    if (added) {
      entries.push_back({key, line.name, line.text});
      readable.push_back(line.isString);
    } else {
      entries[place->second].value = line.text;
      readable[place->second] = line.isString;
    }
  }
  std::vector<Entry> result;
  for (size_t i = 0; i < entries.size(); ++i)
    if (readable[i]) result.push_back(std::move(entries[i]));
  return result;
}
