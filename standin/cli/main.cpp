// The spindle command's entry point.
#include "standin/cli/command.h"

int main(int argc, char **argv) { return standin::spindleMain(argc, argv); }
