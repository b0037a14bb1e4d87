// The editor files in editors/ must highlight every keyword and operator the lexer knows, each
// as one whole token, and list no keyword the lexer does not know. The token texts come from
// the lexer itself, not from a copy: candidate texts are lexed, and those that come back as
// one keyword or operator token are the language's.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/token_listing.h"
#include "frontend/tokens.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

fs::path Editors() { return fs::path(TOVRIN_SOURCE_DIR) / "editors"; }

bool IsWord(const std::string& text) { return std::isalpha(static_cast<unsigned char>(text[0])) != 0; }

bool IsLiteralToken(int code) {
  return code == INT_NUMBER || code == HEX_NUMBER || code == REAL_NUMBER || code == IDENTIFIER ||
         code == STRING || code == CHARACTER;
}

// Every text that the lexer reads as exactly one keyword or operator token, with its code.
// Word candidates are the tokens' own names in lower case and their prefixes (which finds the
// short spellings); operator candidates are all runs of one to three punctuation characters.
std::map<std::string, int> LexerTokenTexts() {
  std::vector<std::string> candidates;
  for (int code = AS; code <= NOT; ++code) {
    std::string name = TokenName(code);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (std::size_t length = 1; length <= name.size(); ++length) candidates.push_back(name.substr(0, length));
  }
  std::string punctuation;
  for (int c = 33; c < 127; ++c)
    if (!std::isalnum(c) && c != '_' && c != '"' && c != '\'') punctuation += static_cast<char>(c);
  for (char a : punctuation) {
    candidates.push_back(std::string(1, a));
    for (char b : punctuation) {
      candidates.push_back(std::string{a, b});
      for (char c : punctuation) candidates.push_back(std::string{a, b, c});
    }
  }

  // One candidate per line; the listing says on which line each token was read.
  char folder[] = "/tmp/tovrin-editors-XXXXXX";
  EXPECT_NE(mkdtemp(folder), nullptr);
  fs::path source = fs::path(folder) / "candidates.tvr";
  {
    std::ofstream out(source);
    for (const std::string& candidate : candidates) out << candidate << '\n';
  }
  FILE* listing = std::tmpfile();
  EXPECT_TRUE(WriteTokenListing(source.string(), listing));
  std::rewind(listing);
  std::map<int, std::vector<std::pair<int, std::string>>> byLine;
  char row[512];
  while (std::fgets(row, sizeof row, listing)) {
    std::string line(row);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    std::vector<std::string> fields;
    std::stringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    if (fields.size() != 4 || fields[0] == "0") continue;
    byLine[std::stoi(fields[3])].push_back({std::stoi(fields[0]), fields[2]});
  }
  std::fclose(listing);
  fs::remove_all(folder);

  std::map<std::string, int> texts;
  for (const auto& [line, tokens] : byLine) {
    if (line < 1 || line > static_cast<int>(candidates.size()) || tokens.size() != 1) continue;
    const auto& [code, text] = tokens.front();
    if (text == candidates[line - 1] && !IsLiteralToken(code)) texts[text] = code;
  }
  return texts;
}

const std::map<std::string, int>& TokenTexts() {
  static const std::map<std::string, int> texts = LexerTokenTexts();
  return texts;
}

// An editor's highlighting rules as this test models them.
struct Grammar {
  // Rules tried in order at a position; the first that matches there wins (TextMate and
  // GtkSourceView pick the earliest match, ties going to the rule listed first).
  std::vector<std::regex> rules;
  // Literal alternatives of Vim match items; at one position the item defined last wins and
  // within it the first alternative that matches.
  std::vector<std::vector<std::string>> vimItems;
  // Words listed as keywords. In Vim they win over match items; elsewhere they are read
  // from the rules and only checked against the lexer.
  std::set<std::string> keywords;
  bool vimKeywords = false;

  // The text the editor highlights as one token when text stands alone, or "" when none.
  std::string FirstToken(const std::string& text) const {
    if (vimKeywords && keywords.count(text)) return text;
    for (const std::regex& rule : rules) {
      std::smatch match;
      if (std::regex_search(text, match, rule, std::regex_constants::match_continuous)) return match.str();
    }
    for (auto item = vimItems.rbegin(); item != vimItems.rend(); ++item)
      for (const std::string& alternative : *item)
        if (text.compare(0, alternative.size(), alternative) == 0) return alternative;
    return "";
  }
};

