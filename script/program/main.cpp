// vidzoscw: runs .ss scripts.
#include "script/window/script_main.h"

int main(int argc, char** argv) {
  return vidzoscript::ScriptMain(argc, argv);
}
