// The benchmark report: compiles generated programs of the sizes asked for with the tovrin
// command and, side by side in the same run, programs of the same size and shape with a Lua
// compiler (luac -p) and a C compiler (tcc -fsyntax-only); builds a program that fills a 60 KB
// image; and times an SRAM download and a Flash install through the emulated programmer against
// the floor the protocol imposes. Every compile runs as a child process, so its process time and
// peak memory are its own.
//
// report_bench --tovrin PATH [--luac PATH] [--tcc PATH] [--work DIR] [--no-download] [MB ...]
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "download/programmer.h"
#include "download/programmer_emulator.h"
#include "image/hex_record.h"
#include "platform/format.h"
#include "platform/recording_interface.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kMegabyte = 1048576.0;

// ---------------------------------------------------------------- programs of one shape

// Each unit is one class (module, file-level function) with one method: parameters, three
// locals and an array, arithmetic, a three-way decision, a loop with a nested block, an element
// write and a result. No global data, so a Tovrin program of any size fails only when its code
// no longer fits the image (after the whole source has been parsed and checked).
std::string TovrinUnit(int n) {
  return Format(
      "def Motor%d {\n"
      "  do step(a as byte, b as integer) as integer;\n"
      "}\n"
      "Motor%d:step(a as byte, b as integer) {\n"
      "  x as integer;\n"
      "  speed as byte;\n"
      "  grid as integer[4];\n"
      "  x = a * 2 + b - 0x1F << 1;\n"
      "  if (x < 300 and b <> 7) { out \"value\"; } elseif (x == 5) { outch 'c'; } else { x = x / 3; }\n"
      "  while (x >= 0) { x = x - 1; { y as integer; y = x * 3; out y; } }\n"
      "  grid[a %% 4] = grid[1] + b;\n"
      "  speed = speed + 1;\n"
      "  step = x;\n"
      "}\n",
      n, n);
}

std::string TovrinEnd() { return "start() {\n  r as integer;\n  r = Motor0:step(1, 2);\n  out r;\n}\n"; }

// Lua allows 131071 functions inside one function, so every 1000 units form a group function.
std::string LuaGroup(int n) {
  if (n % 1000 != 0) return std::string();
  return std::string(n > 0 ? "end group() end\n" : "") + "do local function group()\n";
}

std::string LuaUnit(int n) {
  return LuaGroup(n) + Format(
      "Motor%d = {}\n"
      "function Motor%d.step(a, b)\n"
      "  local x = 0\n"
      "  local speed = 0\n"
      "  local grid = {0, 0, 0, 0}\n"
      "  x = (a * 2 + b - 0x1F) << 1\n"
      "  if x < 300 and b ~= 7 then io.write(\"value\") elseif x == 5 then io.write('c') else x = x // 3 end\n"
      "  while x >= 0 do x = x - 1; do local y = x * 3; io.write(y) end end\n"
      "  grid[a %% 4 + 1] = grid[2] + b\n"
      "  speed = speed + 1\n"
      "  return x\n"
      "end\n",
      n, n);
}

std::string LuaEnd() { return "end group() end\nlocal r = Motor0.step(1, 2)\nio.write(r)\n"; }

std::string CUnit(int n) {
  return Format(
      "int Motor%d_step(unsigned char a, int b) {\n"
      "  int x;\n"
      "  unsigned char speed = 0;\n"
      "  int grid[4] = {0};\n"
      "  x = (a * 2 + b - 0x1F) << 1;\n"
      "  if (x < 300 && b != 7) { puts(\"value\"); } else if (x == 5) { putchar('c'); } else { x = x / 3; }\n"
      "  while (x >= 0) { x = x - 1; { int y; y = x * 3; printf(\"%%d\", y); } }\n"
      "  grid[a %% 4] = grid[1] + b;\n"
      "  speed = speed + 1;\n"
      "  return x;\n"
      "}\n",
      n);
}

std::string CBegin() { return "int puts(const char*);\nint putchar(int);\nint printf(const char*, ...);\n"; }
std::string CEnd() { return "int main(void) {\n  int r = Motor0_step(1, 2);\n  printf(\"%d\", r);\n  return 0;\n}\n"; }

struct Language {
  const char* name;
  const char* extension;
  std::function<std::string()> begin;
  std::function<std::string(int)> unit;
  std::function<std::string()> end;
};

