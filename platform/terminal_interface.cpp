#include "platform/terminal_interface.h"

#include <unistd.h>

#include "platform/format.h"
#include "platform/viewer.h"

namespace {

constexpr int kBarWidth = 30;

const char* FieldLabel(StatusField field) {
  switch (field) {
    case StatusField::HardwareVersion: return "Hardware version";
    case StatusField::SoftwareVersion: return "Software version";
    case StatusField::Identification: return "Programmer";
    case StatusField::ProgrammerKind: return "Kind";
    case StatusField::StatusLine: return "Status";
  }
  return "Status";
}

// The window's labels carry leading blanks for layout; a line does not need them.
std::string Stripped(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

}  // namespace

CTerminalInterface::CTerminalInterface(FILE* out)
    : interactive(isatty(fileno(out)) == 1), out(out) {
  previous = InstallUserInterface(this);
}

CTerminalInterface::~CTerminalInterface() {
  if (barShown) EraseBar();
  InstallUserInterface(previous);
}

void CTerminalInterface::ShowMessage(const std::string& text, const std::string& caption,
                                     MessageIcon) {
  const std::string& shown = caption.empty() ? std::string(kDefaultCaption) : caption;
  PrintLine(Format("%s: %s", shown.c_str(), text.c_str()));
}

bool CTerminalInterface::AskOkCancel(const std::string&, const std::string& caption) {
  auto preset = answers.find(caption);
  return preset == answers.end() ? defaultAnswer : preset->second;
}

void CTerminalInterface::OpenStatusWindow() {
  statusOpen = true;
  lower = 0;
  upper = 100;
  position = 0;
  drawnPercent = -1;
  printedTenth = -1;
  statusLine.clear();
}

void CTerminalInterface::SetStatusText(StatusField field, const std::string& text) {
  std::string value = Stripped(text);
  if (field == StatusField::StatusLine) statusLine = value;
  if (value.empty()) return;
  PrintLine(Format("%s: %s", FieldLabel(field), value.c_str()));
}

void CTerminalInterface::SetProgressRange(int newLower, int newUpper) {
  lower = newLower;
  upper = newUpper;
  drawnPercent = -1;
}

void CTerminalInterface::SetProgressPosition(int newPosition) {
  position = newPosition;
  if (statusOpen && interactive) DrawBar();
  if (statusOpen && !interactive && progressLines) PrintProgressLine();
}

void CTerminalInterface::PrintProgressLine() {
  // Every tenth passed gets its line, also when one record jumps over a tenth.
  for (const int tenth = Percent() / 10; printedTenth < tenth;)
    PrintLine(Format("Progress: %d%%", ++printedTenth * 10));
}

int CTerminalInterface::Percent() const {
  long span = static_cast<long>(upper) - lower;
  long done = static_cast<long>(position) - lower;
  if (done < 0) done = 0;
  if (span > 0 && done > span) done = span;
  return span > 0 ? static_cast<int>(done * 100 / span) : 100;
}

void CTerminalInterface::CloseStatusWindow() {
  if (barShown) {
    std::fputc('\n', out);
    std::fflush(out);
  }
  barShown = false;
  statusOpen = false;
}

void CTerminalInterface::ViewLog(const std::string& path) {
  std::string errorText;
  if (!ViewFile(path, errorText)) PrintLine(Format("tovrin: %s", errorText.c_str()));
}

// A text line above the progress bar: the bar is erased, the line printed, the bar redrawn.
void CTerminalInterface::PrintLine(const std::string& line) {
  bool redraw = barShown;
  if (barShown) EraseBar();
  std::fputs(line.c_str(), out);
  if (line.empty() || line.back() != '\n') std::fputc('\n', out);
  std::fflush(out);
  if (redraw) {
    drawnPercent = -1;
    DrawBar();
  }
}

void CTerminalInterface::DrawBar() {
  const int percent = Percent();
  if (percent == drawnPercent) return;  // called once per byte: redraw only on change
  drawnPercent = percent;
  int filled = percent * kBarWidth / 100;
  std::string bar = std::string(static_cast<size_t>(filled), '#') +
                    std::string(static_cast<size_t>(kBarWidth - filled), '.');
  std::fprintf(out, "\r[%s] %3d%%", bar.c_str(), percent);
  std::fflush(out);
  barShown = true;
}

void CTerminalInterface::EraseBar() {
  std::fputs("\r\033[K", out);
  barShown = false;
}
