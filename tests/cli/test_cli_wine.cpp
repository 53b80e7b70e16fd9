// The Windows build of the client under Wine, against the simulator over
// TCP and over its pty as a COM port. run-cli-wine-tests.sh sets it up.
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/cli/cli_harness.h"

TEST(CliWine, IdentifySetGetMonitorOverTcpAndCom) {
  const char* port = std::getenv("RV_WINE_SIM_PORT");
  const char* com = std::getenv("RV_WINE_SIM_COM");
  if (std::getenv("RV_CLI_RUNNER") == nullptr || port == nullptr || com == nullptr) {
    GTEST_SKIP() << "run by run-cli-wine-tests.sh";
  }
  for (const std::string& link : {TcpLink(std::atoi(port)), std::string(com)}) {
    SCOPED_TRACE(link);
    CliResult identify = RunCli({"-c", link, "identify"});
    EXPECT_EQ(identify.exit_code, 0) << identify.err;
    EXPECT_EQ(identify.out, "device code 2\r\nfirmware 1.05\r\nserial RS620042\r\n");

    CliResult set = RunCli({"-c", link, "set", "-2.5", "--type", "v"});
    EXPECT_EQ(set.exit_code, 0) << set.err;

    CliResult get = RunCli({"--json", "-c", link, "get"});
    ASSERT_EQ(get.exit_code, 0) << get.err;
    const auto report = nlohmann::json::parse(get.out);
    EXPECT_EQ(report["text"], "-2.500");
    EXPECT_EQ(report["type"], 1);

    CliResult monitor =
        RunCli({"--json", "-c", link, "monitor", "--count", "3", "--interval", "100"});
    EXPECT_EQ(monitor.exit_code, 0) << monitor.err;
    std::istringstream lines(monitor.out);
    int records = 0;
    for (std::string line; std::getline(lines, line); ++records) {
      EXPECT_EQ(nlohmann::json::parse(line)["unit"], "V");
    }
    EXPECT_EQ(records, 3);
  }
}
