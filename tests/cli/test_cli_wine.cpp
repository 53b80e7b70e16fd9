// The Windows build of the client under Wine, against the simulator over
// TCP and over its pty as a COM port. run-cli-wine-tests.sh sets it up.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/cli/cli_harness.h"

TEST(CliWine, IdentifySetGetMonitorOverTcpAndCom) {
  if (Env("RV_CLI_RUNNER").empty() || Env("RV_WINE_SIM_PORT").empty()) {
    GTEST_SKIP() << "run by run-cli-wine-tests.sh";
  }
  for (const std::string& link :
       {TcpLink(std::stoi(Env("RV_WINE_SIM_PORT"))), Env("RV_WINE_SIM_COM")}) {
    SCOPED_TRACE(link);
    Child identify(ClientArgv({"-c", link, "identify"}));
    EXPECT_EQ(identify.Finish(20), 0) << identify.Err();
    EXPECT_EQ(identify.Out(), "device code 2\r\nfirmware 1.05\r\nserial RS620042\r\n");
    EXPECT_EQ(Child(ClientArgv({"-c", link, "set", "-2.5", "--type", "v"})).Finish(20), 0);
    Child get(ClientArgv({"--json", "-c", link, "get"}));
    ASSERT_EQ(get.Finish(20), 0) << get.Err();
    EXPECT_EQ(nlohmann::json::parse(get.Out())["text"], "-2.500");

    Child monitor(ClientArgv({"-c", link, "monitor", "--count", "3", "--interval", "100"}));
    EXPECT_EQ(monitor.Finish(20), 0) << monitor.Err();
    EXPECT_EQ(Lines(monitor.Out()), 3);
    EXPECT_NE(monitor.Out().find(" -2.500 V  type 1  normal\r\n"), std::string::npos)
        << monitor.Out();
  }
}
