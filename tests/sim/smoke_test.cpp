#include <gtest/gtest.h>

#include "sim/virtual_processor.h"

TEST(VirtualProcessorSmoke, Builds) {
    CVirtualProcessor device;
    EXPECT_EQ(device.Identification(), "TQR-905-31EQ-V3.0");
}