// Every token text is highlighted whole, and every listed keyword is one the lexer knows.
void ExpectCoversLexer(const Grammar& grammar) {
  for (const auto& [text, code] : TokenTexts())
    EXPECT_EQ(grammar.FirstToken(text), text) << TokenName(code) << " \"" << text << "\" is not highlighted as one token";
  for (const std::string& keyword : grammar.keywords) {
    auto found = TokenTexts().find(keyword);
    EXPECT_TRUE(found != TokenTexts().end() && IsWord(keyword)) << "\"" << keyword << "\" is no keyword of the lexer";
  }
}

std::string Unescape(const std::string& text, const std::map<std::string, std::string>& entities) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    for (const auto& [from, to] : entities)
      if (text.compare(i, from.size(), from) == 0) {
        out += to;
        i += from.size();
        replaced = true;
        break;
      }
    if (!replaced) out += text[i++];
  }
  return out;
}

// Keyword alternations written \b(?:a|b|c)\b are keyword lists as well as rules.
void AddKeywordAlternation(Grammar& grammar, const std::string& pattern) {
  static const std::regex alternation(R"(^\\b\(\?:([a-z|]+)\)\\b$)");
  std::smatch words;
  if (!std::regex_match(pattern, words, alternation)) return;
  std::stringstream split(words[1].str());
  for (std::string word; std::getline(split, word, '|');) grammar.keywords.insert(word);
}

TEST(EditorSupport, LexerTokensAreAllFound) {
  // Each token code that has a fixed text must have been found, or the editors' check would
  // silently leave it out.
  std::set<int> found;
  for (const auto& [text, code] : TokenTexts()) found.insert(code);
  for (int code = AS; code <= NOT; ++code)
    if (!IsLiteralToken(code)) {
      EXPECT_TRUE(found.count(code)) << "no text found for " << TokenName(code);
    }
  // The short spellings and the single characters come from the lexer too.
  EXPECT_EQ(TokenTexts().at("const"), CONSTANT);
  EXPECT_EQ(TokenTexts().at("def"), DEFINE);
  EXPECT_EQ(TokenTexts().at("@"), '@');
  EXPECT_EQ(TokenTexts().count("!"), 0u);  // skipped by the lexer, no token
}

TEST(EditorSupport, VimSyntaxHighlightsEveryToken) {
  std::string syntax = ReadFile(Editors() / "vim/syntax/tovrin.vim");
  ASSERT_FALSE(syntax.empty());
  Grammar grammar;
  grammar.vimKeywords = true;
  std::stringstream lines(syntax);
  static const std::regex keywordLine(R"(^syn keyword\s+\w+\s+(.*)$)");
  static const std::regex literalMatch(R"--(^syn match\s+\w+\s+"\\V(.*)"\s*$)--");
  for (std::string line; std::getline(lines, line);) {
    std::smatch parts;
    if (std::regex_match(line, parts, keywordLine)) {
      std::stringstream words(parts[1].str());
      std::vector<std::string> list;
      for (std::string word; words >> word;) list.push_back(word);
      if (std::find(list.begin(), list.end(), "contained") != list.end()) continue;  // inside comments only
      grammar.keywords.insert(list.begin(), list.end());
    } else if (std::regex_match(line, parts, literalMatch)) {
      // Under \V only the backslash is special: \| separates, \\ is a backslash.
      std::vector<std::string> alternatives(1);
      std::string pattern = parts[1].str();
      for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\\' && i + 1 < pattern.size()) {
          if (pattern[++i] == '|')
            alternatives.emplace_back();
          else
            alternatives.back() += pattern[i];
        } else {
          alternatives.back() += pattern[i];
        }
      }
      grammar.vimItems.push_back(alternatives);
    }
  }
  ASSERT_FALSE(grammar.vimItems.empty());
  ExpectCoversLexer(grammar);

  std::string detect = ReadFile(Editors() / "vim/ftdetect/tovrin.vim");
  EXPECT_NE(detect.find("*.tvr"), std::string::npos);
  EXPECT_NE(detect.find("setfiletype tovrin"), std::string::npos);
}

