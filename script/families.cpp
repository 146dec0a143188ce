#include "script/families.h"

namespace vidzoscript {

void RegisterFamilies(CommandTable& table) {
  RegisterControlCommands(table);
  RegisterVariableCommands(table);
}

}  // namespace vidzoscript
