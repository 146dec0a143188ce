TEXTBEGIN
hello %A%
:notalabel
BOGUS words
TEXTEND
VARSET B 1
TEXTBEGIN
no end
