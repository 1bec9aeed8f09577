#include <gtest/gtest.h>

#include "platform/files/DynamicLibrary.h"

using platform::DynamicLibrary;

namespace {

TEST(DynamicLibrary, LoadsLooksUpAndReportsWhy) {
    DynamicLibrary lib;
    ASSERT_TRUE(lib.Open("libm.so.6")) << lib.Error();
    auto cosine = lib.Function<double (*)(double)>("cos");
    ASSERT_NE(cosine, nullptr);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);

    EXPECT_EQ(lib.Symbol("NoSuchSymbol"), nullptr);
    EXPECT_NE(lib.Error().find("NoSuchSymbol"), std::string::npos) << lib.Error();

    DynamicLibrary missing;
    EXPECT_FALSE(missing.Open("Localize_xx.so"));
    EXPECT_NE(missing.Error().find("Localize_xx.so"), std::string::npos) << missing.Error();
    EXPECT_EQ(missing.Symbol("cos"), nullptr);
}

} // namespace
