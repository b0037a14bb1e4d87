// Runs the window test suites on the offscreen platform: all of them, or the one named first.
#include <stdlib.h>

#include <QApplication>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

std::unique_ptr<QObject> MakeMainWindowSuite();
std::unique_ptr<QObject> MakeTransfersSuite();
std::unique_ptr<QObject> MakeProgramsSuite();

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::unsetenv("QT_QPA_PLATFORMTHEME");
  QApplication app(argc, argv);

  struct Suite {
    const char* name;
    std::function<std::unique_ptr<QObject>()> make;
  };
  const std::vector<Suite> suites = {
      {"MainWindow", MakeMainWindowSuite}, {"Transfers", MakeTransfersSuite}, {"Programs", MakeProgramsSuite}};

  // test_gui [SUITE] [Qt Test options]
  const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
  std::vector<char*> rest = {argv[0]};
  for (int i = only ? 2 : 1; i < argc; ++i) rest.push_back(argv[i]);

  int failures = 0;
  bool ran = false;
  for (const Suite& suite : suites) {
    if (only && std::strcmp(only, suite.name) != 0) continue;
    ran = true;
    std::unique_ptr<QObject> tests = suite.make();
    failures += QTest::qExec(tests.get(), static_cast<int>(rest.size()), rest.data());
  }
  if (!ran) {
    std::fprintf(stderr, "test_gui: no suite named '%s'\n", only);
    return 2;
  }
  return failures == 0 ? 0 : 1;
}
