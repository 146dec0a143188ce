#include "script/families.h"

namespace vidzoscript {

void RegisterFamilies(CommandTable& table) {
  RegisterControlCommands(table);
  RegisterVariableCommands(table);
  RegisterScreenCommands(table);
  RegisterTextCommands(table);
  RegisterInputCommands(table);
  RegisterMouseCommands(table);
  RegisterBitmapCommands(table);
  RegisterAnimationCommands(table);
  RegisterStringCommands(table);
  RegisterFileCommands(table);
  RegisterSystemCommands(table);
}

}  // namespace vidzoscript