const Language kTovrin{"tovrin", "tvr", [] { return std::string(); }, TovrinUnit, TovrinEnd};
const Language kLua{"luac -p", "lua", [] { return std::string(); }, LuaUnit, LuaEnd};
const Language kC{"tcc", "c", CBegin, CUnit, CEnd};

// Writes units until the file reaches `bytes` (or exactly `units` of them); the file's size.
long WriteProgram(const Language& language, const std::string& path, long bytes, int units = -1) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return -1;
  std::string text = language.begin();
  long written = 0;
  for (int n = 0; units < 0 ? written + static_cast<long>(text.size()) < bytes : n < units; ++n) {
    text += language.unit(n);
    if (text.size() > (1u << 20)) {
      written += static_cast<long>(std::fwrite(text.data(), 1, text.size(), file));
      text.clear();
    }
  }
  text += language.end();
  written += static_cast<long>(std::fwrite(text.data(), 1, text.size(), file));
  std::fclose(file);
  return written;
}

// ---------------------------------------------------------------- child processes

struct Run {
  double wall = 0;     // seconds
  double cpu = 0;      // user + system seconds
  long peakKb = 0;     // maximum resident set
  int status = -1;     // exit status
  std::string output;  // standard output
};

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

// Children run in this folder: the build writes its listing into the working directory.
std::string childFolder = ".";

