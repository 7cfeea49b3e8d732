#include "net/stack.h"

#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/net_exceptions.h"
#include "net/net_component.h"

namespace {

// Holds a stack reference for one test.
class StackTest : public ::testing::Test {
 protected:
  void SetUp() override { TNetStack::AcquireStack(); }
  void TearDown() override {
    HostLookupHook = nullptr;
    TNetStack::ReleaseStack();
  }
  TNetStack& Stack() { return *GlobalStack; }
};

TEST_F(StackTest, ErrorTextIsTwoLinesWithTheTableText) {
  EXPECT_EQ(Stack().ErrorText(10061), "Socket Error # 10061\r\nConnection refused.");
  EXPECT_EQ(Stack().ErrorText(11001), "Socket Error # 11001\r\nHost not found.");
  EXPECT_EQ(Stack().ErrorText(10035), "Socket Error # 10035\r\nOperation would block. ");
  EXPECT_EQ(Stack().ErrorText(10066), "Socket Error # 10066\r\nDirectory not empty");
  EXPECT_EQ(Stack().ErrorText(10091), "Socket Error # 10091\r\n");
}

TEST_F(StackTest, LocalhostInAnyCaseNeedsNoLookup) {
  int lookups = 0;
  HostLookupHook = [&](const std::string&, std::vector<TNetIPv4Address>&) {
    ++lookups;
    return EAI_NONAME;
  };
  for (const char* name : {"localhost", "LOCALHOST", "LocalHost"})
    EXPECT_EQ(Stack().ResolveHostToIP(name), "127.0.0.1");
  EXPECT_EQ(Stack().ResolveHostToIP("10.1.2.3"), "10.1.2.3");
  EXPECT_EQ(lookups, 0);
}

TEST_F(StackTest, UnresolvableHostRaisesHostNotFound) {
  HostLookupHook = [](const std::string&, std::vector<TNetIPv4Address>&) { return EAI_NONAME; };
  try {
    Stack().ResolveHostToIP("no.such.host");
    FAIL() << "no exception";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.SocketErrorCode(), 11001);
    EXPECT_EQ(e.Message(), "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(Stack().StoredError.load(), 11001);
  }
}

}  // namespace