TEST(EditorSupport, VsCodeGrammarHighlightsEveryToken) {
  fs::path extension = Editors() / "vscode";
  std::string package = ReadFile(extension / "package.json");
  // Every file the extension names is there.
  static const std::regex named(R"--("(?:path|configuration)"\s*:\s*"([^"]+)")--");
  int files = 0;
  for (std::sregex_iterator it(package.begin(), package.end(), named), end; it != end; ++it, ++files)
    EXPECT_TRUE(fs::is_regular_file(extension / (*it)[1].str())) << (*it)[1].str() << " is missing";
  EXPECT_EQ(files, 2);
  EXPECT_NE(package.find("\".tvr\""), std::string::npos);

  // The rules in the order the top-level includes name their groups; a group's rules run to
  // the start of the next group.
  std::string text = ReadFile(extension / "syntaxes/tovrin.tmLanguage.json");
  static const std::regex groupStart(R"--("([\w-]+)"\s*:\s*\{\s*"patterns"\s*:\s*\[)--");
  static const std::regex include(R"--("include"\s*:\s*"#([\w-]+)")--");
  static const std::regex rule(R"--("match"\s*:\s*"((?:[^"\\]|\\.)*)")--");
  std::map<std::string, std::pair<std::size_t, std::size_t>> groups;
  std::string previous;
  for (std::sregex_iterator it(text.begin(), text.end(), groupStart), end; it != end; ++it) {
    if (!previous.empty()) groups[previous].second = it->position();
    previous = (*it)[1].str();
    groups[previous] = {it->position() + it->length(), text.size()};
  }
  Grammar grammar;
  for (std::sregex_iterator it(text.begin(), text.end(), include), end; it != end; ++it) {
    auto group = groups.find((*it)[1].str());
    ASSERT_NE(group, groups.end()) << (*it)[1].str() << " is not in the repository";
    auto [from, to] = group->second;
    for (std::sregex_iterator r(text.begin() + from, text.begin() + to, rule); r != end; ++r) {
      std::string pattern = Unescape((*r)[1].str(), {{"\\\\", "\\"}, {"\\\"", "\""}});
      grammar.rules.emplace_back(pattern);
      AddKeywordAlternation(grammar, pattern);
    }
  }
  ASSERT_GT(grammar.rules.size(), 5u);
  ExpectCoversLexer(grammar);
}

TEST(EditorSupport, GtkSourceViewLanguageHighlightsEveryToken) {
  fs::path lang = Editors() / "gtksourceview/tovrin.lang";
  std::string text = ReadFile(lang);
  ASSERT_FALSE(text.empty());
  const std::map<std::string, std::string> entities = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}, {"&quot;", "\""}, {"&apos;", "'"}};
  // Contexts in the order they are listed; a keyword context is one rule over its words.
  static const std::regex element(R"(<(keyword|match|start)>([^<]*)</\1>|</context>)");
  Grammar grammar;
  std::vector<std::string> words;
  auto flushWords = [&] {
    if (words.empty()) return;
    std::string alternation;
    for (const std::string& word : words) alternation += (alternation.empty() ? "" : "|") + word;
    grammar.rules.emplace_back("\\b(?:" + alternation + ")\\b");
    grammar.keywords.insert(words.begin(), words.end());
    words.clear();
  };
  for (std::sregex_iterator it(text.begin(), text.end(), element), end; it != end; ++it) {
    if ((*it)[1].matched && (*it)[1].str() == "keyword") {
      words.push_back(Unescape((*it)[2].str(), entities));
    } else {
      flushWords();
      if ((*it)[1].matched) grammar.rules.emplace_back(Unescape((*it)[2].str(), entities));
    }
  }
  ASSERT_GT(grammar.rules.size(), 5u);
  ExpectCoversLexer(grammar);

  // The file follows the version 2.0 schema that GtkSourceView ships, where it is installed.
  const char* schemas[] = {"/usr/share/gtksourceview-5/language-specs/language2.rng",
                           "/usr/share/gtksourceview-4/language-specs/language2.rng"};
  for (const char* schema : schemas) {
    if (!fs::exists(schema) || std::system("command -v xmllint >/dev/null") != 0) continue;
    std::string command = "xmllint --noout --relaxng " + std::string(schema) + " '" + lang.string() + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return;
  }
  GTEST_SKIP() << "no GtkSourceView schema or xmllint to validate against";
}

}  // namespace
