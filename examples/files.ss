# Lists the .ss scripts of the current folder into scripts.txt, reads the
# list back and writes each name with its size, padded into columns, to the
# trace file files.log. Run it from a folder with scripts in it:
#   vidzoscw files.ss
DEBUGFILE "files.log"
SYSTEMDATETIME NOW "^Y-^m-^d ^H:^M"
DEBUGTEXT "Scripts in this folder on %NOW%:"

FILECREATE LIST "scripts.txt"
FILEFIND NAME "*.ss"
:FIND
IF NAME = "" GOTO LISTED
FILEWRITE LIST NAME
FILEFINDNEXT NAME
GOTO FIND
:LISTED
FILECLOSE LIST

VARSET COUNT 0
FILEOPEN LIST "scripts.txt"
:READ
FILEEOF END LIST ; IF END = 1 GOTO DONE
FILEREAD NAME LIST
FILESIZE SIZE NAME
STRRPAD COLUMN 24 NAME
STRLPAD BYTES 8 SIZE
DEBUGTEXT "  %COLUMN% %BYTES% bytes"
COMPUTE COUNT = COUNT + 1
GOTO READ
:DONE
FILECLOSE LIST
FILEDELETE GONE "scripts.txt"
DEBUGTEXT "%COUNT% scripts."
