// rv-sola62-cli: the instrument from scripts, test rigs and CI jobs.
#include "cli/cli_run.h"

int main(int argc, char** argv) {
  return RunCli(argc, argv);
}
