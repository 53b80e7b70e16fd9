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
    const ClientRun identify = RunClient({"-c", link, "identify"});
    EXPECT_EQ(identify.exit_code, 0) << identify.err;
    EXPECT_EQ(identify.out, "device code 2\r\nfirmware 1.05\r\nserial RS620042\r\n");
    EXPECT_EQ(RunClient({"-c", link, "set", "-2.5", "--type", "v"}).exit_code, 0);
    const ClientRun get = RunClient({"--json", "-c", link, "get"});
    ASSERT_EQ(get.exit_code, 0) << get.err;
    EXPECT_EQ(nlohmann::json::parse(get.out)["text"], "-2.500");

    const ClientRun monitor =
        RunClient({"-c", link, "monitor", "--count", "3", "--interval", "100"});
    EXPECT_EQ(monitor.exit_code, 0) << monitor.err;
    EXPECT_EQ(Lines(monitor.out), 3);
    EXPECT_NE(monitor.out.find(" -2.500 V  type 1  normal\r\n"), std::string::npos) << monitor.out;
  }
}
