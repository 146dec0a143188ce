#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "qelutil/qelutil.h"
#include "text_buffer.h"

namespace {

using Line = vidzoer_test::TextBuffer<256>;

std::string Trimmed(char* (*fn)(char*), const std::string& text) {
  Line l(text);
  return fn(l.buf);
}

TEST(Trim, BlanksAreControlBytesAndSpace) {
  EXPECT_EQ(Trimmed(Trim, " \t\r\n a b \x01\x1f "), "a b");
  EXPECT_EQ(Trimmed(TrimAscii, "  x  "), "x");
  EXPECT_EQ(Trimmed(TrimL, "  x  "), "x  ");
  EXPECT_EQ(Trimmed(Trim, "    "), "");
  EXPECT_EQ(Trimmed(Trim, ""), "");
  EXPECT_EQ(Trim(nullptr), nullptr);
}

TEST(Trim, NamesInUtf8KeepTheirLastLetters) {
  // "café" and "Ærø" end and start in bytes above 127: letters, not blanks.
  EXPECT_EQ(Trimmed(Trim, " caf\xC3\xA9 "), "caf\xC3\xA9");
  EXPECT_EQ(Trimmed(Trim, "\xC3\x86r\xC3\xB8"), "\xC3\x86r\xC3\xB8");
}

struct SplitCase {
  const char* line;
  const char* word;
  const char* rest;
};

void ExpectSplits(void (*fn)(char*, char*), std::initializer_list<SplitCase> cases) {
  for (const SplitCase& c : cases) {
    Line line(c.line);
    Line dest("");
    fn(dest.buf, line.buf);
    EXPECT_EQ(dest.str(), c.word) << "line: " << c.line;
    EXPECT_EQ(line.str(), c.rest) << "line: " << c.line;
    EXPECT_TRUE(line.GuardIntact() && dest.GuardIntact());
  }
}

TEST(GetAndRemoveFirst, SplitsWordsAndCommas) {
  ExpectSplits(GetAndRemoveFirst, {
                                      {"  PLAY  intro.vdz  ", "PLAY", "intro.vdz  "},
                                      // One comma after the blanks goes with the word; a second stays.
                                      {"a.vdz , , b.vdz", "a.vdz ,", ", b.vdz"},
                                      {"x,y z", "x,y", "z"},
                                      {"last", "last", ""},
                                      {"   ", "", ""},
                                      // Quotes mean nothing to the plain splitter.
                                      {"\"my file\" x", "\"my", "file\" x"},
                                  });
}

TEST(GetAndRemoveFirstQuoted, TakesQuotedNamesWhole) {
  ExpectSplits(GetAndRemoveFirstQuoted, {
                                            {" \"/home/u/my film.vdz\"  /L3 ", "/home/u/my film.vdz", "/L3"},
                                            // Blanks inside the quotes are part of the name.
                                            {"\" padded \"", " padded ", ""},
                                            {"\"\" next", "", "next"},
                                            // An unmatched quote splits like an unquoted word.
                                            {"\"open end", "\"open", "end"},
                                            {"plain.vdz , other.vdz", "plain.vdz ,", "other.vdz"},
                                        });
}

TEST(GetAndRemoveFirstQuoted, CommaAfterQuotedNameSeparates) {
  Line l("\"a b.vdz\" , \"c.vdz\",d.vdz");
  char dest[256];
  GetAndRemoveFirstQuoted(dest, l.buf);
  EXPECT_STREQ(dest, "a b.vdz");
  GetAndRemoveFirstQuoted(dest, l.buf);
  EXPECT_STREQ(dest, "c.vdz");
  GetAndRemoveFirstQuoted(dest, l.buf);
  EXPECT_STREQ(dest, "d.vdz");
  GetAndRemoveFirstQuoted(dest, l.buf);
  EXPECT_STREQ(dest, "");
}

TEST(RemoveQuotes, OnlyAPairOfOuterQuotes) {
  EXPECT_EQ(Trimmed(RemoveQuotes, "  \"my pal.bmp\" "), "my pal.bmp");
  EXPECT_EQ(Trimmed(RemoveQuotes, "\"\""), "");
  EXPECT_EQ(Trimmed(RemoveQuotes, "\""), "\"");
  EXPECT_EQ(Trimmed(RemoveQuotes, "\"half"), "\"half");
  EXPECT_EQ(Trimmed(RemoveQuotes, "a\"b\""), "a\"b\"");
}

TEST(Findchar, FirstOccurrenceOrNull) {
  const char* t = "a/b/c";
  EXPECT_EQ(findchar(t, '/'), t + 1);
  EXPECT_EQ(findchar(t, 'x'), nullptr);
  EXPECT_EQ(findchar(t, '\0'), nullptr);
}

TEST(Numbers, SignedTextAndBack) {
  char buf[12];
  EXPECT_EQ(u32toa(buf, 0), buf + 1);
  EXPECT_STREQ(buf, "0");
  EXPECT_EQ(u32toa(buf, 0xFFFFFFFBu), buf + 2);
  EXPECT_STREQ(buf, "-5");
  u32toa(buf, 0x80000000u);
  EXPECT_STREQ(buf, "-2147483648");
  EXPECT_EQ(atou32(buf), 0x80000000u);
  for (uint32_t v : {0u, 1u, 42u, 2147483647u, 4294967295u, 123456789u}) {
    u32toa(buf, v);
    EXPECT_EQ(atou32(buf), v) << buf;
  }
  EXPECT_EQ(atou32("  +17x"), 17u);
  EXPECT_EQ(atou32("\t-3 4"), 0xFFFFFFFDu);
  EXPECT_EQ(atou32("abc"), 0u);
  EXPECT_EQ(atou32("-"), 0u);
  EXPECT_EQ(atou32("4294967296"), 0u);  // wraps
}

}  // namespace
