// The child-process helper the program tests rely on: what reaches the child, what comes
// back, and that no child outlives its object.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <string>

#include "tests/support/ChildProcess.h"

using smsc::test::ChildProcess;

TEST(ChildProcess, EnvironmentOutputAndExitCode) {
    ::setenv("SMSC_CHILD_KEPT", "kept", 1);
    ::setenv("SMSC_CHILD_GONE", "gone", 1);
    ::setenv("SMSC_CHILD_NEW", "old", 1);
    ChildProcess child(
        "/bin/sh",
        {"-c",
         "echo \"$SMSC_CHILD_KEPT,${SMSC_CHILD_GONE-unset},$SMSC_CHILD_NEW\"; "
         "env | grep -c '^SMSC_CHILD_NEW='; echo oops >&2; exit 3"},
        {.env = {"SMSC_CHILD_NEW=new"}, .unsetEnv = {"SMSC_CHILD_GONE"}, .captureStderr = true});
    ::unsetenv("SMSC_CHILD_KEPT");
    ::unsetenv("SMSC_CHILD_GONE");
    ::unsetenv("SMSC_CHILD_NEW");
    ASSERT_TRUE(child.started());
    EXPECT_EQ(child.firstLine(), "kept,unset,new");
    EXPECT_EQ(child.readAll(), "kept,unset,new\n1\n");  // given anew, not twice
    EXPECT_EQ(child.err(), "oops\n");
    EXPECT_EQ(child.wait(), 3);
    EXPECT_EQ(child.endSignal(), 0);
    EXPECT_FALSE(child.running());
}

TEST(ChildProcess, TimeOutsAndEndingByItsId) {
    pid_t pid = 0;
    {
        ChildProcess child("/bin/sh", {"-c", "echo partial; exec sleep 60"});
        ASSERT_TRUE(child.started());
        pid = child.pid();
        EXPECT_EQ(child.readLines(2, std::chrono::milliseconds(200)), "partial\n");
        EXPECT_EQ(child.wait(std::chrono::milliseconds(100)), -1);
        EXPECT_TRUE(child.running());
        EXPECT_EQ(child.stop(SIGKILL), -1);
        EXPECT_EQ(child.endSignal(), SIGKILL);
        EXPECT_FALSE(child.running());
    }
    {
        ChildProcess left("/bin/sh", {"-c", "exec sleep 60"});
        ASSERT_TRUE(left.started());
        pid = left.pid();
    }
    // The destructor ended and reaped it: the id is no child of ours any more.
    EXPECT_EQ(::kill(pid, 0), -1);

    ChildProcess missing("/no/such/program", {});
    EXPECT_FALSE(missing.started());
    EXPECT_EQ(missing.wait(), -1);
    EXPECT_EQ(missing.firstLine(), "");
}
