// Whole programs through the Build command: image bytes, hex files, listings at each level,
// the memory summary of each placement, and the builds that must fail.
#include <map>
#include <string>
#include <vector>

#include "build_fixture.h"

namespace {

// The bytes a hex file sets, by address.
std::map<int, int> HexBytes(const std::string& hex) {
  std::map<int, int> bytes;
  size_t at = 0;
  while (at < hex.size()) {
    size_t end = hex.find('\n', at);
    if (end == std::string::npos) end = hex.size();
    const std::string line = hex.substr(at, end - at);
    at = end + 1;
    if (line.size() < 11 || line[0] != ':' || line.substr(7, 2) != "00") continue;
    const int count = std::stoi(line.substr(1, 2), nullptr, 16);
    const int address = std::stoi(line.substr(3, 4), nullptr, 16);
    for (int i = 0; i < count; ++i) bytes[address + i] = std::stoi(line.substr(9 + 2 * i, 2), nullptr, 16);
  }
  return bytes;
}

std::vector<int> Range(const std::map<int, int>& bytes, int address, int count) {
  std::vector<int> out;
  for (int i = 0; i < count; ++i) {
    auto found = bytes.find(address + i);
    out.push_back(found == bytes.end() ? -1 : found->second);
  }
  return out;
}

const char kVectorsNone[] = "\t00\n\t01\n\t02\n\t03\n\t04\n\t05\n\t06\n\t07\n\t08\n\t09\n\t10\n\t11\n\t12\n";

// x = y + 1 with x a local Integer and y a local Byte of start, byte by byte.
TEST(Programs, OneStatementFromSourceToImage) {
  const Built built = BuildSource("road.tvr",
                                  "start() {\n"
                                  "  x as integer;\n"
                                  "  y as byte;\n"
                                  "  x = y + 1;\n"
                                  "}\n",
                                  3);
  ASSERT_TRUE(built.good) << built.log << built.errorText;
  const std::map<int, int> image = HexBytes(built.hex);
  EXPECT_EQ(Range(image, 0x60, 4), (std::vector<int>{0x7E, 0x00, 0x7E, 0x00}));
  EXPECT_EQ(Range(image, 0x7E, 25),
            (std::vector<int>{0x01, 0x01, 0xFD, 0x0F, 0x02, 0xFF, 0xFF, 0x0D, 0x02, 0xFE, 0xFF, 0x09, 0x01,
                              0x01, 0x19, 0x00, 0x6C, 0x00, 0x04, 0x00, 0x02, 0x01, 0x03, 0x8A, 0x00}));
  EXPECT_EQ(image.rbegin()->first, 0x96);
  EXPECT_EQ(built.summary,
            "Tovrin: BUILD SUCCESSFUL\n\nProgram memory:\t0x0060 ... 0x025f\n     Data memory:\t0x007e ... "
            "0x007d\n     Code memory:\t0x007e ... 0x0096\n\nPrepare to Download...\n");
  const std::string program = built.listing.substr(built.listing.find("/ Program Information"));
  EXPECT_EQ(program, std::string("/ Program Information\n"
                                 "|\n"
                                 "| <007e> Method:\n"
                                 "| | Method: start{0} AS <void>\n"
                                 "| | <0000> Var:\n"
                                 "| | | Variable: x{1} type : Integer\n"
                                 "| | <0002> Var:\n"
                                 "| | | Variable: y{1} type : Byte\n"
                                 "| | <0090> Assign Integer<0000>x = (<0002>y + 1)\n"
                                 "\\" + std::string(68, '_') + "\n"
                                 "/  Byte Codes\n\n"
                                 "0060: START => 007e\n"
                                 "0062: CODE => 007e\n"
                                 "0064: INTERRUPT VECTORS:\n") +
                         kVectorsNone +
                         "....  NO DATA\n"
                         "....  NO TABLES\n"
                         ".... \n"
                         "007e: OPEN +fd\n"
                         "0081: PUSH<address> stack[0xffffffff]\n"
                         "0085: PUSH<byte> stack[0xfffffffe]\n"
                         "0089: PUSH<byte> 01\n"
                         "008c: ADD<byte>\n"
                         "008e: <byte>TO<int>\n"
                         "0090: ASSIGN<int>\n"
                         "0092: CLOSE +03\n"
                         "0095: *END*\n"
                         "\\" + std::string(68, '_') + "\n");
}

// Locals of enclosing blocks are reached across the frames opened since: each frame with locals
// costs its two link bytes, and its size unless it is the innermost.
TEST(Programs, LocalsAcrossNestedBlocks) {
  const Built built = BuildSource("nested.tvr",
                                  "start() {\n"
                                  "  a as byte;\n"
                                  "  {\n"
                                  "    b as integer;\n"
                                  "    {\n"
                                  "      c as byte;\n"
                                  "      a = c;\n"
                                  "      b = a;\n"
                                  "    }\n"
                                  "  }\n"
                                  "}\n",
                                  2);
  ASSERT_TRUE(built.good) << built.log << built.errorText;
  EXPECT_EQ(Range(HexBytes(built.hex), 0x7E, 42),
            (std::vector<int>{0x01, 0x01, 0xFF, 0x01, 0x01, 0xFE, 0x01, 0x01, 0xFF,   // three frames
                              0x0F, 0x02, 0x07, 0x00, 0x0D, 0x02, 0x00, 0x00, 0x03, 0x00,  // a = c
                              0x0F, 0x02, 0x03, 0x00, 0x0D, 0x02, 0x07, 0x00, 0x6C, 0x00, 0x04, 0x00,  // b = a
                              0x02, 0x01, 0x01, 0x02, 0x01, 0x02, 0x02, 0x01, 0x01, 0x8A, 0x00}));
}

// The examples a new user builds first, as hex files and full listings.
TEST(Programs, ExamplesBuildCleanly) {
  for (const char* name : {"fan", "counter", "loops", "clock"}) {
    const std::string file = std::string(name) + ".tvr";
    const Built built = BuildSource(file, SourceFile("examples/" + file), 4);
    ASSERT_TRUE(built.good) << name << "\n" << built.log << built.errorText;
    EXPECT_TRUE(built.log.empty()) << name;
    ExpectGolden(std::string(name) + ".hex", built.hex);
    ExpectGolden(std::string(name) + ".dbg", built.listing);
    ExpectGolden(std::string(name) + ".summary", built.summary);
  }
}

TEST(Programs, ListingLevels) {
  const std::string source = SourceFile("examples/counter.tvr");
  EXPECT_EQ(BuildSource("counter.tvr", source, 1).listing, "");
  ExpectGolden("counter.dbg2", BuildSource("counter.tvr", source, 2).listing);
  ExpectGolden("counter.dbg3", BuildSource("counter.tvr", source, 3).listing);
}

// Data, a table and code in each placement; unused memory between the regions is not written.
TEST(Programs, PlacementsAndTheirMemorySummary) {
  const std::string source =
      "def Box { level as integer; }\n"
      "range Low(10, 5, 5);\n"
      "start() { Box:level = Box:level + 1; }\n";
  struct Case {
    const char* name;
    Placement placement;
  };
  for (const Case& c : {Case{"on-chip", {1, 1, 2}}, Case{"data-external", {1, 2, 2}},
                        Case{"code-external", {2, 1, 2}}, Case{"external", {2, 2, 2}}}) {
    const Built built = BuildSource("box.tvr", source, 2, c.placement);
    ASSERT_TRUE(built.good) << c.name << "\n" << built.log << built.errorText;
    ExpectGolden(std::string("box-") + c.name + ".hex", built.hex);
    ExpectGolden(std::string("box-") + c.name + ".summary", built.summary);
  }
  // External placement without external RAM: nothing can be placed.
  const Built none = BuildSource("box.tvr", source, 2, {2, 2, 0});
  EXPECT_FALSE(none.good);
  EXPECT_TRUE(none.hex.empty());
  EXPECT_EQ(none.summary,
            "Tovrin: BUILD FAILED\r\n\r\nProgram memory:\t0x0060 ... 0x025f\r\n   Data memory:\t0x0260 ... 0x025f\r\n"
            "   Code memory:\t0x0000 ... 0x0260\r\n");
}

// Code generation failures: each fails with its reason, writes no hex file, and still a listing.
TEST(Programs, GenerationFailuresFailTheBuild) {
  struct Case {
    const char* body;
    const char* message;
  };
  const std::string head =
      "def M {\n"
      "  do later() as byte;\n"
      "  do tick() as interrupt 3;\n"
      "}\n"
      "M:tick() { }\n";
  const Case cases[] = {
      {"x = M:later();", "CALL:  'M:later' is declared but has no method body."},
      {"M:later();", "CALL:  'M:later' is declared but has no method body."},
      {"x = M:tick() + 1;", "CALL:  'M:tick' returns no value; it can not be used in an expression."},
      {"out \"", "OUT:  Text of 255 characters is too long; at most 254 can be written."},
  };
  for (const Case& c : cases) {
    std::string statement = c.body;
    if (statement == "out \"") statement += std::string(255, 'a') + "\";";
    const Built built = BuildSource("fails.tvr", head + "start() {\n  x as byte;\n  " + statement + "\n}\n", 2);
    EXPECT_FALSE(built.good) << c.body;
    EXPECT_TRUE(built.log.empty()) << built.log;
    EXPECT_EQ(built.errorText, c.message);
    EXPECT_TRUE(built.hex.empty());
    EXPECT_NE(built.listing.find("/  Byte Codes"), std::string::npos);
  }
  // More code than on-chip memory holds.
  std::string big = "start() {\n";
  for (int i = 0; i < 100; ++i) big += "  out \"0123456789\";\n";
  const Built full = BuildSource("big.tvr", big + "}\n", 2);
  EXPECT_FALSE(full.good);
  EXPECT_EQ(full.errorText, "CODE:  Out of code memory: the program does not fit below 0x025f.");
  EXPECT_TRUE(full.hex.empty());
}

// Programs far deeper than real ones: 100,000 nested blocks build; a 1,000,000-operator
// expression parses and fails only because its code does not fit.
TEST(Programs, DeepSourcesBuildOrFailCleanly) {
  const int depth = 100000;
  const Built nested = BuildSource(
      "deep.tvr", "start() {\n" + std::string(depth, '{') + "out 1;" + std::string(depth, '}') + "\n}\n", 3);
  ASSERT_TRUE(nested.good) << nested.log.substr(0, 500) << nested.errorText;
  EXPECT_EQ(Range(HexBytes(nested.hex), 0x7E, 7), (std::vector<int>{0x09, 0x01, 0x01, 0x85, 0x00, 0x8A, 0x00}));

  std::string sum = "x";
  sum.reserve(4 * 1000000);
  for (int i = 0; i < 1000000; ++i) sum += " + x";
  const Built wide = BuildSource("wide.tvr", "start() {\n  x as byte;\n  x = " + sum + ";\n}\n", 2, {2, 2, 64});
  EXPECT_FALSE(wide.good);
  EXPECT_EQ(wide.errorText, "CODE:  Out of code memory: the program does not fit below 0x10000.");
}

}  // namespace
