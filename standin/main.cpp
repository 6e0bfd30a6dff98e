// The spindle command's entry point.
#include "standin/command.h"

int main(int argc, char **argv) { return standin::spindleMain(argc, argv); }
