#include "testkit/fault.hpp"

#include <gtest/gtest.h>

#include <chrono>

#include "testkit/files.hpp"

namespace testkit {
namespace {

// The injector proven on a program that makes each kind of call directly.
TEST(Fault, ChosenCallFailsWithTheChosenError) {
  TempDir dir;
  std::string probe = std::string(DBC_FAULT_LIB);
  probe = probe.substr(0, probe.rfind('/')) + "/faultprobe";
  auto probeWith = [&](const Fault& f) {
    Command c{probe, {dir.file("f")}, {}, "", "", 30};
    inject(c, f);
    return run(c).out;
  };
  EXPECT_EQ(probeWith({"write", 1000}), "ok\n");
  EXPECT_EQ(probeWith({"write", 3}), "write 3: No space left on device\n");
  EXPECT_EQ(probeWith({"write", 2, false, "EIO"}), "write 2: Input/output error\n");
  EXPECT_EQ(probeWith({"fsync", 1}), "fsync: No space left on device\n");
  EXPECT_EQ(probeWith({"read", 1, false, "EIO"}), "pread: Input/output error\n");
  EXPECT_EQ(probeWith({"rename", 1}), "rename: No space left on device\n");
}

TEST(Fault, SlowedCallsSucceedLater) {
  TempDir dir;
  std::string probe = std::string(DBC_FAULT_LIB);
  probe = probe.substr(0, probe.rfind('/')) + "/faultprobe";
  Command c{probe, {dir.file("f")}, {}, "", "", 30};
  inject(c, {"write", 1, true, "ENOSPC", 30000});
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(run(c).out, "ok\n");
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(300));
}

TEST(Fault, StandardStreamsAreNotCounted) {
  TempDir dir;
  std::string data(100000, 'x');
  Command cat{"/bin/cat", {}, {}, "", data, 30};
  inject(cat, {"write", 1, true});
  RunResult res = run(cat);
  EXPECT_EQ(res.status, 0);
  EXPECT_EQ(res.out, data);
}

}  // namespace
}  // namespace testkit
