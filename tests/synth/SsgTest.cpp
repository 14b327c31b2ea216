#include "synth/Ssg.h"
#include <gtest/gtest.h>
TEST(Ssg, Placeholder) {}
