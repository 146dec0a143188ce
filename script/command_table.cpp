// The command table: the 188 command names in ascending byte order (the
// index of a name is what a compiled record stores), the binary search over
// them, and the handlers, which the command families fill in.
#include "script/command_table.h"

#include <cstring>

#include "script/engine.h"

namespace vidzoscript {

const std::array<const char*, kCommandCount> kCommandNames = {
    "ANIMATIONADVANCE",
    "ANIMATIONADVANCENOPALETTE",
    "ANIMATIONBACKTOSTART",
    "ANIMATIONCLOSE",
    "ANIMATIONDELAY",
    "ANIMATIONFRAMES",
    "ANIMATIONGOTO",
    "ANIMATIONHEIGHT",
    "ANIMATIONLIST",
    "ANIMATIONLOADTOBITMAP",
    "ANIMATIONOPEN",
    "ANIMATIONPLAY",
    "ANIMATIONSTILLDELAY",
    "ANIMATIONTOBITMAP",
    "ANIMATIONTOSCREEN",
    "ANIMATIONTRACKS",
    "ANIMATIONWIDTH",
    "BITMAPALLOC",
    "BITMAPBOX",
    "BITMAPCHANGECOLOR",
    "BITMAPCLEAR",
    "BITMAPFADEINPALETTE",
    "BITMAPFILLEDBOX",
    "BITMAPFREE",
    "BITMAPFROMSCREEN",
    "BITMAPGETBRIGHTESTPALETTEINDEX",
    "BITMAPGETDARKESTPALETTEINDEX",
    "BITMAPGETPALETTE",
    "BITMAPGETPALETTEVALUE",
    "BITMAPGETPIXEL",
    "BITMAPHEIGHT",
    "BITMAPLINE",
    "BITMAPLIST",
    "BITMAPPALETTETOPALETTE",
    "BITMAPSETPALETTE",
    "BITMAPSETPALETTEVALUE",
    "BITMAPSETPIXEL",
    "BITMAPTEXT",
    "BITMAPTOBITMAP",
    "BITMAPTOBITMAPMASK",
    "BITMAPTOBITMAPMERGE",
    "BITMAPTOBITMAPTRANS",
    "BITMAPTOSCREEN",
    "BITMAPTOSCREENMASK",
    "BITMAPTOSCREENMERGE",
    "BITMAPTOSCREENTRANS",
    "BITMAPWIDTH",
    "CALL",
    "CALLANDGOSUB",
    "COMPUTE",
    "COMPUTEABS",
    "COMPUTESQRT",
    "DEBUGFILE",
    "DEBUGTEXT",
    "DELAY",
    "DELAYUNTIL",
    "DIRCHANGE",
    "DIRCURRENT",
    "DIREXISTS",
    "DIRMAKE",
    "DIRREMOVE",
    "DRIVEAVAIL",
    "DRIVESIZE",
    "END",
    "ENVGET",
    "ENVSET",
    "EXECUTE",
    "EXIT",
    "FILEAPPEND",
    "FILECDROM",
    "FILECLOSE",
    "FILECOPY",
    "FILECREATE",
    "FILEDELETE",
    "FILEEOF",
    "FILEEXISTS",
    "FILEFIND",
    "FILEFINDNEXT",
    "FILEFULLPATH",
    "FILEGETATTRIB",
    "FILELIST",
    "FILEOPEN",
    "FILEPIECES",
    "FILEREAD",
    "FILEREMOTE",
    "FILEREMOVABLE",
    "FILERENAME",
    "FILESETATTRIB",
    "FILESIZE",
    "FILETEMP",
    "FILEWRITE",
    "GOSUB",
    "GOTO",
    "IF",
    "IFSET",
    "INPUTCHAR",
    "INPUTCHARORDELAY",
    "INPUTMSGWIN",
    "INPUTSTR",
    "INPUTSTRWIN",
    "INTERPRET",
    "MCISENDSTRING",
    "MOUSEADD",
    "MOUSEAREA",
    "MOUSEMODE",
    "MOUSEPOP",
    "MOUSEPRESENT",
    "MOUSEPUSHANDREMOVEALL",
    "MOUSEREMOVE",
    "MOUSEREMOVEALL",
    "MOUSESETXY",
    "MOUSEX",
    "MOUSEY",
    "PRINTBEGIN",
    "PRINTEND",
    "PRINTPAGEADV",
    "RANDOM",
    "RANDOMIZE",
    "RETURN",
    "SCREENADJUSTXY",
    "SCREENBOX",
    "SCREENCLEAR",
    "SCREENFADEOUTCLEAR",
    "SCREENFADESPEED",
    "SCREENFILLEDBOX",
    "SCREENFORCEPALETTEZEROBLACK",
    "SCREENGETBRIGHTESTPALETTEINDEX",
    "SCREENGETDARKESTPALETTEINDEX",
    "SCREENGETPIXEL",
    "SCREENGRAPHICS",
    "SCREENHEIGHT",
    "SCREENINFO",
    "SCREENLINE",
    "SCREENPALETTELOCK",
    "SCREENSETPIXEL",
    "SCREENSETTINGS",
    "SCREENTEXT",
    "SCREENWIDTH",
    "SCREENWINDOWAUTOPAUSE",
    "SCREENWINDOWBORDER",
    "SCREENWINDOWHASFOCUS",
    "SCREENWINDOWHPAL",
    "SCREENWINDOWHWND",
    "SCREENWINDOWPOS",
    "SCREENWINDOWTITLE",
    "SOUND",
    "STRADDBACKSLASH",
    "STRFIND",
    "STRFIRST",
    "STRISLABEL",
    "STRISNUMERIC",
    "STRLCASE",
    "STRLENGTH",
    "STRLPAD",
    "STRLPADZERO",
    "STRPIECE",
    "STRREPEAT",
    "STRRPAD",
    "STRTRIM",
    "STRUCASE",
    "SYSTEMCOLORS",
    "SYSTEMCOMMANDLINE",
    "SYSTEMCURRENTEXE",
    "SYSTEMCURRENTSCRIPT",
    "SYSTEMDATETIME",
    "SYSTEMDISPLAYRESOLUTION",
    "SYSTEMMEMORY",
    "SYSTEMOSMAJOR",
    "SYSTEMOSMINOR",
    "SYSTEMPLATFORM",
    "SYSTEMTIMER",
    "SYSTEMUSEDIRECTSOUND",
    "SYSTEMUSEMMX",
    "TEXT",
    "TEXTBACKCOLOR",
    "TEXTBEGIN",
    "TEXTCOLOR",
    "TEXTFONTFROMBITMAP",
    "TEXTNOCR",
    "TEXTSETXY",
    "TEXTTRANSCOLOR",
    "TEXTX",
    "TEXTY",
    "VARFREE",
    "VARLIST",
    "VARPOP",
    "VARPUSH",
    "VARSET",
};

int FindCommand(const char* word) {
  // Unsigned byte comparison over the word and its terminator: only a whole
  // name matches.
  int low = 0, high = static_cast<int>(kCommandCount) - 1;
  while (low <= high) {
    const int middle = (low + high) / 2;
    const int order = std::strcmp(word, kCommandNames[static_cast<size_t>(middle)]);
    if (order == 0) return middle;
    if (order < 0) {
      if (middle == 0) break;
      high = middle - 1;
    } else {
      low = middle + 1;
    }
  }
  return -1;
}

CommandTable::CommandTable() {
  handlers_.fill(&NotBuiltHandler);
}

bool CommandTable::Set(const char* name, Handler handler) {
  const int index = FindCommand(name);
  if (index < 0 || handler == nullptr) {
    unknown_.emplace_back(name);
    return false;
  }
  handlers_[static_cast<size_t>(index)] = handler;
  return true;
}

bool CommandTable::Built(size_t index) const {
  return index < kCommandCount && handlers_[index] != &NotBuiltHandler;
}

void NotBuiltHandler(Engine& engine) {
  engine.ErrorWithCommand(kNotBuiltMessage);
}

}  // namespace vidzoscript