Run RunChild(const std::vector<std::string>& command) {
  Run run;
  int out[2];
  if (pipe(out) != 0) return run;
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDERR_FILENO);
    close(out[0]);
    if (chdir(childFolder.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  char buffer[4096];
  for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;) run.output.append(buffer, static_cast<size_t>(got));
  close(out[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  run.wall = std::chrono::duration<double>(Clock::now() - start).count();
  run.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  run.peakKb = usage.ru_maxrss;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// The best of `times` runs (least process time): the figure least disturbed by other work.
Run BestOf(int times, const std::vector<std::string>& command) {
  Run best;
  for (int i = 0; i < times; ++i) {
    Run run = RunChild(command);
    if (i == 0 || run.cpu < best.cpu) best = run;
  }
  return best;
}

struct Options {
  std::string tovrin;
  std::string luac;
  std::string tcc;
  std::string work;
  bool download = true;
  std::vector<double> sizes;
};

std::vector<std::string> TovrinBuild(const Options& options, const std::string& source, int level) {
  return {options.tovrin, "build", source, "--code", "external", "--data", "external", "--external-ram", "64",
          "--debug-level", std::to_string(level), "--log", options.work + "/tovrin.log"};
}

std::vector<std::string> CompileCommand(const Options& options, const Language& language, const std::string& path) {
  if (&language == &kLua) return {options.luac, "-p", path};
  if (&language == &kC) return {options.tcc, "-fsyntax-only", path};
  return TovrinBuild(options, path, 1);
}

// ---------------------------------------------------------------- the three parts

void CompileTable(const Options& options) {
  std::printf("Compile: generated programs of one shape; process time (user + system) and peak resident memory.\n");
  std::printf("%-8s %-8s %8s %8s %8s %9s %9s %10s %9s %9s\n", "size", "compiler", "MB", "cpu s", "wall s",
              "MB/s", "peak MB", "bytes/B", "x time", "x memory");
  for (double megabytes : options.sizes) {
    const long bytes = static_cast<long>(megabytes * kMegabyte);
    Run tovrinRun;
    for (const Language* language : {&kTovrin, &kLua, &kC}) {
      if (language != &kTovrin && (language == &kLua ? options.luac : options.tcc).empty()) continue;
      const std::string path = options.work + "/program." + language->extension;
      const long size = WriteProgram(*language, path, bytes);
      const Run run = BestOf(megabytes <= 10 ? 3 : 1, CompileCommand(options, *language, path));
      std::filesystem::remove(path);
      if (language == &kTovrin) tovrinRun = run;
      const double mb = size / kMegabyte;
      const std::string timeRatio =
          language == &kTovrin ? std::string("1.00") : Format("%.2f", run.cpu / std::max(tovrinRun.cpu, 1e-6));
      const std::string memoryRatio =
          language == &kTovrin ? std::string("1.00")
                               : Format("%.2f", static_cast<double>(run.peakKb) / std::max(tovrinRun.peakKb, 1L));
      std::printf("%-8s %-8s %8.2f %8.3f %8.3f %9.1f %9.1f %10.1f %9s %9s%s\n",
                  Format("%gMB", megabytes).c_str(), language->name, mb, run.cpu, run.wall, mb / std::max(run.cpu, 1e-6),
                  run.peakKb / 1024.0, run.peakKb * 1024.0 / size, timeRatio.c_str(), memoryRatio.c_str(),
                  language != &kTovrin && run.status != 0 ? "  (compiler failed)" : "");
      std::fflush(stdout);
    }
  }
  std::printf("x time, x memory: the peer's figure over tovrin's for the same size (above 1: tovrin is ahead).\n\n");
}

// The code memory line of a summary ("Code memory:\t0x0260 ... 0xf2a1") as a byte count.
long CodeBytes(const std::string& summary) {
  const size_t at = summary.find("Code memory:");
  unsigned first = 0, last = 0;
  if (at == std::string::npos || std::sscanf(summary.c_str() + at, "Code memory:\t0x%x ... 0x%x", &first, &last) != 2)
    return -1;
  return static_cast<long>(last) - static_cast<long>(first) + 1;
}

void FullImage(const Options& options) {
  const std::string path = options.work + "/full.tvr";
  // The code one unit takes, from a small build; then as many units as fill about 60 KB.
  WriteProgram(kTovrin, path, 0, 10);
  const long ten = CodeBytes(RunChild(TovrinBuild(options, path, 1)).output);
  WriteProgram(kTovrin, path, 0, 20);
  const long twenty = CodeBytes(RunChild(TovrinBuild(options, path, 1)).output);
  if (ten <= 0 || twenty <= ten) {
    std::printf("Full image: could not build the sample programs.\n\n");
    return;
  }
  const long perUnit = (twenty - ten) / 10;
  const int units = static_cast<int>((60 * 1024 - (ten - 10 * perUnit)) / perUnit);
  const long size = WriteProgram(kTovrin, path, 0, units);
  std::printf("Full image: %d units, %.1f KB of source; best of 5 builds (target: under 50 ms of process time).\n",
              units, size / 1024.0);
  std::printf("%-14s %10s %8s %8s %9s %s\n", "listing", "code KB", "cpu ms", "wall ms", "peak MB", "result");
  for (int level : {1, 4}) {
    const Run run = BestOf(5, TovrinBuild(options, path, level));
    std::printf("%-14s %10.1f %8.1f %8.1f %9.1f %s\n", level == 1 ? "none (level 1)" : "full (level 4)",
                CodeBytes(run.output) / 1024.0, run.cpu * 1000, run.wall * 1000, run.peakKb / 1024.0,
                run.status == 0 ? "built" : "FAILED");
  }
  std::printf("\n");
}

// A hex file of `bytes` pseudo-random bytes from `address`, 16 to a record; its record sizes.
std::vector<int> WriteHex(const std::string& path, unsigned address, int bytes) {
  std::vector<int> records;
  std::string text;
  uint32_t state = 12345;
  for (int done = 0; done < bytes; done += 16) {
    std::vector<uint8_t> data;
    for (int i = done; i < bytes && i < done + 16; ++i) {
      state = state * 1103515245u + 12345u;
      data.push_back(static_cast<uint8_t>(state >> 16));
    }
    text += HexRecord(address + static_cast<unsigned>(done), data.data(), data.size());
    records.push_back(static_cast<int>(data.size()));
  }
  text += ":00000001ff\n";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return {};
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  return records;
}

// Seconds per exchange of a Flash word's shape (three single-byte writes, one byte back), over
// `exchanges` address commands on the same line.
double RoundTrip(const std::string& device, int exchanges) {
  CSerial port;
  port.SetBufferSize(1024);
  port.timeout = 1000;
  port.portName = device;
  if (!port.Open()) return -1;
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < exchanges; ++i) {
    for (uint8_t byte : {uint8_t{'A'}, uint8_t{0}, static_cast<uint8_t>(i)})
      if (!port.Write(&byte, 1)) return -1;
    uint8_t answer = 0;
    if (!port.Read(&answer, 1) || answer != 0x01) return -1;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  port.Close();
  return seconds / exchanges;
}

void Downloads(const Options& options) {
  CRecordingInterface ui;
  CEmulatedProgrammer emulator;
  std::string error;
  if (!emulator.Open(error) || !emulator.Start()) {
    std::printf("Downloads: no emulated programmer (%s).\n\n", error.c_str());
    return;
  }
  std::printf("Downloads through the emulated programmer on a pseudo-terminal (target: within 5%% of the floor).\n");
  std::printf("%-34s %9s %9s %9s\n", "transfer", "time s", "floor s", "overhead");

  const std::string sramHex = options.work + "/image.hex";
  const std::vector<int> sramRecords = WriteHex(sramHex, 0x0260, 4096);
  // The SRAM floor: the pacing delay after the block command and after each byte.
  double sramFloor = 0;
  for (int count : sramRecords) sramFloor += (count + 1) * kMinPacingDelayMs / 1000.0;
  CProgrammer programmer;
  programmer.Setup();
  // Connecting is timed apart: its drain of the line waits out the whole read budget.
  Clock::time_point start = Clock::now();
  bool ok = programmer.Connect(emulator.DevicePath());
  const double connect = std::chrono::duration<double>(Clock::now() - start).count();
  start = Clock::now();
  ok = ok && programmer.DownloadSram(sramHex, "image.hex");
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  programmer.Disconnect();
  std::printf("%-34s %9.3f %9.3f %8.1f%%%s\n", "SRAM download, 4 KB image", seconds, sramFloor,
              (seconds / sramFloor - 1) * 100, ok ? "" : "  (FAILED)");

  const std::string flashHex = options.work + "/firmware.hex";
  WriteHex(flashHex, 0, 16384);
  // A pseudo-terminal's round trip varies with what else the machine does, so each install is
  // paired with a floor measured just before it over as many exchanges as it has words.
  double allTime = 0, allFloor = 0;
  for (int run = 1; run <= 3; ++run) {
    const double floor = 8192 * RoundTrip(emulator.DevicePath(), 8192);
    ok = programmer.Connect(emulator.DevicePath());
    start = Clock::now();
    ok = ok && programmer.DownloadFlash(flashHex, "firmware.hex");
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    programmer.Disconnect();
    std::printf("%-34s %9.3f %9.3f %8.1f%%%s\n", Format("Flash install, 16 KB (run %d)", run).c_str(), seconds,
                floor, (seconds / floor - 1) * 100, ok ? "" : "  (FAILED)");
    allTime += seconds;
    allFloor += floor;
  }
  std::printf("%-34s %9.3f %9.3f %8.1f%%\n", "Flash install, the three together", allTime, allFloor,
              (allTime / allFloor - 1) * 100);
  std::printf("Flash floor: 8192 word-shaped exchanges (three single-byte writes, one byte back) just before.\n");
  std::printf("Connecting (not in the figures above) took %.3f s.\n\n", connect);
  emulator.Stop();
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    if (option == "--tovrin" || option == "--luac" || option == "--tcc" || option == "--work") {
      std::string& into = option == "--tovrin" ? options.tovrin
                          : option == "--luac" ? options.luac
                          : option == "--tcc"  ? options.tcc
                                               : options.work;
      if (!value(into)) return false;
    } else if (option == "--no-download") {
      options.download = false;
    } else if (std::atof(option.c_str()) > 0) {
      options.sizes.push_back(std::atof(option.c_str()));
    } else {
      return false;
    }
  }
  if (options.sizes.empty()) options.sizes = {1, 10, 50};
  return !options.tovrin.empty();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: report_bench --tovrin PATH [--luac PATH] [--tcc PATH] [--work DIR] [--no-download] [MB ...]\n");
    return 2;
  }
  const bool ownWork = options.work.empty();
  if (ownWork) {
    options.work = (std::filesystem::temp_directory_path() / "tovrin-bench-XXXXXX").string();
    if (mkdtemp(options.work.data()) == nullptr) return 1;
  }
  ::setenv("TOVRIN_SETTINGS", (options.work + "/Tovrin.reg").c_str(), 1);
  childFolder = options.work;

  CompileTable(options);
  FullImage(options);
  if (options.download) Downloads(options);

  if (ownWork) {
    std::error_code ignored;
    std::filesystem::remove_all(options.work, ignored);
  }
  return 0;
}
