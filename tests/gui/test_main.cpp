// Runs the window test suites on the offscreen platform: all of them, or the one named first.
#include <QApplication>
#include <QTest>

#include <cstring>
#include <memory>

std::unique_ptr<QObject> MakeMainWindowSuite();
std::unique_ptr<QObject> MakeTransfersSuite();
std::unique_ptr<QObject> MakeProgramsSuite();

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qunsetenv("QT_QPA_PLATFORMTHEME");
  QApplication app(argc, argv);
  const std::pair<const char*, std::unique_ptr<QObject> (*)()> suites[] = {
      {"MainWindow", MakeMainWindowSuite}, {"Transfers", MakeTransfersSuite}, {"Programs", MakeProgramsSuite}};
  // test_gui [SUITE] [Qt Test options]
  const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
  std::vector<char*> rest = {argv[0]};
  for (int i = only ? 2 : 1; i < argc; ++i) rest.push_back(argv[i]);
  int failures = 0, ran = 0;
  for (const auto& [name, make] : suites) {
    if (only && std::strcmp(only, name) != 0) continue;
    ++ran;
    failures += QTest::qExec(make().get(), int(rest.size()), rest.data());
  }
  return ran == 0 ? 2 : failures == 0 ? 0 : 1;
}
