#include <gtest/gtest.h>

#include "control/launch_agent.h"

namespace tavix {
namespace {

using Args = std::vector<std::string>;

TEST(LaunchAgent, TargetsAndCommandLines) {
    EXPECT_EQ(domainTarget(501), "gui/501");
    EXPECT_EQ(serviceTarget(501), "gui/501/app.tavix.link");
    EXPECT_EQ(serviceTarget(0), "gui/0/app.tavix.link");
    EXPECT_EQ(kickstartArguments(501), (Args{"kickstart", "-k", "gui/501/app.tavix.link"}));
    EXPECT_EQ(bootstrapArguments(501, "/Users/u"),
              (Args{"bootstrap", "gui/501", "/Users/u/Library/LaunchAgents/app.tavix.link.plist"}));
    EXPECT_EQ(bootoutArguments(4294967294u), (Args{"bootout", "gui/4294967294/app.tavix.link"}));
    EXPECT_EQ(agentPropertyList("/home/u", kMenuLabel), "/home/u/Library/LaunchAgents/app.tavix.menu.plist");
}

}  // namespace
}  // namespace tavix
