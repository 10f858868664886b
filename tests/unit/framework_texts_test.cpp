// The file dialogs' filters as both widgetsets read them, and the texts built into the program.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/dialogs.h"
#include "platform/sysutils.h"
#include "platform/textresources.h"

namespace {

TEST(FilterEntries, PairsDescriptionsWithTheirPatternsAndLeavesOutIncompleteEntries) {
  const struct {
    const char* Filter;
    std::vector<TFilterEntry> Entries;
  } cases[] = {
      {"", {}},
      {"bitmap (*.bmp)|*.bmp", {{"bitmap (*.bmp)", {"*.bmp"}}}},
      {"Pictures|*.bmp;*.ico; *.wmf |All|*", {{"Pictures", {"*.bmp", "*.ico", "*.wmf"}}, {"All", {"*"}}}},
      {"位图|*.bmp", {{"位图", {"*.bmp"}}}},
      // A description without a mask, an empty mask or description, empty patterns.
      {"bitmap|*.bmp|dangling", {{"bitmap", {"*.bmp"}}}},
      {"none||bitmap|*.bmp", {{"bitmap", {"*.bmp"}}}},
      {"|*.bmp|bitmap|;*.bmp;;", {{"bitmap", {"*.bmp"}}}},
      {"*.bmp", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Filter);
    EXPECT_EQ(FilterEntries(c.Filter), c.Entries);
  }
}

TEST(TextResource, HoldsEachFileByteForByteAndRefusesAnUnknownName) {
  std::ifstream file(QUILMAR_RESOURCES "/help.txt", std::ios::binary);
  ASSERT_TRUE(file.good());
  std::ostringstream bytes;
  bytes << file.rdbuf();
  ASSERT_FALSE(bytes.str().empty());
  EXPECT_EQ(TextResource("help.txt"), bytes.str());
  for (const char* unknown : {"", "help", "HELP.TXT", "help.txt ", "FOption"}) {
    SCOPED_TRACE(unknown);
    try {
      TextResource(unknown);
      ADD_FAILURE() << "an unknown text was found";
    } catch (const Exception& e) {
      EXPECT_NE(e.Message().find("holds no text"), String::npos) << e.Message();
    }
  }
}

}  // namespace
