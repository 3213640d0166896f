#include "converter/frame_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

TEST(FrameNameLess, OrdersDigitRunsByValue) {
  struct Case {
    const char* a;
    const char* b;
    bool less;
  };
  const Case cases[] = {
      {"frame00001.jpg", "frame00002.jpg", true},
      {"frame00002.jpg", "frame00001.jpg", false},
      {"frame99999.jpg", "frame100000.jpg", true},
      {"frame100000.jpg", "frame99999.jpg", false},
      {"frame9.jpg", "frame10.jpg", true},
      {"frame00010.jpg", "frame00010.jpg", false},
      {"frame00001.jpg", "notes.txt", true},
      {"a", "ab", true},
      {"ab", "a", false},
      {"x1y2", "x1y10", true},
      {"frame\xe9.jpg", "frame~.jpg", false},  // bytes compare unsigned
      {"f01", "f1", true},                     // equal values: plain byte order decides
      {"f1", "f01", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FrameNameLess(c.a, c.b), c.less) << c.a << " < " << c.b;
  }
}

TEST(FrameNameLess, SortsFrameNamesIntoFrameOrder) {
  std::vector<std::string> names = {"lib/temp\\frame100001.jpg", "lib/temp\\frame99999.jpg",
                                    "lib/temp\\frame00001.jpg", "lib/temp\\frame100000.jpg",
                                    "lib/temp\\frame00010.jpg"};
  std::sort(names.begin(), names.end(), FrameNameLess);
  EXPECT_EQ(names,
            std::vector<std::string>({"lib/temp\\frame00001.jpg", "lib/temp\\frame00010.jpg",
                                      "lib/temp\\frame99999.jpg", "lib/temp\\frame100000.jpg",
                                      "lib/temp\\frame100001.jpg"}));
}
