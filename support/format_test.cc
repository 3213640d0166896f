#include "support/format.h"

#include <gtest/gtest.h>

#include <string>

TEST(FormatPath, FillsTheBufferUpToItsLastByte) {
  char buffer[kPathBufferSize];
  const std::string fits(kPathBufferSize - 1, 'p');
  EXPECT_EQ(FormatPath(buffer, "%s", fits.c_str()), kPathBufferSize - 1);
  EXPECT_EQ(std::string(buffer), fits);
  EXPECT_EQ(FormatPath(buffer, "%s\\%s", "lib/temp", "frame00001.jpg"), 23);
  EXPECT_STREQ(buffer, "lib/temp\\frame00001.jpg");
}

TEST(FormatPath, RefusesTextThatDoesNotFitInsteadOfShorteningIt) {
  char buffer[kPathBufferSize];
  const std::string too_long(kPathBufferSize, 'p');
  EXPECT_EQ(FormatPath(buffer, "%s", too_long.c_str()), -1);
  EXPECT_STREQ(buffer, "");
}

TEST(FormatCommand, HoldsAtMost254Characters) {
  char buffer[kCommandBufferSize];
  const std::string fits(kCommandBufferSize - 1, 'c');
  EXPECT_EQ(FormatCommand(buffer, "%s", fits.c_str()), kCommandBufferSize - 1);
  EXPECT_EQ(std::string(buffer), fits);
  EXPECT_EQ(FormatCommand(buffer, "%s!", fits.c_str()), -1);
  EXPECT_STREQ(buffer, "");
}
