// vidzoplw: plays .vdz files in a window with their sound.
#include "player/window/player_main.h"

int main(int argc, char** argv) {
  return vidzoplay::PlayerMain(argc, argv);
}
