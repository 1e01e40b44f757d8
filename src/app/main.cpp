// main.cpp: the entry function: start-up in one straight line, the frame loop, shutdown.
#include "app/app.h"

int main(int argc, char** argv) {
  return RunVelloran(argc, argv);
}
