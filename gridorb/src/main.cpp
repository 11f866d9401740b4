#include "driver/run_driver.h"

int main(int argc, char** argv) { return gridorb::driver::runGridorb(argc, argv); }
