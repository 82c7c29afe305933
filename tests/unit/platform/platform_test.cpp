#include "platform/tempdir.h"
#include <gtest/gtest.h>
TEST(Placeholder, Builds) { EXPECT_FALSE(kest::GetTempDir().isEmpty()); }
