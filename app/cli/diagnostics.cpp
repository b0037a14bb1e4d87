#include "app/cli/diagnostics.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/cli/commands.h"
#include "platform/format.h"

namespace fs = std::filesystem;

namespace {

const char kBold[] = "\x1b[1m";
const char kRed[] = "\x1b[1;31m";
const char kMagenta[] = "\x1b[1;35m";
const char kGreen[] = "\x1b[1;32m";
const char kReset[] = "\x1b[0m";

// The width a terminal gives the bytes of text: UTF-8 continuation bytes take none.
bool TakesAColumn(unsigned char c) { return (c & 0xC0) != 0x80; }

}  // namespace

CDiagnostics::CDiagnostics(FILE* stream, std::string main) : out(stream), mainFile(std::move(main)) {
  showSource = isatty(fileno(out)) == 1;
  const char* term = std::getenv("TERM");
  colour = showSource && std::getenv("NO_COLOR") == nullptr && !(term && std::strcmp(term, "dumb") == 0);
  std::error_code ignored;
  startDirectory = fs::current_path(ignored).string();
}

void CDiagnostics::Error(const CParser::LogNotice& notice) {
  ++errors;
  Place place;
  if (!notice.located) {
    // Found after the parse: it belongs to the program as a whole.
    place.name = mainFile;
    Print(true, place, notice.text);
    return;
  }
  place = {notice.file, notice.path, notice.line, notice.column, notice.token};
  std::string message = notice.message;
  if (!notice.token.empty() && notice.token.find('\n') == std::string::npos)
    message += Format(" (at \"%s\")", notice.token.c_str());
  Print(true, place, message);
}

void CDiagnostics::Warning(const CompilerWarning& warning) {
  ++warnings;
  Place place{warning.file.empty() ? mainFile : warning.file, warning.path, warning.line, warning.column,
              warning.token};
  Print(false, place, warning.text);
}

void CDiagnostics::PrintCount() {
  std::string count;
  if (errors > 0) count = Format("%d error%s", errors, errors == 1 ? "" : "s");
  if (warnings > 0)
    count += Format("%s%d warning%s", count.empty() ? "" : ", ", warnings, warnings == 1 ? "" : "s");
  if (!count.empty()) std::fprintf(out, "%s.\n", count.c_str());
}

// Where the file is as seen from the folder the command was started in: the build moves
// into each used file's folder, so the name it was used by may be relative to another one.
std::string CDiagnostics::Shown(const Place& place) const {
  if (place.path.empty() || place.name.empty() || place.name[0] == '/' || startDirectory.empty())
    return place.name;
  fs::path relative = fs::path(place.path).lexically_normal().lexically_relative(startDirectory);
  return relative.empty() ? place.path : relative.string();
}

void CDiagnostics::Print(bool isError, const Place& place, const std::string& message) {
  std::string location = Printable(Shown(place));
  if (place.line > 0) location += Format(":%d", place.line);
  if (place.line > 0 && place.column > 0) location += Format(":%d", place.column);
  const char* kind = isError ? "error" : "warning";
  if (colour)
    std::fprintf(out, "%s%s:%s %s%s:%s %s\n", kBold, location.c_str(), kReset, isError ? kRed : kMagenta, kind, kReset,
                 Printable(message).c_str());
  else
    std::fprintf(out, "%s: %s: %s\n", location.c_str(), kind, Printable(message).c_str());

  if (!showSource || place.line <= 0 || place.column <= 0) return;
  std::string source = SourceLine(place.path, place.line);
  if (source.size() < static_cast<size_t>(place.column - 1)) return;
  // The caret lines up under the token: tabs stay tabs, every other character one blank.
  std::string pad;
  for (size_t i = 0; i + 1 < static_cast<size_t>(place.column); ++i) {
    unsigned char c = static_cast<unsigned char>(source[i]);
    if (c == '\t')
      pad += '\t';
    else if (TakesAColumn(c))
      pad += ' ';
  }
  size_t span = place.token.find('\n') == std::string::npos ? place.token.size() : 0;
  size_t room = source.size() - (place.column - 1);
  if (span > room) span = room;
  std::string marks(1, '^');
  marks.append(span > 1 ? span - 1 : 0, '~');
  std::string shown;  // tabs kept: the caret's padding repeats them
  for (size_t start = 0, tab; start <= source.size(); start = tab + 1) {
    tab = source.find('\t', start);
    if (tab == std::string::npos) tab = source.size();
    shown += Printable(source.substr(start, tab - start)) + (tab < source.size() ? "\t" : "");
  }
  std::fprintf(out, " %s\n %s%s%s%s\n", shown.c_str(), pad.c_str(), colour ? kGreen : "", marks.c_str(),
               colour ? kReset : "");
}

std::string CDiagnostics::SourceLine(const std::string& path, int line) {
  if (path.empty()) return std::string();
  auto found = lines.find(path);
  if (found == lines.end()) {
    std::vector<std::string> all;
    std::ifstream in(path, std::ios::binary);
    for (std::string text; std::getline(in, text);) {
      if (!text.empty() && text.back() == '\r') text.pop_back();
      all.push_back(std::move(text));
    }
    found = lines.emplace(path, std::move(all)).first;
  }
  const std::vector<std::string>& all = found->second;
  return line >= 1 && static_cast<size_t>(line) <= all.size() ? all[line - 1] : std::string();
}
