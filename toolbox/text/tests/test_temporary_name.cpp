// A run removes the temporaries a killed run of ours left, and nothing else: the names it takes
// for ours, and the user's names it must leave alone.
#include <gtest/gtest.h>

#include "temporary_name.h"

TEST(TemporaryName, OursAndOnlyOurs)
{
    EXPECT_TRUE(toolbox::is_temporary_name(toolbox::temporary_name(4242, 7, false)));
    unsigned long process = 0;
    EXPECT_TRUE(toolbox::is_temporary_name(toolbox::temporary_name(4294967295ul, 0, true), &process));
    EXPECT_EQ(process, 4294967295ul);
    for (const char *name : {"~vqt7-32-207.tmp", "~vqt7-1-0.old"})
        EXPECT_TRUE(toolbox::is_temporary_name(name)) << name;
    for (const char *name : {"panel.cfg", "rf807.tmp", "~vqt7-32-207.tmp.cfg", "~vqt7-32.tmp", "~vqt7--1.tmp",
                             "~VQT7-32-207.TMP", "~vqt7-32-207.bak", "~vqt7-a-1.tmp", "x~vqt7-32-207.tmp",
                             "~vqt7-12345678901-1.tmp", "~gaugebench-32-0.tmp", "~vqt7-32-207.tmp "})
        EXPECT_FALSE(toolbox::is_temporary_name(name)) << name;
}
