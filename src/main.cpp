#include "run/program.h"

int main(int argc, char** argv) {
  return volari::program_entry(volari::system_platform(), argc, argv);
}
